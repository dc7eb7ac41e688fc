#include "replay/RecordingFile.h"

#include <cstring>
#include <fstream>
#include <sstream>

#include "base/Utf.h"
#include "base/cp1251.h"

namespace dcthost::replay {
namespace {

[[noreturn]] void Fail(int line, const std::string& what) {
    throw RecordingError("line " + std::to_string(line) + ": " + what);
}

}  // namespace

RecordingFile ReadRecording(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw RecordingError("cannot open " + path);
    std::stringstream whole;
    whole << in.rdbuf();
    const std::string text = whole.str();

    RecordingFile file;
    std::size_t at = 0;
    int line = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        const bool last = end == std::string::npos || end + 1 >= text.size();
        const std::string content = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        ++line;
        nlohmann::json value = nlohmann::json::parse(content, nullptr, false);
        if (value.is_discarded() || !value.is_object()) {
            if (line == 1) Fail(1, "not a recording of the driver library (the first line is no JSON object)");
            // A line without its line break, cut off while the host ended: what came before is whole.
            if (last && end == std::string::npos) {
                file.torn = true;
                break;
            }
            Fail(line, "not JSON");
        }
        if (line == 1) {
            if (value.value("format", std::string()) != "dctdrv-recording")
                Fail(1, "not a recording of the driver library");
            if (!value.contains("version") || !value["version"].is_number_integer())
                Fail(1, "the header names no format version");
            file.version = value["version"].get<int>();
            if (file.version < 1 || file.version > kNewestVersion)
                Fail(1, "format version " + std::to_string(file.version) + " is newer than this dcthost reads (" +
                            std::to_string(kNewestVersion) + "); use a newer dcthost");
            file.header = std::move(value);
            continue;
        }
        Event event;
        event.line = line;
        try {
            event.seq = value.at("seq").get<int64_t>();
            event.micros = value.value("t", int64_t{0});
            event.instance = value.value("inst", 0);
            event.side = value.at("side").get<std::string>();
            event.op = value.at("op").get<std::string>();
        } catch (const nlohmann::json::exception&) {
            Fail(line, "an event needs seq, side and op");
        }
        event.fields = std::move(value);
        file.events.push_back(std::move(event));
    }
    if (line == 0) throw RecordingError(path + " is empty: not a recording");
    file.lines = line;
    return file;
}

const nlohmann::json& Member(const Event& event, const nlohmann::json& object, const char* key) {
    if (!object.is_object() || !object.contains(key)) Fail(event.line, std::string("\"") + key + "\" is missing");
    return object.at(key);
}

std::string Bytes(const Event& event, const nlohmann::json& value) {
    if (!value.is_string()) Fail(event.line, "a text was expected");
    auto bytes = dct::Utf8ToBytes(value.get_ref<const std::string&>());
    if (!bytes) Fail(event.line, "a text holds a character that stands for no byte");
    return *bytes;
}

std::optional<std::string> BytesOrNull(const Event& event, const nlohmann::json& value) {
    if (value.is_null()) return std::nullopt;
    return Bytes(event, value);
}

std::u16string Utf16(const Event& event, const nlohmann::json& value) {
    if (value.is_string()) {
        auto text = dct::Utf8ToUtf16Strict(value.get_ref<const std::string&>());
        if (!text) Fail(event.line, "a text is not UTF-8");
        return *text;
    }
    if (value.is_object() && value.contains("utf16") && value["utf16"].is_array()) {
        std::u16string units;
        for (const auto& unit : value["utf16"]) {
            if (!unit.is_number_unsigned() || unit.get<uint64_t>() > 0xFFFF) Fail(event.line, "a code unit is out of range");
            units.push_back(static_cast<char16_t>(unit.get<uint64_t>()));
        }
        return units;
    }
    Fail(event.line, "a server text was expected");
}

double Number(const Event& event, const nlohmann::json& value) {
    if (value.is_number()) return value.get<double>();
    if (value.is_object() && value.contains("bits") && value["bits"].is_string()) {
        const std::string& hex = value["bits"].get_ref<const std::string&>();
        uint64_t bits = 0;
        if (hex.size() != 16) Fail(event.line, "a number's bits are not 16 hexadecimal digits");
        for (char c : hex) {
            const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (digit < 0) Fail(event.line, "a number's bits are not hexadecimal");
            bits = bits << 4 | static_cast<uint64_t>(digit);
        }
        double number;
        std::memcpy(&number, &bits, sizeof number);
        return number;
    }
    Fail(event.line, "a number was expected");
}

int64_t Integer(const Event& event, const nlohmann::json& value) {
    if (!value.is_number_integer()) Fail(event.line, "an integer was expected");
    return value.get<int64_t>();
}

std::string Shown(const Event& event, std::size_t width) {
    std::string text = event.fields.dump();
    if (text.size() > width) text = text.substr(0, width - 3) + "...";
    return text;
}

}  // namespace dcthost::replay
