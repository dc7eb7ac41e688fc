#include "lib/TraceFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "lib/cp1251.h"
#include "platform/DebugOutput.h"
#include "platform/ModuleInfo.h"
#include "platform/Registry.h"
#include "platform/SystemInfo.h"

namespace fs = std::filesystem;
using namespace dct::trace;
using dct::platform::RegistryRoot;
using dct::platform::RegistryStatus;
using dct::platform::RegistryValue;

namespace {

// Paths come out of the library with '\'; both platforms open them with '/'.
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

// Seams faked: registry, environment, computer name, module name, debugger output; a private
// temporary folder for whatever is written.
class TraceFilesTest : public ::testing::Test {
protected:
    std::map<std::tuple<RegistryRoot, std::string, std::string>, std::string> registry;
    std::map<std::string, std::string> environment;
    std::optional<std::string> computer = "PC7";
    std::vector<std::string> debugLines;
    std::string root;

    void SetUp() override {
        root = Slashed((fs::temp_directory_path() /
                        ("dct-tracefiles-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                         ::testing::UnitTest::GetInstance()->current_test_info()->name()))
                           .string());
        fs::remove_all(root);
        fs::create_directories(root);
        dct::platform::OverrideRegistry(
            [this](RegistryRoot r, const std::string& key, const std::string& name, std::size_t) {
                auto it = registry.find({r, key, name});
                if (it == registry.end()) return RegistryValue{RegistryStatus::CannotOpenKey, 0, {}};
                return RegistryValue{RegistryStatus::Ok, dct::platform::kRegistryString, it->second + '\0'};
            });
        dct::platform::OverrideEnvironment([this](const std::string& name) { return environment[name]; });
        dct::platform::OverrideComputerName([this] { return computer; });
        dct::platform::OverrideOwnModuleFileName(root + "/bin/DctDrv.dll");
        dct::platform::OverrideDebugOutput([this](std::string_view text) { debugLines.emplace_back(text); });
        ClearTraceFolder();
    }
    void TearDown() override {
        ClearTraceFolder();
        dct::platform::OverrideRegistry({});
        dct::platform::OverrideEnvironment({});
        dct::platform::OverrideComputerName({});
        dct::platform::OverrideOwnModuleFileName(std::nullopt);
        dct::platform::OverrideDebugOutput({});
        dct::platform::OverrideCreateFolder({});
        fs::remove_all(root);
    }
    void SetTraceDir(RegistryRoot r, const std::string& value) { registry[{r, "Software\\Tarnworks", "TraceDir"}] = value; }
    void SetCommonDocuments(const std::string& value) {
        registry[{RegistryRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                  "Common Documents"}] = value;
    }
};

TEST_F(TraceFilesTest, FolderRulesInOrderOfPrecedence) {
    SetTraceDir(RegistryRoot::CurrentUser, root + "/user");
    SetTraceDir(RegistryRoot::LocalMachine, root + "/machine");
    environment["TARN_LOGS_FOLDER"] = root + "/env";
    EXPECT_EQ(Slashed(TraceFilename()), Slashed(root + "/user\\DctDrv.trc"));
    EXPECT_TRUE(dct::platform::FolderExists(root + "/user"));

    ClearTraceFolder();
    registry.erase({RegistryRoot::CurrentUser, "Software\\Tarnworks", "TraceDir"});
    EXPECT_EQ(Slashed(TraceFilename()), Slashed(root + "/machine\\DctDrv.trc"));

    ClearTraceFolder();
    registry.clear();
    EXPECT_EQ(Slashed(TraceFilename()), Slashed(root + "/env\\DctDrv.trc"));

    ClearTraceFolder();
    environment.clear();
    EXPECT_EQ(Slashed(TraceFilename()), Slashed(root + "/bin/logs\\DctDrv.trc"));
    // The default folder is created together with its missing parent.
    EXPECT_TRUE(dct::platform::FolderExists(root + "/bin/logs"));
}

TEST_F(TraceFilesTest, FolderIsSettledOnceAndNamedOnTheDebuggerEveryTime) {
    SetTraceDir(RegistryRoot::CurrentUser, root + "/first\\");
    const std::string first = TraceFilename();
    EXPECT_EQ(Slashed(first), Slashed(root + "/first\\DctDrv.trc"));  // no second backslash
    SetTraceDir(RegistryRoot::CurrentUser, root + "/second");
    EXPECT_EQ(TraceFilename(), first);
    EXPECT_EQ(Slashed(TraceFolder()), Slashed(root + "/first\\"));
    EXPECT_EQ(debugLines, (std::vector<std::string>{first, first}));
}

TEST_F(TraceFilesTest, NetworkFolderIsLowerCasedAndPrefixedWithTheComputerName) {
    std::vector<std::string> created;
    dct::platform::OverrideCreateFolder([&](const std::string& path) {
        created.push_back(path);
        return true;
    });
    computer = "pc7";
    dct::platform::OverrideOwnModuleFileName(root + "/driver.dll");
    SetTraceDir(RegistryRoot::CurrentUser, "\\\\Server\\Share\\Logs");
    EXPECT_EQ(TraceFilename(), "\\\\server\\share\\logs\\PC7-driver.trc");
    EXPECT_EQ(created, std::vector<std::string>{"\\\\Server\\Share\\Logs"});

    ClearTraceFolder();
    SetTraceDir(RegistryRoot::CurrentUser, "\\\\Server\\LOGS\\Pc7\\");
    EXPECT_EQ(TraceFilename(), "\\\\server\\logs\\pc7\\driver.trc");

    ClearTraceFolder();
    computer = std::nullopt;  // name unreadable: the folder stays as it is
    SetTraceDir(RegistryRoot::CurrentUser, "\\\\Server\\Share\\Logs");
    EXPECT_EQ(TraceFilename(), "\\\\Server\\Share\\Logs\\driver.trc");
}

TEST_F(TraceFilesTest, LocalFolderKeepsItsCaseAndGetsNoPrefix) {
    SetTraceDir(RegistryRoot::CurrentUser, root + "/Logs/PC/Traces");
    EXPECT_EQ(Slashed(TraceFilename()), Slashed(root + "/Logs/PC/Traces\\DctDrv.trc"));
}

TEST_F(TraceFilesTest, FallbackUnderCommonDocuments) {
    SetCommonDocuments(root + "/Public\\");
    const std::string expected = root + "/Public\\" + dct::Cp1251(u8"Логи Тарн\\").str() + "DctDrv.trc";
    EXPECT_EQ(SafeTraceFilename(), expected);
    EXPECT_TRUE(dct::platform::FolderExists(root + "/Public\\" + dct::Cp1251(u8"Логи Тарн").str()));
    SetCommonDocuments(root + "/Public");
    EXPECT_EQ(SafeTraceFilename(), expected);
    EXPECT_TRUE(debugLines.empty());
}

TEST_F(TraceFilesTest, NoCommonDocumentsMeansNoFallbackAndNothingCreated) {
    std::vector<std::string> created;
    dct::platform::OverrideCreateFolder([&](const std::string& path) {
        created.push_back(path);
        return true;
    });
    EXPECT_EQ(SafeTraceFilename(), "");
    EXPECT_TRUE(created.empty());
    EXPECT_FALSE(SaveLines(SafeTraceFilename(), {"lost"}));
}

TEST_F(TraceFilesTest, SaveLinesAppendsBlocksWithCrLf) {
    const std::string file = root + "\\a.trc";
    ASSERT_TRUE(SaveLines(file, {"one", "two"}));
    ASSERT_TRUE(SaveLines(file, {"three"}));
    EXPECT_EQ(ReadAll(file), "one\r\ntwo\r\nthree\r\n");
    EXPECT_FALSE(SaveLines(root + "\\missing\\folder\\a.trc", {"x"}));
}

TEST_F(TraceFilesTest, ModuleNameAndPathParts) {
    EXPECT_EQ(Slashed(ModuleName()), Slashed(root + "/bin/DctDrv.dll"));
    EXPECT_EQ(ExtractFilePath("C:\\Host\\DctDrv.dll"), "C:\\Host\\");
    EXPECT_EQ(ExtractFileName("C:\\Host\\DctDrv.dll"), "DctDrv.dll");
    EXPECT_EQ(ExtractFilePath("C:DctDrv.dll"), "C:");
    EXPECT_EQ(ExtractFilePath("DctDrv.dll"), "");
}

}  // namespace
