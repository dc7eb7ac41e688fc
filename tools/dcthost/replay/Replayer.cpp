#include "replay/Replayer.h"

#include <charconv>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "DctLibrary.h"
#include "EnumRecords.h"
#include "HostCalls.h"
#include "TermSim.h"
#include "base/SysUtils.h"
#include "base/Utf.h"
#include "base/cp1251.h"
#include "lib/commutil.h"
#include "platform/ComApartment.h"
#include "platform/ComPtr.h"
#include "platform/Env.h"
#include "platform/ModuleInfo.h"
#include "replay/ClosingDialogs.h"
#include "replay/ReplayServer.h"
#include "terminals/ITerminals.h"

namespace dcthost::replay {
namespace {

using nlohmann::json;

// 8-bit text as a difference shows it: each byte as its 1251 character, in quotes.
std::string Text(const std::string& bytes) {
    std::string utf8;
    dct::BytesToUtf8(bytes, utf8);
    return json(utf8).dump();
}

std::string NumberText(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

namespace {

class Replayer final : public EnumRecordSink {
public:
    Replayer(const RecordingFile& recording, const ReplayOptions& options, DctLibrary& library, std::string folder,
             ReplayOutcome& outcome)
        : recording_(recording), options_(options), library_(library), folder_(std::move(folder)), outcome_(outcome) {
        // Which terminal each recorded instance was: the number its DctInit was given.
        for (const Event& event : recording_.events)
            if (event.side == "host" && event.op == "DctInit" && event.instance != 0)
                numbers_[event.instance] = static_cast<int32_t>(Integer(event, Member(event, Args(event), "number")));
    }

    Script& TheScript() { return script_; }
    // How the replay's server is taken out of the running-object table (false) and offered again.
    void SetOffer(std::function<void(bool)> offer) { offer_ = std::move(offer); }

    void Run() {
        std::size_t from = 0;
        const auto& events = recording_.events;
        for (std::size_t i = 0; i < events.size() && !script_.Diverged(); ++i) {
            const Event& event = events[i];
            if (event.side != "host") continue;
            if (options_.until && event.seq > *options_.until) break;
            if (Selected(event)) {
                script_.Load(events, from, i);
                Call(event, i);
            }
            from = i + 1;
        }
    }

    void Record(int32_t userData, const char* code, double quantity) noexcept override {
        try {
            if (script_.Diverged()) return;
            const std::string bytes = code ? code : "";
            const Event* next = script_.Next();
            const std::string handed = "the library handed the host the record " + Text(bytes) + " " + NumberText(quantity);
            if (!next || next->side != "callback") {
                script_.Diverge({script_.NextIndex(), "callback",
                                 handed + ", the recording has " + script_.Upcoming() + " next",
                                 {}});
                return;
            }
            const json& args = Args(*next);
            std::vector<Difference> differences;
            Expect(differences, "user data", std::to_string(Integer(*next, Member(*next, args, "user"))),
                   std::to_string(userData));
            Expect(differences, "code", Text(Bytes(*next, Member(*next, args, "code"))), Text(bytes));
            const double expected = Number(*next, Member(*next, args, "quantity"));
            if (!SameBits(expected, quantity)) differences.push_back({"quantity", NumberText(expected), NumberText(quantity)});
            if (!differences.empty()) {
                script_.Diverge({script_.NextIndex(), "callback", handed + " that the recording has otherwise",
                                 std::move(differences)});
                return;
            }
            script_.Take();
        } catch (const std::exception& e) {
            script_.Diverge({script_.NextIndex(), "callback", e.what(), {}});
        }
    }

    // Ends what the recording left open: the instances it never closed.
    void CloseAll() {
        HostFpuWord fpu;
        for (auto& [instance, terminal] : terminals_) terminal.funcs->DctFini(terminal.handle, terminal.funcs);
        terminals_.clear();
    }

private:
    struct Terminal {
        DriverFuncs* funcs = nullptr;
        DctHandle handle = nullptr;
    };

    static const json& Args(const Event& event) {
        static const json none = json::object();
        return event.fields.contains("args") ? event.fields["args"] : none;
    }

    bool Selected(const Event& event) const {
        if (!options_.terminal) return true;
        if (event.instance != 0) {
            const auto found = numbers_.find(event.instance);
            return found != numbers_.end() && found->second == *options_.terminal;
        }
        const json& args = Args(event);
        return !args.contains("number") || Integer(event, args["number"]) == *options_.terminal;
    }

    static void Expect(std::vector<Difference>& differences, const std::string& field, const std::string& expected,
                       const std::string& actual) {
        if (expected != actual) differences.push_back({field, expected, actual});
    }

    void ExpectResult(std::vector<Difference>& differences, const Event& event, int32_t actual) {
        Expect(differences, "result", std::to_string(Integer(event, Member(event, event.fields, "result"))),
               std::to_string(actual));
    }

    Terminal& TerminalOf(const Event& event) {
        const auto found = terminals_.find(event.instance);
        if (found == terminals_.end())
            throw RecordingError("line " + std::to_string(event.line) + ": a call for a terminal that was not opened");
        return found->second;
    }

    std::string SettingsFile() const { return dct::ConstructFileName(folder_, dct::kSettingsFileName); }

    // The terminal's section as the recording has it, in the replay's settings file.
    void ApplySection(const Event& event, int32_t number) {
        auto& env = dct::platform::Env::Default();
        const std::string file = SettingsFile(), section = dct::IntToStr(number);
        env.ProfileEraseSection(file, section);
        for (const auto& entry : Member(event, event.fields, "section")) {
            if (!entry.is_array() || entry.size() != 2)
                throw RecordingError("line " + std::to_string(event.line) + ": a section entry is not [key, value]");
            env.ProfileWriteString(file, section, Bytes(event, entry[0]), Bytes(event, entry[1]));
        }
    }

    void Call(const Event& event, std::size_t index) {
        std::vector<Difference> differences;
        bool dialog = false;
        // A start of the server that failed at the station must fail here too: the replay's server is
        // not offered while such a call runs.
        bool failedStart = false;
        for (std::size_t k = script_.NextIndex(); k < index; ++k) {
            const Event& s = recording_.events[k];
            if (s.side == "server" && s.op == "connect" && Integer(s, Member(s, s.fields, "hr")) < 0) failedStart = true;
        }
        if (failedStart) offer_(false);
        const json& args = Args(event);
        const std::string& op = event.op;
        if (op == "DctInit") {
            const auto number = static_cast<int32_t>(Integer(event, Member(event, args, "number")));
            ApplySection(event, number);
            DriverFuncs* funcs = nullptr;
            DctHandle handle = nullptr;
            const int32_t result = library_.Init(number, folder_, &funcs, &handle);
            ExpectResult(differences, event, result);
            if (handle && event.instance != 0) terminals_[event.instance] = {funcs, handle};
            else if (funcs) {
                HostFpuWord fpu;
                funcs->DctFini(nullptr, funcs);
            }
        } else if (op == "DctConfigure") {
            // The dialog is not shown: what it left in the settings file is applied.
            if (Integer(event, Member(event, event.fields, "result")) == 0)
                ApplySection(event, static_cast<int32_t>(Integer(event, Member(event, args, "number"))));
            ++outcome_.notReplayed;
            return Finish(event, index, differences, false);
        } else if (op == "DctRemove") {
            const int32_t result =
                library_.Remove(static_cast<int32_t>(Integer(event, Member(event, args, "number"))), folder_);
            ExpectResult(differences, event, result);
        } else if (op == "LoadDctLibrary") {
            ExpectResult(differences, event, library_.LoadDctLibrary());
        } else if (op == "DctGetDriverInfo") {
            DriverInfo info{};
            library_.GetDriverInfo(&info);
            const json& out = Member(event, event.fields, "out");
            Expect(differences, "name", Text(Bytes(event, Member(event, out, "name"))), Text(info.Name));
            Expect(differences, "models", Text(Bytes(event, Member(event, out, "models"))), Text(info.Models));
            Expect(differences, "flag1", std::to_string(Integer(event, Member(event, out, "flag1"))), std::to_string(info.Flag1));
            Expect(differences, "flag2", std::to_string(Integer(event, Member(event, out, "flag2"))), std::to_string(info.Flag2));
        } else {
            Terminal& t = TerminalOf(event);
            HostFpuWord fpu;
            if (op == "DctFini") {
                const bool funcs = Member(event, args, "funcs").get<bool>();
                ExpectResult(differences, event, t.funcs->DctFini(t.handle, funcs ? t.funcs : nullptr));
                terminals_.erase(event.instance);
            } else if (op == "DctErr") {
                const auto max = static_cast<int32_t>(Integer(event, Member(event, args, "max")));
                std::vector<char> buffer(static_cast<std::size_t>(std::max(max, 0)) + 1, '\x7F');
                char* text = buffer.data();
                int32_t code = 0x5A5A5A5A;
                const int32_t result =
                    reinterpret_cast<ErrFn>(library_.ExportAt(4).address)(t.handle, &code, &text, max);
                ExpectResult(differences, event, result);
                const json& out = Member(event, event.fields, "out");
                Expect(differences, "code", std::to_string(Integer(event, Member(event, out, "code"))), std::to_string(code));
                if (const auto expected = BytesOrNull(event, Member(event, out, "text")))
                    Expect(differences, "text", Text(*expected), Text(std::string(buffer.data(), strnlen(buffer.data(), buffer.size()))));
            } else if (op == "DctInteractiveService") {
                ClosingDialogs closing;
                ExpectResult(differences, event, t.funcs->DctInteractiveService(t.handle));
                dialog = true;
            } else if (op == "DctClearData") {
                ExpectResult(differences, event, t.funcs->DctClearData(t.handle));
            } else if (op == "DctBeginDataReading") {
                ExpectResult(differences, event, t.funcs->DctBeginDataReading(t.handle));
            } else if (op == "DctEnumData") {
                const bool callback = Member(event, args, "callback").get<bool>();
                EnumRecordScope scope(*this);
                ExpectResult(differences, event,
                             t.funcs->DctEnumData(t.handle, callback ? EnumCallbackAddress() : nullptr,
                                                  static_cast<int32_t>(Integer(event, Member(event, args, "user"))),
                                                  static_cast<int32_t>(Integer(event, Member(event, args, "clear_after")))));
            } else if (op == "DctNextRecord") {
                NextRecord(event, t, differences);
            } else if (op == "DctEndDataReading") {
                ExpectResult(differences, event,
                             t.funcs->DctEndDataReading(t.handle, static_cast<int32_t>(Integer(event, Member(event, args, "clear_after")))));
            } else if (op == "DctBeginWareTableWriting") {
                ExpectResult(differences, event,
                             t.funcs->DctBeginWareTableWriting(t.handle, static_cast<int32_t>(Integer(event, Member(event, args, "full_table")))));
            } else if (op == "DctWriteWareTableRecord") {
                const auto text2 = BytesOrNull(event, Member(event, args, "text2"));
                const auto text1 = BytesOrNull(event, Member(event, args, "text1"));
                const auto barcodes = BytesOrNull(event, Member(event, args, "barcodes"));
                ExpectResult(differences, event,
                             CallWriteWareTableRecord(t.funcs->DctWriteWareTableRecord, t.handle,
                                                      text2 ? text2->c_str() : nullptr, text1 ? text1->c_str() : nullptr,
                                                      static_cast<int32_t>(Integer(event, Member(event, args, "spare"))),
                                                      Number(event, Member(event, args, "number")),
                                                      barcodes ? barcodes->c_str() : nullptr));
            } else if (op == "DctEndWareTableWriting") {
                ExpectResult(differences, event, CallEndWareTableWriting(t.funcs->DctEndWareTableWriting, t.handle));
            } else {
                throw RecordingError("line " + std::to_string(event.line) + ": an unknown host call \"" + op + "\"");
            }
        }
        if (failedStart) offer_(true);
        Finish(event, index, differences, dialog);
    }

    void NextRecord(const Event& event, Terminal& t, std::vector<Difference>& differences) {
        const json& args = Args(event);
        const char* code = nullptr;
        double quantity = 0;
        int32_t more = 0x5A5A5A5A;
        // The host may have given null for an out-value: the recording says which it gave.
        const bool giveCode = !args.contains("code") || args["code"].get<bool>();
        const bool giveQuantity = !args.contains("quantity") || args["quantity"].get<bool>();
        const bool giveMore = !args.contains("more") || args["more"].get<bool>();
        const int32_t result = t.funcs->DctNextRecord(t.handle, giveCode ? &code : nullptr,
                                                      giveQuantity ? &quantity : nullptr, giveMore ? &more : nullptr);
        ExpectResult(differences, event, result);
        if (!event.fields.contains("out")) return;
        const json& out = event.fields["out"];
        Expect(differences, "more", std::to_string(Integer(event, Member(event, out, "more"))), std::to_string(more));
        Expect(differences, "code", Text(Bytes(event, Member(event, out, "code"))), Text(code ? code : ""));
        if (out.contains("quantity")) {
            const double expected = Number(event, out["quantity"]);
            if (!SameBits(expected, quantity)) differences.push_back({"quantity", NumberText(expected), NumberText(quantity)});
        }
    }

    // After the call: what the host got, then whatever the recording has left for the call.
    void Finish(const Event& event, std::size_t index, std::vector<Difference>& differences, bool dialog) {
        ++outcome_.hostCalls;
        if (script_.Diverged()) return;
        while (const Event* next = script_.Next()) {
            if (next->side == "server" && next->op == "connect" && Integer(*next, Member(*next, next->fields, "hr")) < 0) {
                script_.Take();
                continue;
            }
            if (dialog) {
                // What the user did in the dialog is the station's; its calls are passed over.
                script_.Skip();
                ++outcome_.notReplayed;
                break;
            }
            script_.Diverge({script_.NextIndex(), next->side,
                             "the recording has " + next->side + " " + CallOf(*next) + " next, the library made no such call",
                             {}});
            return;
        }
        if (!differences.empty())
            script_.Diverge({index, "host", event.op + " gave the host something else", std::move(differences)});
    }

    const RecordingFile& recording_;
    const ReplayOptions& options_;
    DctLibrary& library_;
    const std::string folder_;
    ReplayOutcome& outcome_;
    Script script_;
    std::map<int, int32_t> numbers_;
    std::map<int, Terminal> terminals_;
    std::function<void(bool)> offer_ = [](bool) {};
};

}  // namespace

ReplayOutcome Replay(const RecordingFile& recording, const ReplayOptions& options) {
    ReplayOutcome outcome;
    std::string error;
    auto library = DctLibrary::Load(options.library, &error);
    if (!library) {
        outcome.failure = error;
        return outcome;
    }
    namespace fs = std::filesystem;
    std::error_code ignored;
    const fs::path folder =
        fs::temp_directory_path(ignored) / ("dcthost-replay-" + std::to_string(dct::platform::CurrentProcessId()));
    fs::remove_all(folder, ignored);
    fs::create_directories(folder, ignored);

    dct::platform::ComApartment apartment;
    Replayer replayer(recording, options, *library, folder.string(), outcome);
    dct::platform::ComPtr<IUnknown> server =
        dct::platform::ComPtr<IUnknown>::Attach(NewReplayServer(replayer.TheScript(), &outcome.serverCalls));
    dct::platform::RunningObjectRegistration listed;
    const HRESULT offered =
        dct::termsim::RegisterRunning(server.get(), ACTIVEOBJECT_STRONG, std::chrono::seconds(60), &listed);
    if (FAILED(offered) || offered == MK_S_MONIKERALREADYREGISTERED) {
        listed.reset();
        outcome.failure = FAILED(offered)
                              ? "the replay's terminal server could not be offered in the running-object table"
                              : "a terminal server is running already, and the library would reach it instead of the "
                                "recording: end it (TermSimServer.exe --stop for the simulator), then replay";
        return outcome;
    }
    replayer.SetOffer([&](bool offer) {
        if (!offer) {
            listed.reset();
        } else if (FAILED(dct::termsim::RegisterRunning(server.get(), ACTIVEOBJECT_STRONG, std::chrono::seconds(60),
                                                       &listed))) {
            outcome.failure = "the replay's terminal server could not be offered again";
        }
    });
    try {
        replayer.Run();
    } catch (const RecordingError& e) {
        outcome.failure = e.what();
    }
    replayer.CloseAll();
    listed.reset();
    outcome.divergence = replayer.TheScript().Diverged();
    server.reset();
    library.reset();
    fs::remove_all(folder, ignored);
    return outcome;
}

int Report(const RecordingFile& recording, const ReplayOutcome& outcome, std::ostream& out) {
    if (!outcome.failure.empty()) {
        out << "replay failed: " << outcome.failure << "\n";
        return 1;
    }
    if (const auto& d = outcome.divergence) {
        const auto& events = recording.events;
        const int64_t seq = d->event < events.size() ? events[d->event].seq : (events.empty() ? 0 : events.back().seq + 1);
        out << "divergence at seq " << seq << " (" << d->side << "): " << d->summary << "\n";
        for (const Difference& difference : d->differences)
            out << "  " << difference.field << ": expected " << difference.expected << ", actual " << difference.actual << "\n";
        out << "the events before it:\n";
        for (std::size_t i = d->event > 10 ? d->event - 10 : 0; i < d->event && i < events.size(); ++i)
            out << "  " << Shown(events[i]) << "\n";
        return 1;
    }
    out << "identical: " << outcome.hostCalls << " host calls, " << outcome.serverCalls << " server calls";
    if (outcome.notReplayed) out << " (" << outcome.notReplayed << " dialog" << (outcome.notReplayed == 1 ? "" : "s") << " not replayed)";
    out << "\n";
    if (recording.torn)
        out << "the recording's last line (" << recording.lines << ") was cut off: replayed up to the line before it\n";
    return 0;
}

}  // namespace dcthost::replay
