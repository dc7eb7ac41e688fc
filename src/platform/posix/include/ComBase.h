// The small part of COM that the terminal server client and its simulator use, for builds without
// Windows. Names, layouts and results mirror the Windows declarations so that the same client and
// server code compiles on both platforms: interfaces are plain abstract classes with no virtual
// destructor (the function table is exactly the interface's methods), strings are length-prefixed
// UTF-16 (BSTR), and the activation functions work on an in-process class table and running-object
// table (src/platform/posix/ComActivation.cpp). There is no apartment, marshalling or registry.
#pragma once

#include <cstdint>

// Windows passes COM calls with stdcall; there is only one calling convention here.
#ifndef __stdcall
#define __stdcall
#endif
#define STDMETHODCALLTYPE __stdcall

using HRESULT = int32_t;
using ULONG = uint32_t;
using DWORD = uint32_t;
using WORD = uint16_t;
using UINT = unsigned int;
using LCID = uint32_t;
using DISPID = int32_t;
using BOOL = int;
using VARIANT_BOOL = int16_t;
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

constexpr bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
inline bool IsEqualIID(REFIID a, REFIID b) { return a == b; }
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return a == b; }

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);
constexpr HRESULT MK_E_UNAVAILABLE = static_cast<HRESULT>(0x800401E3u);
// A second registration of the same class: here the latest one wins and nothing reports it.
constexpr HRESULT MK_S_MONIKERALREADYREGISTERED = static_cast<HRESULT>(0x000401E7);
constexpr HRESULT CO_E_OBJNOTREG = static_cast<HRESULT>(0x800401FBu);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006u);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003u);

enum CLSCTX : DWORD {
    CLSCTX_INPROC_SERVER = 0x1,
    CLSCTX_INPROC_HANDLER = 0x2,
    CLSCTX_LOCAL_SERVER = 0x4,
    CLSCTX_REMOTE_SERVER = 0x10,
    CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER,
};
enum REGCLS : DWORD { REGCLS_SINGLEUSE = 0, REGCLS_MULTIPLEUSE = 1 };
constexpr DWORD ACTIVEOBJECT_STRONG = 0;
constexpr DWORD ACTIVEOBJECT_WEAK = 1;

// {00000000-0000-0000-C000-000000000046} and friends: the well-known interface ids.
inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IErrorInfo = {0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
inline constexpr IID IID_ISupportErrorInfo = {0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
inline constexpr IID IID_IExternalConnection = {0x00000019, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// Types that only appear behind pointers in IDispatch; nothing here looks inside them.
struct ITypeInfo;
struct DISPPARAMS;
struct VARIANT;
struct EXCEPINFO;

struct IUnknown {
    virtual HRESULT __stdcall QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG __stdcall AddRef() = 0;
    virtual ULONG __stdcall Release() = 0;
};

struct IDispatch : IUnknown {
    virtual HRESULT __stdcall GetTypeInfoCount(UINT* count) = 0;
    virtual HRESULT __stdcall GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) = 0;
    virtual HRESULT __stdcall GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) = 0;
    virtual HRESULT __stdcall Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) = 0;
};

struct IClassFactory : IUnknown {
    virtual HRESULT __stdcall CreateInstance(IUnknown* outer, REFIID riid, void** object) = 0;
    virtual HRESULT __stdcall LockServer(BOOL lock) = 0;
};

struct IErrorInfo : IUnknown {
    virtual HRESULT __stdcall GetGUID(GUID* guid) = 0;
    virtual HRESULT __stdcall GetSource(BSTR* source) = 0;
    virtual HRESULT __stdcall GetDescription(BSTR* description) = 0;
    virtual HRESULT __stdcall GetHelpFile(BSTR* helpFile) = 0;
    virtual HRESULT __stdcall GetHelpContext(DWORD* helpContext) = 0;
};

struct ISupportErrorInfo : IUnknown {
    virtual HRESULT __stdcall InterfaceSupportsErrorInfo(REFIID riid) = 0;
};

// Told by COM when a client in another process takes or drops a reference; nothing here calls it.
constexpr DWORD EXTCONN_STRONG = 1;
struct IExternalConnection : IUnknown {
    virtual DWORD __stdcall AddConnection(DWORD type, DWORD reserved) = 0;
    virtual DWORD __stdcall ReleaseConnection(DWORD type, DWORD reserved, BOOL lastReleaseCloses) = 0;
};

// COM strings: a 32-bit byte length before the characters, a terminating zero after them.
BSTR SysAllocString(LPCOLESTR text);
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);

// The calling thread's error object (one per thread, as on Windows). GetErrorInfo hands it over and
// leaves the thread without one; it answers S_FALSE when there is none.
HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* info);
HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** info);

// There are no apartments here; these exist so that code written for Windows runs unchanged.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();

// Class objects registered by this process (CoRegisterClassObject) are the only servers there are;
// a class without one is not registered.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** object);
HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* factory, DWORD context, DWORD flags, DWORD* cookie);
HRESULT CoRevokeClassObject(DWORD cookie);

// The running-object table: one object per class id, the latest registration wins.
HRESULT RegisterActiveObject(IUnknown* object, REFCLSID clsid, DWORD flags, DWORD* cookie);
HRESULT RevokeActiveObject(DWORD cookie, void* reserved);
HRESULT GetActiveObject(REFCLSID clsid, void* reserved, IUnknown** object);
