#include "lib/parmstr.h"

#include <gtest/gtest.h>

namespace dct {
namespace {

AnsiString Get(const char* text, const char* name, const char* fallback = "<none>") {
    return TParametersString(text).GetParam(name, fallback);
}

TEST(ParametersLookup, KeysMatchWithoutCaseAndOnlyTheFirstColonSeparates) {
    EXPECT_EQ(Get("", "com"), "<none>");
    EXPECT_EQ(Get("COM:2;BAUD:3", "com"), "2");
    EXPECT_EQ(Get("COM:2;BAUD:3", "Baud"), "3");
    EXPECT_EQ(Get("COM:2;BAUD:3", "FT"), "<none>");
    EXPECT_EQ(Get("DF:C:\\data", "DF"), "C:\\data");
    EXPECT_EQ(Get("A:1;A:2", "A"), "1");
}

TEST(ParametersLookup, BlanksAroundStoredKeysAreIgnoredButNotAroundValuesOrAskedNames) {
    EXPECT_EQ(Get(" com :5", "com"), "5");
    EXPECT_EQ(Get(" com :5", " com"), "<none>");
    EXPECT_EQ(Get("N: x ", "N"), " x ");
}

TEST(ParametersLookup, KeyWithoutValueAndEmptyPairs) {
    EXPECT_EQ(Get("FLAG;COM:1", "flag"), "");
    EXPECT_EQ(Get(";;COM:1;", "com"), "1");
    EXPECT_EQ(Get(":x:1", ":x"), "1");  // a colon in the first position belongs to the key
}

TEST(ParametersLookup, TrailingBackslashSwallowsTheNextPair) {
    EXPECT_EQ(Get("DF:C:\\;FN:1", "DF"), "C:;FN:1");
    EXPECT_EQ(Get("DF:C:\\;FN:1", "FN"), "<none>");
}

TEST(ParametersBuild, AddParamEscapesSemicolonsAndRoundTrips) {
    TParametersString p;
    p.AddParam("X", "a;b");
    EXPECT_EQ(p.Text(), "X:a\\;b");
    EXPECT_EQ(p.GetParam("X", ""), "a;b");
    p.AddParam("X", "second");
    EXPECT_EQ(p.GetParam("x", ""), "a;b");
}

TEST(ParametersBuild, TheTextThatCreatesADriver) {
    TParametersString p;
    for (auto [k, v] : {std::pair{"COM", "2"}, {"BAUD", "3"}, {"CT", "1"}, {"FT", "1"}, {"FN", "1"}, {"DF", "C:\\data"}})
        p.AddParam(k, v);
    EXPECT_EQ(p.Text(), "COM:2;BAUD:3;CT:1;FT:1;FN:1;DF:C:\\data");
}

TEST(ParametersHelpers, UnescapeKeepsLoneBackslashes) {
    EXPECT_EQ(UnescapeSemicolon("a\\b\\;c\\"), "a\\b;c\\");
    EXPECT_EQ(AsLowercase("CoM:X1"), "com:x1");  // beyond ASCII the mapping is the code page's
}

}  // namespace
}  // namespace dct
