#include "HostCsv.h"

#include <gtest/gtest.h>

namespace dcthost {
namespace {

std::optional<std::string> Same(std::string_view text) { return std::string(text); }

TEST(HostCsvParse, QuotesSeparatorsAndLineBreaks) {
    std::vector<CsvProblem> problems;
    auto rows = ParseCsv("a;\"b;c\";\"say \"\"hi\"\"\"\r\n\r\n\"multi\nline\";x\nlast", ';', &problems);
    ASSERT_TRUE(problems.empty());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].fields, (std::vector<std::string>{"a", "b;c", "say \"hi\""}));
    EXPECT_EQ(rows[0].line, 1);
    EXPECT_EQ(rows[1].fields, (std::vector<std::string>{"multi\nline", "x"}));
    EXPECT_EQ(rows[1].line, 3);  // the blank line 2 is skipped but counted
    EXPECT_EQ(rows[2].line, 5);
    EXPECT_EQ(rows[2].fields, (std::vector<std::string>{"last"}));
}

TEST(HostCsvParse, UnclosedQuoteIsAProblemAtItsRow) {
    std::vector<CsvProblem> problems;
    auto rows = ParseCsv("ok;1\n\"open;2\nmore\n", ';', &problems);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].line, 2);
    EXPECT_EQ(rows.size(), 1u);
}

TEST(HostCsvBarcodes, SplitAsTheLibraryDoes) {
    EXPECT_EQ(BarcodesOf("|4601|  4602 ||4601|4603:2|"), (std::vector<std::string>{"4601", "4602", "4603"}));
    EXPECT_EQ(BarcodesOf("ab|AB"), (std::vector<std::string>{"ab"}));
    EXPECT_TRUE(BarcodesOf("|||").empty());
    EXPECT_TRUE(BarcodesOf("   ").empty());
    EXPECT_TRUE(BarcodesOf(":5").empty());
}

TEST(HostCsvNumber, PointOrCommaFiniteOnly) {
    EXPECT_EQ(ParseNumber(" 1,5 "), 1.5);
    EXPECT_EQ(ParseNumber("-2.25"), -2.25);
    EXPECT_FALSE(ParseNumber("abc"));
    EXPECT_FALSE(ParseNumber("1.5x"));
    EXPECT_FALSE(ParseNumber("nan"));
    EXPECT_FALSE(ParseNumber("inf"));
    EXPECT_FALSE(ParseNumber("0x10"));
    EXPECT_FALSE(ParseNumber("1e999"));
    EXPECT_FALSE(ParseNumber(""));
}

TEST(HostCsvGoods, HeaderOptionalColumnsAndBadRowsByLine) {
    std::vector<CsvProblem> problems;
    auto records = ParseGoodsTable(
        "Barcodes;text1;number;text2\n4601|4602;Bread;1,5;pcs\n4603\n;x;1;y\n4604;a;NaN;b\n4605;a;1;b;c\n", ';', Same,
        &problems);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].barcodes, "4601|4602");
    EXPECT_EQ(records[0].text1, "Bread");
    EXPECT_EQ(records[0].number, 1.5);
    EXPECT_EQ(records[0].text2, "pcs");
    EXPECT_EQ(records[0].line, 2);
    EXPECT_EQ(records[1].barcodes, "4603");
    EXPECT_EQ(records[1].number, 0);
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_EQ(problems[0].line, 4);
    EXPECT_EQ(problems[1].line, 5);
    EXPECT_EQ(problems[2].line, 6);
}

TEST(HostCsvGoods, TextTheCodePageLacksIsABadRow) {
    std::vector<CsvProblem> problems;
    auto refuseNonAscii = [](std::string_view text) -> std::optional<std::string> {
        for (char c : text)
            if (static_cast<unsigned char>(c) >= 0x80) return std::nullopt;
        return std::string(text);
    };
    auto records = ParseGoodsTable("4601;\xE2\x82\xAC;1;x\n4602;ok;1;x\n", ';', refuseNonAscii, &problems);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].barcodes, "4602");
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].line, 1);
}

TEST(HostCsvOutput, QuantitiesAndJson) {
    EXPECT_EQ(FormatQuantity(1.5, ','), "1,5");
    EXPECT_EQ(FormatQuantity(2, '.'), "2");
    EXPECT_EQ(FormatQuantity(0.1, '.'), "0.1");
    EXPECT_EQ(std::stod(FormatQuantity(1.0 / 3, '.')), 1.0 / 3);  // round trip
    EXPECT_EQ(JsonString("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
}

}  // namespace
}  // namespace dcthost
