// A recording of the driver library as a station made it (docs/recording.md): its header and its
// events, read with a JSON library. Values are turned back into what the library and the server
// exchanged: 8-bit texts byte for byte, UTF-16 texts unit for unit, numbers bit for bit.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace dcthost::replay {

// The newest format version this reader knows; it reads every version up to it.
inline constexpr int kNewestVersion = 1;

struct Event {
    int line = 0;  // in the file, from 1
    int64_t seq = 0;
    int64_t micros = 0;
    int instance = 0;
    std::string side;  // "host", "callback", "server", "recording"
    std::string op;
    nlohmann::json fields;  // the whole line
};

struct RecordingFile {
    nlohmann::json header;
    int version = 0;
    std::vector<Event> events;
    // The file's last line was cut off (the host ended while it was being written): the events are
    // those before it.
    bool torn = false;
    int lines = 0;
};

// A file that is no recording, or one this reader cannot use: what is wrong, with the line.
class RecordingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

RecordingFile ReadRecording(const std::string& path);

// The values of a line, as the library had them. Each raises RecordingError for a value of the
// wrong kind, naming the event's line.
std::string Bytes(const Event& event, const nlohmann::json& value);          // an 8-bit text
std::optional<std::string> BytesOrNull(const Event& event, const nlohmann::json& value);
std::u16string Utf16(const Event& event, const nlohmann::json& value);       // a server text
double Number(const Event& event, const nlohmann::json& value);              // bit for bit
int64_t Integer(const Event& event, const nlohmann::json& value);
// A member that must be there.
const nlohmann::json& Member(const Event& event, const nlohmann::json& object, const char* key);

// One line of the file as text, for showing an event (at most `width` characters).
std::string Shown(const Event& event, std::size_t width = 160);

}  // namespace dcthost::replay
