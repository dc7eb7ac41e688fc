#include "base/SysUtils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "base/cp1251.h"

using dct::StrToFloat;
using dct::StrToInt;
using dct::TryStrToFloat;
using dct::TryStrToInt;

TEST(IntConversion, Smoke) { EXPECT_EQ(dct::StrToInt("12"), 12); }

TEST(IntConversion, DecimalForms) {
    EXPECT_EQ(TryStrToInt("0"), 0);
    EXPECT_EQ(TryStrToInt("+7"), 7);
    EXPECT_EQ(TryStrToInt("-7"), -7);
    EXPECT_EQ(TryStrToInt("-0"), 0);
    EXPECT_EQ(TryStrToInt("000000000000000000042"), 42);  // leading zeros never overflow
    EXPECT_EQ(TryStrToInt("   15"), 15);                   // leading blanks
    EXPECT_EQ(TryStrToInt("15 "), std::nullopt);            // nothing may follow
    EXPECT_EQ(TryStrToInt("\t15"), std::nullopt);           // only the blank itself is skipped
    EXPECT_EQ(TryStrToInt("- 5"), std::nullopt);
    EXPECT_EQ(TryStrToInt("--5"), std::nullopt);
    EXPECT_EQ(TryStrToInt("1.0"), std::nullopt);
    EXPECT_EQ(TryStrToInt("1e3"), std::nullopt);
    EXPECT_EQ(TryStrToInt("12a"), std::nullopt);
}

TEST(IntConversion, HexadecimalForms) {
    EXPECT_EQ(TryStrToInt("$1F"), 31);
    EXPECT_EQ(TryStrToInt("$ff"), 255);
    EXPECT_EQ(TryStrToInt("x10"), 16);
    EXPECT_EQ(TryStrToInt("X10"), 16);
    EXPECT_EQ(TryStrToInt("0x10"), 16);
    EXPECT_EQ(TryStrToInt("0XaB"), 171);
    EXPECT_EQ(TryStrToInt("-$10"), -16);
    EXPECT_EQ(TryStrToInt("  +0x7FFFFFFF"), 2147483647);
    EXPECT_EQ(TryStrToInt("-$80000000"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(TryStrToInt("$"), std::nullopt);
    EXPECT_EQ(TryStrToInt("0x"), std::nullopt);
    EXPECT_EQ(TryStrToInt("x"), std::nullopt);
    EXPECT_EQ(TryStrToInt("$G"), std::nullopt);
    EXPECT_EQ(TryStrToInt("$-1"), std::nullopt);
    EXPECT_EQ(TryStrToInt("0x0x1"), std::nullopt);
    EXPECT_EQ(TryStrToInt("1x1"), std::nullopt);
    EXPECT_EQ(TryStrToInt("$80000000"), std::nullopt);  // beyond 32 signed bits
}

TEST(IntConversion, Bounds) {
    EXPECT_EQ(TryStrToInt("2147483647"), 2147483647);
    EXPECT_EQ(TryStrToInt("2147483648"), std::nullopt);
    EXPECT_EQ(TryStrToInt("-2147483648"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(TryStrToInt("-2147483649"), std::nullopt);
    EXPECT_EQ(TryStrToInt("99999999999999999999999999"), std::nullopt);
    EXPECT_EQ(TryStrToInt("4294967296"), std::nullopt);  // does not wrap to 0
    EXPECT_EQ(TryStrToInt("$100000001"), std::nullopt);  // does not wrap to 1
}

TEST(IntConversion, EmptyAndBlankTextFail) {
    EXPECT_EQ(TryStrToInt(""), std::nullopt);
    EXPECT_EQ(TryStrToInt("   "), std::nullopt);
    EXPECT_EQ(TryStrToInt("+"), std::nullopt);
    EXPECT_EQ(TryStrToInt("-"), std::nullopt);
    EXPECT_EQ(dct::StrToIntDef("", -3), -3);
    EXPECT_EQ(dct::StrToIntDef("$A", -3), 10);
}

TEST(IntConversion, ErrorMessageQuotesTheTextInCp1251) {
    try {
        StrToInt(" 1 2");
        FAIL();
    } catch (const dct::EConvertError& e) {
        // "' 1 2' не является допустимым значением целого числа" byte for byte.
        const std::string expected = "' 1 2' \xED\xE5 \xFF\xE2\xEB\xFF\xE5\xF2\xF1\xFF \xE4\xEE\xEF\xF3\xF1\xF2\xE8\xEC\xFB\xEC "
                                     "\xE7\xED\xE0\xF7\xE5\xED\xE8\xE5\xEC \xF6\xE5\xEB\xEE\xE3\xEE \xF7\xE8\xF1\xEB\xE0";
        EXPECT_EQ(e.Message(), expected);
        EXPECT_STREQ(e.ClassName(), "EConvertError");
    }
    try {
        StrToInt("");
        FAIL();
    } catch (const dct::EConvertError& e) {
        EXPECT_EQ(e.Message().substr(0, 3), "'' ");
    }
    // A text holding the pattern's own marker is inserted as it is.
    EXPECT_THROW(StrToInt("%s"), dct::EConvertError);
    try {
        StrToInt("%s");
    } catch (const dct::EConvertError& e) {
        EXPECT_EQ(e.Message().substr(0, 5), "'%s' ");
    }
}

TEST(IntConversion, IntToStr) {
    EXPECT_EQ(dct::IntToStr(0), "0");
    EXPECT_EQ(dct::IntToStr(5), "5");
    EXPECT_EQ(dct::IntToStr(-1), "-1");
    EXPECT_EQ(dct::IntToStr(std::numeric_limits<int32_t>::min()), "-2147483648");
    EXPECT_EQ(dct::IntToStr(std::numeric_limits<int32_t>::max()), "2147483647");
}

TEST(FloatConversion, FormsWithEitherSeparator) {
    EXPECT_EQ(TryStrToFloat("1.5", '.'), 1.5);
    EXPECT_EQ(TryStrToFloat("1,5", ','), 1.5);
    EXPECT_EQ(TryStrToFloat("1,5", '.'), std::nullopt);
    EXPECT_EQ(TryStrToFloat("1.5", ','), std::nullopt);
    EXPECT_EQ(TryStrToFloat("  -2.25  ", '.'), -2.25);
    EXPECT_EQ(TryStrToFloat("+3", '.'), 3.0);
    EXPECT_EQ(TryStrToFloat(".5", '.'), 0.5);
    EXPECT_EQ(TryStrToFloat("5.", '.'), 5.0);
    EXPECT_EQ(TryStrToFloat("1e3", '.'), 1000.0);
    EXPECT_EQ(TryStrToFloat("1,5E-2", ','), 0.015);
    EXPECT_EQ(TryStrToFloat("2e+2", '.'), 200.0);
    EXPECT_EQ(TryStrToFloat("0.1", '.'), 0.1);  // correctly rounded, as the exact conversion gives
}

TEST(FloatConversion, RejectedTexts) {
    for (const char* bad : {"", " ", ".", "-", "+.", "e5", "1e", "1e+", "1.2.3", "1 000", "1,000.5", "0x10", "$10",
                            "inf", "nan", "1..2", "1e5.5", "- 1"}) {
        EXPECT_EQ(TryStrToFloat(bad, '.'), std::nullopt) << bad;
    }
    EXPECT_EQ(TryStrToFloat("1e400", '.'), std::nullopt);  // beyond a double
}

TEST(FloatConversion, ErrorMessage) {
    try {
        StrToFloat("12,5", '.');
        FAIL();
    } catch (const dct::EConvertError& e) {
        EXPECT_EQ(e.Message(), dct::Cp1251(u8"'12,5' не является допустимым значением дробного числа").str());
    }
}

TEST(TextHelpers, TrimControlCharacters) {
    EXPECT_EQ(dct::TrimCtl("\t\r\n x \x01"), "x");
    EXPECT_EQ(dct::TrimLeftCtl("  x "), "x ");
    EXPECT_EQ(dct::TrimRightCtl("  x "), "  x");
    EXPECT_EQ(dct::TrimCtl("\xA0x\xA0"), "\xA0x\xA0");  // only codes 0 to 32
    EXPECT_EQ(dct::TrimCtl("   "), "");
}

TEST(TextHelpers, HexForms) {
    EXPECT_EQ(dct::IntToHexMin(0), "0");
    EXPECT_EQ(dct::IntToHexMin(0xABCu), "ABC");
    EXPECT_EQ(dct::IntToHexMin(0xFFFFFFFAu), "FFFFFFFA");
    EXPECT_EQ(dct::PointerToHex(0x1234), "00001234");
}
