#include "lib/JclDebug.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "base/Exceptions.h"
#include "platform/ModuleInfo.h"

namespace dct::jcl {
namespace {

constexpr char kMagic[8] = {'D', 'C', 'T', 'L', 'I', 'N', 'E', '1'};
constexpr std::size_t kHeaderSize = 20;
constexpr std::size_t kRowSize = 12;
constexpr std::size_t kProcSize = 8;

uint32_t ReadU32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// The last entry whose address is not above `rva`, or -1.
template <std::size_t EntrySize>
int64_t FindEntry(const unsigned char* entries, uint32_t count, uint32_t rva) {
    int64_t low = 0, high = static_cast<int64_t>(count) - 1, found = -1;
    while (low <= high) {
        int64_t mid = (low + high) / 2;
        if (ReadU32(entries + mid * EntrySize) <= rva)
            found = mid, low = mid + 1;
        else
            high = mid - 1;
    }
    return found;
}

constexpr int kMaxNotifiers = 8;
std::atomic<TJclExceptNotifyProc> g_notifiers[kMaxNotifiers];

thread_local bool t_insideNotifier = false;

}  // namespace

std::optional<DebugTable> DebugTable::Parse(const unsigned char* data, std::size_t size) {
    if (!data || size < kHeaderSize || std::memcmp(data, kMagic, sizeof kMagic) != 0) return std::nullopt;
    DebugTable t;
    t.rowCount_ = ReadU32(data + 8);
    t.procCount_ = ReadU32(data + 12);
    t.stringsSize_ = ReadU32(data + 16);
    const uint64_t need = kHeaderSize + uint64_t{t.rowCount_} * kRowSize + uint64_t{t.procCount_} * kProcSize +
                          t.stringsSize_;
    // A section is padded to its alignment, so it may be longer than the table, never shorter.
    if (need > size || t.stringsSize_ == 0 || data[need - 1] != 0) return std::nullopt;
    t.rows_ = data + kHeaderSize;
    t.procs_ = t.rows_ + std::size_t{t.rowCount_} * kRowSize;
    t.strings_ = reinterpret_cast<const char*>(t.procs_ + std::size_t{t.procCount_} * kProcSize);
    return t;
}

std::string DebugTable::Text(uint32_t offset) const {
    if (offset == kNoText || offset >= stringsSize_) return {};
    // Parse checked that the last byte is zero, so strlen stops inside the table.
    return std::string(strings_ + offset);
}

TJclLocationInfo DebugTable::Lookup(uint32_t rva) const {
    TJclLocationInfo info;
    int64_t row = FindEntry<kRowSize>(rows_, rowCount_, rva);
    if (row >= 0) {
        const unsigned char* r = rows_ + row * kRowSize;
        info.UnitName = Text(ReadU32(r + 4));
        if (!info.UnitName.empty()) info.LineNumber = static_cast<int32_t>(ReadU32(r + 8));
    }
    int64_t proc = FindEntry<kProcSize>(procs_, procCount_, rva);
    if (proc >= 0) info.ProcedureName = Text(ReadU32(procs_ + proc * kProcSize + 4));
    return info;
}

void JclStartExceptionTracking() {
    platform::InstallOsExceptionHook(platform::OwnModuleImage(), &NotifyOsException);
}

void JclStopExceptionTracking() {
    platform::RemoveOsExceptionHook();
    for (auto& slot : g_notifiers) slot.store(nullptr);
}

bool JclAddExceptNotifier(TJclExceptNotifyProc notifier) {
    for (auto& slot : g_notifiers) {
        TJclExceptNotifyProc expected = nullptr;
        if (slot.compare_exchange_strong(expected, notifier)) return true;
    }
    return false;
}

void NotifyException(const std::exception* exceptObj, uintptr_t exceptAddr, bool osException,
                     uintptr_t hookFramePointer) noexcept {
    if (t_insideNotifier) return;
    t_insideNotifier = true;
    for (auto& slot : g_notifiers) {
        if (TJclExceptNotifyProc notifier = slot.load()) {
            try {
                notifier(exceptObj, exceptAddr, osException, hookFramePointer);
            } catch (...) {
                // A notifier must not change what happens to the exception it is told about.
            }
        }
    }
    t_insideNotifier = false;
}

std::string OsExceptionMessage(const platform::OsExceptionEvent& event) {
    char text[160];
    if (event.HasAccessInfo) {
        const char* kind = event.AccessKind == 1 ? "Write" : event.AccessKind == 8 ? "Execute" : "Read";
        std::snprintf(text, sizeof text, "Access violation at address %08X. %s of address %08X",
                      static_cast<unsigned>(event.Address), kind, static_cast<unsigned>(event.AccessAddress));
        return text;
    }
    const char* name = nullptr;
    switch (event.Code) {
        case 0xC0000005u: name = "Access violation"; break;
        case 0xC0000094u: name = "Division by zero"; break;
        case 0xC0000095u: name = "Integer overflow"; break;
        case 0xC000008Cu: name = "Range check error"; break;
        case 0xC000008Eu: name = "Floating point division by zero"; break;
        case 0xC0000090u: name = "Invalid floating point operation"; break;
        case 0xC0000091u: name = "Floating point overflow"; break;
        case 0xC0000093u: name = "Floating point underflow"; break;
        case 0xC000001Du: name = "Privileged instruction"; break;
        case 0xC0000096u: name = "Privileged instruction"; break;
        default: break;
    }
    if (name)
        std::snprintf(text, sizeof text, "%s (%08X)", name, static_cast<unsigned>(event.Code));
    else
        std::snprintf(text, sizeof text, "External exception %X", static_cast<unsigned>(event.Code));
    return text;
}

void NotifyOsException(const platform::OsExceptionEvent& event) noexcept {
    if (t_insideNotifier) return;
    try {
        // The object that stands for the exception while the notifiers look at it.
        EExternal object(OsExceptionMessage(event), event.Code);
        NotifyException(&object, event.Address, true, event.FramePointer);
    } catch (...) {
    }
}

}  // namespace dct::jcl
