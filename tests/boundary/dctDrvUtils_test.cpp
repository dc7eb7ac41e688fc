#include "boundary/dctDrvUtils.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace dct {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(BarcodeList, SeparatorsBlanksColonsAndDuplicates) {
    EXPECT_THAT(ExtractBarcodesFromString("|4601|  4602 ||4601|4603:2|"), ElementsAre("4601", "4602", "4603"));
    EXPECT_THAT(ExtractBarcodesFromString("ab|AB"), ElementsAre("ab"));
    EXPECT_THAT(ExtractBarcodesFromString("x: 1| y :2"), ElementsAre("x", "y"));
    EXPECT_THAT(ExtractBarcodesFromString("\xE0\xE1|\xC0\xC1|b"), ElementsAre("\xE0\xE1", "b"));  // Cyrillic case
}

TEST(BarcodeList, NothingUsableGivesNoList) {
    EXPECT_THAT(ExtractBarcodesFromString("|||"), IsEmpty());
    EXPECT_THAT(ExtractBarcodesFromString("   "), IsEmpty());
    EXPECT_THAT(ExtractBarcodesFromString(":5"), IsEmpty());
    EXPECT_THAT(ExtractBarcodesFromString(""), IsEmpty());
    EXPECT_THAT(ExtractBarcodesFromString("|"), IsEmpty());
}

TEST(BarcodeList, SingleAndLastCharacters) {
    EXPECT_THAT(ExtractBarcodesFromString("7"), ElementsAre("7"));
    EXPECT_THAT(ExtractBarcodesFromString("||7"), ElementsAre("7"));
    EXPECT_THAT(ExtractBarcodesFromString("7|"), ElementsAre("7"));
}

TEST(BarcodeList, LongListsKeepFirstSpellingAndOrder) {
    std::string text;
    for (int i = 0; i < 10000; ++i) text += "C" + std::to_string(i % 5000) + "|";
    auto list = ExtractBarcodesFromString(text);
    ASSERT_EQ(list.size(), 5000u);
    EXPECT_EQ(list.front(), "C0");
    EXPECT_EQ(list.back(), "C4999");
}

}  // namespace
}  // namespace dct
