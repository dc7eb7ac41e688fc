// TermSim.dll: the simulator as an in-process COM server for CLSID_Terminals.
//
// Registration is explicit (regsvr32 TermSim.dll) and touches only the class's own key. A class
// registered by another server is left alone: registering then fails, and unregistering removes a
// key only when this simulator wrote it, so that the registry ends as it was.
#include <windows.h>
#include <olectl.h>

#include <string>

#include "TermSim.h"
#include "platform/RuntimeRelease.h"

namespace {

HINSTANCE moduleInstance = nullptr;

// Marks the class key as written by the simulator.
constexpr wchar_t kMarkerValue[] = L"DctTermSim";

std::wstring ClassKeyPath() {
    wchar_t guid[64];
    StringFromGUID2(dct::CLSID_Terminals, guid, 64);
    return std::wstring(L"CLSID\\") + guid;
}

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(moduleInstance, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// Whether the class key exists, and whether the simulator wrote it.
enum class Owner { None, Simulator, Other };

Owner ClassKeyOwner() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, ClassKeyPath().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return Owner::None;
    bool ours = RegQueryValueExW(key, kMarkerValue, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ours ? Owner::Simulator : Owner::Other;
}

LONG SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LONG WriteKey(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    HKEY key;
    LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    rc = SetString(key, name, value);
    RegCloseKey(key);
    return rc;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        moduleInstance = instance;
        DisableThreadLibraryCalls(instance);
    }
    // Freed by FreeLibrary (COM unloading an unused server), not at process exit.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) dct::platform::ReleaseLanguageRuntime();
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, dct::CLSID_Terminals)) return CLASS_E_CLASSNOTAVAILABLE;
    try {
        return dct::termsim::CreateClassFactory()->QueryInterface(riid, object);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDAPI DllCanUnloadNow() { return dct::termsim::CanUnload() ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
    try {
        if (ClassKeyOwner() == Owner::Other) return SELFREG_E_CLASS;
        std::wstring module = ModulePath();
        if (module.empty()) return SELFREG_E_CLASS;
        std::wstring path = ClassKeyPath();
        std::wstring inproc = path + L"\\InprocServer32";
        if (WriteKey(path, nullptr, L"Terminal server simulator (DctTermSim)") != ERROR_SUCCESS ||
            WriteKey(path, kMarkerValue, L"1") != ERROR_SUCCESS || WriteKey(inproc, nullptr, module) != ERROR_SUCCESS ||
            WriteKey(inproc, L"ThreadingModel", L"Apartment") != ERROR_SUCCESS)
            return SELFREG_E_CLASS;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDAPI DllUnregisterServer() {
    try {
        if (ClassKeyOwner() != Owner::Simulator) return S_OK;
        LONG rc = RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKeyPath().c_str());
        return rc == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
