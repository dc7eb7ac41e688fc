// The recording's JSON: commas and nesting, escapes, numbers that read back exactly, and texts that
// come back byte for byte (8-bit) or unit for unit (UTF-16, lone surrogates included).
#include "base/JsonWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "base/cp1251.h"

namespace dct {
namespace {

TEST(JsonWriter, NestsAndSeparatesValues) {
    std::string out;
    JsonWriter json(out);
    json.BeginObject().Key("a").Int(-2147483648LL).Key("b").BeginArray().Bool(true).Null().BeginObject().EndObject();
    json.EndArray().Key("c").Text("q\"\\\x01\n").EndObject();
    EXPECT_EQ(out, R"({"a":-2147483648,"b":[true,null,{}],"c":"q\"\\\u0001\u000a"})");
}

// What a reader gets back: the number, or the double whose bits are given.
double ReadBack(const std::string& json) {
    if (json.rfind(R"({"bits":")", 0) != 0) return std::strtod(json.c_str(), nullptr);
    const uint64_t bits = std::stoull(json.substr(9, 16), nullptr, 16);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

TEST(JsonWriter, NumbersReadBackToTheSameDouble) {
    const struct {
        double value;
        const char* written;
    } cases[] = {
        {0.0, "0"}, {1.0, "1"}, {-3.0, "-3"}, {0.1, "0.1"}, {1e-5, "0.00001"}, {2.5, "2.5"},
        {1234567.891, "1234567.891"}, {-0.125, "-0.125"}, {9007199254740992.0, "9007199254740992"},
        {-0.0, R"({"bits":"8000000000000000"})"}, {1.0 / 3, R"({"bits":"3FD5555555555555"})"},
        {5e-324, R"({"bits":"0000000000000001"})"}, {1.7976931348623157e308, R"({"bits":"7FEFFFFFFFFFFFFF"})"},
        {std::numeric_limits<double>::infinity(), R"({"bits":"7FF0000000000000"})"},
        {-std::numeric_limits<double>::quiet_NaN(), R"({"bits":"FFF8000000000000"})"},
    };
    for (const auto& c : cases) {
        std::string out;
        JsonWriter(out).Number(c.value);
        EXPECT_EQ(out, c.written);
        const double back = ReadBack(out);
        EXPECT_EQ(std::memcmp(&back, &c.value, sizeof back), 0) << out;
    }
}

// Every decimal of up to six places is written as itself, whatever precision the x87 unit is in: the
// host's 64-bit precision once turned 0.1 into its bits.
TEST(JsonWriter, ShortDecimalsAreWrittenAsDecimals) {
    uint64_t state = 20261209;
    for (int i = 0; i < 3000; ++i) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const int decimals = 1 + static_cast<int>((state >> 20) % 6);
        long long m = static_cast<long long>((state >> 24) % 1000000000000ULL) >> ((state >> 8) % 40);
        if (m % 10 == 0) ++m;
        if (state & 1) m = -m;
        char text[64];
        std::snprintf(text, sizeof text, "%llde-%d", m, decimals);
        const double value = std::strtod(text, nullptr);
        std::string out;
        JsonWriter(out).Number(value);
        ASSERT_EQ(out.find("bits"), std::string::npos) << text;
        const double back = ReadBack(out);
        ASSERT_EQ(std::memcmp(&back, &value, sizeof back), 0) << text << " written " << out;
    }
}

TEST(JsonWriter, EveryByteComesBack) {
    std::string bytes;
    for (int b = 1; b < 256; ++b) bytes.push_back(static_cast<char>(b));
    std::string out;
    JsonWriter(out).Bytes(bytes);
    ASSERT_EQ(out.front(), '"');
    // What is between the quotes is the text once the JSON escapes are undone; only these occur.
    std::string text;
    for (std::size_t i = 1; i + 1 < out.size(); ++i) {
        if (out[i] != '\\') {
            text.push_back(out[i]);
        } else if (out[i + 1] == 'u') {
            text.push_back(static_cast<char>(std::stoi(out.substr(i + 2, 4), nullptr, 16)));
            i += 5;
        } else {
            text.push_back(out[++i]);
        }
    }
    EXPECT_EQ(Utf8ToBytes(text), bytes);
    EXPECT_NE(out.find("\xD0\x96"), std::string::npos) << "0xC6 reads as the Cyrillic letter it is in 1251";
    EXPECT_EQ(Utf8ToBytes("\xE2\x82\xAC\xC2\x98"), std::string("\x88\x98"));
    EXPECT_EQ(Utf8ToBytes("\xC2\x80"), std::nullopt) << "U+0080 stands for no byte";
    EXPECT_EQ(Utf8ToBytes("\xC0\xAF"), std::nullopt) << "not UTF-8";
}

TEST(JsonWriter, Utf16TextWithALoneSurrogateBecomesItsCodeUnits) {
    std::string out;
    JsonWriter json(out);
    json.BeginArray().Utf16(u"\u041F\xD83D\xDE00\"").Utf16(std::u16string(u"a\xDC00", 2)).EndArray();
    EXPECT_EQ(out, "[\"\xD0\x9F\xF0\x9F\x98\x80\\\"\",{\"utf16\":[97,56320]}]");
}

}  // namespace
}  // namespace dct
