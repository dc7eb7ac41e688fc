// Where trace blocks go: the trace folder, the trace file name, the fallback file, the append.
//
// Used only by the trace log (FullTrace.h), always under its trace lock, which also covers the
// one-time settling of the trace folder.
#pragma once

#include <string>
#include <vector>

#include "platform/Env.h"

namespace dct::trace {

class TraceFiles {
public:
    explicit TraceFiles(platform::Env& env) : env_(env) {}
    TraceFiles(const TraceFiles&) = delete;
    TraceFiles& operator=(const TraceFiles&) = delete;

    // Full path of the library's file: its module file name (at most 1023 characters), made absolute.
    std::string ModuleName();

    // The primary trace file: the trace folder followed by the library's file name with the
    // extension ".trc". The first call settles the trace folder for as long as this object lives:
    // registry "TraceDir" (HKCU, then HKLM), else the environment variable "TARN_LOGS_FOLDER", else
    // the library's folder + "logs"; created with its parents; ends with "\"; a network folder is
    // lower-cased and gets the computer's name and "-" unless it already has a "\logs\<name>\" part.
    // Every call writes the name to the debugger output.
    std::string TraceFilename();

    // The fallback file for a block that the primary file did not take: the common documents folder
    // + "Логи Тарн\" + the trace file's name, the folder created with its parents. Empty when the
    // system names no common documents folder: the block then has nowhere to go (never the current
    // directory).
    std::string SafeTraceFilename();

    // Appends the lines, each ended by CR LF, to the file in one write: created when absent, opened
    // denying write access to others. False on any failure.
    bool SaveLines(const std::string& fileName, const std::vector<std::string>& lines);

    // The trace folder as TraceFilename settles it, without writing to the debugger output: what
    // goes in front of a file's name there (a folder with its "\", and on a network folder the
    // computer's prefix).
    std::string Folder() {
        if (folder_.empty()) folder_ = SettleFolder();
        return folder_;
    }

    // The settled trace folder, empty before the first TraceFilename.
    const std::string& TraceFolder() const { return folder_; }
    // Forgets the trace folder (the library's unload).
    void ClearTraceFolder() { folder_.clear(); }

private:
    std::string SettleFolder();
    std::string TraceFileNameOnly();

    platform::Env& env_;
    std::string folder_;
};

// Path helpers of the runtime: everything up to and including the last separator ("\", "/" or ":")
// and everything after it.
std::string ExtractFilePath(const std::string& path);
std::string ExtractFileName(const std::string& path);

}  // namespace dct::trace
