// UTF-8 <-> UTF-16, the one conversion between the two for the whole tree.
//
// The strict forms refuse what is not well formed: in UTF-8 an overlong form, an encoded surrogate,
// a code point above U+10FFFF, a sequence cut short or a stray continuation byte; in UTF-16 a lone
// surrogate. The lenient forms put U+FFFD in place of each byte (or code unit) that does not start
// a well-formed character, and never fail.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dct {

std::optional<std::u16string> Utf8ToUtf16Strict(std::string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

std::optional<std::string> Utf16ToUtf8Strict(std::u16string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Appends one code point (at most U+10FFFF, no surrogate) as UTF-8.
void AppendUtf8(char32_t codePoint, std::string& out);

}  // namespace dct
