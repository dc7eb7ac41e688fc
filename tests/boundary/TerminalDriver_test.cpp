// DctInit's work for one terminal, over an environment a test controls.
#include "boundary/TerminalDriver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <new>

#include "drv/dct/dctIntf.h"
#include "support/FakeEnv.h"

namespace dct {
namespace {

// The driver reads the user's formats when it is made, and nothing before it does: failing there
// fails the driver's creation after the settings were read.
class FormatsFail final : public test::FakeEnv {
public:
    const FormatSettings& UserFormats() override { throw std::bad_alloc(); }
};

TEST(OpenTerminal, ADriverThatCannotBeMadeLeavesTheTableWithTheHostAndNoHandle) {
    const auto dir = std::filesystem::temp_directory_path() / "dct-open-terminal";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "DctDrv.ini", std::ios::binary) << "[7]\r\nDCT_Port=3\r\nDCT_Rate=2\r\n";
    FormatsFail env;
    auto* const untouched = reinterpret_cast<TDctDriverFuncs*>(0x1234);
    TDctDriverFuncs* funcs = untouched;
    DctHandle handle = nullptr;

    EXPECT_EQ(OpenTerminal(8, dir.string(), &funcs, &handle, env), rc::NoSection);
    EXPECT_EQ(funcs, untouched);
    EXPECT_THROW(OpenTerminal(7, dir.string(), &funcs, &handle, env), std::bad_alloc);
    ASSERT_NE(funcs, untouched);
    EXPECT_EQ(funcs->TermNumber, 7);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(funcs->DctFini(nullptr, funcs), 0);  // as the host gives it back
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace dct
