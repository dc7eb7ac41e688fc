#include "base/Utf.h"

namespace dct {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c < 0xDC00; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c < 0xE000; }

// The well-formed character at `at`: its code point and length, or length 0.
struct Decoded {
    char32_t codePoint = 0;
    std::size_t length = 0;
};
Decoded DecodeAt(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return {lead, 1};
    std::size_t length;
    char32_t cp, least;
    if (lead >= 0xC2 && lead < 0xE0) length = 2, cp = lead & 0x1F, least = 0x80;
    else if (lead >= 0xE0 && lead < 0xF0) length = 3, cp = lead & 0x0F, least = 0x800;
    else if (lead >= 0xF0 && lead < 0xF5) length = 4, cp = lead & 0x07, least = 0x10000;
    else return {};
    if (text.size() - at < length) return {};
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char next = byte(at + k);
        if ((next & 0xC0) != 0x80) return {};
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return {};
    return {cp, length};
}

void AppendUtf16(char32_t cp, std::u16string& out) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

template <bool Strict>
bool Decode(std::string_view text, std::u16string& out) {
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const Decoded d = DecodeAt(text, i);
        if (d.length == 0) {
            if constexpr (Strict) return false;
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        AppendUtf16(d.codePoint, out);
        i += d.length;
    }
    return true;
}

template <bool Strict>
bool Encode(std::u16string_view text, std::string& out) {
    out.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            if constexpr (Strict) return false;
            c = kReplacement;
        }
        AppendUtf8(c, out);
    }
    return true;
}

}  // namespace

void AppendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::optional<std::u16string> Utf8ToUtf16Strict(std::string_view text) {
    std::u16string out;
    if (!Decode<true>(text, out)) return std::nullopt;
    return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    Decode<false>(text, out);
    return out;
}

std::optional<std::string> Utf16ToUtf8Strict(std::u16string_view text) {
    std::string out;
    if (!Encode<true>(text, out)) return std::nullopt;
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    Encode<false>(text, out);
    return out;
}

}  // namespace dct
