// The Opticon/Zebex driver against the terminal-server simulator: the exact call sequences, the
// result-code rules and the driver log.
#include "drv/dct/drivers/opticon_zebex/Umain.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "ComBase.h"
#include "drv/dct/dctIntf.h"
#include "boundary/DctBoundary.h"
#include "boundary/DctInstance.h"
#include "base/cp1251.h"
#include "platform/Codepage.h"
#include "support/FakeEnv.h"
#include "support/LossyServer.h"
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

std::vector<std::string> Lines(const std::string& text) {
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

// ---- A server lost in the middle of a read or a table write

std::vector<std::string> gReceived;
void DCT_REGISTER(2) Receive(int32_t, const char* code, double) { gReceived.emplace_back(code); }

bool IsEnding(const std::string& call) { return call == "Clear" || call == "DownLoadTable" || call == "AddToTable"; }

// The host as it drives the table: every cycle through the operations it calls, DctErr (here the
// driver's GetStateErr) after a result that is not 0.
class ServerLossTest : public ::testing::Test {
protected:
    void SetUp() override {
        env.formats = FormatSettings{};
        Fresh();
    }
    void TearDown() override { Close(); }

    // A new instance over a terminal holding three records and an earlier table.
    void Fresh() {
        Close();
        sim.WriteRecords({{"4601", "1"}, {"4602", "2"}, {"4603", "3"}});
        sim.WriteFile("table.csv", "old;0;a;b\r\n");
        env.link = test::ServerLink{};
        gReceived.clear();
        instance = new DctInstance(
            std::make_unique<TdctOpticon9728Driver>("COM:3;BAUD:2;DF:" + sim.Folder().string(), env));
        funcs = NewDriverFuncs(1);
    }
    void Close() {
        if (funcs) funcs->DctFini(instance, funcs);
        funcs = nullptr;
        instance = nullptr;
    }
    TdctOpticon9728Driver& Driver() { return static_cast<TdctOpticon9728Driver&>(*instance->Driver); }

    std::string Err() {
        AnsiString text;
        int32_t code = 0;
        instance->Driver->GetStateErr(text, code);
        return text;
    }
    // One DctNextRecord: its result and *More; a record delivered is kept in gReceived.
    std::pair<int32_t, bool> Next() {
        const char* code = nullptr;
        double quantity = 0;
        int32_t more = 0;
        const int32_t result = funcs->DctNextRecord(instance, &code, &quantity, &more);
        if (more) gReceived.emplace_back(code);
        return {result, more != 0};
    }
    // Reads until *More is 0, then ends with clear, whatever Begin said: the result of the ending call.
    int32_t StepRead(int32_t clearAfter) {
        if (funcs->DctBeginDataReading(instance) != 0) Err();
        for (int i = 0; i < 10; ++i) {
            const auto [result, more] = Next();
            if (result != 0) Err();
            if (!more) break;
        }
        return funcs->DctEndDataReading(instance, clearAfter);
    }
    int32_t BulkRead(int32_t clearAfter) { return funcs->DctEnumData(instance, &Receive, 0, clearAfter); }
    // Writes every goods record, then ends: the result of the ending call.
    int32_t Write(int32_t fullTable, const std::vector<std::string>& barcodes) {
        if (funcs->DctBeginWareTableWriting(instance, fullTable) != 0) Err();
        for (const auto& barcode : barcodes)
            if (funcs->DctWriteWareTableRecord(instance, "t2", "t1", barcode.c_str(), 1.0, 0) != 0) Err();
        return funcs->DctEndWareTableWriting(instance);
    }

    ComThread com;
    test::TermSimFixture sim;
    test::LossyServerEnv env;
    DctInstance* instance = nullptr;
    TDctDriverFuncs* funcs = nullptr;
};

const std::string kReadLost = Cp1251(u8"Связь с сервером терминала потеряна во время чтения: терминал не очищен").str();
const std::string kWriteLost =
    Cp1251(u8"Связь с сервером терминала потеряна во время записи таблицы: таблица в терминале не изменена").str();

TEST_F(ServerLossTest, ReadLostAfterOneRecordEndsWithoutClearingAndTheNextReadGetsThemAll) {
    env.link.loseOn = "GetRecord";
    env.link.loseOnNth = 2;
    ASSERT_EQ(funcs->DctBeginDataReading(instance), 0);
    ASSERT_EQ(Next(), std::make_pair(0, true));
    EXPECT_EQ(Next(), std::make_pair(rc::ServerFailure, false));
    EXPECT_NE(Err(), "");
    EXPECT_EQ(funcs->DctEndDataReading(instance, 1), rc::ServerFailure);
    EXPECT_EQ(Err(), kReadLost);
    EXPECT_TRUE(env.link.ReachedAfterLoss().empty()) << "the end of the read reached a server";
    EXPECT_EQ(sim.Records().size(), 3u);
    EXPECT_THAT(Lines(ReadFile(sim.Folder() / "DctDrv.log")).back(), HasSubstr(kReadLost + "(-6)"));

    EXPECT_EQ(StepRead(1), 0);  // a new server, told port and rate first
    EXPECT_THAT(env.link.ReachedAfterLoss(), ::testing::IsSupersetOf({"Set_PortNumber", "Clear"}));
    EXPECT_EQ(env.link.ReachedAfterLoss().front(), "Set_PortNumber");
    EXPECT_THAT(gReceived, ElementsAre("4601", "4601", "4602", "4603"));
    EXPECT_TRUE(sim.Records().empty());
}

TEST_F(ServerLossTest, TableWriteLostAtAFieldOrAtItsBeginningNeverLoadsATable) {
    env.link.loseOn = "AddInTable";
    env.link.loseOnNth = 5;  // the first field of the second record
    env.link.lossStatus = static_cast<HRESULT>(0x800706BA);
    ASSERT_EQ(funcs->DctBeginWareTableWriting(instance, 1), 0);
    EXPECT_EQ(funcs->DctWriteWareTableRecord(instance, "t2", "t1", "1", 1.0, 0), 0);
    EXPECT_EQ(funcs->DctWriteWareTableRecord(instance, "t2", "t1", "2", 1.0, 0), rc::ServerFailure);
    Err();
    EXPECT_EQ(funcs->DctWriteWareTableRecord(instance, "t2", "t1", "3", 1.0, 0), rc::ServerFailure);
    EXPECT_EQ(Err(), kWriteLost);
    EXPECT_EQ(funcs->DctEndWareTableWriting(instance), rc::ServerFailure);
    EXPECT_EQ(Err(), kWriteLost);
    EXPECT_TRUE(env.link.ReachedAfterLoss().empty());
    EXPECT_THAT(sim.Table(), ElementsAre(ElementsAre("old", "0", "a", "b")));

    Fresh();
    env.link.loseOn = "BeginDownLoadTable";
    EXPECT_EQ(Write(1, {}), rc::ServerFailure);
    EXPECT_EQ(Err(), kWriteLost);
    EXPECT_TRUE(env.link.ReachedAfterLoss().empty());
    EXPECT_THAT(sim.Table(), ElementsAre(ElementsAre("old", "0", "a", "b")));
}

TEST_F(ServerLossTest, AFirstContactThatLosesTheServerIsMadeOnceMoreAndNoMore) {
    env.link.loseOn = "Set_BaudRate";
    EXPECT_EQ(funcs->DctClearData(instance), rc::ServerFailure);
    Err();
    const auto after = [&](std::size_t from) {
        return std::vector<std::string>(env.link.reached.begin() + static_cast<long>(from), env.link.reached.end());
    };
    std::size_t from = env.link.reached.size();
    EXPECT_EQ(funcs->DctClearData(instance), 0);
    EXPECT_THAT(after(from), ElementsAre("Set_PortNumber", "Set_BaudRate", "Get_DeviceEnabled", "Clear"));
    from = env.link.reached.size();
    EXPECT_EQ(funcs->DctBeginDataReading(instance), 0);
    EXPECT_EQ(after(from).front(), "Get_DeviceEnabled");
}

TEST_F(ServerLossTest, TheServiceDialogsRequestsTellANewServerPortAndRateFirst) {
    IServiceClient& dialog = Driver();
    env.link.loseOn = "ShowProperties";
    EXPECT_THROW(dialog.ShowProperties(), EOleException);
    dialog.LoadFormFromFile("C:\\Tasks\\inv.ts1");
    EXPECT_THAT(env.link.ReachedAfterLoss(), ElementsAre("Set_PortNumber", "Set_BaudRate", "LoadFormFromFile"));
    EXPECT_THAT(sim.Tasks(), ElementsAre("C:\\Tasks\\inv.ts1"));
}

// The server is lost at each call of a whole cycle in turn; the host goes on to the cycle's end.
TEST_F(ServerLossTest, LostAtAnyCallOfACycleNothingIsClearedOrLoadedAndTheNextCycleIsWhole) {
    struct Case {
        const char* name;
        bool read;
        bool appends;  // the table written goes after the one the terminal held
        std::function<int32_t()> cycle;
    };
    const std::vector<std::string> goods = {"1", "2", "3"};
    const std::vector<Case> cases = {
        {"step read, clear after", true, false, [this] { return StepRead(1); }},
        {"bulk read, clear after", true, false, [this] { return BulkRead(1); }},
        {"full table", false, false, [&] { return Write(1, goods); }},
        {"added to the table", false, true, [&] { return Write(0, goods); }},
    };
    const auto oldTable = std::vector<std::vector<std::string>>{{"old", "0", "a", "b"}};
    std::set<std::string> lostAt;
    for (const Case& c : cases) {
        Fresh();
        ASSERT_EQ(c.cycle(), 0) << c.name;
        const std::vector<std::string> healthy = env.link.reached;
        for (int at = 0; at < static_cast<int>(healthy.size()); ++at) {
            SCOPED_TRACE(std::string(c.name) + ", lost at call " + std::to_string(at) + " " + healthy[at]);
            lostAt.insert(healthy[at]);
            Fresh();
            env.link.loseAt = at;
            EXPECT_NE(c.cycle(), 0);
            EXPECT_NE(Err(), "");
            for (const auto& call : env.link.ReachedAfterLoss()) EXPECT_FALSE(IsEnding(call)) << call;
            EXPECT_EQ(sim.Records().size(), 3u);
            EXPECT_EQ(sim.Table(), oldTable);

            gReceived.clear();
            EXPECT_EQ(c.cycle(), 0);
            if (c.read) {
                EXPECT_THAT(gReceived, ElementsAre("4601", "4602", "4603"));
                EXPECT_TRUE(sim.Records().empty());
            } else {
                auto table = sim.Table();
                if (c.appends && !table.empty()) table.erase(table.begin());  // the earlier table stays in front
                EXPECT_THAT(table, ElementsAre(ElementsAre("1", "0", "t1", "t2"), ElementsAre("2", "0", "t1", "t2"),
                                               ElementsAre("3", "0", "t1", "t2")));
            }
        }
    }
    EXPECT_THAT(lostAt, ::testing::IsSupersetOf({"Set_PortNumber", "Set_BaudRate", "Get_DeviceEnabled",
                                                 "Set_ShowProgress", "Set_FormNumber", "ClearTableBuffer",
                                                 "BeginReport", "BeginDownLoadTable", "GetFieldCount", "GetRecord",
                                                 "GetField", "AddInTable", "EndReport", "Clear", "DownLoadTable",
                                                 "AddToTable"}));
}

// Reads, writes and clears, with servers lost at random calls: whatever a call returns, no record is
// gone that the host did not receive, and the terminal's table is the one written whole or the one before.
TEST_F(ServerLossTest, ARandomRunLosesNoRecordAndNoTable) {
    std::mt19937 random(20261208);
    const auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    const HRESULT losses[] = {static_cast<HRESULT>(0x800706BE), static_cast<HRESULT>(0x800706BA),
                              static_cast<HRESULT>(0x80010108)};
    int lost = 0, next = 1;
    for (int round = 0; round < 120; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        // New records are scanned now and then.
        auto records = sim.Records();
        for (int n = pick(3); n > 0; --n) records.push_back({std::to_string(next++), "1"});
        sim.WriteRecords(records);
        const auto table = sim.Table();
        env.link.loseAt = pick(2) ? env.link.calls + pick(30) : -1;
        env.link.lossStatus = losses[pick(3)];
        env.link.lostAfter = -1;
        gReceived.clear();
        std::vector<std::string> goods;
        for (int n = pick(4); n > 0; --n) goods.push_back("g" + std::to_string(next++));
        const int op = pick(5);
        const int32_t clear = pick(2);
        int32_t result = 0;
        switch (op) {
            case 0: result = StepRead(clear); break;
            case 1: result = BulkRead(clear); break;
            case 2: result = Write(1, goods); break;
            case 3: result = Write(0, goods); break;
            default: result = funcs->DctClearData(instance); break;
        }
        if (result != 0) Err();
        lost += env.link.lostAfter >= 0;

        std::vector<std::string> held;
        for (const auto& r : records) held.push_back(r[0]);
        const bool read = op <= 1;
        if (read && result == 0) {
            EXPECT_EQ(gReceived, held) << "a read that succeeded handed over every record";
        }
        if (read && result == 0 && clear) {
            EXPECT_TRUE(sim.Records().empty());
        } else if (op == 4 && result == 0) {
            EXPECT_TRUE(sim.Records().empty());
        } else {
            EXPECT_EQ(sim.Records(), records);
        }
        if (op == 2 || op == 3) {
            std::vector<std::vector<std::string>> written = op == 3 ? table : decltype(table){};
            for (const auto& g : goods) written.push_back({g, "0", "t1", "t2"});
            EXPECT_EQ(sim.Table(), result == 0 ? written : table);
        } else {
            EXPECT_EQ(sim.Table(), table);
        }
        env.link.loseAt = -1;
    }
    EXPECT_GT(lost, 20) << "too few rounds lost their server to mean anything";
}

}  // namespace
}  // namespace dct
