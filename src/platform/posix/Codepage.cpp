#include "platform/Codepage.h"

#include <array>

#include "base/cp1251.h"

namespace dct::platform {
namespace {

// Windows-1251 case pairs beyond ASCII and the contiguous А..Я / а..я block.
constexpr std::array<std::pair<unsigned char, unsigned char>, 14> kPairs{{{0x80, 0x90},
                                                                          {0x81, 0x83},
                                                                          {0x8A, 0x9A},
                                                                          {0x8C, 0x9C},
                                                                          {0x8D, 0x9D},
                                                                          {0x8E, 0x9E},
                                                                          {0x8F, 0x9F},
                                                                          {0xA1, 0xA2},
                                                                          {0xA3, 0xBC},
                                                                          {0xA5, 0xB4},
                                                                          {0xA8, 0xB8},
                                                                          {0xAA, 0xBA},
                                                                          {0xAF, 0xBF},
                                                                          {0xB2, 0xB3}}};

struct CaseTables {
    std::array<unsigned char, 256> lower{}, upper{};
    CaseTables() {
        for (int c = 0; c < 256; ++c) lower[c] = upper[c] = static_cast<unsigned char>(c);
        for (int c = 'A'; c <= 'Z'; ++c) lower[c] = static_cast<unsigned char>(c + 32), upper[c + 32] = c;
        for (int c = 0xC0; c <= 0xDF; ++c) lower[c] = static_cast<unsigned char>(c + 32), upper[c + 32] = c;
        for (auto [u, l] : kPairs) lower[u] = l, upper[l] = u;
        lower[0xBD] = 0xBE, upper[0xBE] = 0xBD;  // Ѕ ѕ
    }
};

const CaseTables& Tables() {
    static const CaseTables tables;
    return tables;
}

}  // namespace

unsigned AnsiCodePage() { return 1251; }

std::u16string AnsiToUtf16(std::string_view text) { return Cp1251ToUtf16(text); }
std::string Utf16ToAnsi(std::u16string_view text) { return Utf16ToCp1251(text); }
void Utf16ToAnsi(std::u16string_view text, std::string& out) { Utf16ToCp1251(text, out); }

std::string SystemTextToUtf8(std::string_view text) { return std::string(text); }

std::string AnsiLowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(Tables().lower[static_cast<unsigned char>(c)]);
    return out;
}

std::string AnsiUpperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(Tables().upper[static_cast<unsigned char>(c)]);
    return out;
}

}  // namespace dct::platform
