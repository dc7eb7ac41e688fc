// Windows-1251 text: compile-time literals and the byte <-> UTF-16 mapping.
//
// The library's own texts are byte-exact 1251. Sources are UTF-8, so every Cyrillic
// literal goes through Cp1251() at compile time; a character outside 1251 fails the build.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dct {

namespace detail {

// UTF-16 code unit of each 1251 byte from 0x80 to 0xFF (0xFFFD where the code page has a hole).
constexpr char16_t kHigh[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    // 0xC0..0xFF: А..я in order
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C,
    0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429,
    0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436,
    0x0437, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443,
    0x0444, 0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F};

// The 1251 byte for a code point, or -1 when the code page has none.
constexpr int ByteFor(char32_t cp) {
    if (cp < 0x80) return static_cast<int>(cp);
    for (int i = 0; i < 128; ++i)
        if (kHigh[i] == cp && cp != 0xFFFD) return 0x80 + i;
    return -1;
}

template <std::size_t N>
struct Cp1251Text {
    std::array<char, N> bytes{};
    std::size_t size = 0;
    constexpr std::string_view view() const { return {bytes.data(), size}; }
    operator std::string_view() const { return view(); }
    std::string str() const { return std::string(view()); }
};

}  // namespace detail

// Cp1251(u8"Текст") -> the 1251 bytes of the literal, zero-terminated, usable as string_view.
template <std::size_t N>
consteval detail::Cp1251Text<N> Cp1251(const char8_t (&utf8)[N]) {
    detail::Cp1251Text<N> out{};
    std::size_t i = 0, o = 0;
    while (i + 1 < N) {
        char32_t c = utf8[i];
        int extra = 0;
        if (c < 0x80) {
        } else if ((c & 0xE0) == 0xC0) {
            c &= 0x1F, extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            c &= 0x0F, extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            c &= 0x07, extra = 3;
        } else {
            throw "invalid UTF-8 in a 1251 literal";
        }
        for (int k = 1; k <= extra; ++k) c = (c << 6) | (utf8[i + k] & 0x3F);
        i += 1 + extra;
        int b = detail::ByteFor(c);
        if (b < 0) throw "character outside Windows-1251";
        out.bytes[o++] = static_cast<char>(b);
    }
    out.bytes[o] = 0;
    out.size = o;
    return out;
}

// Byte-wise mapping used where the platform offers no code page conversion of its own.
std::u16string Cp1251ToUtf16(std::string_view text);
// Characters with no 1251 byte become '?', as the Windows conversion does by default.
std::string Utf16ToCp1251(std::u16string_view text);
// The same into `out`, replacing what it held and reusing its storage.
void Utf16ToCp1251(std::u16string_view text, std::string& out);
// UTF-8 <-> 1251 for consoles, CSV files and tests.
std::string Cp1251ToUtf8(std::string_view text);
std::string Utf8ToCp1251(std::string_view text);

// Any bytes as UTF-8 and back, unchanged: each byte is its Windows-1251 character, and the one byte
// the code page leaves unassigned (0x98) is U+0098. Appends to `out`. The way back refuses text
// that is not well-formed UTF-8 or holds a character no byte stands for.
void BytesToUtf8(std::string_view bytes, std::string& out);
std::optional<std::string> Utf8ToBytes(std::string_view utf8);

}  // namespace dct
