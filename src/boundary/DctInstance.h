// What the host's handle stands for: the driver, and what the boundary keeps for the host between
// and during its calls. The driver's types know nothing of these.
#pragma once

#include <cstdint>
#include <memory>

#include "boundary/DctBoundary.h"
#include "drv/dct/DctDriver.h"

namespace dct {

// The host's per-record procedure and its user data, as the bulk read's callback: the host's
// register convention, with the host's floating-point word in force during the call.
class HostEnumCallback final : public TDctEnumCallback {
public:
    // The host's procedure, its user data, and the control word it runs under.
    void Bind(TDctEnumCallbackProc procedure, int32_t userData, uint16_t hostWord) {
        procedure_ = procedure;
        userData_ = userData;
        hostWord_ = hostWord;
    }
    void operator()(const char* code, double quantity) override;

private:
    TDctEnumCallbackProc procedure_ = nullptr;
    int32_t userData_ = 0;
    uint16_t hostWord_ = 0;
};

struct DctInstance {
    explicit DctInstance(std::unique_ptr<TDctDriver> driver) : Driver(std::move(driver)) {}

    std::unique_ptr<TDctDriver> Driver;
    // The code text that DctNextRecord hands to the host: valid until the next operation on the handle.
    AnsiString RecordCode;
    HostEnumCallback Callback;
};

}  // namespace dct
