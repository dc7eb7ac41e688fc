#include "HostText.h"

#include "base/Utf.h"
#include "base/cp1251.h"
#include "platform/Codepage.h"

namespace dcthost {

std::string AnsiToUtf8(std::string_view ansi) { return dct::Utf16ToUtf8(dct::platform::AnsiToUtf16(ansi)); }

namespace {
// The code page conversions replace what they cannot map; a round trip shows whether they had to.
std::optional<std::string> WideToAnsiExact(const std::u16string& wide) {
    std::string ansi = dct::platform::Utf16ToAnsi(wide);
    if (dct::platform::AnsiToUtf16(ansi) != wide) return std::nullopt;
    return ansi;
}
}  // namespace

std::optional<std::string> Utf8ToAnsi(std::string_view utf8) {
    // Malformed input is refused, not guessed at.
    auto wide = dct::Utf8ToUtf16Strict(utf8);
    if (!wide) return std::nullopt;
    return WideToAnsiExact(*wide);
}

std::optional<std::string> Cp1251ToAnsi(std::string_view text) { return WideToAnsiExact(dct::Cp1251ToUtf16(text)); }

std::optional<std::string> AnsiToEncoding(std::string_view ansi, Encoding encoding) {
    const std::u16string wide = dct::platform::AnsiToUtf16(ansi);
    if (encoding == Encoding::Utf8) return dct::Utf16ToUtf8(wide);
    std::string bytes = dct::Utf16ToCp1251(wide);
    if (dct::Cp1251ToUtf16(bytes) != wide) return std::nullopt;
    return bytes;
}

std::optional<std::string> EncodingToAnsi(std::string_view text, Encoding encoding) {
    return encoding == Encoding::Utf8 ? Utf8ToAnsi(text) : Cp1251ToAnsi(text);
}

std::string_view SkipUtf8Bom(std::string_view text) {
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    return text;
}

std::optional<std::string> LikelyWideEncoding(std::string_view bytes) {
    if (bytes.find('\0') == std::string_view::npos) return std::nullopt;
    using namespace std::string_view_literals;
    if (bytes.substr(0, 4) == "\xFF\xFE\0\0"sv) return "UTF-32 little-endian";
    if (bytes.substr(0, 4) == "\0\0\xFE\xFF"sv) return "UTF-32 big-endian";
    if (bytes.substr(0, 2) == "\xFF\xFE"sv) return "UTF-16 little-endian";
    if (bytes.substr(0, 2) == "\xFE\xFF"sv) return "UTF-16 big-endian";
    // Latin letters, digits and separators are most of a goods table: in UTF-16 each has one NUL,
    // after it in little-endian order, before it in big-endian.
    std::size_t even = 0, odd = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] == '\0') ++(i % 2 ? odd : even);
    return odd >= even ? "UTF-16 little-endian" : "UTF-16 big-endian";
}

}  // namespace dcthost
