// The six exports and the table's handle checks, through the library loaded by name.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "base/cp1251.h"
#include "support/DriverLibrary.h"

namespace dct {
namespace {

namespace fs = std::filesystem;

class ExportsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(lib.Complete()) << "the driver library or one of its six exports is missing";
        dir = fs::temp_directory_path() / ("dctdrv-exports-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                           "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    void WriteIni(const std::string& text) { std::ofstream(dir / "DctDrv.ini", std::ios::binary) << text; }
    std::string Ini() const {
        std::ifstream in(dir / "DctDrv.ini", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string Dir() const { return dir.string(); }

    test::DriverLibrary lib;
    fs::path dir;
};

TEST_F(ExportsTest, DescriptionRecordIsByteExact) {
    unsigned char record[600];
    std::memset(record, 0xFF, sizeof record);
    lib.GetDriverInfo(reinterpret_cast<TDctDriverInfo*>(record));
    for (int i : {0, 1, 2, 3}) EXPECT_EQ(record[i], 0xFF);
    for (int i = 524; i < 600; ++i) ASSERT_EQ(record[i], 0xFF) << i;
    const std::string name = Cp1251(u8"Терминал сбора данных Opicon&Zebex").str();
    const std::string models = "ZEBEX: PDx-10, PDx-20. OPTICON: PHL,OPL, DWT7133";
    EXPECT_EQ(name.size(), 34u);
    EXPECT_EQ(models.size(), 48u);
    EXPECT_EQ(std::memcmp(record + 4, name.data(), name.size()), 0);
    for (std::size_t i = 4 + name.size(); i < 260; ++i) ASSERT_EQ(record[i], 0) << i;
    int32_t flag1, flag2;
    std::memcpy(&flag1, record + 260, 4);
    std::memcpy(&flag2, record + 264, 4);
    EXPECT_EQ(flag1, 1);
    EXPECT_EQ(flag2, 1);
    EXPECT_EQ(std::memcmp(record + 268, models.data(), models.size()), 0);
    for (std::size_t i = 268 + models.size(); i < 524; ++i) ASSERT_EQ(record[i], 0) << i;
    EXPECT_EQ(lib.Load(), 0);
}

TEST_F(ExportsTest, InitWithoutSectionLeavesTheTableAlone) {
    TDctDriverFuncs* funcs = reinterpret_cast<TDctDriverFuncs*>(0x1234);
    DctHandle handle = reinterpret_cast<DctHandle>(0x5678);
    EXPECT_EQ(lib.Init(5, Dir().c_str(), &funcs, &handle), -7);
    EXPECT_EQ(funcs, reinterpret_cast<TDctDriverFuncs*>(0x1234));
    EXPECT_EQ(handle, nullptr);

    WriteIni("[9]\r\n[5]\r\nOther=1\r\n");
    handle = reinterpret_cast<DctHandle>(0x5678);
    EXPECT_EQ(lib.Init(9, Dir().c_str(), &funcs, &handle), -7);  // a header with no entries is absent
    EXPECT_EQ(handle, nullptr);
}

TEST_F(ExportsTest, InitWithABadValueFailsWithMinusFour) {
    WriteIni("[3]\r\nDCT_Port=2\r\nDCT_Rate=fast\r\n");
    TDctDriverFuncs* funcs = reinterpret_cast<TDctDriverFuncs*>(0x1234);
    DctHandle handle = reinterpret_cast<DctHandle>(0x5678);
    EXPECT_EQ(lib.Init(3, Dir().c_str(), &funcs, &handle), -4);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(funcs, reinterpret_cast<TDctDriverFuncs*>(0x1234));
    EXPECT_EQ(lib.Init(3, Dir().c_str(), nullptr, &handle), -4);  // nowhere to put the table
}

TEST_F(ExportsTest, InitHandsOutATableAndAnInstanceThatFiniReleases) {
    WriteIni("[-2]\r\nDCT_Port=3\r\nDCT_Rate=2\r\nDCT_type=1\r\nDCT_ID=-2\r\n");
    TDctDriverFuncs* funcs = nullptr;
    DctHandle handle = nullptr;
    ASSERT_EQ(lib.Init(-2, Dir().c_str(), &funcs, &handle), 0);
    ASSERT_NE(funcs, nullptr);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(funcs->Reserved1, 0);
    EXPECT_EQ(funcs->TermNumber, -2);
    EXPECT_EQ(funcs->Reserved2, 0);
    EXPECT_EQ(funcs->Reserved3, 0);
    EXPECT_NE(funcs->DctFini, nullptr);
    EXPECT_NE(funcs->DctEndWareTableWriting, nullptr);

    // A fresh instance has no pending error: empty text, code -6, and lstrcpynA bounds.
    int32_t code = 0;
    char text[8];
    char* buffer = text;
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(lib.Err(handle, &code, &buffer, 8), 0);
    EXPECT_EQ(code, -6);
    EXPECT_EQ(text[0], '\0');
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(lib.Err(handle, &code, &buffer, 0), 4);
    EXPECT_EQ(text[0], 'x');  // max 0 writes nothing
    EXPECT_EQ(lib.Err(handle, &code, &buffer, 1), 4);
    EXPECT_EQ(text[0], '\0');
    EXPECT_EQ(lib.Err(nullptr, &code, &buffer, 8), 0);

    EXPECT_EQ(funcs->DctFini(handle, funcs), 0);
    EXPECT_EQ(funcs == nullptr, false);
}

TEST_F(ExportsTest, EveryOperationRefusesANullHandleAndWritesNothing) {
    WriteIni("[1]\r\nDCT_Port=1\r\n");
    TDctDriverFuncs* funcs = nullptr;
    DctHandle handle = nullptr;
    ASSERT_EQ(lib.Init(1, Dir().c_str(), &funcs, &handle), 0);
    EXPECT_EQ(funcs->DctInteractiveService(nullptr), -9);
    EXPECT_EQ(funcs->DctClearData(nullptr), -9);
    EXPECT_EQ(funcs->DctBeginDataReading(nullptr), -9);
    EXPECT_EQ(funcs->DctEnumData(nullptr, nullptr, 0, 0), -9);
    EXPECT_EQ(funcs->DctEnumData(handle, nullptr, 0, 1), -9);  // no callback: the terminal is not contacted
    const char* code = "untouched";
    double quantity = 42;
    int32_t more = 7;
    EXPECT_EQ(funcs->DctNextRecord(nullptr, &code, &quantity, &more), -9);
    EXPECT_STREQ(code, "untouched");
    EXPECT_EQ(quantity, 42);
    EXPECT_EQ(more, 7);
    EXPECT_EQ(funcs->DctNextRecord(handle, nullptr, &quantity, &more), -9);
    EXPECT_EQ(funcs->DctEndDataReading(nullptr, 1), -9);
    EXPECT_EQ(funcs->DctBeginWareTableWriting(nullptr, 1), -9);
    EXPECT_EQ(funcs->DctWriteWareTableRecord(nullptr, "t2", "t1", "1|2", 1.0, 0), -9);
    EXPECT_EQ(funcs->DctEndWareTableWriting(nullptr), -9);
    EXPECT_EQ(funcs->DctFini(handle, nullptr), 0);
    EXPECT_EQ(funcs->DctFini(nullptr, funcs), 0);  // gives back the table alone
}

TEST_F(ExportsTest, FiniWithNothingSucceeds) {
    WriteIni("[1]\r\nDCT_Port=1\r\n");
    TDctDriverFuncs* funcs = nullptr;
    DctHandle handle = nullptr;
    ASSERT_EQ(lib.Init(1, Dir().c_str(), &funcs, &handle), 0);
    auto fini = funcs->DctFini;
    EXPECT_EQ(fini(handle, funcs), 0);
    EXPECT_EQ(fini(nullptr, nullptr), 0);
}

TEST_F(ExportsTest, RemoveErasesTheWholeSectionOnce) {
    WriteIni("[4]\r\nDCT_Port=2\r\nCustom=1\r\n[5]\r\nDCT_Port=3\r\n");
    EXPECT_EQ(lib.Remove(4, Dir().c_str()), 0);
    EXPECT_EQ(Ini().find("[4]"), std::string::npos);
    EXPECT_EQ(Ini().find("Custom"), std::string::npos);
    EXPECT_NE(Ini().find("[5]"), std::string::npos);
    EXPECT_EQ(lib.Remove(4, Dir().c_str()), -7);
}

}  // namespace
}  // namespace dct
