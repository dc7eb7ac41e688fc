#include "base/IniEngine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

using dct::ini::EraseSection;
using dct::ini::FileState;
using dct::ini::KeyNames;
using dct::ini::SectionNames;
using dct::ini::WriteValue;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

std::string Read(std::string_view content, std::string_view section, std::string_view key,
                 std::string_view fallback = "D", std::size_t size = 2048) {
    return dct::ini::ReadValue(FileState::Present, content, section, key, fallback, size);
}

}  // namespace

TEST(IniEngineRead, ValuesAreTrimmedAndMatchedWithoutCase) {
    const std::string file = "[5]\r\n  dct_port =  4 \t\r\nDCT_Rate=\r\n[Other]\r\nx=1\r\n";
    EXPECT_EQ(Read(file, "5", "DCT_Port"), "4");
    EXPECT_EQ(Read(file, "5", "DCT_RATE"), "");  // present and empty: no default
    EXPECT_EQ(Read(file, "5", "DCT_ID", "0"), "0");
    EXPECT_EQ(Read(file, "OTHER", "X"), "1");
    EXPECT_EQ(Read(file, " other ", " x "), "1");  // names asked for are trimmed
    EXPECT_EQ(Read(file, "6", "x"), "D");
}

TEST(IniEngineRead, SectionNamesLoseBlanksOnly) {
    const std::string file = "[05]\r\nk=a\r\n[ 7\t]\r\nk=b\r\n[5]\r\nk=c\r\n[\xC0]\r\nk=d\r\n";
    EXPECT_EQ(Read(file, "5", "k"), "c");
    EXPECT_EQ(Read(file, "7", "k"), "b");
    EXPECT_EQ(Read(file, "\xE0", "k"), "D");  // only A-Z are folded
    EXPECT_EQ(Read(file, "\xC0", "K"), "d");
    EXPECT_THAT(SectionNames(file), ElementsAre("05", "7", "5", "\xC0"));
}

TEST(IniEngineRead, FirstMatchWinsForRepeatedSectionsAndKeys) {
    const std::string file = "[a]\r\nk=1\r\nK=2\r\n[A]\r\nk=3\r\nj=4\r\n";
    EXPECT_EQ(Read(file, "a", "k"), "1");
    EXPECT_EQ(Read(file, "a", "j"), "D");  // only the first section is searched
    EXPECT_THAT(KeyNames(file, "a"), ElementsAre("k", "K"));
    EXPECT_THAT(SectionNames(file), ElementsAre("a", "A"));
}

TEST(IniEngineRead, LineShapes) {
    const std::string file =
        "top=0\r\n"
        "[s] trailing text\r\n"
        ";k=comment\r\n"
        "bare\r\n"
        "a=b=c\r\n"
        "lf=only\n"
        "cr=ends\rstill\r\n"
        "[broken\r\n"
        "last=no newline";
    EXPECT_EQ(Read(file, "s", "a"), "b=c");
    EXPECT_EQ(Read(file, "s", "bare"), "D");  // a line without '=' has no value
    EXPECT_EQ(Read(file, "s", "lf"), "only");
    EXPECT_EQ(Read(file, "s", "cr"), "ends");  // a lone CR ends a line too
    EXPECT_EQ(Read(file, "s", "last"), "no newline");  // "[broken" is an ordinary line
    EXPECT_EQ(Read(file, "", "top"), "0");             // the empty name reaches the lines before any header
    EXPECT_THAT(KeyNames(file, "s"), ElementsAre("a", "lf", "cr", "last"));
    EXPECT_THAT(SectionNames(file), ElementsAre("s"));
}

TEST(IniEngineRead, QuotesAndLengths) {
    const std::string file = "[q]\r\nd=\"abc\"\r\ns='abc'\r\nm=\"abc'\r\none=\"\r\nempty=\"\"\r\nin= \" x \" \r\n";
    EXPECT_EQ(Read(file, "q", "d"), "abc");
    EXPECT_EQ(Read(file, "q", "s"), "abc");
    EXPECT_EQ(Read(file, "q", "m"), "\"abc'");
    EXPECT_EQ(Read(file, "q", "one"), "\"");
    EXPECT_EQ(Read(file, "q", "empty"), "");
    EXPECT_EQ(Read(file, "q", "in"), " x ");
    EXPECT_EQ(Read(file, "q", "zz", "\"dflt\"  "), "dflt");  // defaults lose trailing spaces and quotes
    EXPECT_EQ(Read(file, "q", "zz", "   "), " ");
    EXPECT_EQ(Read(file, "q", "", "dflt"), "dflt");
    EXPECT_EQ(Read("[q]\r\n=nameless\r\n", "q", " ", "dflt"), "nameless");

    const std::string big(3000, 'v');
    EXPECT_EQ(Read("[b]\r\nk=" + big + "\r\n", "b", "k").size(), 2047u);
    EXPECT_EQ(Read(file, "q", "d", "", 3), "ab");
    EXPECT_EQ(Read(file, "q", "d", "", 4), "ab");  // one short of the unquoted text: the platform's quirk
    EXPECT_EQ(Read(file, "q", "d", "", 5), "abc");
}

TEST(IniEngineRead, MissingAndUnreachableFiles) {
    using dct::ini::ReadValue;
    EXPECT_EQ(ReadValue(FileState::Missing, "", "5", "DCT_Port", "1"), "1");
    EXPECT_EQ(ReadValue(FileState::Missing, "", "5", "k", "\"q\""), "q");
    EXPECT_EQ(ReadValue(FileState::Unreachable, "", "5", "k", "\"q\" "), "\"q\"");
    EXPECT_THAT(SectionNames(""), IsEmpty());
    EXPECT_THAT(KeyNames("", "5"), IsEmpty());
}

TEST(IniEngineRead, KeyListingSkipsCommentsBareLinesAndEmptyNames) {
    const std::string file = "[9]\r\n\r\n;x=1\r\nbare\r\n=nameless\r\n[8]\r\nk=\r\n[10]\r\n";
    EXPECT_THAT(KeyNames(file, "9"), IsEmpty());  // a header with nothing usable counts as absent
    EXPECT_THAT(KeyNames(file, "8"), ElementsAre("k"));
    EXPECT_THAT(KeyNames(file, "10"), IsEmpty());
    EXPECT_THAT(KeyNames(file, " 8"), IsEmpty());  // listing compares the name as given
}

TEST(IniEngineWrite, NewFileSectionAndKeys) {
    auto first = WriteValue("", "5", "DCT_Port", "2");
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, "[5]\r\nDCT_Port=2\r\n");
    auto second = WriteValue(*first, "5", "DCT_Rate", "3");
    ASSERT_TRUE(second);
    EXPECT_EQ(*second, "[5]\r\nDCT_Port=2\r\nDCT_Rate=3\r\n");
    auto third = WriteValue(*second, "7", "DCT_Port", "1");
    ASSERT_TRUE(third);
    EXPECT_EQ(*third, "[5]\r\nDCT_Port=2\r\nDCT_Rate=3\r\n[7]\r\nDCT_Port=1\r\n");
}

TEST(IniEngineWrite, ReplacesInPlaceKeepingTheFilesSpelling) {
    const std::string file = "[5]\r\ndct_port=2\r\nother=x\r\n[6]\r\nk=1\r\n";
    auto out = WriteValue(file, "5", "DCT_Port", "  9");
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, "[5]\r\ndct_port=9\r\nother=x\r\n[6]\r\nk=1\r\n");
    EXPECT_FALSE(WriteValue(*out, "5", "DCT_PORT", "9"));  // same value: the file is not touched
    auto appended = WriteValue(file, "5", "DCT_ID", "5");
    ASSERT_TRUE(appended);
    EXPECT_EQ(*appended, "[5]\r\ndct_port=2\r\nother=x\r\nDCT_ID=5\r\n[6]\r\nk=1\r\n");
}

TEST(IniEngineWrite, BareLineGetsTheValueAndRepeatsAreLeftAlone) {
    const std::string file = "[a]\r\nk\r\nk=old\r\n[a]\r\nz=1\r\n";
    auto out = WriteValue(file, "A", "K", "new");
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, "[a]\r\nk=new\r\nk=old\r\n[a]\r\nz=1\r\n");
    auto z = WriteValue(file, "a", "z", "2");  // appended to the first [a], the second keeps z=1
    ASSERT_TRUE(z);
    EXPECT_EQ(*z, "[a]\r\nk\r\nk=old\r\nz=2\r\n[a]\r\nz=1\r\n");
}

TEST(IniEngineWrite, RewriteNormalisesLines) {
    const std::string file = "\xEF\xBB\xBF; head\r\n\r\n[s]  \r\n  k  =  v  \r\n\r\n\r\n;c\r\n=a\r\n=b\r\n[]\r\nq=1";
    auto out = WriteValue(file, "s", "n", "1");
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, "\xEF\xBB\xBF; head\r\n[s]\r\nk=v\r\n;c\r\n=a\r\nn=1\r\nq=1\r\n");
}

TEST(IniEngineErase, FirstMatchingSectionWithAllItsLines) {
    const std::string file = "[5]\r\nDCT_Port=1\r\n;note\r\nfoo=bar\r\n[7]\r\nk=1\r\n[5]\r\nx=2\r\n";
    auto out = EraseSection(file, "5");
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, "[7]\r\nk=1\r\n[5]\r\nx=2\r\n");
    EXPECT_FALSE(EraseSection(file, "8"));
    EXPECT_FALSE(EraseSection("", "5"));
}
