#include "platform/Env.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace fs = std::filesystem;
using namespace dct::platform;

namespace {

class PosixProfileStore : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        dir_ = fs::temp_directory_path() / ("profstore-" + std::to_string(rd()));
        fs::create_directories(dir_ / "sub");
        oldCwd_ = fs::current_path();
    }
    void TearDown() override {
        fs::current_path(oldCwd_);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    static std::string Get(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    fs::path dir_, oldCwd_;
};

}  // namespace

TEST_F(PosixProfileStore, WindowsSeparatorsAreAccepted) {
    const std::string path = dir_.string() + "\\sub\\DctDrv.ini";
    ASSERT_TRUE(Env::Default().ProfileWriteString(path, "5", "DCT_Port", "2"));
    EXPECT_EQ(Get(dir_ / "sub" / "DctDrv.ini"), "[5]\r\nDCT_Port=2\r\n");
    EXPECT_EQ(Env::Default().ProfileReadString(path, "5", "dct_port", "1"), "2");
}

TEST_F(PosixProfileStore, BareNameLivesInTheCurrentDirectory) {
    fs::current_path(dir_);
    ASSERT_TRUE(Env::Default().ProfileWriteString("DctDrv.ini", "1", "DCT_Port", "3"));
    EXPECT_TRUE(fs::exists(dir_ / "DctDrv.ini"));
    EXPECT_EQ(Env::Default().ProfileSectionNames("DctDrv.ini"), std::vector<std::string>{"1"});
}

TEST_F(PosixProfileStore, MissingDirectoryRefusesWritesAndReadsDefaults) {
    const std::string path = (dir_ / "absent" / "DctDrv.ini").string();
    EXPECT_FALSE(Env::Default().ProfileWriteString(path, "5", "k", "v"));
    EXPECT_FALSE(Env::Default().ProfileEraseSection(path, "5"));
    EXPECT_EQ(Env::Default().ProfileReadString(path, "5", "k", "\"d\""), "\"d\"");  // unreachable: the default as given
    EXPECT_TRUE(Env::Default().ProfileKeyNames(path, "5").empty());
}

TEST_F(PosixProfileStore, MissingFileIsCreatedOnlyByAChange) {
    const std::string path = (dir_ / "DctDrv.ini").string();
    EXPECT_EQ(Env::Default().ProfileReadString(path, "5", "k", "\"d\""), "d");
    EXPECT_TRUE(Env::Default().ProfileEraseSection(path, "5"));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(Env::Default().ProfileWriteString(path, "5", "k", "v"));
    EXPECT_TRUE(fs::exists(path));
}

TEST_F(PosixProfileStore, DirectoryInPlaceOfTheFileIsRefused) {
    fs::create_directories(dir_ / "DctDrv.ini");
    const std::string path = (dir_ / "DctDrv.ini").string();
    EXPECT_FALSE(Env::Default().ProfileWriteString(path, "5", "k", "v"));
    EXPECT_EQ(Env::Default().ProfileReadString(path, "5", "k", "1"), "1");
}

TEST_F(PosixProfileStore, ReadOnlyFileIsRefused) {
    const fs::path file = dir_ / "DctDrv.ini";
    std::ofstream(file, std::ios::binary) << "[5]\r\nk=1\r\n";
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    if (::access(file.c_str(), W_OK) == 0) GTEST_SKIP() << "running with rights that ignore file modes";
    EXPECT_FALSE(Env::Default().ProfileWriteString(file.string(), "5", "k", "2"));
    EXPECT_FALSE(Env::Default().ProfileEraseSection(file.string(), "5"));
    EXPECT_EQ(Env::Default().ProfileReadString(file.string(), "5", "k", "0"), "1");
}

TEST_F(PosixProfileStore, LongValuesAreCutToTheReadLimit) {
    const std::string path = (dir_ / "DctDrv.ini").string();
    ASSERT_TRUE(Env::Default().ProfileWriteString(path, "5", "k", std::string(5000, 'x')));
    EXPECT_EQ(Env::Default().ProfileReadString(path, "5", "k", "").size(), kProfileValueMax);
}
