#include "lib/FullTrace.h"

#include <cxxabi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <typeinfo>

#include "base/Exceptions.h"
#include "platform/Files.h"
#include "platform/LastError.h"

namespace dct::trace {
namespace {

// The installed log, which the support's notifier list reaches through Notify. Never destroyed: a
// notification may still arrive while other static objects of the module are being torn down.
std::atomic<TraceLog*> g_installed{nullptr};

void Notify(const std::exception* exceptObj, uintptr_t exceptAddr, bool osException, uintptr_t hookFramePointer) {
    if (TraceLog* log = g_installed.load()) log->DoTrace(exceptObj, exceptAddr, osException, hookFramePointer);
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

// Exceptions that are not failures leave no block: an abort (EAbort) and a breakpoint.
bool IsIgnored(const std::exception* e) {
    if (!e) return false;
    if (dynamic_cast<const EAbort*>(e)) return true;
    auto* external = dynamic_cast<const EExternal*>(e);
    return external && external->ExceptionCode() == 0x80000003u;  // breakpoint
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

std::string FormatTraceTimestamp(const LocalTime& t, char dateSeparator, char timeSeparator) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2d%c%.2d%c%.2d %.2d%c%.2d%c%.2d.%.3d", t.Day, dateSeparator, t.Month,
                  dateSeparator, t.Year % 100, t.Hour, timeSeparator, t.Minute, timeSeparator, t.Second,
                  t.Millisecond);
    return text;
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

TraceLog::TraceLog(platform::Env& env) : env_(env), files_(env) { modInfo_ = InitModInfo(); }

std::string TraceLog::InitModInfo() {
    const std::string module = files_.ModuleName();
    platform::FileStampResult stamp = platform::ReadFileStamp(module);
    if (!stamp.Ok) return "# error getting module info (" + platform::SystemErrorMessage(stamp.SystemError) + ")";
    const LocalTime& t = stamp.Stamp.LastWrite;
    return "? " + ExtractFileName(module) + " ver " + GetVersionString(module) + " of " + Two(t.Day) + "." +
           Two(t.Month) + "." + std::to_string(t.Year) + " " + std::to_string(t.Hour) + ":" + Two(t.Minute) + ":" +
           Two(t.Second) + " (size " + std::to_string(static_cast<int32_t>(static_cast<uint32_t>(stamp.Stamp.Size))) +
           ")";
}

bool TraceLog::DebugDataPresent() {
    if (debugData_.load() == DebugData::Unchecked) {
        bool settledNow = false;
        {
            platform::CriticalSectionGuard guard(tableLock_);
            if (debugData_.load() == DebugData::Unchecked) {
                if (std::optional<platform::ImageSection> section = env_.OwnImageSection(jcl::kDebugSectionName)) {
                    table_ = jcl::DebugTable::Parse(section->Data, section->Size);
                    tableBase_ = section->Base;
                }
                debugData_.store(table_ ? DebugData::Present : DebugData::Absent);
                settledNow = true;
            }
        }
        if (settledNow)
            env_.DebugOutput((debugData_.load() == DebugData::Present ? "Trace data loaded for "
                                                                      : "Trace data not found for ") +
                             files_.ModuleName());
    }
    return debugData_.load() == DebugData::Present;
}

jcl::TJclLocationInfo TraceLog::Locate(uintptr_t address) {
    try {
        // Addresses are kept relative to the image base: the DLL may load anywhere.
        if (!table_ || address < tableBase_ || address - tableBase_ > 0xFFFFFFFFu) return {};
        return table_->Lookup(static_cast<uint32_t>(address - tableBase_));
    } catch (...) {
        return {};
    }
}

std::string TraceLog::FrameLine(uintptr_t returnAddress) {
    // The return address points past the call; the call itself (five bytes long) is what ran.
    return FormatLocInfo(returnAddress, Locate(returnAddress - 5));
}

std::vector<std::string> TraceLog::ComposeBlock(const std::exception* e, uintptr_t exceptAddr, bool osException,
                                                uintptr_t hookFramePointer, uint32_t lastError,
                                                uintptr_t walkStart) {
    std::vector<std::string> lines;
    const std::string location = "(" + Trim(FormatLocInfo(exceptAddr, Locate(exceptAddr))) + ")";
    const FormatSettings& format = env_.UserFormats();
    const std::string stamp = FormatTraceTimestamp(env_.LocalNow(), format.DateSeparator, format.TimeSeparator);
    const std::string tail = " at " + Hex8(exceptAddr) + " " + location +
                             " (LastError: " + std::to_string(static_cast<int32_t>(lastError)) + ")";
    if (e)
        lines.push_back("!== " + stamp + (osException ? " OS" : "") + " " + ClassNameOf(*e) + "(" + MessageOf(*e) +
                        ")" + tail);
    else
        lines.push_back("!== " + stamp + " OS exception" + tail);
    lines.push_back(modInfo_);
    for (uintptr_t r : WalkStack(walkStart, platform::CurrentThreadStackBase(), exceptAddr, hookFramePointer))
        lines.push_back(FrameLine(r));
    lines.push_back("--- end of trace");
    return lines;
}

void TraceLog::DoTrace(const std::exception* exceptObj, uintptr_t exceptAddr, bool osException,
                       uintptr_t hookFramePointer) {
    const uint32_t lastError = static_cast<uint32_t>(platform::GetLastSystemError());
    try {
        if (DebugDataPresent() && !IsIgnored(exceptObj)) {
            platform::CriticalSectionGuard guard(lock_);
            const uintptr_t walkStart = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
            std::vector<std::string> block =
                ComposeBlock(exceptObj, exceptAddr, osException, hookFramePointer, lastError, walkStart);
            if (!files_.SaveLines(files_.TraceFilename(), block)) files_.SaveLines(files_.SafeTraceFilename(), block);
        }
    } catch (...) {
        // Out of memory or worse: the block is lost, the exception goes on untouched.
    }
    platform::SetLastSystemError(lastError);
}

void TraceLog::Install() {
    // The user's separators are those of the moment the library is loaded.
    env_.UserFormats();
    g_installed.store(this);
    jcl::JclStartExceptionTracking();
    jcl::JclAddExceptNotifier(&Notify);
    env_.DebugOutput("Trace installed for " + files_.ModuleName());
}

void TraceLog::Uninstall() {
    jcl::JclStopExceptionTracking();
    modInfo_.clear();
    files_.ClearTraceFolder();
}

}  // namespace dct::trace
