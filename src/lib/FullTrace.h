// The exception trace log: every exception raised or first handled in the library's code leaves a
// block in the trace file (TraceFiles.h):
//
//   !== <dd/mm/yy hh:nn:ss.zzz>[ OS] <class>(<message>) at <address> (<unit:line>) (LastError: <n>)
//   ? <file> ver <version> of <dd.mm.yyyy h:nn:ss> (size <bytes>)
//    <unit>:<line>          one line per stack frame, the raising code first
//   --- end of trace
//
// Nothing in the library calls it: the process-wide TraceLog is made and installed while the DLL
// loads (boundary/FullTraceInit.cpp) and registers itself with the stack-tracing support (JclDebug.h).
// Traces are written only when the DLL carries its debug data.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "base/LocalTime.h"
#include "lib/JclDebug.h"
#include "lib/TraceFiles.h"
#include "platform/CriticalSection.h"
#include "platform/Env.h"
#include "platform/ModuleInfo.h"

namespace dct::trace {

class TraceLog {
public:
    // Composes the module line; nothing is hooked yet. The environment gives the module's name and
    // debug data, the time, the user's separators, the trace folder's settings and the files.
    explicit TraceLog(platform::Env& env);
    TraceLog(const TraceLog&) = delete;
    TraceLog& operator=(const TraceLog&) = delete;

    // Load-time installation of the process-wide trace: hooks, this object as the notifier;
    // "Trace installed for <module>".
    void Install();
    // Unload: hooks removed, the module line and the trace folder cleared.
    void Uninstall();

    // The notifier. Never alters the exception, never raises, keeps the thread's last-error code.
    void DoTrace(const std::exception* exceptObj, uintptr_t exceptAddr, bool osException,
                 uintptr_t hookFramePointer);

    // "? <name> ver <version> of <date time> (size <n>)" for the library's file, or
    // "# error getting module info (<message>)".
    std::string InitModInfo();
    // The module line as composed when the log was made (at load).
    const std::string& ModuleInfoLine() const { return modInfo_; }

    TraceFiles& Files() { return files_; }

private:
    enum class DebugData { Unchecked, Absent, Present };

    // The first notification settles whether the module carries debug data, and reads its table.
    bool DebugDataPresent();
    jcl::TJclLocationInfo Locate(uintptr_t address);
    std::string FrameLine(uintptr_t returnAddress);
    std::vector<std::string> ComposeBlock(const std::exception* e, uintptr_t exceptAddr, bool osException,
                                          uintptr_t hookFramePointer, uint32_t lastError, uintptr_t walkStart);

    platform::Env& env_;
    TraceFiles files_;
    platform::CriticalSection lock_;       // composing and writing a block, settling the folder
    platform::CriticalSection tableLock_;  // settling the debug data
    std::atomic<DebugData> debugData_{DebugData::Unchecked};
    std::optional<jcl::DebugTable> table_;
    uintptr_t tableBase_ = 0;
    std::string modInfo_;
};

// One source location as text, leading blank included: " unit:line", " unit (address)",
// " procedure" or " ???(address)".
std::string FormatLocInfo(uintptr_t address, const jcl::TJclLocationInfo& info);

// The file version from the file's version resource ("5.2", "5.2.3", "5.2.0.1"), or "????".
std::string GetVersionString(const std::string& fileName);
std::string FormatFileVersion(const std::optional<platform::FileVersion>& version);

// "dd/mm/yy hh:nn:ss.zzz" with the user's date and time separators.
std::string FormatTraceTimestamp(const LocalTime& time, char dateSeparator, char timeSeparator);

// The return addresses that the frame lines show, following the chain of frame records from
// `lower` (the walk's own frame) below `upper` (the stack base). When the exception address is
// met as a return address the walk starts there; otherwise it starts from `hookFramePointer` with
// exceptAddr + 5, so that the first frame looks up the exception address itself.
std::vector<uintptr_t> WalkStack(uintptr_t lower, uintptr_t upper, uintptr_t exceptAddr, uintptr_t hookFramePointer);

}  // namespace dct::trace
