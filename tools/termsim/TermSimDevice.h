// The simulated device: its folder of plain files, the fault-injection settings and the call log.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "TermSimCsv.h"

namespace dct::termsim {

// What faults.ini asks of one operation (a section named after it).
struct Fault {
    std::optional<int32_t> Status;            // Status=: the status the operation returns instead
    std::optional<std::u16string> Description;  // Description=: Get_ResultDescription after it
    int32_t HResult = 0;                      // HResult=0x...: negative fails the call at COM level
    std::optional<std::u16string> ErrorInfo;  // ErrorInfo=: error object set before failing
    unsigned DelayMs = 0;                     // DelayMs=: wait before answering
    int Exit = 0;                             // Exit=N: a local server's process ends with N mid-call
};

struct FaultSettings {
    bool Enabled = true;                   // [Device] Enabled=0 makes the device unusable
    std::optional<int> FieldCount;         // [Device] FieldCount=N overrides the reported count
    std::optional<std::u16string> DisabledDescription;  // [Device] Description=
    std::map<std::string, Fault> Operations;  // keyed by the lower-cased operation name

    const Fault& For(std::string_view operation) const;
};

// Parses the text of faults.ini (UTF-8; ';' and '#' begin comment lines, and a ';' after a blank
// ends a value; a value may be put between double quotes; names ignore case).
FaultSettings ParseFaults(std::string_view text);

// faults.ini's text with the section of `operation` (named in any case) replaced by one holding
// `settings` (KEY=VALUE each, quoted where the file's syntax would change a value), at the end; the
// other sections are kept as they are, and so are the file's line ends (CR LF or LF).
std::string WithFaultSection(std::string_view ini, std::string_view operation,
                             const std::vector<std::string>& settings);

// Formats call-log values: signed or unsigned decimal, strings quoted with \ and " escaped.
std::string LogString(std::u16string_view text);
std::string LogStatus(int32_t hresult);  // "!0x80004005"

// The serial port and rate the terminal server was last given; a server started anew keeps to them.
struct Connection {
    std::optional<int32_t> Port;
    std::optional<int32_t> Rate;
};

class DeviceFiles {
public:
    explicit DeviceFiles(std::filesystem::path folder);
    const std::filesystem::path& Path() const { return folder_; }

    FaultSettings ReadFaults() const;
    // The collected records; nothing when the file cannot be read (a missing file is an empty device).
    std::optional<std::vector<Record>> ReadRecords() const;
    bool ClearRecords() const;
    bool WriteTable(const std::vector<Record>& records, bool append) const;
    bool AppendTask(std::u16string_view path) const;
    bool AppendCall(std::string_view line) const;
    // connection.ini: Port= and Rate= lines.
    Connection ReadConnection() const;
    bool WriteConnection(const Connection& connection) const;
    // Any file of the folder, written whole: a reader never finds it cut.
    bool Replace(const char* name, std::string_view text) const;

private:
    bool Append(const char* name, std::string_view text) const;

    std::filesystem::path folder_;
};

}  // namespace dct::termsim
