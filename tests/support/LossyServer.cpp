#include "support/LossyServer.h"

#include "ComObject.h"
#include "TermSim.h"

namespace dct::test {
namespace {

constexpr HRESULT kDeadProxy = static_cast<HRESULT>(0x800706BA);  // RPC_S_SERVER_UNAVAILABLE

class LossyTerminals final : public termsim::ComObject<LossyTerminals, ITerminals> {
public:
    LossyTerminals(ServerLink& link, platform::ComPtr<ITerminals> inner) : link_(link), inner_(std::move(inner)) {}

    void* Find(REFIID riid) {
        return riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_ITerminals ? static_cast<ITerminals*>(this)
                                                                                        : nullptr;
    }
    HRESULT __stdcall GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT __stdcall GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT __stdcall GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT __stdcall Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

#define DCT_LOSSY_OP(pos, name, params, names) \
    HRESULT __stdcall name params override { return Pass<&ITerminals::name>(#name, DCT_ITERMINALS_ARGS names); }
#define DCT_LOSSY_RESERVED(pos) \
    HRESULT __stdcall Reserved##pos() override { return E_NOTIMPL; }
    DCT_ITERMINALS_TABLE(DCT_LOSSY_OP, DCT_LOSSY_RESERVED)
#undef DCT_LOSSY_OP
#undef DCT_LOSSY_RESERVED

private:
    template <auto Operation, typename... Args>
    HRESULT Pass(const char* name, Args... args) {
        if (dead_) return kDeadProxy;
        const bool byNumber = link_.calls++ == link_.loseAt;
        const bool byName = name == link_.loseOn && ++link_.seenOn_ == link_.loseOnNth;
        if (byNumber || byName) {
            dead_ = true;
            link_.lostAfter = static_cast<int>(link_.reached.size());
            return link_.lossStatus;
        }
        link_.reached.emplace_back(name);
        return (inner_.get()->*Operation)(args...);
    }

    ServerLink& link_;
    platform::ComPtr<ITerminals> inner_;
    bool dead_ = false;
};

}  // namespace

HRESULT LossyServerEnv::GetActiveOrCreateObject(REFCLSID clsid, IUnknown** object) {
    if (!object) return E_POINTER;
    *object = new LossyTerminals(link, termsim::CreateTerminals());
    return S_OK;
}

}  // namespace dct::test
