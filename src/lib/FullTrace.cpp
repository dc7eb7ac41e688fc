#include "lib/FullTrace.h"

#include <cxxabi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <typeinfo>

#include "lib/Exceptions.h"
#include "lib/TraceFiles.h"
#include "platform/CriticalSection.h"
#include "platform/DebugOutput.h"
#include "platform/FileAppend.h"
#include "platform/LocaleFormat.h"
#include "platform/LastError.h"

namespace dct::trace {
namespace {

enum class DebugData { Unchecked, Absent, Present };

std::atomic<DebugData> g_debugData{DebugData::Unchecked};

// Created at load and never destroyed: a notification may still arrive while other static
// objects of the module are being torn down.
platform::CriticalSection& TraceLock() {
    static platform::CriticalSection* lock = new platform::CriticalSection;
    return *lock;
}

// Never destroyed (only emptied at unload): the installer's destructor runs after every other
// static object of the module has gone, and a notification may come up to that moment.
std::string& ModInfo() {
    static std::string* line = new std::string;
    return *line;
}

std::string Hex8(uintptr_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
    return text;
}

std::string Two(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%.2d", value);
    return text;
}

std::string Trim(const std::string& text) {
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string ClassNameOf(const std::exception& e) {
    if (auto* ours = dynamic_cast<const Exception*>(&e)) return ours->ClassName();
    const char* mangled = typeid(e).name();
    int status = 0;
    char* plain = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = status == 0 && plain ? plain : mangled;
    std::free(plain);
    return name;
}

std::string MessageOf(const std::exception& e) {
    if (auto* ours = dynamic_cast<const Exception*>(&e)) return ours->Message();
    return e.what();
}

// Step 4 of a notification: exceptions that are not failures.
bool IsIgnored(const std::exception* e) {
    if (!e) return false;
    if (dynamic_cast<const EAbort*>(e)) return true;
    auto* external = dynamic_cast<const EExternal*>(e);
    return external && external->ExceptionCode() == 0x80000003u;  // breakpoint
}

std::string FrameLine(uintptr_t returnAddress) {
    // The return address points past the call; the call itself (five bytes long) is what ran.
    return FormatLocInfo(returnAddress, jcl::GetLocationInfo(returnAddress - 5));
}

std::vector<std::string> ComposeBlock(const std::exception* e, uintptr_t exceptAddr, bool osException,
                                      uintptr_t hookFramePointer, uint32_t lastError, uintptr_t walkStart) {
    std::vector<std::string> lines;
    const std::string location = "(" + Trim(FormatLocInfo(exceptAddr, jcl::GetLocationInfo(exceptAddr))) + ")";
    const platform::FormatSettings& format = platform::CurrentFormatSettings();
    const std::string stamp =
        FormatTraceTimestamp(platform::LocalNow(), format.DateSeparator, format.TimeSeparator);
    const std::string tail = " at " + Hex8(exceptAddr) + " " + location +
                             " (LastError: " + std::to_string(static_cast<int32_t>(lastError)) + ")";
    if (e)
        lines.push_back("!== " + stamp + (osException ? " OS" : "") + " " + ClassNameOf(*e) + "(" + MessageOf(*e) +
                        ")" + tail);
    else
        lines.push_back("!== " + stamp + " OS exception" + tail);
    lines.push_back(ModInfo());
    for (uintptr_t r : WalkStack(walkStart, platform::CurrentThreadStackBase(), exceptAddr, hookFramePointer))
        lines.push_back(FrameLine(r));
    lines.push_back("--- end of trace");
    return lines;
}

}  // namespace

std::string FormatLocInfo(uintptr_t address, const jcl::TJclLocationInfo& info) {
    if (!info.UnitName.empty() && info.LineNumber > 0) return " " + info.UnitName + ":" + std::to_string(info.LineNumber);
    if (!info.UnitName.empty()) return " " + info.UnitName + " (" + Hex8(address) + ")";
    if (!info.ProcedureName.empty()) return " " + info.ProcedureName;
    return " ??\?(" + Hex8(address) + ")";
}

std::string FormatFileVersion(const std::optional<platform::FileVersion>& version) {
    if (!version) return "????";
    const uint32_t major = version->MostSignificant >> 16, minor = version->MostSignificant & 0xFFFF;
    const uint32_t release = version->LeastSignificant >> 16, build = version->LeastSignificant & 0xFFFF;
    std::string text = std::to_string(major) + "." + std::to_string(minor);
    if (release != 0 || build != 0) text += "." + std::to_string(release);
    if (build != 0) text += "." + std::to_string(build);
    return text;
}

std::string GetVersionString(const std::string& fileName) { return FormatFileVersion(platform::ReadFileVersion(fileName)); }

std::string FormatTraceTimestamp(const platform::LocalTime& t, char dateSeparator, char timeSeparator) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2d%c%.2d%c%.2d %.2d%c%.2d%c%.2d.%.3d", t.Day, dateSeparator, t.Month,
                  dateSeparator, t.Year % 100, t.Hour, timeSeparator, t.Minute, timeSeparator, t.Second,
                  t.Millisecond);
    return text;
}

std::string InitModInfo() {
    const std::string module = ModuleName();
    platform::FileStampResult stamp = platform::ReadFileStamp(module);
    if (!stamp.Ok) return "# error getting module info (" + platform::SystemErrorMessage(stamp.SystemError) + ")";
    const platform::LocalTime& t = stamp.Stamp.LastWrite;
    return "? " + ExtractFileName(module) + " ver " + GetVersionString(module) + " of " + Two(t.Day) + "." +
           Two(t.Month) + "." + std::to_string(t.Year) + " " + std::to_string(t.Hour) + ":" + Two(t.Minute) + ":" +
           Two(t.Second) + " (size " + std::to_string(static_cast<int32_t>(static_cast<uint32_t>(stamp.Stamp.Size))) +
           ")";
}

std::vector<uintptr_t> WalkStack(uintptr_t lower, uintptr_t upper, uintptr_t exceptAddr, uintptr_t hookFramePointer) {
    constexpr uintptr_t kWord = sizeof(uintptr_t);
    uintptr_t cursor = lower;
    // One step: the return address of the cursor's frame record (0: nothing), the cursor moved to
    // the caller's frame. The whole record must lie inside the stack, and a caller's frame that is
    // not above the current one ends the chain: frames only ever grow towards the stack base, so
    // anything else is a loop or garbage.
    auto step = [&]() -> uintptr_t {
        if (cursor < lower || cursor >= upper || upper - cursor < 2 * kWord) return 0;
        const uintptr_t* record = reinterpret_cast<const uintptr_t*>(cursor);
        const uintptr_t next = record[0];
        const uintptr_t ret = record[1];
        cursor = next > cursor ? next : 0;
        return ret;
    };
    uintptr_t first = 0;
    for (uintptr_t r = step(); r != 0; r = step())
        if (r == exceptAddr) {
            first = r;
            break;
        }
    if (first == 0) {
        cursor = hookFramePointer;
        first = exceptAddr + 5;
    }
    std::vector<uintptr_t> frames;
    for (uintptr_t r = first; r != 0; r = step()) frames.push_back(r);
    return frames;
}

void DoTrace(const std::exception* exceptObj, uintptr_t exceptAddr, bool osException, uintptr_t hookFramePointer) {
    const uint32_t lastError = static_cast<uint32_t>(platform::GetLastSystemError());
    try {
        if (g_debugData.load() == DebugData::Unchecked) {
            const bool present = jcl::IsDebugInfoAvailable(platform::OwnModuleImage().Base);
            g_debugData.store(present ? DebugData::Present : DebugData::Absent);
            platform::DebugOutput((present ? "Trace data loaded for " : "Trace data not found for ") + ModuleName());
        }
        if (g_debugData.load() == DebugData::Present && !IsIgnored(exceptObj)) {
            platform::CriticalSectionGuard guard(TraceLock());
            const uintptr_t walkStart = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
            std::vector<std::string> block =
                ComposeBlock(exceptObj, exceptAddr, osException, hookFramePointer, lastError, walkStart);
            if (!SaveLines(TraceFilename(), block)) SaveLines(SafeTraceFilename(), block);
        }
    } catch (...) {
        // Out of memory or worse: the block is lost, the exception goes on untouched.
    }
    platform::SetLastSystemError(lastError);
}

void InstallTrace() {
    TraceLock();
    // The user's separators are those of the moment the library is loaded.
    platform::CurrentFormatSettings();
    ModInfo() = InitModInfo();
    jcl::JclStartExceptionTracking();
    jcl::JclAddExceptNotifier(&DoTrace);
    g_debugData.store(DebugData::Unchecked);
    platform::DebugOutput("Trace installed for " + ModuleName());
}

void UninstallTrace() {
    jcl::JclStopExceptionTracking();
    ModInfo().clear();
    ClearTraceFolder();
}

std::string ModuleInfoLine() { return ModInfo(); }

void ResetTraceForTests() {
    g_debugData.store(DebugData::Unchecked);
    ModInfo() = InitModInfo();
    ClearTraceFolder();
}

}  // namespace dct::trace
