#include "HostText.h"

#include <gtest/gtest.h>

#include "base/cp1251.h"

namespace dcthost {
namespace {

TEST(HostTextCp1251, LibraryTextsShownAsUtf8AndBack) {
    EXPECT_EQ(dct::Cp1251ToUtf8("\xD2\xE5\xF0\xEC\xE8\xED\xE0\xEB"),
              "\xD0\xA2\xD0\xB5\xD1\x80\xD0\xBC\xD0\xB8\xD0\xBD\xD0\xB0\xD0\xBB");
    EXPECT_EQ(EncodingToAnsi("4601", Encoding::Cp1251), "4601");  // Cyrillic maps only where the code page is 1251
    EXPECT_FALSE(EncodingToAnsi("\xC0\xAF", Encoding::Utf8));  // malformed input is refused, not guessed
    EXPECT_EQ(SkipUtf8Bom("\xEF\xBB\xBFx"), "x");
    EXPECT_EQ(SkipUtf8Bom("x"), "x");
}

TEST(HostTextCp1251, OutputInCp1251RefusesWhatItLacks) {
    // ASCII survives every code page; a character 1251 has no byte for cannot be written.
    auto ascii = Utf8ToAnsi("4601");
    ASSERT_TRUE(ascii);
    EXPECT_EQ(AnsiToEncoding(*ascii, Encoding::Cp1251), "4601");
    EXPECT_FALSE(Utf8ToAnsi("\xE4\xB8\xAD"));  // a CJK character: in neither 1251 nor 1252
}

}  // namespace
}  // namespace dcthost
