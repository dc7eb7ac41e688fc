#include "base/cp1251.h"

#include "base/Utf.h"

namespace dct {

std::u16string Cp1251ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (unsigned char c : text) out.push_back(c < 0x80 ? char16_t(c) : detail::kHigh[c - 0x80]);
    return out;
}

void Utf16ToCp1251(std::u16string_view text, std::string& out) {
    // One byte per character at most: written in place, then cut to what was written.
    out.resize(text.size());
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) ++i;  // a surrogate pair has no 1251 byte
        int b = (c >= 0xD800 && c < 0xE000) ? -1 : detail::ByteFor(c);
        out[n++] = b < 0 ? '?' : static_cast<char>(b);
    }
    out.resize(n);
}

std::string Utf16ToCp1251(std::u16string_view text) {
    std::string out;
    Utf16ToCp1251(text, out);
    return out;
}

std::string Cp1251ToUtf8(std::string_view text) { return Utf16ToUtf8(Cp1251ToUtf16(text)); }

std::string Utf8ToCp1251(std::string_view text) { return Utf16ToCp1251(Utf8ToUtf16(text)); }

namespace {
// The one byte that Windows-1251 leaves unassigned stands for itself: a C1 control that no other
// byte of the code page maps to.
constexpr unsigned char kUnassigned = 0x98;
}  // namespace

void BytesToUtf8(std::string_view bytes, std::string& out) {
    for (unsigned char c : bytes)
        AppendUtf8(c < 0x80 || c == kUnassigned ? char32_t(c) : char32_t(detail::kHigh[c - 0x80]), out);
}

std::optional<std::string> Utf8ToBytes(std::string_view utf8) {
    const auto wide = Utf8ToUtf16Strict(utf8);
    if (!wide) return std::nullopt;
    std::string out;
    out.reserve(wide->size());
    for (char16_t c : *wide) {
        const int b = c == kUnassigned ? kUnassigned : detail::ByteFor(c);
        if (b < 0) return std::nullopt;
        out.push_back(static_cast<char>(b));
    }
    return out;
}

}  // namespace dct
