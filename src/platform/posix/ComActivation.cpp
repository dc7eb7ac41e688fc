// COM look-alikes for builds without Windows: COM strings, the thread's error object, and the
// in-process class table and running-object table behind the activation seam.
#include "platform/ComActivation.h"
#include "platform/DefaultEnv.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace {

struct ClassEntry {
    DWORD cookie;
    CLSID clsid;
    IUnknown* object;  // owned reference
    bool strong;       // running objects may be registered without a reference (weak)
};

// Registrations live until revoked; the tables themselves are never destroyed so that objects
// revoked late (or never) do not meet a table that static destruction has already torn down.
struct Tables {
    std::mutex lock;
    DWORD nextCookie = 1;
    std::vector<ClassEntry> classes;
    std::vector<ClassEntry> running;
};

Tables& TheTables() {
    static Tables* tables = new Tables;
    return *tables;
}

thread_local IErrorInfo* threadErrorInfo = nullptr;

HRESULT Register(std::vector<ClassEntry>& table, IUnknown* object, REFCLSID clsid, bool strong, DWORD* cookie) {
    if (!object || !cookie) return E_INVALIDARG;
    Tables& t = TheTables();
    std::lock_guard guard(t.lock);
    if (strong) object->AddRef();
    *cookie = t.nextCookie++;
    table.push_back({*cookie, clsid, object, strong});
    return S_OK;
}

HRESULT Revoke(std::vector<ClassEntry>& table, DWORD cookie) {
    ClassEntry found{};
    {
        Tables& t = TheTables();
        std::lock_guard guard(t.lock);
        auto it = table.begin();
        while (it != table.end() && it->cookie != cookie) ++it;
        if (it == table.end()) return E_INVALIDARG;
        found = *it;
        table.erase(it);
    }
    // Released outside the lock: the object's destructor may register or revoke in turn.
    if (found.strong) found.object->Release();
    return S_OK;
}

// The latest registration for the class, with a new reference, or null.
IUnknown* Find(std::vector<ClassEntry>& table, REFCLSID clsid) {
    Tables& t = TheTables();
    std::lock_guard guard(t.lock);
    for (auto it = table.rbegin(); it != table.rend(); ++it) {
        if (it->clsid == clsid) {
            it->object->AddRef();
            return it->object;
        }
    }
    return nullptr;
}

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    auto* block = static_cast<char*>(std::malloc(sizeof(uint32_t) + (length + 1) * sizeof(OLECHAR)));
    if (!block) return nullptr;
    uint32_t bytes = length * sizeof(OLECHAR);
    std::memcpy(block, &bytes, sizeof bytes);
    auto* chars = reinterpret_cast<OLECHAR*>(block + sizeof(uint32_t));
    if (text) std::memcpy(chars, text, length * sizeof(OLECHAR));
    else std::memset(chars, 0, length * sizeof(OLECHAR));
    chars[length] = 0;
    return chars;
}

BSTR SysAllocString(LPCOLESTR text) {
    if (!text) return nullptr;
    UINT n = 0;
    while (text[n]) ++n;
    return SysAllocStringLen(text, n);
}

void SysFreeString(BSTR text) {
    if (text) std::free(reinterpret_cast<char*>(text) - sizeof(uint32_t));
}

UINT SysStringLen(BSTR text) {
    if (!text) return 0;
    uint32_t bytes;
    std::memcpy(&bytes, reinterpret_cast<char*>(text) - sizeof(uint32_t), sizeof bytes);
    return bytes / sizeof(OLECHAR);
}

HRESULT SetErrorInfo(ULONG, IErrorInfo* info) {
    if (info) info->AddRef();
    if (IErrorInfo* old = threadErrorInfo) old->Release();
    threadErrorInfo = info;
    return S_OK;
}

HRESULT GetErrorInfo(ULONG, IErrorInfo** info) {
    if (!info) return E_INVALIDARG;
    *info = threadErrorInfo;
    threadErrorInfo = nullptr;
    return *info ? S_OK : S_FALSE;
}

HRESULT CoInitialize(void*) { return S_OK; }
void CoUninitialize() {}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    IUnknown* unknown = Find(TheTables().classes, clsid);
    if (!unknown) return REGDB_E_CLASSNOTREG;
    IClassFactory* factory = nullptr;
    HRESULT hr = unknown->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&factory));
    unknown->Release();
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(outer, riid, object);
    factory->Release();
    return hr;
}

HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* factory, DWORD, DWORD, DWORD* cookie) {
    return Register(TheTables().classes, factory, clsid, true, cookie);
}

HRESULT CoRevokeClassObject(DWORD cookie) { return Revoke(TheTables().classes, cookie); }

HRESULT RegisterActiveObject(IUnknown* object, REFCLSID clsid, DWORD flags, DWORD* cookie) {
    return Register(TheTables().running, object, clsid, (flags & ACTIVEOBJECT_WEAK) == 0, cookie);
}

HRESULT RevokeActiveObject(DWORD cookie, void*) { return Revoke(TheTables().running, cookie); }

HRESULT GetActiveObject(REFCLSID clsid, void*, IUnknown** object) {
    if (!object) return E_POINTER;
    *object = Find(TheTables().running, clsid);
    return *object ? S_OK : MK_E_UNAVAILABLE;
}

namespace dct::platform {

HRESULT DefaultEnv::GetActiveOrCreateObject(REFCLSID clsid, IUnknown** object) {
    *object = nullptr;
    if (SUCCEEDED(GetActiveObject(clsid, nullptr, object)) && *object) return S_OK;
    *object = nullptr;
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                            reinterpret_cast<void**>(object));
}

HRESULT QueryInterfaceOf(IUnknown* object, REFIID iid, void** out) {
    *out = nullptr;
    if (!object) return E_POINTER;
    HRESULT hr = object->QueryInterface(iid, out);
    if (FAILED(hr)) *out = nullptr;
    return hr;
}

std::string ComErrorMessage(HRESULT status) {
    // The texts Windows gives for the statuses that can arise here; others have none.
    static const std::map<uint32_t, const char*> texts = {
        {0x80004001u, "Not implemented"},
        {0x80004002u, "No such interface supported"},
        {0x80004003u, "Invalid pointer"},
        {0x80004004u, "Operation aborted"},
        {0x80004005u, "Unspecified error"},
        {0x8000FFFFu, "Catastrophic failure"},
        {0x80070005u, "Access is denied"},
        {0x8007000Eu, "Not enough memory resources are available to complete this operation"},
        {0x80070057u, "The parameter is incorrect"},
        {0x80040110u, "Class does not support aggregation (or class object is remote)"},
        {0x80040111u, "ClassFactory cannot supply requested class"},
        {0x80040154u, "Class not registered"},
        {0x800401E3u, "Operation unavailable"},
        {0x800401F0u, "CoInitialize has not been called"},
    };
    auto it = texts.find(static_cast<uint32_t>(status));
    return it == texts.end() ? std::string() : std::string(it->second);
}

}  // namespace dct::platform
