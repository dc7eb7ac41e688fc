// The library's exception family. Everything inside raises these; the boundary turns them into codes.
//
// Messages are 8-bit text in the library's code page (1251). ClassName() gives the name that the
// trace log prints in its header.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

namespace dct {

using AnsiString = std::string;

class Exception : public std::exception {
public:
    explicit Exception(AnsiString message) : message_(std::move(message)) {}
    const AnsiString& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }
    virtual const char* ClassName() const noexcept { return "Exception"; }

private:
    AnsiString message_;
};

#define DCT_DECLARE_EXCEPTION(Name, Base)                                  \
    class Name : public Base {                                             \
    public:                                                                \
        using Base::Base;                                                  \
        const char* ClassName() const noexcept override { return #Name; } \
    }

// A text that is not a number in the runtime's syntax.
DCT_DECLARE_EXCEPTION(EConvertError, Exception);
// A profile write or erase that the platform refused.
DCT_DECLARE_EXCEPTION(EIniFileException, Exception);
// Silent abort: never traced, never shown.
DCT_DECLARE_EXCEPTION(EAbort, Exception);
// A failed interface query on the terminal server object.
DCT_DECLARE_EXCEPTION(EIntfCastError, Exception);
// A broken internal assumption.
DCT_DECLARE_EXCEPTION(EAssertionFailed, Exception);
// A file that could not be created or opened.
DCT_DECLARE_EXCEPTION(EStreamError, Exception);
DCT_DECLARE_EXCEPTION(EFCreateError, EStreamError);
DCT_DECLARE_EXCEPTION(EFOpenError, EStreamError);
// Any COM-level failure.
DCT_DECLARE_EXCEPTION(EOleError, Exception);
// A call of the operating system that failed; the message carries the system's text.
DCT_DECLARE_EXCEPTION(EOSError, Exception);

// An operating-system exception (access violation, division by zero...) turned into an object.
class EExternal : public Exception {
public:
    EExternal(AnsiString message, uint32_t exceptionCode)
        : Exception(std::move(message)), exceptionCode_(exceptionCode) {}
    uint32_t ExceptionCode() const noexcept { return exceptionCode_; }
    const char* ClassName() const noexcept override { return "EExternal"; }

private:
    uint32_t exceptionCode_;
};

// A COM call or activation that failed with an HRESULT.
class EOleSysError : public EOleError {
public:
    EOleSysError(AnsiString message, int32_t errorCode) : EOleError(std::move(message)), errorCode_(errorCode) {}
    int32_t ErrorCode() const noexcept { return errorCode_; }
    const char* ClassName() const noexcept override { return "EOleSysError"; }

private:
    int32_t errorCode_;
};

// A failing HRESULT returned by a server operation; the message comes from the server when it gave one.
class EOleException : public EOleSysError {
public:
    EOleException(AnsiString message, int32_t errorCode, AnsiString source = {})
        : EOleSysError(std::move(message), errorCode), source_(std::move(source)) {}
    const AnsiString& Source() const noexcept { return source_; }
    const char* ClassName() const noexcept override { return "EOleException"; }

private:
    AnsiString source_;
};

}  // namespace dct
