#include "HostText.h"

#include "base/cp1251.h"
#include "platform/Codepage.h"

namespace dcthost {

std::optional<std::u16string> Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int extra;
        char32_t cp;
        if (lead < 0x80) extra = 0, cp = lead;
        else if ((lead & 0xE0) == 0xC0) extra = 1, cp = lead & 0x1F;
        else if ((lead & 0xF0) == 0xE0) extra = 2, cp = lead & 0x0F;
        else if ((lead & 0xF8) == 0xF0) extra = 3, cp = lead & 0x07;
        else return std::nullopt;
        if (text.size() - i <= static_cast<std::size_t>(extra)) return std::nullopt;
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            cp = (cp << 6) | (next & 0x3F);
        }
        static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += 1 + extra;
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;  // a lone surrogate
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::string AnsiToUtf8(std::string_view ansi) { return Utf16ToUtf8(dct::platform::AnsiToUtf16(ansi)); }

std::string Cp1251ToUtf8(std::string_view text) { return Utf16ToUtf8(dct::Cp1251ToUtf16(text)); }

namespace {
// The code page conversions replace what they cannot map; a round trip shows whether they had to.
std::optional<std::string> WideToAnsiExact(const std::u16string& wide) {
    std::string ansi = dct::platform::Utf16ToAnsi(wide);
    if (dct::platform::AnsiToUtf16(ansi) != wide) return std::nullopt;
    return ansi;
}
}  // namespace

std::optional<std::string> Utf8ToAnsi(std::string_view utf8) {
    auto wide = Utf8ToUtf16(utf8);
    if (!wide) return std::nullopt;
    return WideToAnsiExact(*wide);
}

std::optional<std::string> Cp1251ToAnsi(std::string_view text) { return WideToAnsiExact(dct::Cp1251ToUtf16(text)); }

std::optional<std::string> AnsiToEncoding(std::string_view ansi, Encoding encoding) {
    const std::u16string wide = dct::platform::AnsiToUtf16(ansi);
    if (encoding == Encoding::Utf8) return Utf16ToUtf8(wide);
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
