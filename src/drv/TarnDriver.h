// The root of the framework's device drivers: a display name, texts for the common device error
// codes, and a uniform way to raise a driver error.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "base/Exceptions.h"
#include "base/SysUtils.h"

namespace dct {

// A driver failure: the message, the driver's code and the system's last-error value at raising.
class EDriverError : public Exception {
public:
    EDriverError(AnsiString message, int32_t code) : Exception(std::move(message)), FCode(code) {}
    const char* ClassName() const noexcept override { return "EDriverError"; }
    int32_t Code() const noexcept { return FCode; }
    uint32_t SystemError() const noexcept { return FSystemError; }
    void SetSystemError(uint32_t value) noexcept { FSystemError = value; }

private:
    int32_t FCode;
    uint32_t FSystemError = 0;
};

// Builds and throws a driver error of one class (the stand-in for a class reference).
using DriverErrorClass = void (*)(AnsiString message, int32_t code);

class TTarnDriver {
public:
    TTarnDriver() = default;
    virtual ~TTarnDriver() = default;
    TTarnDriver(const TTarnDriver&) = delete;
    TTarnDriver& operator=(const TTarnDriver&) = delete;

    // The class of the errors this driver raises: EDriverError.
    virtual DriverErrorClass DefaultErrorType() const;
    virtual AnsiString DriverName() const = 0;
    // Codes 0..5 from the table below; others from the parent when set, else the "unknown code" text.
    virtual AnsiString StrError(int32_t code) const;

    // Raise a driver error of the given class (nullptr: DefaultErrorType). An empty text gives
    // "<driver name>: <StrError(code)>", the name taken from the parent when one is set.
    [[noreturn]] virtual void RaiseException(int32_t code, const AnsiString& text, DriverErrorClass errorClass);
    [[noreturn]] virtual void RaiseException(int32_t code, const AnsiString& text);
    [[noreturn]] virtual void RaiseException(int32_t code, std::string_view format,
                                             std::initializer_list<FormatArg> arguments);

    TTarnDriver* FParent = nullptr;  // not owned
};

}  // namespace dct
