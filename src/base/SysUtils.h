// The runtime's text and number conversions, with the runtime's exact syntax and error texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/Exceptions.h"

namespace dct {

// Signed decimal, no leading zeros, '-' only for negatives.
AnsiString IntToStr(int64_t value);

// The runtime's integer syntax: optional leading blanks, optional sign, then decimal digits, or
// hexadecimal digits after "$", "x"/"X" or "0x"/"0X"; nothing may follow; the value must fit in
// 32 signed bits. Returns nothing when the text does not match.
std::optional<int32_t> TryStrToInt(std::string_view text);
// As TryStrToInt, raising EConvertError "'%s' не является допустимым значением целого числа".
int32_t StrToInt(std::string_view text);
int32_t StrToIntDef(std::string_view text, int32_t fallback);

// Decimal floating-point text with the given decimal separator: optional blanks, sign, digits,
// the separator, digits, an exponent ("E" or "e", sign, digits), optional trailing blanks.
// No thousands separators.
std::optional<double> TryStrToFloat(std::string_view text, char decimalSeparator);
// As TryStrToFloat, raising EConvertError "'%s' не является допустимым значением дробного числа".
double StrToFloat(std::string_view text, char decimalSeparator);

// Removes the characters with codes 0 to 32 from both ends.
std::string_view TrimCtl(std::string_view text);
std::string_view TrimLeftCtl(std::string_view text);
std::string_view TrimRightCtl(std::string_view text);

// Upper-case hexadecimal without leading zeros ("%x" of the runtime's Format).
AnsiString IntToHexMin(uint32_t value);
// Exactly eight upper-case hexadecimal digits ("%p" of the runtime's Format on 32-bit).
AnsiString PointerToHex(uintptr_t value);

}  // namespace dct

#include <initializer_list>
#include <variant>

namespace dct {

// One argument of Format: an integer, a text or an address.
struct FormatArg {
    std::variant<int64_t, AnsiString, uintptr_t> value;
    FormatArg(int v) : value(int64_t{v}) {}
    FormatArg(long v) : value(int64_t{v}) {}
    FormatArg(long long v) : value(int64_t{v}) {}
    FormatArg(unsigned v) : value(int64_t{v}) {}
    FormatArg(unsigned long v) : value(int64_t(v)) {}
    FormatArg(const char* v) : value(AnsiString(v ? v : "")) {}
    FormatArg(std::string_view v) : value(AnsiString(v)) {}
    FormatArg(const AnsiString& v) : value(v) {}
    FormatArg(const void* v) : value(reinterpret_cast<uintptr_t>(v)) {}
};

// The runtime's Format for the directives this library uses: %d, %u, %x (upper-case digits), %s,
// %p (eight upper-case hex digits) and %%, with an optional "-", width and ".precision"
// (minimum digits for numbers, maximum characters for texts). A directive whose argument is missing
// or of the wrong kind raises EConvertError "Format '%s' invalid or incompatible with argument".
AnsiString Format(std::string_view format, std::initializer_list<FormatArg> args);

}  // namespace dct
