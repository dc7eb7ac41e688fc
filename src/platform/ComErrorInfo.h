// An error object to leave on the thread (SetErrorInfo) when a COM call fails: what a client reads
// as the server's description of the failure.
#pragma once

#include <atomic>
#include <string>

#include "platform/ComObject.h"
#include "platform/ComPtr.h"

namespace dct::platform {

class ErrorObject final : public ComObject<ErrorObject, IErrorInfo> {
public:
    // `alive`, when given, counts the object while it lives: a server module must not be unloaded
    // while a client still holds an error object whose code it is.
    ErrorObject(std::u16string description, std::u16string source, const GUID& guid,
                std::atomic<long>* alive = nullptr)
        : description_(std::move(description)), source_(std::move(source)), guid_(guid), alive_(alive) {
        if (alive_) ++*alive_;
    }
    ~ErrorObject() {
        if (alive_) --*alive_;
    }

    void* Find(REFIID riid) {
        return riid == IID_IUnknown || riid == IID_IErrorInfo ? static_cast<IErrorInfo*>(this) : nullptr;
    }
    HRESULT __stdcall GetGUID(GUID* guid) override {
        if (!guid) return E_POINTER;
        *guid = guid_;
        return S_OK;
    }
    HRESULT __stdcall GetSource(BSTR* source) override { return Copy(source_, source); }
    HRESULT __stdcall GetDescription(BSTR* description) override { return Copy(description_, description); }
    HRESULT __stdcall GetHelpFile(BSTR* helpFile) override { return Copy(u"", helpFile); }
    HRESULT __stdcall GetHelpContext(DWORD* context) override {
        if (!context) return E_POINTER;
        *context = 0;
        return S_OK;
    }

private:
    static HRESULT Copy(std::u16string_view text, BSTR* out) {
        if (!out) return E_POINTER;
        *out = UniqueBstr::FromUtf16(text).release();
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    std::u16string description_, source_;
    GUID guid_;
    std::atomic<long>* alive_;
};

}  // namespace dct::platform
