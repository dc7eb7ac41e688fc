#include "boundary/RecordingServer.h"

#include "platform/ComActivation.h"
#include "platform/ComPtr.h"
#include "terminals/StandIn.h"

namespace dct::recording {
namespace {

using platform::ComPtr;

std::u16string_view View(BSTR text) {
    return text ? std::u16string_view(reinterpret_cast<const char16_t*>(text), SysStringLen(text))
                : std::u16string_view();
}

// What a call takes in goes into "args"; what it hands out through its pointer goes into "out".
void In(JsonWriter& json, int32_t value) { json.Int(value); }
void In(JsonWriter& json, VARIANT_BOOL value) { json.Int(value); }
void In(JsonWriter& json, BSTR text) { json.Utf16(View(text)); }
template <typename Out>
void In(JsonWriter&, Out*) {}

void Out(JsonWriter&, int32_t) {}
void Out(JsonWriter&, VARIANT_BOOL) {}
void Out(JsonWriter&, BSTR) {}
void Out(JsonWriter& json, int32_t* value) { json.Key("out").Int(*value); }
void Out(JsonWriter& json, uint8_t* value) { json.Key("out").Int(*value); }
void Out(JsonWriter& json, BSTR* text) { json.Key("out").Utf16(View(*text)); }

class RecordingTerminals final : public TerminalsStandIn<RecordingTerminals> {
public:
    RecordingTerminals(Recording& recording, int instance, ComPtr<IUnknown> server)
        : recording_(recording), instance_(instance), server_(std::move(server)) {}

    void* Find(REFIID riid) {
        if (riid == IID_IUnknown) return static_cast<ITerminals*>(this);
        if (riid != IID_ITerminals && riid != IID_IDispatch) return nullptr;
        if (!terminals_) {
            const HRESULT hr = platform::QueryInterfaceOf(server_.get(), IID_ITerminals, terminals_.put_void());
            if (FAILED(hr) || !terminals_) {
                recording_.Event(instance_, "server", "query", [&](JsonWriter& json) {
                    json.Key("hr").Int(FAILED(hr) ? hr : E_NOINTERFACE);
                });
                return nullptr;
            }
        }
        return static_cast<ITerminals*>(this);
    }

    DCT_ITERMINALS_HANDLED()

private:
    template <auto Operation, typename... Args>
    HRESULT Handle(const char* name, Args... args) {
        const HRESULT hr = (terminals_.get()->*Operation)(args...);
        // The server's description of a failure is taken from the thread and put back, so that the
        // driver's client still finds it there.
        ComPtr<IErrorInfo> info;
        platform::UniqueBstr description;
        const bool described = FAILED(hr) && GetErrorInfo(0, info.put()) == S_OK && info;
        if (described) {
            info->GetDescription(description.put());
            SetErrorInfo(0, info.get());
        }
        recording_.Event(instance_, "server", name, [&](JsonWriter& json) {
            json.Key("args").BeginArray();
            (In(json, args), ...);
            json.EndArray();
            if (SUCCEEDED(hr)) (Out(json, args), ...);
            json.Key("hr").Int(hr);
            if (described) json.Key("desc").Utf16(description.view());
        });
        return hr;
    }

    Recording& recording_;
    const int instance_;
    ComPtr<IUnknown> server_;
    ComPtr<ITerminals> terminals_;
};

}  // namespace

HRESULT RecordingEnv::GetActiveOrCreateObject(REFCLSID clsid, IUnknown** object) {
    ComPtr<IUnknown> server;
    const HRESULT hr = Target().GetActiveOrCreateObject(clsid, server.put());
    recording_.Event(instance_, "server", "connect", [&](JsonWriter& json) { json.Key("hr").Int(hr); });
    if (FAILED(hr) || !server) {
        *object = server.detach();
        return hr;
    }
    *object = static_cast<ITerminals*>(new RecordingTerminals(recording_, instance_, std::move(server)));
    return hr;
}

}  // namespace dct::recording
