// What the host's handle stands for: the driver, and what the boundary keeps for the host between
// and during its calls. The driver's types know nothing of these.
#pragma once

#include <cstdint>
#include <memory>

#include "boundary/DctBoundary.h"
#include "drv/dct/DctDriver.h"
#include "platform/Env.h"

namespace dct {

namespace recording {
class Recording;
}

// The host's per-record procedure and its user data, as the bulk read's callback: the host's
// register convention, with the host's floating-point word in force during the call.
class HostEnumCallback final : public TDctEnumCallback {
public:
    // The host's procedure, its user data, the control word it runs under, and where a recorded
    // terminal's records are noted before the host gets them.
    void Bind(TDctEnumCallbackProc procedure, int32_t userData, uint16_t hostWord,
              recording::Recording* recorder = nullptr, int recordedAs = 0) {
        procedure_ = procedure;
        userData_ = userData;
        hostWord_ = hostWord;
        recorder_ = recorder;
        recordedAs_ = recordedAs;
    }
    void operator()(const char* code, double quantity) override;

private:
    TDctEnumCallbackProc procedure_ = nullptr;
    int32_t userData_ = 0;
    uint16_t hostWord_ = 0;
    recording::Recording* recorder_ = nullptr;
    int recordedAs_ = 0;
};

struct DctInstance {
    DctInstance() = default;
    explicit DctInstance(std::unique_ptr<TDctDriver> driver) : Driver(std::move(driver)) {}

    // A recorded terminal: the recording, the terminal's number in it, and the environment that
    // records the server's calls, which the driver is made over (so it goes after the driver).
    // All null when the terminal is not recorded.
    recording::Recording* Recorder = nullptr;
    int RecordedAs = 0;
    std::unique_ptr<platform::Env> RecordingEnv;

    std::unique_ptr<TDctDriver> Driver;
    // The code text that DctNextRecord hands to the host: valid until the next operation on the handle.
    AnsiString RecordCode;
    HostEnumCallback Callback;
};

}  // namespace dct
