// The Opticon/Zebex driver against the terminal-server simulator: the exact call sequences, the
// result-code rules and the driver log.
#include "drv/dct/drivers/opticon_zebex/Umain.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "ComBase.h"
#include "drv/dct/dctIntf.h"
#include "boundary/DctBoundary.h"
#include "boundary/DctInstance.h"
#include "base/cp1251.h"
#include "platform/Codepage.h"
#include "support/FakeEnv.h"
#include "support/TermSimFixture.h"

namespace dct {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

struct ComThread {
    ComThread() { CoInitialize(nullptr); }
    ~ComThread() { CoUninitialize(); }
};

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Collected final : TDctEnumCallback {
    std::vector<std::pair<std::string, double>> records;
    void operator()(const char* code, double quantity) override { records.emplace_back(code, quantity); }
};

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        env.localTime = LocalTime{2026, 3, 9, 14, 5, 7, 250};
        env.formats = FormatSettings{};  // English unless a test says otherwise
    }
    void TearDown() override {
    }

    // A settings folder in Windows form: the driver joins it with '\'.
    std::string SettingsDir() const { return sim.Folder().string(); }
    std::string Log() const { return ReadFile(sim.Folder() / "DctDrv.log"); }
    std::unique_ptr<TdctOpticon9728Driver> MakeDriver() {
        return std::make_unique<TdctOpticon9728Driver>("COM:3;BAUD:2;CT:1;FT:1;FN:1;DF:" + SettingsDir(), env);
    }
    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        std::size_t at = 0;
        while (at < text.size()) {
            std::size_t end = text.find("\r\n", at);
            if (end == std::string::npos) end = text.size();
            lines.push_back(text.substr(at, end - at));
            at = end + 2;
        }
        return lines;
    }

    ComThread com;
    test::TermSimFixture sim;
    test::FakeEnv env;
};

TEST_F(DriverTest, CreationReadsParametersAndContactsNoServer) {
    TdctOpticon9728Driver plain("", env);
    EXPECT_EQ(plain.Port(), 1);
    EXPECT_EQ(plain.Baud(), 1);
    TdctOpticon9728Driver odd("com:3a;baud:7;DF:C:\\data", env);
    EXPECT_EQ(odd.Port(), 1);
    EXPECT_EQ(odd.Baud(), 7);
    EXPECT_EQ(odd.SettingsDir(), "C:\\data");
    EXPECT_EQ(odd.GetError(), 0);
    odd.Destroy();
    EXPECT_FALSE(odd.HasClient());
    EXPECT_TRUE(sim.Calls().empty());
}

TEST_F(DriverTest, BulkReadWalksEveryRecordInOrder) {
    sim.WriteRecords({{"4601", "2"}, {"4602", "0"}, {"", "5"}, {"4603", "1.5"}});
    auto driver = MakeDriver();
    Collected sink;
    EXPECT_EQ(driver->EnumData(false, sink), 0);
    EXPECT_THAT(sink.records, ElementsAre(std::make_pair(std::string("4601"), 2.0), std::make_pair(std::string("4603"), 1.5)));
    EXPECT_THAT(sim.Calls(),
                ElementsAre("Set_PortNumber 3", "Set_BaudRate 2", "Get_DeviceEnabled -> 1", "Set_ShowProgress -1",
                            "Set_FormNumber 0", "ClearTableBuffer -> 0", "BeginReport -> 0", "GetFieldCount -> 2",
                            "GetRecord -> 0", "GetField 1 -> \"4601\"", "GetField 2 -> \"2\"", "GetRecord -> 0",
                            "GetField 1 -> \"4602\"", "GetField 2 -> \"0\"", "GetRecord -> 0", "GetField 1 -> \"\"",
                            "GetRecord -> 0", "GetField 1 -> \"4603\"", "GetField 2 -> \"1.5\"", "GetRecord -> 1",
                            "Get_DeviceEnabled -> 1", "EndReport -> 0"));
    EXPECT_EQ(sim.Records().size(), 4u);  // not cleared
}

TEST_F(DriverTest, ClearAfterReadingClearsTheTerminalLast) {
    sim.WriteRecords({{"1", "1"}});
    auto driver = MakeDriver();
    Collected sink;
    EXPECT_EQ(driver->EnumData(true, sink), 0);
    EXPECT_EQ(sink.records.size(), 1u);
    auto calls = sim.Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], "EndReport -> 0");
    EXPECT_EQ(calls.back(), "Clear -> 0");
    EXPECT_TRUE(sim.Records().empty());
}

TEST_F(DriverTest, QuantityFollowsTheLocaleSeparator) {
    sim.WriteRecords({{"a", "2.5"}, {"b", "2,5"}, {"c", "1,234.5"}});
    FormatSettings comma;
    comma.DecimalSeparator = ',';
    env.formats = comma;
    auto driver = MakeDriver();
    ASSERT_EQ(driver->BeginReading(), 0);
    AnsiString code;
    double q = -1;
    ASSERT_TRUE(driver->NextRecord(code, q));
    EXPECT_EQ(q, 2.5);
    ASSERT_TRUE(driver->NextRecord(code, q));
    EXPECT_EQ(q, 2.5);
    try {
        driver->NextRecord(code, q);
        FAIL() << "1,234.5 must not convert";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), Cp1251(u8"'1,234,5' не является допустимым значением дробного числа").str());
    }
}

TEST_F(DriverTest, EmptyFirstFieldIsFetchedWithoutAskingTheQuantity) {
    sim.WriteRecords({{"", "7"}});
    auto driver = MakeDriver();
    ASSERT_EQ(driver->BeginReading(), 0);
    sim.ClearCalls();
    AnsiString code = "x";
    double q = -1;
    EXPECT_TRUE(driver->NextRecord(code, q));
    EXPECT_EQ(code, "");
    EXPECT_EQ(q, 0);
    EXPECT_THAT(sim.Calls(), ElementsAre("GetRecord -> 0", "GetField 1 -> \"\""));
    EXPECT_FALSE(driver->NextRecord(code, q));
}

TEST_F(DriverTest, FailingReportStatusIsRecordedAndLogged) {
    sim.WriteRecords({{"1", "1"}});
    sim.WriteFaults("[BeginReport]\nStatus=7\nDescription=No link\n");
    auto driver = MakeDriver();
    EXPECT_EQ(driver->BeginReading(), 7);
    EXPECT_EQ(driver->GetError(), rc::ServerFailure);
    EXPECT_THAT(Lines(Log()), ElementsAre(Cp1251(u8"Терминал сбора данных Opicon&Zebex(3/9/2026 2:05:07 PM) : No link(7)").str()));
    AnsiString text;
    int32_t code = 0;
    driver->GetStateErr(text, code);
    EXPECT_EQ(text, "No link");
    EXPECT_EQ(code, rc::ServerFailure);
    EXPECT_EQ(driver->GetError(), 0);
    driver->GetStateErr(text, code);
    EXPECT_EQ(text, "");
}

TEST_F(DriverTest, TooFewFieldsStopsWithMinusFiveAndLogsTheReportStatus) {
    sim.WriteRecords({{"1"}});
    sim.WriteFaults("[Device]\nFieldCount=1\n");
    auto driver = MakeDriver();
    EXPECT_EQ(driver->BeginReading(), rc::NotConfirmed);
    EXPECT_EQ(driver->GetError(), 0);  // a zero status records no failure but still leaves a line
    EXPECT_THAT(Lines(Log()), ElementsAre(HasSubstr("(0)")));

    sim.WriteFaults("[Device]\nFieldCount=0\n[BeginReport]\nStatus=7\nDescription=x\n");
    EXPECT_EQ(driver->BeginReading(), rc::NotConfirmed);
    EXPECT_EQ(driver->GetError(), rc::ServerFailure);
    EXPECT_THAT(Lines(Log()), ElementsAre(HasSubstr("(0)"), HasSubstr("x(7)"), HasSubstr("x(7)")));
}

TEST_F(DriverTest, DisabledDeviceGivesMinusFourOrMinusSix) {
    sim.WriteFaults("[Device]\nEnabled=0\nDescription=Off\n");
    auto driver = MakeDriver();
    EXPECT_EQ(driver->BeginReading(), rc::InitFailed);
    EXPECT_EQ(driver->GetError(), 0);
    EXPECT_EQ(driver->AddRecord("1", "t1", 0, "t2"), rc::InitFailed);
    EXPECT_EQ(driver->GetError(), 0);
    driver->BeginWriting(true);
    EXPECT_EQ(driver->GetError(), rc::InitFailed);
    driver->ClearTerm();
    EXPECT_EQ(driver->GetError(), rc::InitFailed);
    EXPECT_FALSE(std::filesystem::exists(sim.Folder() / "DctDrv.log"));
    driver->EndReading(false);
    EXPECT_EQ(driver->GetError(), rc::ServerFailure);
    driver->EndWriting();
    EXPECT_THAT(Lines(Log()), ElementsAre(HasSubstr("Off(-4)"), HasSubstr("Off(-4)")));
}

TEST_F(DriverTest, WritingSendsFourFieldsPerBarcodeAndFinishesByTableMode) {
    auto driver = MakeDriver();
    driver->BeginWriting(true);
    driver->AddRecord("4601", "Milk", 3, "pcs");
    driver->AddRecord("4602", "Tea", 3, "");
    driver->EndWriting();
    EXPECT_EQ(driver->GetError(), 0);
    EXPECT_THAT(sim.Table(), ElementsAre(ElementsAre("4601", "0", "Milk", "pcs"), ElementsAre("4602", "0", "Tea", "")));
    auto calls = sim.Calls();
    EXPECT_THAT(std::vector<std::string>(calls.begin() + 2, calls.begin() + 7),
                ElementsAre("Get_DeviceEnabled -> 1", "Set_FormNumber 0", "Set_ShowProgress -1",
                            "ClearTableBuffer -> 0", "BeginDownLoadTable -> 0"));
    EXPECT_EQ(calls[calls.size() - 1], "DownLoadTable -> 0");

    sim.ClearCalls();
    driver->BeginWriting(false);
    driver->AddRecord("4603", "Salt", 0, "kg");
    driver->EndWriting();
    EXPECT_EQ(sim.Calls().back(), "AddToTable -> 0");
    EXPECT_EQ(sim.Table().size(), 3u);
}

TEST_F(DriverTest, ClearTermPassesTheServerStatusUnchanged) {
    sim.WriteFaults("[Clear]\nStatus=12\nDescription=busy\n");
    auto driver = MakeDriver();
    driver->ClearTerm();
    EXPECT_EQ(driver->GetError(), 12);
    EXPECT_FALSE(std::filesystem::exists(sim.Folder() / "DctDrv.log"));
    AnsiString text = "x";
    int32_t code = 0;
    driver->GetStateErr(text, code);
    EXPECT_EQ(text, "");
    EXPECT_EQ(code, rc::ServerFailure);
}

TEST_F(DriverTest, ComLevelFailureLeavesTheOperationAsAnException) {
    sim.WriteFaults("[EndReport]\nHResult=0x80004005\nErrorInfo=Port busy.\n");
    auto driver = MakeDriver();
    ASSERT_EQ(driver->BeginReading(), 0);
    try {
        driver->EndReading(false);
        FAIL();
    } catch (const EOleException& e) {
        EXPECT_EQ(e.ErrorCode(), static_cast<int32_t>(0x80004005));
        EXPECT_EQ(e.Message(), "Port busy");
    }
    driver->RecordFailure("Port busy", static_cast<int32_t>(0x80004005));
    EXPECT_EQ(driver->GetError(), rc::ServerFailure);
    EXPECT_THAT(Lines(Log()), ElementsAre(HasSubstr("Port busy(-2147467259)")));
}

TEST_F(DriverTest, FirstContactIsMadeAgainUntilPortAndRateWentThrough) {
    sim.WriteFaults("[Set_BaudRate]\nHResult=0x80004005\n");
    auto driver = MakeDriver();
    EXPECT_THROW(driver->BeginReading(), EOleException);
    sim.WriteFaults("");
    sim.ClearCalls();
    EXPECT_EQ(driver->BeginReading(), 0);
    auto calls = sim.Calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_THAT(std::vector<std::string>(calls.begin(), calls.begin() + 3),
                ElementsAre("Set_PortNumber 3", "Set_BaudRate 2", "Get_DeviceEnabled -> 1"));
    sim.ClearCalls();
    driver->EndReading(false);
    driver->BeginWriting(true);  // reconnects after EndReading without giving them again
    calls = sim.Calls();
    EXPECT_THAT(std::vector<std::string>(calls.begin(), calls.begin() + 3),
                ElementsAre("Get_DeviceEnabled -> 1", "EndReport -> 0", "Get_DeviceEnabled -> 1"));
}

TEST_F(DriverTest, AServerThatWentAwayIsReplacedAndToldPortAndRate) {
    sim.WriteRecords({{"1", "1"}, {"2", "2"}});
    auto driver = MakeDriver();
    ASSERT_EQ(driver->BeginReading(), 0);
    AnsiString code;
    double q = 0;
    ASSERT_TRUE(driver->NextRecord(code, q));
    // An ordinary COM failure keeps the connection; a dead server's proxy is dropped.
    sim.WriteFaults("[GetRecord]\nHResult=0x80004005\n");
    EXPECT_THROW(driver->NextRecord(code, q), EOleException);
    sim.WriteFaults("[GetRecord]\nHResult=0x800706BE\n");
    EXPECT_THROW(driver->NextRecord(code, q), EOleException);
    sim.WriteFaults("");
    sim.ClearCalls();
    EXPECT_EQ(driver->BeginReading(), 0);
    ASSERT_TRUE(driver->NextRecord(code, q));
    EXPECT_EQ(code, "1");
    auto calls = sim.Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_THAT(std::vector<std::string>(calls.begin(), calls.begin() + 2),
                ElementsAre("Set_PortNumber 3", "Set_BaudRate 2"));
}

TEST_F(DriverTest, ALogThatCannotBeWrittenKeepsTheServerTextAndIsTriedForOneWindow) {
    sim.WriteRecords({{"1", "1"}});
    sim.WriteFaults("[BeginReport]\nStatus=7\nDescription=No link\n");
    int attempts = 0;
    env.append = [&](const std::string&, std::string_view, platform::AppendShare) {
        ++attempts;
        return platform::AppendResult{platform::AppendStatus::CannotOpen, 32, true};  // held by another host
    };
    auto* instance = new DctInstance(MakeDriver());
    TDctDriverFuncs* funcs = NewDriverFuncs(1);
    EXPECT_EQ(funcs->DctBeginDataReading(instance), rc::ServerFailure);
    // One retry window of 250 ms on the clock, in steps: not a second one for the log's own failure.
    std::chrono::milliseconds slept{0};
    for (auto step : env.sleeps) slept += step;
    EXPECT_EQ(slept, std::chrono::milliseconds(250));
    EXPECT_EQ(attempts, static_cast<int>(env.sleeps.size()) + 1);
    AnsiString text;
    int32_t code = 0;
    instance->Driver->GetStateErr(text, code);
    EXPECT_EQ(text, "No link");
    EXPECT_EQ(code, rc::ServerFailure);
    EXPECT_EQ(funcs->DctFini(instance, funcs), 0);
}

TEST_F(DriverTest, HostsCreatingAndAppendingTheLogAtOnceLoseNoLine) {
    // Two writers, each with its own driver, start together on a log that does not exist yet, again
    // and again: the one that loses the race to create the file must wait for it, not give up.
    constexpr int kRounds = 20, kLinesPerRound = 25;
    std::vector<std::string> lines;
    env.realTime = true;  // the writers wait for each other
    for (int round = 0; round < kRounds; ++round) {
        std::filesystem::remove(sim.Folder() / "DctDrv.log");
        std::atomic<int> ready{0};
        auto writer = [&](const char* name) {
            auto driver = MakeDriver();
            ++ready;
            while (ready < 2) std::this_thread::yield();
            for (int i = 0; i < kLinesPerRound; ++i) driver->RecordFailure(name, i);
        };
        std::thread a(writer, "first"), b(writer, "second");
        a.join();
        b.join();
        for (auto& line : Lines(Log())) lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(2 * kRounds * kLinesPerRound));
    const std::string name = Cp1251(u8"Терминал сбора данных Opicon&Zebex(3/9/2026 2:05:07 PM) : ").str();
    int first = 0, second = 0;
    for (const auto& line : lines) {
        ASSERT_EQ(line.rfind(name, 0), 0u) << line;  // whole lines, none run into another
        const std::string rest = line.substr(name.size());
        first += rest.rfind("first(", 0) == 0;
        second += rest.rfind("second(", 0) == 0;
    }
    EXPECT_EQ(first, kRounds * kLinesPerRound);
    EXPECT_EQ(second, kRounds * kLinesPerRound);
}

TEST_F(DriverTest, LogAppendsAndUsesTheLocaleDateAndTime) {
    FormatSettings ru;
    ru.DecimalSeparator = ',';
    ru.DateSeparator = '.';
    ru.ShortDateFormat = "dd.MM.yyyy";
    ru.LongTimeFormat = "h:mm:ss";
    env.formats = ru;
    sim.WriteFile("DctDrv.log", "earlier line\r\n");
    sim.WriteFaults("[BeginDownLoadTable]\nStatus=3\nDescription=" + Cp1251ToUtf8(Cp1251(u8"Сбой").view()) + "\n");
    auto driver = MakeDriver();
    driver->BeginWriting(true);
    env.localTime = LocalTime{2026, 12, 7, 0, 0, 0, 0};
    driver->BeginWriting(true);
    // The server's text arrives in the system's code page: Cyrillic under 1251, '?' under 1252.
    const std::string name = Cp1251(u8"Терминал сбора данных Opicon&Zebex").str();
    const std::string failure = platform::Utf16ToAnsi(u"Сбой");
    EXPECT_THAT(Lines(Log()), ElementsAre("earlier line", name + "(09.03.2026 14:05:07) : " + failure + "(3)",
                                          name + "(07.12.2026) : " + failure + "(3)"));
}

}  // namespace
}  // namespace dct
