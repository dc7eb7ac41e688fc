// Text between the library's 8-bit world and the user's UTF-8 terminal and files.
//
// The library takes and gives texts in the system's ANSI code page (1251 on the systems it ships to;
// the posix build always uses 1251); its description record is 1251 whatever the system.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dcthost {

enum class Encoding { Utf8, Cp1251 };

// The library's texts for display and for UTF-8 files.
// (Texts always in 1251, such as the description record, go through dct::Cp1251ToUtf8.)
std::string AnsiToUtf8(std::string_view ansi);

// Text for the library: nullopt when the input is malformed or holds a character the code page lacks.
std::optional<std::string> Utf8ToAnsi(std::string_view utf8);
std::optional<std::string> Cp1251ToAnsi(std::string_view text);
// The library's text in the encoding of an output file; nullopt when the character has no 1251 byte.
std::optional<std::string> AnsiToEncoding(std::string_view ansi, Encoding encoding);
// Input in the given encoding to the library's code page.
std::optional<std::string> EncodingToAnsi(std::string_view text, Encoding encoding);

// Removes a UTF-8 byte-order mark at the start.
std::string_view SkipUtf8Bom(std::string_view text);

// Neither UTF-8 nor cp1251 text holds NUL bytes; a file that does was most likely saved as UTF-16
// or UTF-32. For such bytes, the encoding they most likely are in, by a byte-order mark or else by
// where the NULs fall (e.g. "UTF-16 little-endian"); nullopt when they hold no NUL.
std::optional<std::string> LikelyWideEncoding(std::string_view bytes);

}  // namespace dcthost
