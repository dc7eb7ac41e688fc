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

    // clang-format off
    HRESULT __stdcall ShowProperties(int32_t* r) override { return Pass<&ITerminals::ShowProperties>("ShowProperties", r); }
    HRESULT __stdcall BeginReport(int32_t* s) override { return Pass<&ITerminals::BeginReport>("BeginReport", s); }
    HRESULT __stdcall EndReport(int32_t* s) override { return Pass<&ITerminals::EndReport>("EndReport", s); }
    HRESULT __stdcall GetRecord(int32_t* s) override { return Pass<&ITerminals::GetRecord>("GetRecord", s); }
    HRESULT __stdcall Set_BaudRate(int32_t v) override { return Pass<&ITerminals::Set_BaudRate>("Set_BaudRate", v); }
    HRESULT __stdcall Set_PortNumber(int32_t v) override { return Pass<&ITerminals::Set_PortNumber>("Set_PortNumber", v); }
    HRESULT __stdcall Get_ResultDescription(BSTR* v) override { return Pass<&ITerminals::Get_ResultDescription>("Get_ResultDescription", v); }
    HRESULT __stdcall Set_FormNumber(int32_t v) override { return Pass<&ITerminals::Set_FormNumber>("Set_FormNumber", v); }
    HRESULT __stdcall Get_DeviceEnabled(uint8_t* v) override { return Pass<&ITerminals::Get_DeviceEnabled>("Get_DeviceEnabled", v); }
    HRESULT __stdcall Clear(int32_t* s) override { return Pass<&ITerminals::Clear>("Clear", s); }
    HRESULT __stdcall Set_ShowProgress(VARIANT_BOOL v) override { return Pass<&ITerminals::Set_ShowProgress>("Set_ShowProgress", v); }
    HRESULT __stdcall GetFieldCount(uint8_t* v) override { return Pass<&ITerminals::GetFieldCount>("GetFieldCount", v); }
    HRESULT __stdcall BeginDownLoadTable(int32_t* s) override { return Pass<&ITerminals::BeginDownLoadTable>("BeginDownLoadTable", s); }
    HRESULT __stdcall ClearTableBuffer(int32_t* s) override { return Pass<&ITerminals::ClearTableBuffer>("ClearTableBuffer", s); }
    HRESULT __stdcall AddInTable(BSTR f, int32_t* s) override { return Pass<&ITerminals::AddInTable>("AddInTable", f, s); }
    HRESULT __stdcall DownLoadTable(int32_t* s) override { return Pass<&ITerminals::DownLoadTable>("DownLoadTable", s); }
    HRESULT __stdcall LoadFormFromFile(BSTR p, int32_t* s) override { return Pass<&ITerminals::LoadFormFromFile>("LoadFormFromFile", p, s); }
    HRESULT __stdcall GetField(int32_t i, BSTR* v) override { return Pass<&ITerminals::GetField>("GetField", i, v); }
    HRESULT __stdcall AddToTable(int32_t* s) override { return Pass<&ITerminals::AddToTable>("AddToTable", s); }
    // clang-format on

#define DCT_LOSSY_RESERVED(pos) \
    HRESULT __stdcall Reserved##pos() override { return E_NOTIMPL; }
#define DCT_LOSSY_SKIP_OP(pos, name, params)
    DCT_ITERMINALS_TABLE(DCT_LOSSY_SKIP_OP, DCT_LOSSY_RESERVED)
#undef DCT_LOSSY_RESERVED
#undef DCT_LOSSY_SKIP_OP

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
