#include "replay/ReplayServer.h"

#include "base/Utf.h"
#include "platform/ComErrorInfo.h"
#include "platform/ComPtr.h"
#include "terminals/StandIn.h"

namespace dcthost::replay {
namespace {

using dct::ITerminals;
using dct::platform::ComPtr;

std::u16string_view View(BSTR text) {
    return text ? std::u16string_view(reinterpret_cast<const char16_t*>(text), SysStringLen(text))
                : std::u16string_view();
}

std::string Quoted(std::u16string_view text) { return nlohmann::json(dct::Utf16ToUtf8(text)).dump(); }

// The library's arguments as a call is shown: inputs only.
void Shown(std::string& out, int32_t value) { out += (out.empty() ? "" : ", ") + std::to_string(value); }
void Shown(std::string& out, VARIANT_BOOL value) { Shown(out, int32_t{value}); }
void Shown(std::string& out, BSTR text) { out += (out.empty() ? "" : ", ") + Quoted(View(text)); }
template <typename Out>
void Shown(std::string&, Out*) {}

// Each input against the recording's argument at `at`.
void Compare(const Event& event, const nlohmann::json& args, std::size_t& at, int32_t value,
             std::vector<Difference>& differences) {
    const std::string field = "argument " + std::to_string(at + 1);
    if (at >= args.size()) {
        differences.push_back({field, "(none)", std::to_string(value)});
    } else if (Integer(event, args[at]) != value) {
        differences.push_back({field, std::to_string(Integer(event, args[at])), std::to_string(value)});
    }
    ++at;
}
void Compare(const Event& event, const nlohmann::json& args, std::size_t& at, VARIANT_BOOL value,
             std::vector<Difference>& differences) {
    Compare(event, args, at, int32_t{value}, differences);
}
void Compare(const Event& event, const nlohmann::json& args, std::size_t& at, BSTR text,
             std::vector<Difference>& differences) {
    const std::string field = "argument " + std::to_string(at + 1);
    if (at >= args.size()) {
        differences.push_back({field, "(none)", Quoted(View(text))});
    } else if (const std::u16string expected = Utf16(event, args[at]); expected != View(text)) {
        differences.push_back({field, Quoted(expected), Quoted(View(text))});
    }
    ++at;
}
template <typename Out>
void Compare(const Event&, const nlohmann::json&, std::size_t&, Out*, std::vector<Difference>&) {}

// What the call hands out, from the recording.
void Give(const Event& event, const nlohmann::json& out, int32_t* value) {
    *value = static_cast<int32_t>(Integer(event, out));
}
void Give(const Event& event, const nlohmann::json& out, uint8_t* value) {
    *value = static_cast<uint8_t>(Integer(event, out));
}
void Give(const Event& event, const nlohmann::json& out, BSTR* text) {
    *text = dct::platform::UniqueBstr::FromUtf16(Utf16(event, out)).release();
}
template <typename In>
void Give(const Event&, const nlohmann::json&, In) {}

class ReplayServer final : public dct::TerminalsStandIn<ReplayServer> {
public:
    ReplayServer(Script& script, int* calls) : script_(script), calls_(calls) {}

    // The library asks for the interface once per connection: that is the recording's "connect".
    void* Find(REFIID riid) {
        if (riid == IID_IUnknown) return static_cast<ITerminals*>(this);
        if (riid != dct::IID_ITerminals && riid != IID_IDispatch) return nullptr;
        if (script_.Diverged()) return static_cast<ITerminals*>(this);
        const Event* next = script_.Next();
        if (!next || next->side != "server" || next->op != "connect") {
            script_.Diverge({script_.NextIndex(), "server",
                             "the library connected to the terminal server, the recording has " +
                                 script_.Upcoming() + " next",
                             {}});
            return static_cast<ITerminals*>(this);
        }
        script_.Take();
        ++*calls_;
        // The station's server object had no ITerminals.
        if (const Event* query = script_.Next(); query && query->side == "server" && query->op == "query") {
            script_.Take();
            return nullptr;
        }
        return static_cast<ITerminals*>(this);
    }

    DCT_ITERMINALS_HANDLED()

private:
    template <auto Operation, typename... Args>
    HRESULT Handle(const char* name, Args... args) {
        if (script_.Diverged()) return E_FAIL;
        std::string shown;
        (Shown(shown, args), ...);
        const std::string actual = std::string(name) + "(" + shown + ")";
        const Event* next = script_.Next();
        if (!next || next->side != "server" || next->op != name) {
            script_.Diverge({script_.NextIndex(), "server",
                             "the library called " + actual + ", the recording has " + script_.Upcoming() + " next",
                             {}});
            return E_FAIL;
        }
        const nlohmann::json none = nlohmann::json::array();
        const nlohmann::json& recorded = next->fields.contains("args") ? next->fields["args"] : none;
        std::vector<Difference> differences;
        std::size_t at = 0;
        (Compare(*next, recorded, at, args, differences), ...);
        if (differences.empty() && at != recorded.size())
            differences.push_back({"arguments", std::to_string(recorded.size()), std::to_string(at)});
        if (!differences.empty()) {
            script_.Diverge({script_.NextIndex(), "server", "the library called " + actual + " with other arguments",
                             std::move(differences)});
            return E_FAIL;
        }
        script_.Take();
        ++*calls_;
        const HRESULT status = static_cast<HRESULT>(Integer(*next, Member(*next, next->fields, "hr")));
        if (SUCCEEDED(status)) {
            if (next->fields.contains("out")) (Give(*next, next->fields["out"], args), ...);
        } else {
            // The station's server described its failure, or left no error object.
            ComPtr<IErrorInfo> info;
            if (next->fields.contains("desc"))
                info = ComPtr<IErrorInfo>::Attach(new dct::platform::ErrorObject(
                    Utf16(*next, next->fields["desc"]), u"dcthost replay", dct::IID_ITerminals));
            SetErrorInfo(0, info.get());
        }
        return status;
    }

    Script& script_;
    int* calls_;
};

}  // namespace

IUnknown* NewReplayServer(Script& script, int* serverCalls) {
    return static_cast<ITerminals*>(new ReplayServer(script, serverCalls));
}

std::string Script::Upcoming() const {
    if (!events_ || next_ >= events_->size()) return "nothing more";
    const Event& event = (*events_)[next_];
    return event.side + " " + (event.side == "host" ? event.op : CallOf(event));
}

std::string CallOf(const Event& event) {
    std::string text = event.op;
    if (!event.fields.contains("args") || !event.fields["args"].is_array()) return text;
    text += "(";
    bool first = true;
    for (const auto& arg : event.fields["args"]) {
        text += (first ? "" : ", ") + arg.dump();
        first = false;
    }
    return text + ")";
}

}  // namespace dcthost::replay
