#include "lib/FullTrace.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "base/Exceptions.h"
#include "base/cp1251.h"
#include "lib/TraceFiles.h"
#include "platform/LastError.h"
#include "support/DebugTableBuilder.h"
#include "support/FakeEnv.h"

namespace fs = std::filesystem;
using namespace dct::trace;
using dct::jcl::TJclLocationInfo;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

std::string Slashed(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(Slashed(path), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "every line, the last included, ends with CR LF";
    return lines;
}

using dct::test::TableBuilder;

TableBuilder SampleTable() {
    TableBuilder t;
    t.rows = {{0x1000, "Umain", 120}, {0x1010, "Umain", 121}, {0x2000, "", 0}, {0x3000, "parmstr", 0}};
    t.procs = {{0x1000, "TdctOpticon9728Driver::BeginReading()"}, {0x2000, "memcpy"}, {0x4000, ""}};
    return t;
}

// --- Formats ---------------------------------------------------------------------------------

TEST(FormatLocInfo, FirstRuleThatApplies) {
    TJclLocationInfo info{"Umain", "Proc", 42};
    EXPECT_EQ(FormatLocInfo(0x1234, info), " Umain:42");
    info.LineNumber = 0;
    EXPECT_EQ(FormatLocInfo(0x1234, info), " Umain (00001234)");
    info.LineNumber = -3;
    EXPECT_EQ(FormatLocInfo(0x1234, info), " Umain (00001234)");
    info.UnitName.clear();
    EXPECT_EQ(FormatLocInfo(0x1234, info), " Proc");
    EXPECT_EQ(FormatLocInfo(0xABCDEF, {}), " ??\?(00ABCDEF)");
}

TEST(FormatFileVersion, TrailingZeroPartsAreLeftOut) {
    using dct::platform::FileVersion;
    EXPECT_EQ(FormatFileVersion(FileVersion{5u << 16 | 2, 0}), "5.2");
    EXPECT_EQ(FormatFileVersion(FileVersion{5u << 16 | 2, 3u << 16}), "5.2.3");
    EXPECT_EQ(FormatFileVersion(FileVersion{5u << 16 | 2, 1}), "5.2.0.1");
    EXPECT_EQ(FormatFileVersion(FileVersion{65535u << 16 | 10, 7u << 16 | 9}), "65535.10.7.9");
    EXPECT_EQ(FormatFileVersion(std::nullopt), "????");
    EXPECT_EQ(GetVersionString("no such file.dll"), "????");
}

TEST(FormatTraceTimestamp, TwoDigitFieldsWithTheUsersSeparators) {
    dct::LocalTime t{2024, 3, 7, 9, 5, 3, 42};
    EXPECT_EQ(FormatTraceTimestamp(t, '.', ':'), "07.03.24 09:05:03.042");
    t = {2009, 12, 31, 23, 59, 58, 999};
    EXPECT_EQ(FormatTraceTimestamp(t, '/', '-'), "31/12/09 23-59-58.999");
}

TEST(DebugTable, LookupByRelativeAddress) {
    auto bytes = SampleTable().Build();
    auto table = dct::jcl::DebugTable::Parse(bytes.data(), bytes.size());
    ASSERT_TRUE(table);
    auto at = [&](uint32_t rva) { return table->Lookup(rva); };
    EXPECT_EQ(at(0x100).UnitName, "");
    EXPECT_EQ(at(0x100).ProcedureName, "");
    EXPECT_EQ(at(0x1000).LineNumber, 120);
    EXPECT_EQ(at(0x100F).LineNumber, 120);
    EXPECT_EQ(at(0x1010).UnitName, "Umain");
    EXPECT_EQ(at(0x1010).LineNumber, 121);
    EXPECT_EQ(at(0x1010).ProcedureName, "TdctOpticon9728Driver::BeginReading()");
    EXPECT_EQ(at(0x2004).UnitName, "");
    EXPECT_EQ(at(0x2004).LineNumber, 0);
    EXPECT_EQ(at(0x2004).ProcedureName, "memcpy");
    EXPECT_EQ(at(0x3004).UnitName, "parmstr");
    EXPECT_EQ(at(0x5000).ProcedureName, "");

    // Damaged tables are no debug data.
    EXPECT_FALSE(dct::jcl::DebugTable::Parse(bytes.data(), bytes.size() - 1));
    auto wrongMagic = bytes;
    wrongMagic[0] = 'X';
    EXPECT_FALSE(dct::jcl::DebugTable::Parse(wrongMagic.data(), wrongMagic.size()));
    auto unterminated = bytes;
    unterminated.back() = 'x';
    EXPECT_FALSE(dct::jcl::DebugTable::Parse(unterminated.data(), unterminated.size()));
    // Padding after the table (section alignment) is fine.
    bytes.resize(bytes.size() + 13);
    EXPECT_TRUE(dct::jcl::DebugTable::Parse(bytes.data(), bytes.size()));
}

// --- The stack walk over a hand-made stack ----------------------------------------------------

// Frame records at chosen word positions of a fake stack: {caller's frame pointer, return address}.
struct FakeStack {
    std::vector<uintptr_t> words = std::vector<uintptr_t>(64, 0);
    uintptr_t At(std::size_t index) const { return reinterpret_cast<uintptr_t>(&words[index]); }
    uintptr_t Lower() const { return At(0); }
    uintptr_t Upper() const { return At(0) + words.size() * sizeof(uintptr_t); }
    void Frame(std::size_t index, std::size_t callerIndex, uintptr_t ret) {
        words[index] = callerIndex ? At(callerIndex) : 0;
        words[index + 1] = ret;
    }
};

TEST(WalkStack, StartsAtTheExceptionAddressWhenItIsAReturnAddress) {
    FakeStack s;
    s.Frame(0, 4, 0x1111);   // the notifier
    s.Frame(4, 10, 0x5555);  // the raising code returns here: the exception address
    s.Frame(10, 20, 0x7777);
    s.Frame(20, 0, 0x8888);
    EXPECT_THAT(WalkStack(s.Lower(), s.Upper(), 0x5555, 0), ElementsAre(0x5555, 0x7777, 0x8888));
}

TEST(WalkStack, FallsBackToTheHookFrameWhenTheAddressIsNotFound) {
    FakeStack s;
    s.Frame(0, 4, 0x1111);
    s.Frame(4, 10, 0x2222);
    s.Frame(10, 20, 0x7777);
    s.Frame(20, 0, 0x8888);
    EXPECT_THAT(WalkStack(s.Lower(), s.Upper(), 0x4000, s.At(10)), ElementsAre(0x4005, 0x7777, 0x8888));
    // A hook frame outside the stack gives the exception's own line alone.
    EXPECT_THAT(WalkStack(s.Lower(), s.Upper(), 0x4000, 0), ElementsAre(0x4005));
}

TEST(WalkStack, StopsAtBoundsZeroReturnsAndLoops) {
    FakeStack s;
    s.Frame(0, 4, 0x1111);
    s.Frame(4, 4, 0x2222);  // points at itself
    EXPECT_THAT(WalkStack(s.Lower(), s.Upper(), 0x2222, 0), ElementsAre(0x2222));

    s.Frame(4, 10, 0x2222);
    s.Frame(10, 6, 0x3333);  // points back down
    s.Frame(6, 10, 0x4444);
    EXPECT_THAT(WalkStack(s.Lower(), s.Upper(), 0x2222, 0), ElementsAre(0x2222, 0x3333));

    s.Frame(10, 20, 0x3333);
    s.Frame(20, 30, 0);  // a zero return address ends the chain
    s.Frame(30, 0, 0x9999);
    EXPECT_THAT(WalkStack(s.Lower(), s.Upper(), 0x2222, 0), ElementsAre(0x2222, 0x3333));

    s.Frame(20, 63, 0x4444);  // the caller's record would straddle the stack base
    s.words[63] = 0x5555;
    EXPECT_THAT(WalkStack(s.Lower(), s.Upper(), 0x2222, 0), ElementsAre(0x2222, 0x3333, 0x4444));

    s.words[21] = 0x4444;
    s.words[20] = s.Upper() + 64;  // above the stack base
    EXPECT_THAT(WalkStack(s.Lower(), s.Upper(), 0x2222, 0), ElementsAre(0x2222, 0x3333, 0x4444));
}

// --- DoTrace over the seams -------------------------------------------------------------------

class DoTraceTest : public ::testing::Test {
protected:
    std::string root;
    dct::test::FakeEnv env;
    std::optional<TraceLog> log;

    void SetUp() override {
        root = Slashed((fs::temp_directory_path() /
                        ("dct-fulltrace-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())))
                           .string());
        fs::remove_all(root);
        fs::create_directories(root + "/bin");
        std::ofstream(root + "/bin/DctDrv.dll", std::ios::binary) << "MZ123";
        env.moduleFileName = root + "/bin/DctDrv.dll";
        env.localTime = dct::LocalTime{2024, 3, 7, 9, 5, 3, 42};
        dct::FormatSettings format;
        format.DateSeparator = '/';
        format.TimeSeparator = ':';
        env.formats = format;
        env.imageSection = SampleTable().Build();
        log.emplace(env);
    }
    void TearDown() override { fs::remove_all(root); }
    void SetRegistry(const std::string& name, const std::string& text) {
        using dct::platform::RegistryRoot;
        if (name == "TraceDir")
            env.SetRegistryText(RegistryRoot::CurrentUser, "Software\\Tarnworks", name, text);
        else
            env.SetRegistryText(RegistryRoot::LocalMachine,
                                "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", name, text);
    }
    void DoTrace(const std::exception* e, uintptr_t address, bool os, uintptr_t frame) {
        log->DoTrace(e, address, os, frame);
    }
    std::string TraceFile() const { return root + "/bin/logs/DctDrv.trc"; }
    std::vector<std::string> Block() const { return Lines(ReadAll(TraceFile())); }
};

TEST_F(DoTraceTest, LanguageExceptionBlock) {
    dct::EConvertError error("'word' is not a valid integer value");
    dct::platform::SetLastSystemError(42);
    DoTrace(&error, 0x1012, false, 0);
    EXPECT_EQ(dct::platform::GetLastSystemError(), 42u);

    auto lines = Block();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0],
              "!== 07/03/24 09:05:03.042 EConvertError('word' is not a valid integer value) at 00001012 (Umain:121) "
              "(LastError: 42)");
    EXPECT_EQ(lines[1], log->ModuleInfoLine());
    // The walk did not meet 0x1012 on this stack, so its first frame is the exception's own line.
    EXPECT_EQ(lines[2], " Umain:121");
    EXPECT_EQ(lines[3], "--- end of trace");
    EXPECT_THAT(env.debugOutput[0], HasSubstr("Trace data loaded for "));
    EXPECT_EQ(Slashed(env.debugOutput[1]), Slashed(TraceFile()));
}

TEST_F(DoTraceTest, HeaderVariants) {
    dct::EExternal av("Access violation", 0xC0000005);
    dct::platform::SetLastSystemError(0);
    DoTrace(&av, 0x2004, true, 0);  // known procedure, no unit
    DoTrace(nullptr, 0x500, true, 0);  // nothing known at all
    std::runtime_error plain("multi\r\nline");
    DoTrace(&plain, 0x3004, false, 0);  // unit without line

    auto lines = Block();
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[0], "!== 07/03/24 09:05:03.042 OS EExternal(Access violation) at 00002004 (memcpy) (LastError: 0)");
    EXPECT_EQ(lines[2], " memcpy");
    EXPECT_EQ(lines[4], "!== 07/03/24 09:05:03.042 OS exception at 00000500 (??\?(00000500)) (LastError: 0)");
    EXPECT_EQ(lines[6], " ??\?(00000505)");
    // The message goes in unchanged, line breaks and all.
    EXPECT_EQ(lines[8], "!== 07/03/24 09:05:03.042 std::runtime_error(multi");
    EXPECT_EQ(lines[9], "line) at 00003004 (parmstr (00003004)) (LastError: 0)");
    EXPECT_EQ(lines[11], " parmstr (00003009)");
}

TEST_F(DoTraceTest, AbortAndBreakpointWriteNothing) {
    dct::EAbort abort("");
    dct::EExternal breakpoint("breakpoint", 0x80000003);
    DoTrace(&abort, 0x1012, false, 0);
    DoTrace(&breakpoint, 0x1012, true, 0);
    EXPECT_FALSE(fs::exists(Slashed(TraceFile())));
    // The first notification still settled the debug data, with its one message.
    EXPECT_THAT(env.debugOutput, ElementsAre(HasSubstr("Trace data loaded for ")));
}

TEST_F(DoTraceTest, WithoutDebugDataOneMessageAndNeverATrace) {
    env.imageSection.reset();  // a module without a JCLDEBUG section
    dct::EConvertError error("x");
    DoTrace(&error, 0x1012, false, 0);
    DoTrace(&error, 0x1012, false, 0);
    EXPECT_FALSE(fs::exists(Slashed(TraceFile())));
    ASSERT_EQ(env.debugOutput.size(), 1u);
    EXPECT_EQ(Slashed(env.debugOutput[0]), Slashed("Trace data not found for " + root + "/bin/DctDrv.dll"));
}

TEST_F(DoTraceTest, FallbackFileWhenThePrimaryCannotBeWritten) {
    // The trace folder would be below a plain file: it can be neither created nor written.
    std::ofstream(root + "/blocker") << "x";
    SetRegistry("TraceDir", root + "/blocker/logs");
    SetRegistry("Common Documents", root + "/Public");
    dct::EConvertError error("x");
    DoTrace(&error, 0x1012, false, 0);
    const std::string fallback = root + "/Public/" + dct::Cp1251(u8"Логи Тарн").str() + "/DctDrv.trc";
    auto lines = Lines(ReadAll(fallback));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines.back(), "--- end of trace");
}

TEST_F(DoTraceTest, BlockIsLostQuietlyWithoutCommonDocuments) {
    std::ofstream(root + "/blocker") << "x";
    SetRegistry("TraceDir", root + "/blocker/logs");
    const auto before = fs::current_path();
    dct::platform::SetLastSystemError(7);
    dct::EConvertError error("x");
    DoTrace(&error, 0x1012, false, 0);
    EXPECT_EQ(dct::platform::GetLastSystemError(), 7u);
    EXPECT_FALSE(fs::exists(before / "DctDrv.trc"));
    EXPECT_FALSE(fs::exists(before / dct::Cp1251(u8"Логи Тарн").str()));
}

TEST_F(DoTraceTest, ModuleInfoLine) {
    EXPECT_TRUE(std::regex_match(log->ModuleInfoLine(), std::regex(R"(\? DctDrv\.dll ver \?\?\?\? of \d\d\.\d\d\.\d{4} \d{1,2}:\d\d:\d\d \(size 5\))")))
        << log->ModuleInfoLine();
    env.moduleFileName = root + "/bin/Missing.dll";
    EXPECT_THAT(log->InitModInfo(), ::testing::StartsWith("# error getting module info ("));
}

}  // namespace
