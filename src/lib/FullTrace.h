// The exception trace log: every exception raised or first handled in the library's code leaves a
// block in the trace file (TraceFiles.h):
//
//   !== <dd/mm/yy hh:nn:ss.zzz>[ OS] <class>(<message>) at <address> (<unit:line>) (LastError: <n>)
//   ? <file> ver <version> of <dd.mm.yyyy h:nn:ss> (size <bytes>)
//    <unit>:<line>          one line per stack frame, the raising code first
//   --- end of trace
//
// Nothing in the library calls it: InstallTrace runs while the DLL loads (FullTraceInit.cpp) and
// registers DoTrace with the stack-tracing support (JclDebug.h). Traces are written only when the
// DLL carries its debug data.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "lib/JclDebug.h"
#include "platform/Clock.h"
#include "platform/ModuleInfo.h"

namespace dct::trace {

// Load-time installation: lock, module line, hooks, notifier; "Trace installed for <module>".
void InstallTrace();
// Unload: hooks removed, the module line and the trace folder cleared.
void UninstallTrace();

// The notifier. Never alters the exception, never raises, keeps the thread's last-error code.
void DoTrace(const std::exception* exceptObj, uintptr_t exceptAddr, bool osException, uintptr_t hookFramePointer);

// One source location as text, leading blank included: " unit:line", " unit (address)",
// " procedure" or " ???(address)".
std::string FormatLocInfo(uintptr_t address, const jcl::TJclLocationInfo& info);

// "? <name> ver <version> of <date time> (size <n>)" for the library's file, or
// "# error getting module info (<message>)".
std::string InitModInfo();

// The file version from the file's version resource ("5.2", "5.2.3", "5.2.0.1"), or "????".
std::string GetVersionString(const std::string& fileName);
std::string FormatFileVersion(const std::optional<platform::FileVersion>& version);

// "dd/mm/yy hh:nn:ss.zzz" with the user's date and time separators.
std::string FormatTraceTimestamp(const platform::LocalTime& time, char dateSeparator, char timeSeparator);

// The return addresses that the frame lines show, following the chain of frame records from
// `lower` (the walk's own frame) below `upper` (the stack base). When the exception address is
// met as a return address the walk starts there; otherwise it starts from `hookFramePointer` with
// exceptAddr + 5, so that the first frame looks up the exception address itself.
std::vector<uintptr_t> WalkStack(uintptr_t lower, uintptr_t upper, uintptr_t exceptAddr, uintptr_t hookFramePointer);

// The module line as composed at load.
std::string ModuleInfoLine();

// Tests: the debug-data state back to "unchecked" and the module line composed anew.
void ResetTraceForTests();

}  // namespace dct::trace
