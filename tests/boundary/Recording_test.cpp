// Recording a station: the switch, the files in the trace folder, what a recorded terminal writes on
// both of its sides, and that nothing about a recording changes what the host gets.
#include "boundary/Recording.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <fstream>
#include <sstream>

#include "boundary/DctBoundary.h"
#include "boundary/DctInstance.h"
#include "boundary/TerminalDriver.h"
#include "drv/dct/dctIntf.h"
#include "support/FakeEnv.h"
#include "support/TermSimFixture.h"

namespace dct {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

struct ComThread {
    ComThread() { CoInitialize(nullptr); }
    ~ComThread() { CoUninitialize(); }
};

std::vector<std::string> Lines(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> LinesWith(const std::vector<std::string>& lines, const std::string& part) {
    std::vector<std::string> found;
    for (const auto& line : lines)
        if (line.find(part) != std::string::npos) found.push_back(line);
    return found;
}

class RecordingTest : public ::testing::Test {
protected:
    void SetUp() override {
        traces = sim.Folder() / "traces";
        env.environment["TARN_LOGS_FOLDER"] = traces.string();
        env.moduleFileName = (sim.Folder() / "DctDrv.dll").string();
        env.localTime = LocalTime{2026, 12, 9, 10, 15, 0, 0};
        std::ofstream(sim.Folder() / "DctDrv.ini", std::ios::binary) << "[1]\r\nDCT_Port=3\r\nDCT_Rate=2\r\n";
        sim.WriteRecords({{"4601", "2"}, {"4602", "1.5"}});
    }
    // The terminal goes before the recording it writes to, as a host's DctFini comes before the
    // library's unload.
    void TearDown() override {
        if (funcs) funcs->DctFini(handle, funcs);
        recording::Recording::EndProcess();
    }
    void SwitchOn(const std::string& until = "2026-12-09 18:00:00") {
        env.SetRegistryText(platform::RegistryRoot::CurrentUser, kRecordSwitchKey, kRecordSwitchValue, until);
    }
    recording::Recording* Open(std::size_t limit = recording::kFileLimit) {
        recording::Recording* r = recording::Recording::ForNewTerminal(env, limit);
        EXPECT_EQ(OpenTerminal(1, sim.Folder().string(), &funcs, &handle, env, r), 0);
        return r;
    }
    std::vector<fs::path> Recordings() const {
        std::vector<fs::path> found;
        if (fs::exists(traces))
            for (const auto& entry : fs::directory_iterator(traces))
                if (entry.path().extension() == ".jsonl") found.push_back(entry.path());
        return found;
    }
    // A step read of the whole terminal, ended with the clear; the codes the host got.
    std::vector<std::string> StepRead() {
        std::vector<std::string> codes;
        EXPECT_EQ(funcs->DctBeginDataReading(handle), 0);
        for (int32_t more = -1; more;) {
            const char* code = nullptr;
            double quantity = 0;
            EXPECT_EQ(funcs->DctNextRecord(handle, &code, &quantity, &more), 0);
            if (more) codes.emplace_back(code);
        }
        EXPECT_EQ(funcs->DctEndDataReading(handle, 1), 0);
        return codes;
    }

    ComThread com;
    test::TermSimFixture sim;
    test::FakeEnv env;
    fs::path traces;
    TDctDriverFuncs* funcs = nullptr;
    DctHandle handle = nullptr;
};

TEST_F(RecordingTest, OffItReadsTheOneSettingAndWritesNothing) {
    for (const char* value : {"", "2026-12-09 10:14:59", "tomorrow", "2026-12-09 10:15:00"}) {
        SCOPED_TRACE(value);
        env.registry.clear();
        env.registryQueries.clear();
        if (*value) SwitchOn(value);
        EXPECT_EQ(recording::Recording::ForNewTerminal(env), nullptr);
        EXPECT_THAT(env.registryQueries, ElementsAre(kRecordSwitchValue));
    }
    Open();
    EXPECT_THAT(StepRead(), ElementsAre("4601", "4602"));
    EXPECT_TRUE(Recordings().empty());
    EXPECT_FALSE(fs::exists(traces));
}

TEST_F(RecordingTest, ARecordedTerminalWritesBothOfItsSidesInOrder) {
    SwitchOn();
    ASSERT_NE(Open(), nullptr);
    EXPECT_THAT(StepRead(), ElementsAre("4601", "4602"));
    EXPECT_EQ(funcs->DctClearData(handle), 0);

    const auto files = Recordings();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_THAT(files[0].filename().string(), StartsWith("DctDrv-rec-2026-12-09-101500-"));
    const auto lines = Lines(files[0]);
    ASSERT_GE(lines.size(), 10u);
    EXPECT_THAT(lines[0], AllOf(StartsWith(R"({"format":"dctdrv-recording","version":1,"library":{"file":"DctDrv.dll")"),
                                HasSubstr(R"("decimal_separator":".")"), HasSubstr(R"("started":"2026-12-09 10:15:00")")));
    EXPECT_THAT(lines[1], StartsWith(R"({"seq":1,"t":0,"inst":1,"side":"server","op":"connect","hr":0})"));
    EXPECT_THAT(lines[2], HasSubstr(R"("side":"server","op":"Set_PortNumber","args":[3],"hr":0})"));
    EXPECT_THAT(lines, Contains(HasSubstr(R"("op":"GetField","args":[2],"out":"1.5","hr":0})")));
    EXPECT_THAT(LinesWith(lines, R"("side":"host")"),
                ElementsAre(HasSubstr(R"("op":"DctBeginDataReading","result":0})"),
                            HasSubstr(R"("op":"DctNextRecord","result":0,"out":{"code":"4601","quantity":2,"more":-1}})"),
                            HasSubstr(R"("op":"DctNextRecord","result":0,"out":{"code":"4602","quantity":1.5,"more":-1}})"),
                            HasSubstr(R"("op":"DctNextRecord","result":0,"out":{"code":"","more":0}})"),
                            HasSubstr(R"("op":"DctEndDataReading","args":{"clear_after":1},"result":0})"),
                            HasSubstr(R"("op":"DctClearData","result":0})")));
    // Every line of a call is on the disk once the call has returned.
    EXPECT_THAT(lines.back(), HasSubstr(R"("op":"DctClearData")"));
}

TEST_F(RecordingTest, StartingDeletesThisLibrarysOldRecordingsAndNothingElse) {
    fs::create_directories(traces);
    const std::vector<std::string> kept = {"DctDrv-rec-2026-11-30-080000-77.jsonl",  // nine days old
                                           "Other-rec-2026-01-01-080000-77.jsonl",
                                           "DctDrv-rec-2026-01-01-080000-77.jsonl.bak",
                                           "DctDrv-rec-2026-01-01-0800-77.jsonl", "DctDrv.trc", "notes.txt"};
    const std::vector<std::string> old = {"DctDrv-rec-2026-01-01-080000-77.jsonl", "dctdrv-rec-2026-11-24-235959-1.JSONL"};
    for (const auto& name : kept) std::ofstream(traces / name) << "x";
    for (const auto& name : old) std::ofstream(traces / name) << "x";
    SwitchOn();
    ASSERT_NE(Open(), nullptr);
    for (const auto& name : kept) EXPECT_TRUE(fs::exists(traces / name)) << name;
    for (const auto& name : old) EXPECT_FALSE(fs::exists(traces / name)) << name;
}

// A file that cannot be written ends the recording for the process, says so once, and changes
// nothing that the host gets.
TEST_F(RecordingTest, AFileThatCannotBeWrittenStopsTheRecordingAndNothingElse) {
    struct Full final : platform::AppendStream {
        int* appends;
        explicit Full(int* counter) : appends(counter) {}
        bool Append(std::string_view) override { return ++*appends <= 2; }  // the disk fills up
    };
    int appends = 0;
    env.openAppendStream = [&](const std::string&) { return std::make_unique<Full>(&appends); };
    SwitchOn();
    ASSERT_NE(Open(), nullptr);
    EXPECT_THAT(StepRead(), ElementsAre("4601", "4602"));
    EXPECT_EQ(recording::Recording::Active(), nullptr);
    EXPECT_EQ(appends, 3);  // the header, the first call, the failed one; then no more tries
    EXPECT_THAT(LinesWith(env.debugOutput, "recording stopped"), ElementsAre(HasSubstr("cannot write")));
    // A terminal opened later is not recorded by a recording that stopped.
    EXPECT_EQ(recording::Recording::ForNewTerminal(env), nullptr);
}

TEST_F(RecordingTest, AFileEndsAtItsLimitAndTheRecordingAtItsTimeEachWithALastLine) {
    SwitchOn();
    ASSERT_NE(Open(2048), nullptr);
    StepRead();
    auto lines = Lines(Recordings().at(0));
    EXPECT_LE(fs::file_size(Recordings().at(0)), 2048u);
    EXPECT_THAT(lines.back(), HasSubstr(R"("side":"recording","op":"limit","bytes":2048})"));
    funcs->DctFini(handle, funcs);
    funcs = nullptr;
    recording::Recording::EndProcess();
    fs::remove_all(traces);

    // The switch's time passes during a call: that call is the last one recorded.
    SwitchOn("2026-12-09 10:20:00");
    ASSERT_NE(Open(), nullptr);
    EXPECT_EQ(funcs->DctBeginDataReading(handle), 0);
    env.localTime.Minute = 20;
    env.monotonic += std::chrono::minutes(5);
    EXPECT_EQ(funcs->DctEndDataReading(handle, 0), 0);
    EXPECT_EQ(funcs->DctClearData(handle), 0);
    lines = Lines(Recordings().at(0));
    EXPECT_THAT(lines.back(), HasSubstr(R"("side":"recording","op":"off","until":"2026-12-09 10:20:00"})"));
    EXPECT_THAT(lines[lines.size() - 2], HasSubstr(R"("op":"DctEndDataReading")"));
}

TEST_F(RecordingTest, ANewDayBeginsANewFile) {
    SwitchOn("2026-12-10 18:00:00");
    ASSERT_NE(Open(), nullptr);
    EXPECT_EQ(funcs->DctClearData(handle), 0);
    env.localTime = LocalTime{2026, 12, 10, 0, 0, 1, 0};
    env.monotonic += std::chrono::hours(14);
    EXPECT_EQ(funcs->DctClearData(handle), 0);
    EXPECT_EQ(funcs->DctClearData(handle), 0);
    auto files = Recordings();
    ASSERT_EQ(files.size(), 2u);
    std::sort(files.begin(), files.end());
    EXPECT_THAT(files[1].filename().string(), StartsWith("DctDrv-rec-2026-12-10-000001-"));
    const auto second = Lines(files[1]);
    ASSERT_EQ(second.size(), 4u);  // its own header, then the sequence goes on
    EXPECT_THAT(second[0], StartsWith(R"({"format":"dctdrv-recording")"));
    EXPECT_THAT(Lines(files[0]).back(), HasSubstr(R"("op":"DctClearData")"));
}

}  // namespace
}  // namespace dct
