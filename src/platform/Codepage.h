// Conversion between the 8-bit text of the host (the system's ANSI code page) and UTF-16,
// and the 8-bit case mapping of that code page.
//
// win32: MultiByteToWideChar/WideCharToMultiByte with CP_ACP and CharLowerBuffA, as the host's
// own strings are converted. posix: Windows-1251, the code page of the systems the host ships to.
#pragma once

#include <string>
#include <string_view>

namespace dct::platform {

// The number of the code page the host's 8-bit texts are in (1251 on posix).
unsigned AnsiCodePage();

std::u16string AnsiToUtf16(std::string_view text);
std::string Utf16ToAnsi(std::u16string_view text);
// The same into `out`, replacing what it held and reusing its storage: a loop over records allocates
// nothing for texts that fit.
void Utf16ToAnsi(std::u16string_view text, std::string& out);

// The system's own 8-bit texts (the command line, the environment, file names) as UTF-8: from the ANSI
// code page on win32; posix systems keep them in UTF-8 already.
std::string SystemTextToUtf8(std::string_view text);

// A copy of the text lowercased with the code page's 8-bit mapping (Cyrillic as well as Latin).
std::string AnsiLowerCase(std::string_view text);
std::string AnsiUpperCase(std::string_view text);

}  // namespace dct::platform
