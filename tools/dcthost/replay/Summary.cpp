#include "replay/Summary.h"

#include <cstdio>
#include <map>
#include <vector>


namespace dcthost::replay {
namespace {

// The wall time of an event: the recording's start plus the event's offset, as HH:MM:SS.
std::string TimeOf(const RecordingFile& recording, const Event& event) {
    const std::string started = recording.header.value("started", std::string());
    int h = 0, m = 0, s = 0;
    if (std::sscanf(started.c_str() + (started.size() > 11 ? 11 : started.size()), "%d:%d:%d", &h, &m, &s) != 3)
        h = m = s = 0;
    const long long total = (h * 3600LL + m * 60 + s + event.micros / 1000000) % 86400;
    char text[16];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    return text;
}

struct Terminal {
    int32_t number = 0;
    std::vector<std::string> lines;
    long stepRecords = 0;  // of the step read under way
    long goods = 0;        // of the table write under way
    bool fullTable = false;
};

int64_t Field(const Event& event, const char* key, int64_t otherwise = 0) {
    return event.fields.contains(key) && event.fields[key].is_number_integer() ? event.fields[key].get<int64_t>()
                                                                               : otherwise;
}

int64_t Arg(const Event& event, const char* key) {
    const auto& args = event.fields.contains("args") ? event.fields["args"] : nlohmann::json::object();
    return args.contains(key) && args[key].is_number_integer() ? args[key].get<int64_t>() : 0;
}

}  // namespace

void Summarize(const RecordingFile& recording, std::ostream& out) {
    const auto& header = recording.header;
    const auto library = header.value("library", nlohmann::json::object());
    out << "recording of " << library.value("file", std::string("?")) << " " << library.value("version", std::string())
        << ", started " << header.value("started", std::string("?")) << ", code page " << header.value("code_page", 0)
        << ", " << recording.events.size() << " events\n";

    std::map<int, Terminal> terminals;
    std::vector<std::string> process;
    long callbacks = 0;  // records handed to the host since the last host call
    const auto& events = recording.events;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const Event& e = events[i];
        if (e.side == "callback") {
            ++callbacks;
            continue;
        }
        if (e.side == "recording") {
            process.push_back(TimeOf(recording, e) + " recording ended: " + (e.op == "limit" ? "the file is full" : "its time was up"));
            continue;
        }
        if (e.side != "host") continue;
        const long handed = callbacks;
        callbacks = 0;
        const int64_t result = Field(e, "result");
        const std::string time = TimeOf(recording, e);
        if (e.instance == 0) {
            if (e.op == "DctConfigure" || e.op == "DctRemove")
                process.push_back(time + " " + (e.op == "DctConfigure" ? "settings dialog" : "settings removed") +
                                  " for terminal " + std::to_string(Arg(e, "number")) + ": result " + std::to_string(result));
            continue;
        }
        Terminal& t = terminals[e.instance];
        std::string line;
        if (e.op == "DctInit") {
            t.number = static_cast<int32_t>(Arg(e, "number"));
            line = "opened";
        } else if (e.op == "DctEnumData") {
            line = "read: " + std::to_string(handed) + " records" + (Arg(e, "clear_after") ? ", then cleared" : "");
        } else if (e.op == "DctBeginDataReading") {
            t.stepRecords = 0;
        } else if (e.op == "DctNextRecord") {
            const auto& outValue = e.fields.contains("out") ? e.fields["out"] : nlohmann::json::object();
            if (outValue.value("more", 0) != 0) ++t.stepRecords;
        } else if (e.op == "DctEndDataReading") {
            line = "read record by record: " + std::to_string(t.stepRecords) + " records" +
                   (Arg(e, "clear_after") ? ", then cleared" : "");
        } else if (e.op == "DctBeginWareTableWriting") {
            t.goods = 0;
            t.fullTable = Arg(e, "full_table") != 0;
        } else if (e.op == "DctWriteWareTableRecord") {
            ++t.goods;
        } else if (e.op == "DctEndWareTableWriting") {
            line = std::string(t.fullTable ? "goods table replaced: " : "goods added to the table: ") + std::to_string(t.goods) +
                   " records";
        } else if (e.op == "DctClearData") {
            line = "cleared";
        } else if (e.op == "DctInteractiveService") {
            line = "service dialog";
        } else if (e.op == "DctFini") {
            line = "closed";
        }
        if (!line.empty()) t.lines.push_back(time + " " + line);
        if (result != 0 && e.op != "DctErr") {
            // The text is what the host's next DctErr handed out for the terminal.
            std::string text;
            for (std::size_t k = i + 1; k < events.size(); ++k) {
                const Event& later = events[k];
                if (later.side != "host" || later.instance != e.instance) continue;
                if (later.op == "DctErr" && later.fields.contains("out") && later.fields["out"].value("text", nlohmann::json()).is_string())
                    text = later.fields["out"]["text"].get<std::string>();  // already the text as UTF-8
                break;
            }
            t.lines.push_back(time + " FAILED: " + e.op + " " + std::to_string(result) + (text.empty() ? "" : " \"" + text + "\""));
        }
    }
    for (const auto& [instance, t] : terminals) {
        out << "terminal " << t.number << ":\n";
        for (const auto& line : t.lines) out << "  " << line << "\n";
    }
    for (const auto& line : process) out << line << "\n";
    if (recording.torn) out << "the last line (" << recording.lines << ") was cut off\n";
}

}  // namespace dcthost::replay
