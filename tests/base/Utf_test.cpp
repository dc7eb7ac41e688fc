// The one UTF-8 <-> UTF-16 conversion: what each form accepts, refuses and replaces.
#include "base/Utf.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace dct {
namespace {

struct Utf8Case {
    const char* name;
    std::string utf8;
    std::optional<std::u16string> strict;  // none: refused
    std::u16string lenient;
};

TEST(Utf8ToUtf16, AcceptsWellFormedTextAndRefusesOrReplacesTheRest) {
    const Utf8Case cases[] = {
        {"empty", "", u"", u""},
        {"ascii and NUL", std::string("a\0b", 3), std::u16string(u"a\0b", 3), std::u16string(u"a\0b", 3)},
        {"two-byte", "\xD0\x96", u"\u0416", u"\u0416"},
        {"three-byte", "\xE2\x82\xAC", u"\u20AC", u"\u20AC"},
        {"four-byte becomes a pair", "\xF0\x9F\x98\x80", u"\xD83D\xDE00", u"\xD83D\xDE00"},
        {"highest code point", "\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF", u"\xDBFF\xDFFF"},
        {"overlong", "\xC0\xAF", std::nullopt, u"\xFFFD\xFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", std::nullopt, u"\xFFFD\xFFFD\xFFFD"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", std::nullopt, u"\xFFFD\xFFFD\xFFFD\xFFFD"},
        {"cut short", "a\xE2\x82", std::nullopt, u"a\xFFFD\xFFFD"},
        {"cut short after its lead", "\xD0", std::nullopt, u"\xFFFD"},
        {"no such lead byte", "\xFF", std::nullopt, u"\xFFFD"},
        {"stray continuation", "\x80z", std::nullopt, u"\xFFFDz"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Utf8ToUtf16Strict(c.utf8), c.strict);
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.lenient);
    }
}

TEST(Utf16ToUtf8, LoneSurrogatesAreRefusedOrReplaced) {
    EXPECT_EQ(Utf16ToUtf8Strict(u"\u0416\xD83D\xDE00"), "\xD0\x96\xF0\x9F\x98\x80");
    for (std::u16string lone : {std::u16string(u"\xD800"), std::u16string(u"x\xDC00"), std::u16string(u"\xD800x")}) {
        EXPECT_EQ(Utf16ToUtf8Strict(lone), std::nullopt);
        EXPECT_NE(Utf16ToUtf8(lone).find("\xEF\xBF\xBD"), std::string::npos);
    }
    // Every code unit that is not a surrogate goes there and back unchanged.
    std::u16string all;
    for (char32_t c = 1; c < 0x10000; ++c)
        if (c < 0xD800 || c >= 0xE000) all.push_back(static_cast<char16_t>(c));
    EXPECT_EQ(Utf8ToUtf16Strict(*Utf16ToUtf8Strict(all)), all);
}

}  // namespace
}  // namespace dct
