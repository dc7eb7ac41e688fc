// A host that loads the driver library when it needs a terminal and frees it afterwards, as often as
// it likes: each cycle of both libraries (the driver and the in-process simulator) gives back what
// their runtimes took at load, and the host's own exceptions still work after the last unload.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <stdexcept>

#include "terminals/ITerminals.h"
#include "boundary/DctBoundary.h"
#include "support/ProcessMemory.h"
#include "support/TermSimFixture.h"

namespace dct {
namespace {

using InitFn = int32_t(DCT_CDECL*)(int32_t, const char*, TDctDriverFuncs**, DctHandle*);
using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

// Loads the simulator and makes its class creatable here, loads the driver, makes an instance that
// talks to the server once, and frees everything again.
void Cycle(const std::string& settingsDir) {
    HMODULE simulator = LoadLibraryW(L"TermSim.dll");
    ASSERT_NE(simulator, nullptr);
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(GetProcAddress(simulator, "DllGetClassObject")));
    IClassFactory* factory = nullptr;
    ASSERT_EQ(getClassObject(CLSID_Terminals, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    DWORD cookie = 0;
    ASSERT_EQ(
        CoRegisterClassObject(CLSID_Terminals, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie),
        S_OK);

    HMODULE driver = LoadLibraryW(L"DctDrv.dll");
    ASSERT_NE(driver, nullptr);
    auto init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(driver, "DctInit")));
    TDctDriverFuncs* funcs = nullptr;
    DctHandle handle = nullptr;
    EXPECT_EQ(init(1, settingsDir.c_str(), &funcs, &handle), 0);
    if (handle) {
        EXPECT_EQ(funcs->DctClearData(handle), 0);
        EXPECT_EQ(funcs->DctFini(handle, funcs), 0);
    }
    EXPECT_TRUE(FreeLibrary(driver));

    CoRevokeClassObject(cookie);
    factory->Release();
    EXPECT_TRUE(FreeLibrary(simulator));
    // Really gone, or nothing was given back because nothing was unloaded.
    EXPECT_EQ(GetModuleHandleW(L"DctDrv.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleW(L"TermSim.dll"), nullptr);
}

TEST(LoadAndFree, RepeatedCyclesLeavePrivateMemoryFlat) {
    struct ComThread {
        ComThread() { CoInitialize(nullptr); }
        ~ComThread() { CoUninitialize(); }
    } com;
    test::TermSimFixture sim(test::TermSimFixture::Activation::None);
    std::ofstream(sim.Folder() / "DctDrv.ini", std::ios::binary) << "[1]\r\nDCT_Port=2\r\n";
    const std::string dir = sim.Folder().string();

    for (int i = 0; i < 10; ++i) Cycle(dir);
    const long long before = test::CommittedPrivateBytes();
    constexpr int kCycles = 100;
    for (int i = 0; i < kCycles && !HasFailure(); ++i) Cycle(dir);
    const long long grown = test::CommittedPrivateBytes() - before;
    // Without giving the runtimes' reserves back, each cycle kept about 38 KB.
    EXPECT_LT(grown, 1 << 20) << grown / kCycles << " bytes a cycle";

    bool caught = false;
    try {
        throw std::runtime_error("the host's own exception");
    } catch (const std::exception& e) {
        caught = std::string(e.what()) == "the host's own exception";
    }
    EXPECT_TRUE(caught);
}

// The libraries that only the service dialog needs (and the shell they pull in) are loaded when it
// opens, not with the driver: they were most of its load time.
TEST(LoadAndFree, TheDialogsLibrariesAreNotLoadedWithTheDriver) {
    ASSERT_EQ(GetModuleHandleW(L"comdlg32.dll"), nullptr);
    ASSERT_EQ(GetModuleHandleW(L"comctl32.dll"), nullptr);
    HMODULE driver = LoadLibraryW(L"DctDrv.dll");
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(GetModuleHandleW(L"comdlg32.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleW(L"comctl32.dll"), nullptr);
    FreeLibrary(driver);
}

}  // namespace
}  // namespace dct
