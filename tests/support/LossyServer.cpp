#include "support/LossyServer.h"

#include "terminals/StandIn.h"
#include "TermSim.h"

namespace dct::test {
namespace {

constexpr HRESULT kDeadProxy = static_cast<HRESULT>(0x800706BA);  // RPC_S_SERVER_UNAVAILABLE

class LossyTerminals final : public TerminalsStandIn<LossyTerminals> {
public:
    LossyTerminals(ServerLink& link, platform::ComPtr<ITerminals> inner) : link_(link), inner_(std::move(inner)) {}

    void* Find(REFIID riid) {
        return riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_ITerminals ? static_cast<ITerminals*>(this)
                                                                                        : nullptr;
    }
    DCT_ITERMINALS_HANDLED()

private:
    template <auto Operation, typename... Args>
    HRESULT Handle(const char* name, Args... args) {
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
