// Registering the simulator in the prefix's registry: at a station the class, the interface's
// marshalling key and a type library may belong to the real server, and the simulator must neither
// change nor remove them; of its own two servers only one is registered at a time.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "TermSim.h"
#include "terminals/ITerminals.h"
#include "registration/Registration.h"

namespace dct::termsim {
namespace {

std::wstring Key(const wchar_t* root, REFGUID guid) {
    wchar_t text[64];
    StringFromGUID2(guid, text, 64);
    return std::wstring(root) + L"\\" + text;
}
const std::wstring kClass = Key(L"CLSID", CLSID_Terminals);
const std::wstring kInterface = Key(L"Interface", IID_ITerminals);
const std::wstring kTypeLib = Key(L"TypeLib", LIBID_DctTermSim);

std::optional<std::wstring> Value(const std::wstring& key, const wchar_t* name = nullptr) {
    wchar_t buffer[1024];
    DWORD size = sizeof buffer;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer);
}

void SetValue(const std::wstring& key, const std::wstring& text) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, text.c_str(),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(UnregisterServer(), S_OK);
        ASSERT_EQ(RegisteredServer(), Registered::None) << "another server holds the class in this prefix";
    }
    void TearDown() override {
        UnregisterServer();
        for (const std::wstring& key : foreign) RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    }
    // Another server's key `top`, with a value in its subkey.
    void Foreign(const std::wstring& top, const wchar_t* subkey, const std::wstring& text) {
        foreign.push_back(top);
        SetValue(top + subkey, text);
    }

    RegistrationTurn turn;  // other programs of the prefix change these keys too
    std::vector<std::wstring> foreign;
    const std::wstring exe = L"C:\\sim\\TermSimServer.exe", dll = L"C:\\sim\\TermSim.dll";
};

TEST_F(Registration, KeysOfAnotherServerAreNeitherChangedNorRemoved) {
    const std::wstring marshaller = L"{11111111-2222-3333-4444-555555555555}";
    Foreign(kInterface, L"\\ProxyStubClsid32", marshaller);
    ASSERT_EQ(RegisterLocalServer(exe, L"D:\\device"), S_OK);
    EXPECT_EQ(RegisteredServer(), Registered::Local);
    EXPECT_EQ(Value(kClass + L"\\LocalServer32"), L"\"" + exe + L"\" --device \"D:\\device\"");
    EXPECT_EQ(Value(kTypeLib + L"\\1.0\\0\\win32"), exe);
    EXPECT_EQ(Value(kInterface + L"\\ProxyStubClsid32"), marshaller);
    EXPECT_EQ(Value(kInterface, L"DctTermSim"), std::nullopt);
    ASSERT_EQ(UnregisterServer(), S_OK);
    EXPECT_EQ(Value(kInterface + L"\\ProxyStubClsid32"), marshaller);
    EXPECT_EQ(Value(kTypeLib + L"\\1.0\\0\\win32"), std::nullopt);
    EXPECT_EQ(RegisteredServer(), Registered::None);

    // A class of another server: refused, and nothing of the simulator's is written at all.
    Foreign(kClass, L"\\LocalServer32", L"C:\\station\\server.exe");
    EXPECT_EQ(RegisterLocalServer(exe, L""), SELFREG_E_CLASS);
    EXPECT_EQ(RegisterInProcessServer(dll), SELFREG_E_CLASS);
    EXPECT_EQ(RegisteredServer(), Registered::Other);
    EXPECT_EQ(Value(kTypeLib + L"\\1.0\\0\\win32"), std::nullopt);
    ASSERT_EQ(UnregisterServer(), S_OK);
    EXPECT_EQ(Value(kClass + L"\\LocalServer32"), L"C:\\station\\server.exe");
}

TEST_F(Registration, EitherSimulatorReplacesTheOther) {
    ASSERT_EQ(RegisterInProcessServer(dll), S_OK);
    ASSERT_EQ(RegisterLocalServer(exe, L""), S_OK);
    EXPECT_EQ(RegisteredServer(), Registered::Local);
    EXPECT_EQ(Value(kClass + L"\\InprocServer32"), std::nullopt);
    EXPECT_EQ(Value(kInterface + L"\\TypeLib"), Key(L"", LIBID_DctTermSim).substr(1));

    ASSERT_EQ(RegisterInProcessServer(dll), S_OK);
    EXPECT_EQ(RegisteredServer(), Registered::InProcess);
    EXPECT_EQ(Value(kClass + L"\\LocalServer32"), std::nullopt);
    EXPECT_EQ(Value(kInterface), std::nullopt);
    EXPECT_EQ(Value(kTypeLib + L"\\1.0\\0\\win32"), std::nullopt);
}

}  // namespace
}  // namespace dct::termsim
