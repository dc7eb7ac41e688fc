#include "platform/Codepage.h"

#include <windows.h>

#include <algorithm>

#include "base/Utf.h"

namespace dct::platform {

unsigned AnsiCodePage() { return GetACP(); }

std::u16string AnsiToUtf16(std::string_view text) {
    if (text.empty()) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string out(static_cast<std::size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), reinterpret_cast<wchar_t*>(out.data()), n);
    return out;
}

std::string SystemTextToUtf8(std::string_view text) { return Utf16ToUtf8(AnsiToUtf16(text)); }

void Utf16ToAnsi(std::u16string_view text, std::string& out) {
    if (text.empty()) return out.clear();
    auto wide = reinterpret_cast<const wchar_t*>(text.data());
    const int size = static_cast<int>(text.size());
    // A character of the ANSI code pages this library meets takes one or two bytes: try the room
    // already there first, and ask for the exact size only when it does not do.
    out.resize(std::max(out.capacity(), text.size()));
    int n = WideCharToMultiByte(CP_ACP, 0, wide, size, out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    if (n == 0) {
        n = WideCharToMultiByte(CP_ACP, 0, wide, size, nullptr, 0, nullptr, nullptr);
        out.resize(static_cast<std::size_t>(n));
        n = WideCharToMultiByte(CP_ACP, 0, wide, size, out.data(), n, nullptr, nullptr);
    }
    out.resize(static_cast<std::size_t>(n));
}

std::string Utf16ToAnsi(std::u16string_view text) {
    std::string out;
    Utf16ToAnsi(text, out);
    return out;
}

std::string AnsiLowerCase(std::string_view text) {
    std::string out(text);
    if (!out.empty()) CharLowerBuffA(out.data(), static_cast<DWORD>(out.size()));
    return out;
}

std::string AnsiUpperCase(std::string_view text) {
    std::string out(text);
    if (!out.empty()) CharUpperBuffA(out.data(), static_cast<DWORD>(out.size()));
    return out;
}

}  // namespace dct::platform
