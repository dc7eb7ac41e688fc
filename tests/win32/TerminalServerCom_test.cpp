// The terminal server client against TermSim.dll registered in the registry, as a customer's machine
// has the real server: creation through CoCreateInstance, the running-object table, an unregistered
// class, failures with and without an error object, and Cyrillic texts under code page 1251.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "TermSim.h"
#include "drv/dct/drivers/opticon_zebex/AddIn_TLB.h"
#include "base/cp1251.h"
#include "platform/ComActivation.h"
#include "support/RunningObject.h"
#include "support/TermSimFixture.h"

namespace dct {
namespace {

using platform::ComPtr;
using test::TermSimFixture;
using ::testing::ElementsAre;

class ComThread {
public:
    ComThread() { CoInitialize(nullptr); }
    ~ComThread() { CoUninitialize(); }
};

std::wstring ClassKey() {
    wchar_t guid[64];
    StringFromGUID2(CLSID_Terminals, guid, 64);
    return std::wstring(L"CLSID\\") + guid;
}

std::optional<std::wstring> RegString(const std::wstring& key, const wchar_t* name) {
    wchar_t buffer[1024];
    DWORD size = sizeof buffer;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer);
}

bool ClassKeyExists() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, ClassKey().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// The registration tests change the prefix's registry: they take turns with every other program that
// does (the runs of this one for each locale among them), and whatever registration was there before
// is put back at the end.
class TerminalServerCom : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        turn_ = new termsim::RegistrationTurn;
        dll_ = LoadLibraryW(L"TermSim.dll");
        ASSERT_NE(dll_, nullptr) << "TermSim.dll beside the test program";
        registerServer_ = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(dll_, "DllRegisterServer")));
        unregisterServer_ = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(dll_, "DllUnregisterServer")));
        ASSERT_NE(registerServer_, nullptr);
        ASSERT_NE(unregisterServer_, nullptr);
        foreign_ = ClassKeyExists() && !RegString(ClassKey(), L"DctTermSim");
        previousPath_ = foreign_ ? std::nullopt : RegString(ClassKey() + L"\\InprocServer32", nullptr);
    }

    static void TearDownTestSuite() {
        if (!foreign_ && registerServer_) {
            unregisterServer_();
            if (previousPath_) {
                registerServer_();
                RegSetKeyValueW(HKEY_CLASSES_ROOT, (ClassKey() + L"\\InprocServer32").c_str(), nullptr, REG_SZ,
                                previousPath_->c_str(), static_cast<DWORD>((previousPath_->size() + 1) * sizeof(wchar_t)));
            }
        }
        if (dll_) FreeLibrary(dll_);
        delete turn_;
    }

protected:
    void SetUp() override {
        if (foreign_) GTEST_SKIP() << "another terminal server is registered in this prefix";
    }

    std::wstring DllPath() const {
        wchar_t path[MAX_PATH];
        GetModuleFileNameW(dll_, path, MAX_PATH);
        return path;
    }

    using Entry = HRESULT(__stdcall*)();
    static inline termsim::RegistrationTurn* turn_ = nullptr;
    static inline HMODULE dll_ = nullptr;
    static inline Entry registerServer_ = nullptr;
    static inline Entry unregisterServer_ = nullptr;
    static inline bool foreign_ = false;
    static inline std::optional<std::wstring> previousPath_;

    ComThread com;
};

TEST_F(TerminalServerCom, RegisteredServerIsCreatedFromTheRegistryAndDoesItsWork) {
    ASSERT_EQ(registerServer_(), S_OK);
    EXPECT_EQ(RegString(ClassKey() + L"\\InprocServer32", nullptr), DllPath());
    EXPECT_EQ(RegString(ClassKey() + L"\\InprocServer32", L"ThreadingModel"), std::wstring(L"Apartment"));
    ASSERT_EQ(registerServer_(), S_OK);  // again: still ours

    TermSimFixture sim(TermSimFixture::Activation::None);
    sim.WriteRecords({{"4601", "2"}, {"4602", "0,5"}, {"4603", "1"}});
    long createdHere = termsim::ObjectsCreated();
    TTerminals client(platform::Env::Default());
    client.Set_PortNumber(3);
    client.Set_BaudRate(1);
    ASSERT_EQ(client.BeginReport(), 0);
    ASSERT_EQ(client.GetFieldCount(), 2);
    std::vector<std::string> codes;
    while (client.GetRecord() == 0) codes.push_back(client.GetField(1));
    EXPECT_EQ(client.EndReport(), 0);
    EXPECT_THAT(codes, ElementsAre("4601", "4602", "4603"));
    EXPECT_EQ(client.BeginDownLoadTable(), 0);
    for (std::string_view f : {"111", "0", "Bread", "pcs"}) client.AddInTable(f);
    EXPECT_EQ(client.DownLoadTable(), 0);
    EXPECT_THAT(sim.Table(), ElementsAre(ElementsAre("111", "0", "Bread", "pcs")));

    client.Disconnect();
    EXPECT_EQ(client.Get_DeviceEnabled(), 1);  // reconnected on demand
    // The objects came from the registered DLL, not from the simulator linked into this program.
    EXPECT_EQ(termsim::ObjectsCreated(), createdHere);
    auto calls = sim.Calls();
    ASSERT_EQ(calls.size(), 19u);
    EXPECT_EQ(calls.front(), "Set_PortNumber 3");
    EXPECT_EQ(calls.back(), "Get_DeviceEnabled -> 1");
}

TEST_F(TerminalServerCom, UnregisteredClassRaisesOleSysErrorWithTheSystemText) {
    ASSERT_EQ(registerServer_(), S_OK);
    ASSERT_EQ(unregisterServer_(), S_OK);
    EXPECT_FALSE(ClassKeyExists());
    TermSimFixture sim(TermSimFixture::Activation::None);
    TTerminals client(platform::Env::Default());
    try {
        client.Set_PortNumber(1);
        FAIL() << "no exception";
    } catch (const EOleException&) {
        FAIL() << "creation failures are not server failures";
    } catch (const EOleSysError& e) {
        EXPECT_EQ(e.ErrorCode(), REGDB_E_CLASSNOTREG);
        std::string text = platform::ComErrorMessage(REGDB_E_CLASSNOTREG);
        EXPECT_EQ(e.Message(), text.empty() ? "OLE error 80040154" : text);
    }
    EXPECT_EQ(unregisterServer_(), S_OK);  // nothing left to remove
}

TEST_F(TerminalServerCom, RegistrationLeavesAnotherServersClassAlone) {
    ASSERT_EQ(unregisterServer_(), S_OK);
    std::wstring inproc = ClassKey() + L"\\InprocServer32";
    const std::wstring other = L"C:\\Program Files\\Other\\server.dll";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, inproc.c_str(), nullptr, REG_SZ, other.c_str(),
                              static_cast<DWORD>((other.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    EXPECT_NE(registerServer_(), S_OK);
    EXPECT_EQ(RegString(inproc, nullptr), other);
    EXPECT_EQ(unregisterServer_(), S_OK);
    EXPECT_EQ(RegString(inproc, nullptr), other);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey().c_str());
}

TEST_F(TerminalServerCom, RunningInstanceIsPreferredToANewOne) {
    ASSERT_EQ(registerServer_(), S_OK);
    TermSimFixture sim(TermSimFixture::Activation::None);
    ComPtr<ITerminals> running = termsim::CreateTerminals();
    platform::RunningObjectRegistration listed;
    DCT_REGISTER_RUNNING_OR_SKIP(running.get(), &listed);
    {
        TTerminals client(platform::Env::Default());
        EXPECT_EQ(client.GetDefaultInterface(), running.get());
        client.Set_FormNumber(0);
    }
    listed.reset();
    TTerminals client(platform::Env::Default());
    EXPECT_NE(client.GetDefaultInterface(), running.get());
    EXPECT_THAT(sim.Calls(), ElementsAre("Set_FormNumber 0"));
}

TEST_F(TerminalServerCom, FailingStatusesCarryTheServersErrorObjectOrTheSystemText) {
    ASSERT_EQ(registerServer_(), S_OK);
    TermSimFixture sim(TermSimFixture::Activation::None);
    sim.WriteFaults(
        "[BeginReport]\nHResult=0x80004005\nErrorInfo=Port busy.\n"
        "[EndReport]\nHResult=0x80004005\n");
    TTerminals client(platform::Env::Default());
    try {
        client.BeginReport();
        FAIL() << "no exception";
    } catch (const EOleException& e) {
        EXPECT_EQ(e.ErrorCode(), E_FAIL);
        EXPECT_EQ(e.Message(), "Port busy");
    }
    try {
        client.EndReport();
        FAIL() << "no exception";
    } catch (const EOleException& e) {
        EXPECT_EQ(e.ErrorCode(), E_FAIL);
        EXPECT_FALSE(e.Message().empty());
        EXPECT_EQ(e.Message(), platform::ComErrorMessage(E_FAIL));
    }
    EXPECT_THAT(sim.Calls(), ElementsAre("BeginReport !0x80004005", "EndReport !0x80004005"));
}

TEST_F(TerminalServerCom, CyrillicTextsArriveIn1251) {
    if (GetACP() != 1251) {
        // The Russian run of this program must really be Russian, or this test proves nothing.
        wchar_t lang[64] = L"";
        GetEnvironmentVariableW(L"LANG", lang, 64);
        if (std::wstring(lang).rfind(L"ru_RU", 0) == 0) FAIL() << "LANG=ru_RU but code page " << GetACP();
        GTEST_SKIP() << "needs the Russian code page (LANG=ru_RU.UTF-8)";
    }
    ASSERT_EQ(registerServer_(), S_OK);
    TermSimFixture sim(TermSimFixture::Activation::None);
    sim.WriteFaults(
        "[BeginReport]\nStatus=5\nDescription=Нет связи с терминалом\n"
        "[EndReport]\nHResult=0x80004005\nErrorInfo=Порт занят.\n");
    sim.WriteRecords({{"Хлеб", "1"}});
    TTerminals client(platform::Env::Default());
    EXPECT_EQ(client.BeginReport(), 5);
    EXPECT_EQ(client.Get_ResultDescription(), Cp1251(u8"Нет связи с терминалом").view());
    try {
        client.EndReport();
        FAIL() << "no exception";
    } catch (const EOleException& e) {
        EXPECT_EQ(e.Message(), Cp1251(u8"Порт занят").view());
    }
    sim.WriteFaults("");
    ASSERT_EQ(client.BeginReport(), 0);
    ASSERT_EQ(client.GetRecord(), 0);
    EXPECT_EQ(client.GetField(1), Cp1251(u8"Хлеб").view());
    EXPECT_EQ(client.AddInTable(Cp1251(u8"Молоко").view()), 0);
    EXPECT_EQ(sim.Calls().back(), "AddInTable \"Молоко\" -> 0");
}

}  // namespace
}  // namespace dct
