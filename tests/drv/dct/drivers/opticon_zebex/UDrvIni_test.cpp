#include "drv/dct/drivers/opticon_zebex/UDrvIni.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "lib/commutil.h"
#include "base/cp1251.h"

namespace fs = std::filesystem;
using dct::TDrvIni;
using dct::TTermInfo;
using ::testing::ElementsAre;

namespace {

// A fresh directory per test; the settings path is built as the library builds it.
class DrvIniTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        dir_ = fs::temp_directory_path() / ("drvini-" + std::to_string(rd()) + "-" + std::to_string(rd()));
        fs::create_directories(dir_);
        path_ = dct::ConstructFileName(dir_.string(), "DctDrv.ini");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    void Put(const std::string& bytes) {
        std::ofstream(dir_ / "DctDrv.ini", std::ios::binary) << bytes;
    }
    std::string Get() {
        std::ifstream in(dir_ / "DctDrv.ini", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    fs::path dir_;
    std::string path_;
};

TTermInfo Info(int32_t port, int32_t rate, int32_t id, int32_t connType) {
    TTermInfo info;
    info.Port = port, info.Rate = rate, info.ID = id, info.ConnType = connType;
    return info;
}

}  // namespace

TEST_F(DrvIniTest, MissingFileReadsAsEmpty) {
    TDrvIni ini(path_, dct::platform::Env::Default());
    EXPECT_EQ(ini.GetTermCount(), 0);
    EXPECT_FALSE(ini.DctExist(5));
    TTermInfo info = Info(9, 9, 9, 9);
    ini.GetTermInfoByID(5, info);  // every key absent: the defaults
    EXPECT_EQ(info.Port, 1);
    EXPECT_EQ(info.Rate, 1);
    EXPECT_EQ(info.ID, 0);
    EXPECT_EQ(info.ConnType, 0);
    EXPECT_FALSE(fs::exists(dir_ / "DctDrv.ini"));
}

TEST_F(DrvIniTest, WritesTheSectionInTheFilesOrderAndRewritesInPlace) {
    Put("[1]\r\nDCT_Port=1\r\n");
    TDrvIni ini(path_, dct::platform::Env::Default());
    ini.NewTermInfo(Info(2, 3, 5, 1));
    EXPECT_EQ(Get(), "[1]\r\nDCT_Port=1\r\n[5]\r\nDCT_Port=2\r\nDCT_Rate=3\r\nDCT_type=1\r\nDCT_ID=5\r\n");
    ini.NewTermInfo(Info(4, 5, 5, 0));
    EXPECT_EQ(Get(), "[1]\r\nDCT_Port=1\r\n[5]\r\nDCT_Port=4\r\nDCT_Rate=5\r\nDCT_type=0\r\nDCT_ID=5\r\n");
    EXPECT_EQ(ini.GetTermCount(), 2);

    TTermInfo back;
    ini.GetTermInfoByID(5, back);
    EXPECT_EQ(back.Port, 4);
    EXPECT_EQ(back.Rate, 5);
    EXPECT_EQ(back.ID, 5);
    EXPECT_EQ(back.ConnType, 0);  // written as DCT_type, read as DCT_Type
}

TEST_F(DrvIniTest, WritingKeepsUnknownKeysAndTheirPlace) {
    Put("[7]\r\nDCT_ID=7\r\nNote=kept\r\n");
    TDrvIni ini(path_, dct::platform::Env::Default());
    ini.NewTermInfo(Info(3, 2, 7, 1));
    EXPECT_EQ(Get(), "[7]\r\nDCT_ID=7\r\nNote=kept\r\nDCT_Port=3\r\nDCT_Rate=2\r\nDCT_type=1\r\n");
}

TEST_F(DrvIniTest, ReadingDefaultsCaseAndBlanks) {
    Put("[3]\r\nDCT_Port=3\r\n[4]\r\ndct_port= 4 \r\nDCT_TYPE=$1\r\n[05]\r\nDCT_Port=8\r\n[-1]\r\nDCT_Rate=-2\r\n");
    TDrvIni ini(path_, dct::platform::Env::Default());
    TTermInfo info;
    ini.GetTermInfoByID(3, info);
    EXPECT_EQ(info.Port, 3);
    EXPECT_EQ(info.Rate, 1);
    EXPECT_EQ(info.ID, 0);
    EXPECT_EQ(info.ConnType, 0);

    ini.GetTermInfoByID(4, info);
    EXPECT_EQ(info.Port, 4);
    EXPECT_EQ(info.ConnType, 1);

    EXPECT_FALSE(ini.DctExist(5));  // "[05]" is not the section of terminal 5
    EXPECT_TRUE(ini.DctExist(-1));
    ini.GetTermInfoByID(-1, info);
    EXPECT_EQ(info.Rate, -2);
    EXPECT_EQ(ini.GetTermCount(), 4);
}

TEST_F(DrvIniTest, BadValueStopsReadingAtThatKey) {
    Put("[2]\r\nDCT_Port=6\r\nDCT_Rate=\r\nDCT_ID=2\r\n[3]\r\nDCT_Port=7\r\nDCT_Rate=4\r\nDCT_ID=abc\r\n");
    TDrvIni ini(path_, dct::platform::Env::Default());
    TTermInfo info = Info(9, 9, 9, 9);
    try {
        ini.GetTermInfoByID(2, info);
        FAIL() << "an empty value must not read as the default";
    } catch (const dct::EConvertError& e) {
        EXPECT_EQ(e.Message(), dct::Cp1251(u8"'' не является допустимым значением целого числа").str());
    }
    EXPECT_EQ(info.Port, 6);  // stored before the failure
    EXPECT_EQ(info.Rate, 0);  // cleared, never filled
    EXPECT_EQ(info.ID, 0);

    info = Info(9, 9, 9, 9);
    EXPECT_THROW(ini.GetTermInfoByID(3, info), dct::EConvertError);
    EXPECT_EQ(info.Port, 7);
    EXPECT_EQ(info.Rate, 4);
    EXPECT_EQ(info.ID, 0);
    EXPECT_EQ(info.ConnType, 0);
}

TEST_F(DrvIniTest, ExistenceNeedsAnEntry) {
    Put("[9]\r\n[10]\r\n;DCT_Port=1\r\n[11]\r\nDCT_Port\r\n[12]\r\nAnything=1\r\n");
    TDrvIni ini(path_, dct::platform::Env::Default());
    EXPECT_FALSE(ini.DctExist(9));
    EXPECT_FALSE(ini.DctExist(10));
    EXPECT_FALSE(ini.DctExist(11));
    EXPECT_TRUE(ini.DctExist(12));
    EXPECT_EQ(ini.GetTermCount(), 4);  // headers count as sections even when empty
}

TEST_F(DrvIniTest, EraseRemovesTheWholeSectionOnly) {
    Put("[5]\r\nDCT_Port=1\r\nCustom=x\r\n;note\r\n[6]\r\nDCT_Port=2\r\n");
    TDrvIni ini(path_, dct::platform::Env::Default());
    ini.DelTermInfo("5");
    EXPECT_EQ(Get(), "[6]\r\nDCT_Port=2\r\n");
    EXPECT_FALSE(ini.DctExist(5));
    EXPECT_TRUE(ini.DctExist(6));
    ini.DelTermInfo("5");  // nothing left to erase: not an error
    EXPECT_EQ(Get(), "[6]\r\nDCT_Port=2\r\n");
}

TEST_F(DrvIniTest, WriteIntoMissingDirectoryRaisesWithThePath) {
    const std::string path = dct::ConstructFileName((dir_ / "absent").string(), "DctDrv.ini");
    TDrvIni ini(path, dct::platform::Env::Default());
    EXPECT_FALSE(ini.DctExist(1));
    try {
        ini.NewTermInfo(Info(1, 1, 1, 0));
        FAIL() << "the write must fail";
    } catch (const dct::EIniFileException& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + path);
    }
    EXPECT_THROW(ini.DelTermInfo("1"), dct::EIniFileException);
}

TEST_F(DrvIniTest, TermListFollowsTheFile) {
    Put("[3]\r\nk=1\r\n[1]\r\nk=1\r\n");
    TDrvIni ini(path_, dct::platform::Env::Default());
    EXPECT_EQ(ini.GetTermCount(), 2);
    ini.NewTermInfo(Info(1, 1, 8, 0));
    EXPECT_EQ(ini.GetTermCount(), 3);
    EXPECT_THAT(ini.ReadSections(), ElementsAre("3", "1", "8"));
}
