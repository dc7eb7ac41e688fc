#include "Registration.h"

#include <olectl.h>

#include <vector>

#include "terminals/ITerminals.h"
#include "platform/win32/Handle.h"

namespace dct::termsim {
namespace {

using platform::UniqueRegKey;

constexpr wchar_t kMarker[] = L"DctTermSim";
constexpr wchar_t kDescription[] = L"Terminal server simulator (DctTermSim)";
// Ole Automation's marshaller, which builds proxies and stubs from the registered type library.
constexpr wchar_t kTypeLibMarshaller[] = L"{00020424-0000-0000-C000-000000000046}";

std::wstring Guid(REFGUID guid) {
    wchar_t text[64];
    StringFromGUID2(guid, text, 64);
    return text;
}
std::wstring ClassKey() { return L"CLSID\\" + Guid(CLSID_Terminals); }
std::wstring InterfaceKey() { return L"Interface\\" + Guid(IID_ITerminals); }
std::wstring TypeLibKey() { return L"TypeLib\\" + Guid(LIBID_DctTermSim); }

UniqueRegKey OpenKey(const std::wstring& path) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return {};
    return UniqueRegKey(raw);
}

enum class Owner { None, Simulator, Other };

Owner KeyOwner(const std::wstring& path) {
    UniqueRegKey key = OpenKey(path);
    if (!key) return Owner::None;
    return RegQueryValueExW(key.get(), kMarker, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS ? Owner::Simulator
                                                                                                     : Owner::Other;
}

// One string value under HKEY_CLASSES_ROOT; a null name is the key's default value.
struct Value {
    std::wstring key;
    const wchar_t* name;
    std::wstring text;
};

bool Write(const std::vector<Value>& values) {
    for (const Value& v : values) {
        HKEY raw = nullptr;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, v.key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &raw, nullptr) !=
            ERROR_SUCCESS)
            return false;
        UniqueRegKey key(raw);
        if (RegSetValueExW(key.get(), v.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.text.c_str()),
                           static_cast<DWORD>((v.text.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
            return false;
    }
    return true;
}

bool RemoveIfOurs(const std::wstring& path) {
    return KeyOwner(path) != Owner::Simulator || RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str()) == ERROR_SUCCESS;
}

// Writes all values or, failing, leaves nothing of the simulator's behind.
HRESULT WriteAll(const std::vector<Value>& values, HRESULT failure) {
    if (Write(values)) return S_OK;
    UnregisterServer();
    return failure;
}

std::vector<Value> ClassValues(const wchar_t* serverKey, const std::wstring& server) {
    const std::wstring key = ClassKey();
    return {{key, nullptr, kDescription}, {key, kMarker, L"1"}, {key + L"\\" + serverKey, nullptr, server}};
}

}  // namespace

HRESULT RegisterInProcessServer(const std::wstring& dllPath) {
    if (KeyOwner(ClassKey()) == Owner::Other) return SELFREG_E_CLASS;
    UnregisterServer();
    std::vector<Value> values = ClassValues(L"InprocServer32", dllPath);
    values.push_back({ClassKey() + L"\\InprocServer32", L"ThreadingModel", L"Apartment"});
    return WriteAll(values, SELFREG_E_CLASS);
}

HRESULT RegisterLocalServer(const std::wstring& exePath, const std::wstring& deviceFolder) {
    if (KeyOwner(ClassKey()) == Owner::Other) return SELFREG_E_CLASS;
    if (KeyOwner(TypeLibKey()) == Owner::Other) return SELFREG_E_TYPELIB;
    UnregisterServer();
    std::wstring command = L"\"" + exePath + L"\"";
    if (!deviceFolder.empty()) command += L" --device \"" + deviceFolder + L"\"";
    std::vector<Value> values = ClassValues(L"LocalServer32", command);
    const std::wstring lib = TypeLibKey(), version = lib + L"\\1.0";
    values.insert(values.end(), {{lib, kMarker, L"1"},
                                 {version, nullptr, kDescription},
                                 {version + L"\\FLAGS", nullptr, L"0"},
                                 {version + L"\\0\\win32", nullptr, exePath}});
    // At a station the interface's key belongs to the real server; its marshalling stays in force.
    const std::wstring intf = InterfaceKey();
    if (KeyOwner(intf) == Owner::None)
        values.insert(values.end(), {{intf, nullptr, L"ITerminals"},
                                     {intf, kMarker, L"1"},
                                     {intf + L"\\ProxyStubClsid32", nullptr, kTypeLibMarshaller},
                                     {intf + L"\\TypeLib", nullptr, Guid(LIBID_DctTermSim)},
                                     {intf + L"\\TypeLib", L"Version", L"1.0"}});
    return WriteAll(values, SELFREG_E_CLASS);
}

HRESULT UnregisterServer() {
    bool removed = RemoveIfOurs(ClassKey());
    removed = RemoveIfOurs(InterfaceKey()) && removed;
    removed = RemoveIfOurs(TypeLibKey()) && removed;
    return removed ? S_OK : SELFREG_E_CLASS;
}

Registered RegisteredServer() {
    switch (KeyOwner(ClassKey())) {
        case Owner::None: return Registered::None;
        case Owner::Other: return Registered::Other;
        case Owner::Simulator: break;
    }
    return OpenKey(ClassKey() + L"\\LocalServer32") ? Registered::Local : Registered::InProcess;
}

}  // namespace dct::termsim
