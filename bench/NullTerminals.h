// The terminal server that does no work and the read loop without the library, shared by the native
// benchmarks (dct_bench.cpp) and the ones that run under Wine (win32/wine_bench.cpp).
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <thread>

#include "ComBase.h"
#include "terminals/ITerminals.h"
#include "base/SysUtils.h"
#include "platform/Codepage.h"
#include "platform/Env.h"

namespace dct::bench {

constexpr int kRecords = 100000;
constexpr char16_t kCode[] = u"4601234567890";  // an EAN-13, as terminals hold them
constexpr char16_t kQuantity[] = u"12.5";

// ---- a terminal server that does no work ------------------------------------------------------
// Hands out the same record kRecords times after BeginReport; every other operation succeeds at once.
class NullTerminals final : public ITerminals {
public:
    int records = kRecords;

    HRESULT __stdcall QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_ITerminals) {
            *object = static_cast<ITerminals*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG __stdcall AddRef() override { return ++refs_; }
    ULONG __stdcall Release() override { return --refs_; }  // static lifetime: never deleted
    HRESULT __stdcall GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT __stdcall GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT __stdcall GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT __stdcall Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    HRESULT __stdcall ShowProperties(int32_t* r) override { return *r = 0, S_OK; }
    HRESULT __stdcall BeginReport(int32_t* s) override { return left_ = records, *s = 0, S_OK; }
    HRESULT __stdcall EndReport(int32_t* s) override { return *s = 0, S_OK; }
    HRESULT __stdcall GetRecord(int32_t* s) override {
        *s = left_ > 0 ? 0 : 1;
        --left_;
        return S_OK;
    }
    HRESULT __stdcall Set_BaudRate(int32_t) override { return S_OK; }
    HRESULT __stdcall Set_PortNumber(int32_t) override { return S_OK; }
    HRESULT __stdcall Get_ResultDescription(BSTR* v) override { return *v = SysAllocString(reinterpret_cast<const OLECHAR*>(u"")), S_OK; }
    HRESULT __stdcall Set_FormNumber(int32_t) override { return S_OK; }
    HRESULT __stdcall Get_DeviceEnabled(uint8_t* v) override { return *v = 1, S_OK; }
    HRESULT __stdcall Clear(int32_t* s) override { return *s = 0, S_OK; }
    HRESULT __stdcall Set_ShowProgress(VARIANT_BOOL) override { return S_OK; }
    HRESULT __stdcall GetFieldCount(uint8_t* v) override { return *v = 2, S_OK; }
    HRESULT __stdcall BeginDownLoadTable(int32_t* s) override { return *s = 0, S_OK; }
    HRESULT __stdcall ClearTableBuffer(int32_t* s) override { return *s = 0, S_OK; }
    HRESULT __stdcall AddInTable(BSTR, int32_t* s) override { return *s = 0, S_OK; }
    HRESULT __stdcall DownLoadTable(int32_t* s) override { return *s = 0, S_OK; }
    HRESULT __stdcall LoadFormFromFile(BSTR, int32_t* s) override { return *s = 0, S_OK; }
    HRESULT __stdcall GetField(int32_t index, BSTR* v) override {
        // The caller owns what it gets, so a copy is made as a real server must.
        *v = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(index == 1 ? kCode : kQuantity), index == 1 ? 13 : 4);
        return S_OK;
    }
    HRESULT __stdcall AddToTable(int32_t* s) override { return *s = 0, S_OK; }

#define DCT_NULL_RESERVED(pos) \
    HRESULT __stdcall Reserved##pos() override { return E_NOTIMPL; }
#define DCT_NULL_SKIP_OP(pos, name, params, args)
    DCT_ITERMINALS_TABLE(DCT_NULL_SKIP_OP, DCT_NULL_RESERVED)
#undef DCT_NULL_RESERVED
#undef DCT_NULL_SKIP_OP

private:
    ULONG refs_ = 1;
    int left_ = 0;
};

// The server, registered in the running-object table (where the client looks first) on first use;
// nullptr when it could not be registered. Wine serves that table through its RPC service, which a
// fresh prefix starts only after a while: up to 30 s are given to it.
inline NullTerminals* Server() {
    static NullTerminals* server = [] {
        auto* s = new NullTerminals;
        DWORD cookie = 0;
        for (int tries = 0; tries < 120; ++tries) {
            const HRESULT hr = RegisterActiveObject(s, CLSID_Terminals, ACTIVEOBJECT_STRONG, &cookie);
            if (hr == S_OK) return s;
            if (hr != static_cast<HRESULT>(0x800706BA)) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
        return static_cast<NullTerminals*>(nullptr);
    }();
    return server;
}

// BSTRs hold UTF-16 as wchar_t on Windows and as char16_t in the stand-in elsewhere.
inline std::u16string_view Utf16(BSTR text) { return {reinterpret_cast<const char16_t*>(text), SysStringLen(text)}; }

// The read without the library: the same server calls, in the same order, with the same conversions,
// straight on the interface; with handOver, a record goes to onRecord(code, quantity) as the bulk read
// hands it to the host.
template <typename OnRecord>
int BaselineRead(ITerminals* intf, OnRecord&& onRecord, bool handOver) {
    int32_t status = 0;
    uint8_t value = 0;
    intf->Get_DeviceEnabled(&value);
    intf->Set_ShowProgress(-1);
    intf->Set_FormNumber(0);
    intf->ClearTableBuffer(&status);
    intf->BeginReport(&status);
    intf->GetFieldCount(&value);
    std::string code;
    int count = 0;
    const char separator = platform::Env::Default().UserFormats().DecimalSeparator;
    for (;;) {
        intf->GetRecord(&status);
        if (status != 0) break;
        BSTR field = nullptr;
        intf->GetField(1, &field);
        code = platform::Utf16ToAnsi(Utf16(field));
        SysFreeString(field);
        double quantity = 0;
        if (!code.empty()) {
            intf->GetField(2, &field);
            std::string text = platform::Utf16ToAnsi(Utf16(field));
            SysFreeString(field);
            if (!text.empty()) quantity = StrToFloat(text, separator);
        }
        if (handOver && !code.empty() && !(quantity < 1e-5)) onRecord(code.c_str(), quantity);
        ++count;
    }
    intf->Get_DeviceEnabled(&value);
    intf->EndReport(&status);
    return count;
}

}  // namespace dct::bench
