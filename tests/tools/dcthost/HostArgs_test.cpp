#include "HostArgs.h"

#include <gtest/gtest.h>

namespace dcthost {
namespace {

std::optional<Options> Parse(std::vector<std::string> args, std::string* error = nullptr) {
    std::string ignored;
    return ParseArguments(args, error ? error : &ignored);
}

TEST(HostArgs, OptionsAnywhereAroundTheCommand) {
    auto o = Parse({"--terminal", "3", "read", "--format", "jsonl", "--clear-after", "--out", "x.jsonl"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->command, "read");
    EXPECT_EQ(o->terminal, 3);
    EXPECT_EQ(o->format, OutputFormat::JsonLines);
    EXPECT_TRUE(o->clearAfter);
    EXPECT_EQ(o->out, "x.jsonl");
}

TEST(HostArgs, ConfigureFlagsBecomeTheStoredCodes) {
    auto o = Parse({"configure", "--port", "10", "--rate", "9600", "--cable"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->port, 10);
    EXPECT_EQ(o->rateCode, 5);
    EXPECT_EQ(o->connType, 1);
    EXPECT_EQ(RateCodeOf(115200), 1);
    EXPECT_EQ(RateOf(3), 38400);
    EXPECT_EQ(RateOf(0), 0);
}

TEST(HostArgs, BadCommandLinesAreRefusedWithAReason) {
    std::string error;
    EXPECT_FALSE(Parse({"configure", "--port", "0"}, &error));
    EXPECT_NE(error.find("--port"), std::string::npos);
    EXPECT_FALSE(Parse({"configure", "--rate", "12345"}));
    EXPECT_FALSE(Parse({"configure", "--cable", "--cradle"}));
    EXPECT_FALSE(Parse({"read", "--terminal", "x"}));
    EXPECT_FALSE(Parse({"read", "--out"}));
    EXPECT_FALSE(Parse({"read", "--bogus"}));
    EXPECT_FALSE(Parse({"read", "--format", "jsonl", "--encoding", "cp1251"}));
    EXPECT_FALSE(Parse({}));
    // Nothing is taken that the command does not take: a word, an option as a value, a number out of
    // range (strtol's long is 32 bits under mingw). The message names what was refused.
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"clear", "2", "--yes"}, "\"2\""},
        {{"read", "--out", "--clear-after"}, "--clear-after"},
        {{"write", "a.csv", "b.csv"}, "\"b.csv\""},
        {{"read", "--terminal", "99999999999"}, "99999999999"},
        {{"configure", "--port", "4294967297"}, "--port"},
        {{"sim", "register", "x"}, "\"x\""},
    };
    for (const auto& [line, named] : refused) {
        EXPECT_FALSE(Parse(line, &error)) << line[0] << " " << line[1];
        EXPECT_NE(error.find(named), std::string::npos) << error;
    }
    auto negative = Parse({"read", "--terminal", "-1"});
    ASSERT_TRUE(negative);
    EXPECT_EQ(negative->terminal, -1);
}

TEST(HostArgs, WordsAfterTheCommandAreArguments) {
    auto o = Parse({"sim", "fault", "BeginReport", "Status=7", "-"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->arguments, (std::vector<std::string>{"fault", "BeginReport", "Status=7", "-"}));
}

}  // namespace
}  // namespace dcthost
