#include "base/cp1251.h"

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

std::string Cp1251ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char16_t c : Cp1251ToUtf16(text)) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::string Utf8ToCp1251(std::string_view text) {
    std::u16string wide;
    wide.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        int extra = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || text.size() - i <= static_cast<std::size_t>(extra)) {
            wide.push_back(u'?');  // malformed or cut short
            ++i;
            continue;
        }
        char32_t cp = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += 1 + extra;
        wide.push_back(cp > 0xFFFF ? u'?' : static_cast<char16_t>(cp));
    }
    return Utf16ToCp1251(wide);
}

}  // namespace dct
