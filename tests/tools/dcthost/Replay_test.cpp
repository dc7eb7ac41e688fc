// Recordings made by the library's boundary against the simulator, replayed through the library
// loaded by name: what went the same way is identical, and a recording changed by hand is caught
// where the host (or the library) first does something else.
#include "replay/Replayer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "DctLibrary.h"
#include "base/cp1251.h"
#include "boundary/DctBoundary.h"
#include "boundary/DctInstance.h"
#include "boundary/Recording.h"
#include "boundary/TerminalDriver.h"
#include "lib/RecordingFiles.h"
#include "replay/ClosingDialogs.h"
#include "replay/RecordingFile.h"
#include "support/FakeEnv.h"
#include "support/LossyServer.h"
#include "support/TermSimFixture.h"

namespace dct {
namespace {

namespace fs = std::filesystem;
using dcthost::replay::ReadRecording;
using dcthost::replay::RecordingError;
using ::testing::HasSubstr;

std::vector<std::string> gRecords;
void DCT_REGISTER(2) OnRecord(int32_t, const char* code, double) { gRecords.emplace_back(code); }

std::string FileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A host session against the simulator, recorded through `env`.
class Session {
public:
    Session(test::FakeEnv& env, const test::TermSimFixture& sim) : env_(env), sim_(sim) {
        env.SetRegistryText(platform::RegistryRoot::CurrentUser, kRecordSwitchKey, kRecordSwitchValue,
                            "2026-12-31 23:00:00");
        env.environment["TARN_LOGS_FOLDER"] = (sim.Folder() / "traces").string();
        env.moduleFileName = (sim.Folder() / "DctDrv.dll").string();
        std::ofstream(sim.Folder() / "DctDrv.ini", std::ios::binary) << "[1]\r\nDCT_Port=3\r\nDCT_Rate=2\r\n";
        EXPECT_EQ(InitTerminal(1, sim.Folder().string().c_str(), &funcs, &handle, env), 0);
    }
    // Closes the terminal and the recording; the recording's file.
    fs::path End() {
        funcs->DctFini(handle, funcs);
        recording::Recording::EndProcess();
        for (const auto& entry : fs::directory_iterator(sim_.Folder() / "traces")) return entry.path();
        ADD_FAILURE() << "no recording";
        return {};
    }
    std::string Err(int32_t max) {
        std::string buffer(static_cast<std::size_t>(max) + 1, '\0');
        char* text = buffer.data();
        int32_t code = 0;
        HandOutError(handle, &code, &text, max);
        return buffer.c_str();
    }
    void StepRead(int32_t clearAfter) {
        funcs->DctBeginDataReading(handle);
        for (int32_t more = -1, i = 0; more && i < 10; ++i) {
            const char* code = nullptr;
            double quantity = 0;
            if (funcs->DctNextRecord(handle, &code, &quantity, &more) != 0) Err(255);
        }
        if (funcs->DctEndDataReading(handle, clearAfter) != 0) Err(255);
    }
    void Write(int32_t full, const char* barcodes) {
        funcs->DctBeginWareTableWriting(handle, full);
        const std::string pieces = Cp1251(u8"шт").str();
        funcs->DctWriteWareTableRecord(handle, pieces.c_str(), "Bread", barcodes, 2.5, 7);
        funcs->DctWriteWareTableRecord(handle, nullptr, nullptr, "999", 0, 0);
        if (funcs->DctEndWareTableWriting(handle) != 0) Err(255);
    }

    TDctDriverFuncs* funcs = nullptr;
    DctHandle handle = nullptr;

private:
    test::FakeEnv& env_;
    const test::TermSimFixture& sim_;
};

dcthost::replay::ReplayOutcome Replay(const fs::path& file, std::string* report = nullptr) {
    const auto recording = ReadRecording(file.string());
    dcthost::replay::ReplayOptions options;
    options.library = dcthost::DctLibrary::DefaultFileName();
    auto outcome = dcthost::replay::Replay(recording, options);
    std::ostringstream out;
    dcthost::replay::Report(recording, outcome, out);
    if (report) *report = out.str();
    return outcome;
}

// The file with one line changed (or removed, for an empty replacement).
fs::path Edited(const fs::path& file, const std::function<bool(const std::string&)>& which, const std::string& into) {
    std::istringstream in(FileText(file));
    std::string out;
    bool done = false;
    for (std::string line; std::getline(in, line);) {
        if (!done && which(line)) {
            done = true;
            if (into.empty()) continue;
            line = into;
        }
        out += line + "\n";
    }
    EXPECT_TRUE(done);
    const fs::path edited = file.parent_path() / "edited.jsonl";
    std::ofstream(edited, std::ios::binary) << out;
    return edited;
}

class ReplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim.WriteRecords({{"4601", "2"}, {"Ж-4602", "1.5"}, {"4603", "3"}});
        gRecords.clear();
    }
    void TearDown() override { recording::Recording::EndProcess(); }

    struct ComThread {
        ComThread() { CoInitialize(nullptr); }
        ~ComThread() { CoUninitialize(); }
    } com;
    test::TermSimFixture sim;
};

TEST_F(ReplayTest, EverySessionReplaysIdentically) {
    const std::vector<std::pair<const char*, std::function<void(Session&, test::TermSimFixture&)>>> sessions = {
        {"bulk and step reads, cleared or not",
         [](Session& s, test::TermSimFixture&) {
             s.funcs->DctEnumData(s.handle, &OnRecord, 42, 0);
             s.StepRead(0);
             s.StepRead(1);
             s.funcs->DctEnumData(s.handle, &OnRecord, 0, 1);
         }},
        {"a full and a partial table write, and a clear",
         [](Session& s, test::TermSimFixture&) {
             s.Write(1, "111|222");
             s.Write(0, "333");
             s.funcs->DctClearData(s.handle);
         }},
        {"failing statuses with Cyrillic texts, a failing HRESULT, short error buffers",
         [](Session& s, test::TermSimFixture& sim) {
             sim.WriteFaults("[BeginReport]\nStatus=7\nDescription=Нет связи с терминалом\n");
             s.funcs->DctEnumData(s.handle, &OnRecord, 0, 0);
             for (int32_t max : {0, 3, 5, 255}) s.Err(max);
             sim.WriteFaults("[EndReport]\nHResult=0x80004005\nErrorInfo=Порт занят\n");
             s.StepRead(1);
             s.Err(2);
             sim.WriteFaults("");
             s.funcs->DctClearData(s.handle);
         }},
        {"the service dialog, passed over",
         [](Session& s, test::TermSimFixture&) {
             dcthost::replay::ClosingDialogs closing;
             s.funcs->DctInteractiveService(s.handle);
             s.funcs->DctClearData(s.handle);
         }},
    };
    for (const auto& [name, run] : sessions) {
        SCOPED_TRACE(name);
        fs::remove_all(sim.Folder() / "traces");
        sim.WriteRecords({{"4601", "2"}, {"Ж-4602", "1.5"}});
        test::FakeEnv env;
        Session session(env, sim);
        run(session, sim);
        const fs::path file = session.End();
        std::string report;
        const auto outcome = Replay(file, &report);
        EXPECT_FALSE(outcome.divergence) << report;
        EXPECT_THAT(report, HasSubstr("identical: "));
        EXPECT_GT(outcome.serverCalls, 3) << report;
    }
}

TEST_F(ReplayTest, AServerLostInTheMiddleOfAReadReplaysAsItHappened) {
    test::LossyServerEnv env;
    env.link.loseOn = "GetRecord";
    env.link.loseOnNth = 2;
    Session session(env, sim);
    session.StepRead(1);
    env.link.loseOn.clear();
    session.StepRead(1);
    const fs::path file = session.End();
    EXPECT_THAT(FileText(file), HasSubstr(R"("op":"GetRecord","args":[],"hr":-2147023170})"));
    std::string report;
    EXPECT_FALSE(Replay(file, &report).divergence) << report;
}

TEST_F(ReplayTest, AChangedAnswerOrAMissingCallIsWhereTheLibraryFirstDidSomethingElse) {
    test::FakeEnv env;
    Session session(env, sim);
    session.StepRead(0);
    const fs::path file = session.End();
    const auto secondQuantity = [](const std::string& line) {
        return line.find(R"("op":"GetField","args":[2],"out":"1.5")") != std::string::npos;
    };

    std::string report;
    auto outcome = Replay(Edited(file, secondQuantity, ""), &report);
    ASSERT_TRUE(outcome.divergence);
    EXPECT_EQ(outcome.divergence->side, "server");
    EXPECT_THAT(report, HasSubstr("the library called GetField(2), the recording has host DctNextRecord next"));

    std::string changed;
    std::istringstream lines(FileText(file));
    for (std::string line; std::getline(lines, line);)
        if (secondQuantity(line)) changed = line.replace(line.find(R"("out":"1.5")"), 11, R"("out":"4.5")");
    outcome = Replay(Edited(file, secondQuantity, changed), &report);
    ASSERT_TRUE(outcome.divergence);
    EXPECT_EQ(outcome.divergence->side, "host");
    EXPECT_THAT(report, HasSubstr("DctNextRecord gave the host something else"));
    EXPECT_THAT(report, HasSubstr("quantity: expected 1.5, actual 4.5"));
    EXPECT_THAT(report, HasSubstr("the events before it:"));
}

TEST(RecordingFile, ATornLastLineIsReplayedUpToTheTearAndOtherFilesAreRefused) {
    const fs::path dir = fs::temp_directory_path() / "dcthost-recording-files";
    fs::create_directories(dir);
    const std::string header = R"({"format":"dctdrv-recording","version":1,"started":"2026-12-09 10:00:00"})";
    const std::string event = R"({"seq":1,"t":0,"inst":1,"side":"host","op":"LoadDctLibrary","result":0})";
    const auto write = [&](const char* name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
        return (dir / name).string();
    };
    const auto torn = ReadRecording(write("torn.jsonl", header + "\n" + event + "\n" + R"({"seq":2,"t":5,"in)"));
    EXPECT_TRUE(torn.torn);
    EXPECT_EQ(torn.events.size(), 1u);

    const struct {
        const char* name;
        std::string text, message;
    } refused[] = {
        {"newer.jsonl", R"({"format":"dctdrv-recording","version":2})" "\n", "line 1: format version 2 is newer"},
        {"other.jsonl", R"({"format":"something else","version":1})" "\n", "line 1: not a recording"},
        {"records.csv", "4601;2\n4602;1\n", "line 1: not a recording"},
        {"broken.jsonl", header + "\n{\"seq\":1,\n" + event + "\n", "line 2: not JSON"},
        {"no-side.jsonl", header + "\n" + R"({"seq":1,"op":"x"})" "\n", "line 2: an event needs seq, side and op"},
    };
    for (const auto& file : refused) {
        SCOPED_TRACE(file.name);
        try {
            ReadRecording(write(file.name, file.text));
            ADD_FAILURE() << "read";
        } catch (const RecordingError& e) {
            EXPECT_THAT(e.what(), HasSubstr(file.message));
        }
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace dct
