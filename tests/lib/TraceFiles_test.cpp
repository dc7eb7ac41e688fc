#include "lib/TraceFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "base/cp1251.h"
#include "platform/Files.h"
#include "support/FakeEnv.h"

namespace fs = std::filesystem;
using namespace dct::trace;
using dct::platform::RegistryRoot;

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

// The environment faked (registry, environment variables, computer name, module name, debugger
// output); a private temporary folder for whatever is written.
class TraceFilesTest : public ::testing::Test {
protected:
    dct::test::FakeEnv env;
    TraceFiles files{env};
    std::string root;

    void SetUp() override {
        root = Slashed((fs::temp_directory_path() /
                        ("dct-tracefiles-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                         ::testing::UnitTest::GetInstance()->current_test_info()->name()))
                           .string());
        fs::remove_all(root);
        fs::create_directories(root);
        env.computerName = "PC7";
        env.moduleFileName = root + "/bin/DctDrv.dll";
    }
    void TearDown() override { fs::remove_all(root); }
    void SetTraceDir(RegistryRoot r, const std::string& value) {
        env.SetRegistryText(r, "Software\\Tarnworks", "TraceDir", value);
    }
    void SetCommonDocuments(const std::string& value) {
        env.SetRegistryText(RegistryRoot::LocalMachine,
                            "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                            "Common Documents", value);
    }
};

TEST_F(TraceFilesTest, FolderRulesInOrderOfPrecedence) {
    SetTraceDir(RegistryRoot::CurrentUser, root + "/user");
    SetTraceDir(RegistryRoot::LocalMachine, root + "/machine");
    env.environment["TARN_LOGS_FOLDER"] = root + "/env";
    EXPECT_EQ(Slashed(files.TraceFilename()), Slashed(root + "/user\\DctDrv.trc"));
    EXPECT_TRUE(dct::platform::FolderExists(root + "/user"));

    files.ClearTraceFolder();
    env.registry.erase({RegistryRoot::CurrentUser, "Software\\Tarnworks", "TraceDir"});
    EXPECT_EQ(Slashed(files.TraceFilename()), Slashed(root + "/machine\\DctDrv.trc"));

    files.ClearTraceFolder();
    env.registry.clear();
    EXPECT_EQ(Slashed(files.TraceFilename()), Slashed(root + "/env\\DctDrv.trc"));

    files.ClearTraceFolder();
    env.environment.clear();
    EXPECT_EQ(Slashed(files.TraceFilename()), Slashed(root + "/bin/logs\\DctDrv.trc"));
    // The default folder is created together with its missing parent.
    EXPECT_TRUE(dct::platform::FolderExists(root + "/bin/logs"));
}

TEST_F(TraceFilesTest, FolderIsSettledOnceAndNamedOnTheDebuggerEveryTime) {
    SetTraceDir(RegistryRoot::CurrentUser, root + "/first\\");
    const std::string first = files.TraceFilename();
    EXPECT_EQ(Slashed(first), Slashed(root + "/first\\DctDrv.trc"));  // no second backslash
    SetTraceDir(RegistryRoot::CurrentUser, root + "/second");
    EXPECT_EQ(files.TraceFilename(), first);
    EXPECT_EQ(Slashed(files.TraceFolder()), Slashed(root + "/first\\"));
    EXPECT_EQ(env.debugOutput, (std::vector<std::string>{first, first}));
}

TEST_F(TraceFilesTest, NetworkFolderIsLowerCasedAndPrefixedWithTheComputerName) {
    std::vector<std::string> created;
    env.createFolder = [&](const std::string& path) {
        created.push_back(path);
        return true;
    };
    env.computerName = "pc7";
    env.moduleFileName = root + "/driver.dll";
    SetTraceDir(RegistryRoot::CurrentUser, "\\\\Server\\Share\\Logs");
    EXPECT_EQ(files.TraceFilename(), "\\\\server\\share\\logs\\PC7-driver.trc");
    EXPECT_EQ(created, std::vector<std::string>{"\\\\Server\\Share\\Logs"});

    files.ClearTraceFolder();
    SetTraceDir(RegistryRoot::CurrentUser, "\\\\Server\\LOGS\\Pc7\\");
    EXPECT_EQ(files.TraceFilename(), "\\\\server\\logs\\pc7\\driver.trc");

    files.ClearTraceFolder();
    env.computerName = std::nullopt;  // name unreadable: the folder stays as it is
    SetTraceDir(RegistryRoot::CurrentUser, "\\\\Server\\Share\\Logs");
    EXPECT_EQ(files.TraceFilename(), "\\\\Server\\Share\\Logs\\driver.trc");
}

TEST_F(TraceFilesTest, LocalFolderKeepsItsCaseAndGetsNoPrefix) {
    SetTraceDir(RegistryRoot::CurrentUser, root + "/Logs/PC/Traces");
    EXPECT_EQ(Slashed(files.TraceFilename()), Slashed(root + "/Logs/PC/Traces\\DctDrv.trc"));
}

TEST_F(TraceFilesTest, FallbackUnderCommonDocuments) {
    SetCommonDocuments(root + "/Public\\");
    const std::string expected = root + "/Public\\" + dct::Cp1251(u8"Логи Тарн\\").str() + "DctDrv.trc";
    EXPECT_EQ(files.SafeTraceFilename(), expected);
    EXPECT_TRUE(dct::platform::FolderExists(root + "/Public\\" + dct::Cp1251(u8"Логи Тарн").str()));
    SetCommonDocuments(root + "/Public");
    EXPECT_EQ(files.SafeTraceFilename(), expected);
    EXPECT_TRUE(env.debugOutput.empty());
}

TEST_F(TraceFilesTest, NoCommonDocumentsMeansNoFallbackAndNothingCreated) {
    std::vector<std::string> created;
    env.createFolder = [&](const std::string& path) {
        created.push_back(path);
        return true;
    };
    EXPECT_EQ(files.SafeTraceFilename(), "");
    EXPECT_TRUE(created.empty());
    EXPECT_FALSE(files.SaveLines(files.SafeTraceFilename(), {"lost"}));
}

TEST_F(TraceFilesTest, SaveLinesAppendsBlocksWithCrLf) {
    const std::string file = root + "\\a.trc";
    ASSERT_TRUE(files.SaveLines(file, {"one", "two"}));
    ASSERT_TRUE(files.SaveLines(file, {"three"}));
    EXPECT_EQ(ReadAll(file), "one\r\ntwo\r\nthree\r\n");
    EXPECT_FALSE(files.SaveLines(root + "\\missing\\folder\\a.trc", {"x"}));
}

TEST_F(TraceFilesTest, ModuleNameAndPathParts) {
    EXPECT_EQ(Slashed(files.ModuleName()), Slashed(root + "/bin/DctDrv.dll"));
    EXPECT_EQ(ExtractFilePath("C:\\Host\\DctDrv.dll"), "C:\\Host\\");
    EXPECT_EQ(ExtractFileName("C:\\Host\\DctDrv.dll"), "DctDrv.dll");
    EXPECT_EQ(ExtractFilePath("C:DctDrv.dll"), "C:");
    EXPECT_EQ(ExtractFilePath("DctDrv.dll"), "");
}

}  // namespace
