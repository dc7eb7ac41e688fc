#include "drv/TarnDriver.h"

#include "base/cp1251.h"
#include "platform/LastError.h"

namespace dct {
namespace {

constexpr auto kUnsupportedCommand = Cp1251(u8"Неподдерживаемая команда");
constexpr auto kCrcError = Cp1251(u8"Ошибка CRC");
constexpr auto kLineCollision = Cp1251(u8"Коллизия в линии");
constexpr auto kBadData = Cp1251(u8"Считаны некорректные данные");
constexpr auto kNoAnswer = Cp1251(u8"Нет ответа от устройства");
constexpr auto kExchangeError = Cp1251(u8"Ошибка обмена с устройством");
constexpr auto kUnknownCode =
    Cp1251(u8"Неизвестный код ошибки $%x. Сообщите, пожалуйста, разработчикам программы.");

[[noreturn]] void ThrowDriverError(AnsiString message, int32_t code) {
    EDriverError error(std::move(message), code);
    // The last-error value is read right after the object is built, as the caller left it.
    error.SetSystemError(static_cast<uint32_t>(platform::GetLastSystemError()));
    throw error;
}

}  // namespace

DriverErrorClass TTarnDriver::DefaultErrorType() const { return &ThrowDriverError; }

AnsiString TTarnDriver::StrError(int32_t code) const {
    // Compared unsigned, so negative codes fall to the last case.
    switch (static_cast<uint32_t>(code)) {
        case 0: return kUnsupportedCommand.str();
        case 1: return kCrcError.str();
        case 2: return kLineCollision.str();
        case 3: return kBadData.str();
        case 4: return kNoAnswer.str();
        case 5: return kExchangeError.str();
        default:
            if (FParent) return FParent->StrError(code);
            return Format(kUnknownCode.view(), {static_cast<unsigned>(code)});
    }
}

void TTarnDriver::RaiseException(int32_t code, const AnsiString& text, DriverErrorClass errorClass) {
    AnsiString message = text;
    if (message.empty()) {
        const AnsiString name = FParent ? FParent->DriverName() : DriverName();
        message = name + ": " + StrError(code);
    }
    if (!errorClass) errorClass = DefaultErrorType();
    errorClass(std::move(message), code);
    throw EAssertionFailed("driver error class returned");  // a class builder must throw
}

void TTarnDriver::RaiseException(int32_t code, const AnsiString& text) {
    RaiseException(code, text, DefaultErrorType());
    throw EAssertionFailed("driver error not raised");  // an override must raise
}

void TTarnDriver::RaiseException(int32_t code, std::string_view format, std::initializer_list<FormatArg> arguments) {
    RaiseException(code, Format(format, arguments));
    throw EAssertionFailed("driver error not raised");  // an override must raise
}

}  // namespace dct
