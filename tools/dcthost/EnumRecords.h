// Where the records of a DctEnumData call go: to the sink of the call in progress, whatever user
// data the call was given. The per-record procedure runs between the library's frames, so a sink's
// Record must not throw.
#pragma once

#include <cstdint>

namespace dcthost {

class EnumRecordSink {
public:
    virtual void Record(int32_t userData, const char* code, double quantity) noexcept = 0;

protected:
    ~EnumRecordSink() = default;
};

// The sink for the records of the DctEnumData calls made while it lives.
class EnumRecordScope {
public:
    explicit EnumRecordScope(EnumRecordSink& sink);
    ~EnumRecordScope();
    EnumRecordScope(const EnumRecordScope&) = delete;
    EnumRecordScope& operator=(const EnumRecordScope&) = delete;

private:
    EnumRecordSink* previous_;
};

}  // namespace dcthost
