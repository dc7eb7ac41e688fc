// TermSim.dll: the simulator as an in-process COM server for CLSID_Terminals.
//
// Registration is explicit (regsvr32 TermSim.dll); Registration.h says what it writes and what it
// leaves alone.
#include <windows.h>
#include <olectl.h>

#include <string>

#include "TermSim.h"
#include "platform/RuntimeRelease.h"
#include "registration/Registration.h"

namespace {

HINSTANCE moduleInstance = nullptr;

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

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        moduleInstance = instance;
        DisableThreadLibraryCalls(instance);
    }
    // Freed by FreeLibrary (COM unloading an unused server), not at process exit.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) dct::platform::ReleaseLanguageRuntimeAtUnload();
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
        std::wstring module = ModulePath();
        if (module.empty()) return SELFREG_E_CLASS;
        return dct::termsim::RegisterInProcessServer(module);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDAPI DllUnregisterServer() {
    try {
        return dct::termsim::UnregisterServer();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
