#include "platform/ComActivation.h"

#include "platform/DefaultEnv.h"
#include "platform/Files.h"

namespace dct::platform {

HRESULT DefaultEnv::GetActiveOrCreateObject(REFCLSID clsid, IUnknown** object) {
    *object = nullptr;
    // Any failure here only means "nothing running": a fresh profile may answer with an RPC error
    // instead of MK_E_UNAVAILABLE, and the creation below gives the status worth reporting.
    if (SUCCEEDED(GetActiveObject(clsid, nullptr, object)) && *object) return S_OK;
    *object = nullptr;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(object));
    if (FAILED(hr)) *object = nullptr;
    return hr;
}

HRESULT QueryInterfaceOf(IUnknown* object, REFIID iid, void** out) {
    *out = nullptr;
    if (!object) return E_POINTER;
    HRESULT hr = object->QueryInterface(iid, out);
    if (FAILED(hr)) *out = nullptr;
    return hr;
}

std::string ComErrorMessage(HRESULT status) { return SystemErrorMessage(static_cast<unsigned long>(status)); }

}  // namespace dct::platform
