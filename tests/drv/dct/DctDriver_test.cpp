// The bulk read over a scripted driver: what reaches the callback and what ends the cycle.
#include "drv/dct/DctDriver.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace dct {
namespace {

using ::testing::ElementsAre;

struct Record {
    AnsiString code;
    double quantity;
};

class ScriptedDriver : public TDctDriver {
public:
    int32_t beginStatus = 0;
    std::vector<Record> records;
    std::vector<std::string> calls;
    bool throwOnNext = false;

    AnsiString DriverName() const override { return "scripted"; }
    int32_t GetError() override { return 0; }
    void CheckInitCpt() override {}
    int32_t BeginReading() override {
        calls.push_back("BeginReading");
        return beginStatus;
    }
    void BeginWriting(bool) override {}
    bool NextRecord(AnsiString& code, double& quantity) override {
        calls.push_back("NextRecord");
        if (throwOnNext) throw EConvertError("bad");
        if (next_ >= records.size()) return false;
        code = records[next_].code;
        quantity = records[next_++].quantity;
        return true;
    }
    int32_t AddRecord(const AnsiString&, const AnsiString&, double, const AnsiString&) override { return 0; }
    void EndReading(bool clearAfter) override { calls.push_back(clearAfter ? "EndReading(true)" : "EndReading(false)"); }
    void EndWriting() override {}
    void InteractiveService() override {}
    void GetStateErr(AnsiString&, int32_t&) override {}
    void ClearTerm() override {}

private:
    std::size_t next_ = 0;
};

struct Collected final : TDctEnumCallback {
    std::vector<std::pair<std::string, double>> records;
    void operator()(const char* code, double quantity) override { records.emplace_back(code, quantity); }
};

TEST(BulkRead, FailingBeginStopsEverything) {
    ScriptedDriver d;
    d.beginStatus = -5;
    d.records = {{"1", 1}};
    Collected c;
    EXPECT_EQ(d.EnumData(true, c), -5);
    EXPECT_THAT(d.calls, ElementsAre("BeginReading"));
    EXPECT_TRUE(c.records.empty());
}

TEST(BulkRead, OnlyRecordsWithCodeAndQuantityReachTheHost) {
    ScriptedDriver d;
    const double below = std::nextafter(1e-5, 0.0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    d.records = {{"a", 2}, {"b", 0}, {"c", 1e-5}, {"d", below}, {"", 5}, {"e", -1}, {"f", nan}};
    Collected c;
    EXPECT_EQ(d.EnumData(false, c), 0);
    ASSERT_EQ(c.records.size(), 3u);
    EXPECT_EQ(c.records[0].first, "a");
    EXPECT_EQ(c.records[1].first, "c");
    EXPECT_EQ(c.records[2].first, "f");
    EXPECT_TRUE(std::isnan(c.records[2].second));
    EXPECT_EQ(d.calls.back(), "EndReading(false)");
}

TEST(BulkRead, EmptyTerminalStillEndsTheCycleAndClearsLast) {
    ScriptedDriver d;
    Collected c;
    EXPECT_EQ(d.EnumData(true, c), 0);
    EXPECT_THAT(d.calls, ElementsAre("BeginReading", "NextRecord", "EndReading(true)"));
}

TEST(BulkRead, ExceptionFromARecordLeavesWithoutEndingTheCycle) {
    ScriptedDriver d;
    d.throwOnNext = true;
    Collected c;
    EXPECT_THROW(d.EnumData(true, c), EConvertError);
    EXPECT_THAT(d.calls, ElementsAre("BeginReading", "NextRecord"));
}

}  // namespace
}  // namespace dct
