// Registering the simulator in the prefix's registry: at a station the class, the interface's
// marshalling key and a type library may belong to the real server, and the simulator must neither
// change nor remove them; of its own two servers only one is registered at a time.
#include <windows.h>
#include <olectl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

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

// At a station the simulator is often registered for training before the real server is installed,
// whose own registration writes into the keys the simulator made and leaves their marker behind.
// Neither unregistering nor registering the simulator may then take the real server's keys away.
TEST_F(Registration, AServerRegisteredOverTheSimulatorKeepsEveryValueItWrote) {
    const std::wstring realLib = L"{99999999-8888-7777-6666-555555555555}";
    for (bool local : {true, false}) {
        SCOPED_TRACE(local ? "over the local server" : "over the in-process server");
        ASSERT_EQ(local ? RegisterLocalServer(exe, L"") : RegisterInProcessServer(dll), S_OK);
        const std::wstring entry = kClass + (local ? L"\\LocalServer32" : L"\\InprocServer32");
        const std::wstring real = local ? L"C:\\Station\\TermServer.exe" : L"C:\\Station\\TermServer.dll";
        Foreign(kClass, local ? L"\\LocalServer32" : L"\\InprocServer32", real);
        Foreign(kInterface, L"\\TypeLib", realLib);
        SetValue(kInterface + L"\\ProxyStubClsid32", L"{00020424-0000-0000-C000-000000000046}");

        EXPECT_EQ(UnregisterServer(), SELFREG_E_CLASS);
        EXPECT_EQ(RegisterLocalServer(exe, L""), SELFREG_E_CLASS);
        EXPECT_EQ(RegisterInProcessServer(dll), SELFREG_E_CLASS);
        EXPECT_EQ(RegisteredServer(), Registered::Other);
        const std::optional<ForeignKey> obstacle = Obstacle(Change::Unregister);
        ASSERT_TRUE(obstacle);
        EXPECT_EQ(obstacle->key, kClass);
        EXPECT_EQ(obstacle->names, real);
        EXPECT_TRUE(obstacle->overSimulator);
        EXPECT_EQ(Value(entry), real);
        EXPECT_EQ(Value(kInterface + L"\\TypeLib"), realLib);
        EXPECT_EQ(Value(kInterface + L"\\ProxyStubClsid32"), L"{00020424-0000-0000-C000-000000000046}");

        // The real server goes; what is left of the simulator is its own again.
        for (const std::wstring& key : foreign) RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
        EXPECT_EQ(UnregisterServer(), S_OK);
        EXPECT_EQ(Value(kTypeLib + L"\\1.0\\0\\win32"), std::nullopt);
    }
}

// The earlier release marked its keys with "1" and recorded nothing: such a key stays the simulator's
// while its server entry names the simulator's own file, and is another server's once it does not.
TEST_F(Registration, AnEarlierReleasesKeysAreTheSimulatorsWhileTheyNameItsFiles) {
    for (const std::wstring server :
         {L"\"C:\\old\\TermSimServer.exe\" --device \"D:\\x\"", L"C:\\Station\\TermServer.exe"}) {
        SCOPED_TRACE(std::string(server.begin(), server.end()));
        const bool ours = server.find(L"TermSimServer.exe") != std::wstring::npos;
        foreign.push_back(kClass);
        SetValue(kClass + L"\\LocalServer32", server);
        ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, kClass.c_str(), L"DctTermSim", REG_SZ, L"1",
                                  2 * sizeof(wchar_t)),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegisteredServer(), ours ? Registered::Local : Registered::Other);
        EXPECT_EQ(UnregisterServer(), ours ? S_OK : SELFREG_E_CLASS);
        EXPECT_EQ(Value(kClass + L"\\LocalServer32"),
                  ours ? std::nullopt : std::optional<std::wstring>(server));
        RegDeleteTreeW(HKEY_CLASSES_ROOT, kClass.c_str());
    }
}

// Cut short anywhere, a registration leaves nothing that looks like another server's: registering
// again finishes it.
TEST_F(Registration, ARegistrationCutShortIsTheSimulatorsToRedo) {
    const std::vector<std::vector<std::pair<std::wstring, const wchar_t*>>> cuts = {
        {{kClass, nullptr}},                                                // the key made, nothing in it yet
        {{kClass, L"DctTermSim"}},                                          // its marker written
        {{kClass, L"DctTermSim"}, {kClass + L"\\LocalServer32", nullptr}},  // the server's subkey made
    };
    for (const auto& cut : cuts) {
        SCOPED_TRACE(cut.size());
        for (const auto& [key, name] : cut) {
            HKEY raw = nullptr;
            ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &raw,
                                      nullptr),
                      ERROR_SUCCESS);
            const std::wstring record = L"\"" + exe + L"\"";
            if (name)
                RegSetValueExW(raw, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(record.c_str()),
                               static_cast<DWORD>((record.size() + 1) * sizeof(wchar_t)));
            RegCloseKey(raw);
        }
        EXPECT_NE(RegisteredServer(), Registered::Other);
        EXPECT_EQ(RegisterLocalServer(exe, L""), S_OK);
        EXPECT_EQ(Value(kClass + L"\\LocalServer32"), L"\"" + exe + L"\"");
        ASSERT_EQ(UnregisterServer(), S_OK);
        EXPECT_EQ(Value(kClass), std::nullopt);
    }
}

// The local server reads its folder back from the command line exactly as it was given, also where
// a folder ends in a backslash (before the closing quote, one would make the quote part of the name).
TEST_F(Registration, TheLocalServerIsToldItsFolderExactly) {
    for (const std::wstring folder : {L"D:\\sim\\", L"D:\\", L"D:\\Симулятор 2\\dev", L"\\\\host\\share\\"}) {
        ASSERT_EQ(RegisterLocalServer(exe, folder), S_OK);
        const std::optional<std::wstring> command = Value(kClass + L"\\LocalServer32");
        ASSERT_TRUE(command);
        int count = 0;
        LPWSTR* words = CommandLineToArgvW(command->c_str(), &count);
        ASSERT_NE(words, nullptr);
        std::vector<std::wstring> argv(words, words + count);
        LocalFree(words);
        EXPECT_EQ(argv, (std::vector<std::wstring>{exe, L"--device", folder})) << *command;
        EXPECT_EQ(RegisteredDeviceFolder(), folder);
    }
}

}  // namespace
}  // namespace dct::termsim
