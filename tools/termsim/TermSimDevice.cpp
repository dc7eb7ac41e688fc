#include "TermSimDevice.h"

#include <atomic>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>

#include "TermSimPlatform.h"
#include "base/Csv.h"
#include "base/Utf.h"

namespace dct::termsim {
namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

// Decimal with an optional sign, or hexadecimal after 0x (taken as the 32 bits it spells).
std::optional<int64_t> ParseNumber(std::string_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    uint64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    int64_t signedValue = base == 16 ? static_cast<int32_t>(static_cast<uint32_t>(value)) : static_cast<int64_t>(value);
    return negative ? -signedValue : signedValue;
}

std::optional<std::string> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return std::nullopt;
    return bytes;
}

std::optional<std::string> ReadFile(const std::filesystem::path& path) {
    auto bytes = ReadBytes(path);
    // Editors on Windows like to start UTF-8 files with a byte-order mark.
    if (bytes && bytes->rfind("\xEF\xBB\xBF", 0) == 0) bytes->erase(0, 3);
    return bytes;
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// A section header's name as it is matched: inside the brackets, trimmed, in lower case.
std::string SectionName(std::string_view header) {
    const size_t close = header.find(']');
    return Lower(Trim(header.substr(1, close == std::string_view::npos ? header.size() - 1 : close - 1)));
}

// A value as written after '=': between double quotes (a doubled quote inside stands for one), or
// up to a ';' that follows a blank, which begins a comment as in the guide's example.
std::string FaultValue(std::string_view written) {
    const std::string_view text = Trim(written);
    if (!text.empty() && text.front() == '"') {
        std::string value;
        for (size_t i = 1; i < text.size(); ++i) {
            if (text[i] != '"') {
                value.push_back(text[i]);
            } else if (i + 1 < text.size() && text[i + 1] == '"') {
                value.push_back('"');
                ++i;
            } else {
                return value;  // what follows the closing quote is a comment
            }
        }
    }
    for (size_t i = 0; i < written.size(); ++i)
        if (written[i] == ';' && i > 0 && (written[i - 1] == ' ' || written[i - 1] == '\t'))
            return std::string(Trim(written.substr(0, i)));
    return std::string(text);
}

// KEY=VALUE as a line of faults.ini that reads back as VALUE: quoted when a comment or the quotes
// would otherwise take part of it.
std::string FaultLine(std::string_view setting) {
    const size_t eq = setting.find('=');
    if (eq == std::string_view::npos) return std::string(setting);
    const std::string_view value = setting.substr(eq + 1);
    if (FaultValue(value) == value) return std::string(setting);
    return std::string(setting.substr(0, eq + 1)) + CsvQuoted(value);
}

}  // namespace

const Fault& FaultSettings::For(std::string_view operation) const {
    static const Fault none;
    auto it = Operations.find(Lower(operation));
    return it == Operations.end() ? none : it->second;
}

FaultSettings ParseFaults(std::string_view text) {
    FaultSettings settings;
    std::string section;
    for (std::string_view raw : Lines(text)) {
        std::string_view line = Trim(raw);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            section = SectionName(line);
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string_view::npos || section.empty()) continue;
        std::string key = Lower(Trim(line.substr(0, eq)));
        const std::string value = FaultValue(line.substr(eq + 1));
        auto number = ParseNumber(value);
        if (section == "device") {
            if (key == "enabled" && number) settings.Enabled = *number != 0;
            else if (key == "fieldcount" && number) settings.FieldCount = static_cast<int>(*number);
            else if (key == "description") settings.DisabledDescription = Utf8ToUtf16(value);
            continue;
        }
        Fault& fault = settings.Operations[section];
        if (key == "status" && number) fault.Status = static_cast<int32_t>(*number);
        else if (key == "description") fault.Description = Utf8ToUtf16(value);
        else if (key == "hresult" && number) fault.HResult = static_cast<int32_t>(*number);
        else if (key == "errorinfo") fault.ErrorInfo = Utf8ToUtf16(value);
        else if (key == "delayms" && number && *number > 0) fault.DelayMs = static_cast<unsigned>(*number);
        else if (key == "exit" && number) fault.Exit = static_cast<int>(*number);
    }
    return settings;
}

std::string WithFaultSection(std::string_view ini, std::string_view operation,
                             const std::vector<std::string>& settings) {
    const std::string eol = ini.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
    const std::string name = Lower(Trim(operation));
    std::string out;
    bool replaced = false;
    for (size_t pos = 0; pos < ini.size();) {
        const size_t end = ini.find('\n', pos);
        const std::string_view raw =
            ini.substr(pos, end == std::string_view::npos ? std::string_view::npos : end + 1 - pos);
        pos = end == std::string_view::npos ? ini.size() : end + 1;
        const std::string_view line = Trim(raw.substr(0, raw.find('\n')));
        if (!line.empty() && line.front() == '[') replaced = SectionName(line) == name;
        if (replaced) continue;
        out += raw;
        if (raw.back() != '\n') out += eol;
    }
    out += "[" + std::string(operation) + "]" + eol;
    for (const std::string& setting : settings) out += FaultLine(setting) + eol;
    return out;
}

std::string LogString(std::u16string_view text) {
    std::string out = "\"";
    for (char c : Utf16ToUtf8(text)) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            // One call, one line: line breaks inside a value are written as escapes.
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            default: out.push_back(c);
        }
    }
    out.push_back('"');
    return out;
}

std::string LogStatus(int32_t hresult) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "!0x%08X", static_cast<unsigned>(hresult));
    return buffer;
}

DeviceFiles::DeviceFiles(std::filesystem::path folder) : folder_(std::move(folder)) {
    std::error_code ignored;
    std::filesystem::create_directories(folder_, ignored);
}

FaultSettings DeviceFiles::ReadFaults() const {
    auto text = ReadFile(folder_ / "faults.ini");
    return text ? ParseFaults(*text) : FaultSettings{};
}

std::optional<std::vector<Record>> DeviceFiles::ReadRecords() const {
    std::error_code ec;
    auto path = folder_ / "records.csv";
    if (!std::filesystem::exists(path, ec)) return std::vector<Record>{};
    auto text = ReadFile(path);
    if (!text) return std::nullopt;
    return SplitCsvRecords(*text);
}

bool DeviceFiles::ClearRecords() const {
    std::ofstream out(folder_ / "records.csv", std::ios::binary | std::ios::trunc);
    return static_cast<bool>(out);
}

bool DeviceFiles::WriteTable(const std::vector<Record>& records, bool append) const {
    std::string text;
    if (append) {
        std::error_code ec;
        const auto path = folder_ / "table.csv";
        if (std::filesystem::exists(path, ec)) {
            auto old = ReadBytes(path);
            if (!old) return false;
            text = std::move(*old);
            // A last line without its line break would take the first new record into it.
            if (!text.empty() && text.back() != '\n') text += '\n';
        }
    }
    for (const Record& r : records) text += JoinCsvLine(r) + "\n";
    return Replace("table.csv", text);
}

bool DeviceFiles::AppendTask(std::u16string_view path) const { return Append("tasks.log", Utf16ToUtf8(path) + "\n"); }

bool DeviceFiles::AppendCall(std::string_view line) const { return Append("calls.log", std::string(line) + "\n"); }

Connection DeviceFiles::ReadConnection() const {
    Connection connection;
    auto text = ReadFile(folder_ / "connection.ini");
    if (!text) return connection;
    for (std::string_view raw : Lines(*text)) {
        std::string_view line = Trim(raw);
        size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        std::string key = Lower(Trim(line.substr(0, eq)));
        auto number = ParseNumber(line.substr(eq + 1));
        if (!number) continue;
        if (key == "port") connection.Port = static_cast<int32_t>(*number);
        else if (key == "rate") connection.Rate = static_cast<int32_t>(*number);
    }
    return connection;
}

bool DeviceFiles::WriteConnection(const Connection& connection) const {
    std::string text;
    if (connection.Port) text += "Port=" + std::to_string(*connection.Port) + "\n";
    if (connection.Rate) text += "Rate=" + std::to_string(*connection.Rate) + "\n";
    return Replace("connection.ini", text);
}

// Written whole beside the file and then put in its place: a write that fails (a full disk, the
// server killed) leaves the file as it was, never cut.
bool DeviceFiles::Replace(const char* name, std::string_view text) const {
    static std::atomic<unsigned> written{0};
    const auto target = folder_ / name;
    auto temporary = target;
    temporary += "." + std::to_string(platform::ProcessId()) + "-" + std::to_string(++written) + ".tmp";
    std::error_code ignored;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) {
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    if (platform::MoveReplacing(temporary, target)) return true;
    std::filesystem::remove(temporary, ignored);
    return false;
}

bool DeviceFiles::Append(const char* name, std::string_view text) const {
    std::ofstream out(folder_ / name, std::ios::binary | std::ios::app);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return static_cast<bool>(out.flush());
}

}  // namespace dct::termsim
