#include "lib/JclDebug.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "base/Exceptions.h"
#include "platform/ModuleInfo.h"

namespace dct::jcl {
namespace {

constexpr char kMagic[8] = {'D', 'C', 'T', 'L', 'I', 'N', 'E', '2'};
constexpr std::size_t kHeaderSize = 8 + 7 * 4;
constexpr std::size_t kBlockSize = 8;

uint32_t ReadU32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// The bytes of one block, read front to back; a read past its end (a damaged table) gives 0 and
// marks the reader failed, so a lookup never leaves the table.
struct VarintReader {
    const unsigned char* at;
    const unsigned char* end;
    bool failed = false;

    uint64_t Next() {
        uint64_t value = 0;
        for (unsigned shift = 0; shift < 64; shift += 7) {
            if (at == end) break;
            const unsigned char byte = *at++;
            value |= uint64_t{byte & 0x7Fu} << shift;
            if (byte < 0x80) return value;
        }
        failed = true;
        return 0;
    }
};

int64_t Unzigzag(uint64_t value) {
    return static_cast<int64_t>(value >> 1) ^ -static_cast<int64_t>(value & 1);
}

}  // namespace

// The entry of a series that covers `rva`: a binary search over the blocks, then the block decoded
// up to it. `decode` reads an entry's own fields (after its address) and keeps them in its state;
// false when no entry lies at or below `rva`.
template <typename Decode>
bool DebugTable::Seek(const Series& series, uint32_t rva, Decode&& decode) const {
    const uint32_t blocks = (series.Count + blockSize_ - 1) / blockSize_;
    int64_t low = 0, high = static_cast<int64_t>(blocks) - 1, found = -1;
    while (low <= high) {
        const int64_t mid = (low + high) / 2;
        if (ReadU32(series.Blocks + mid * kBlockSize) <= rva)
            found = mid, low = mid + 1;
        else
            high = mid - 1;
    }
    if (found < 0) return false;
    const unsigned char* block = series.Blocks + found * kBlockSize;
    const uint32_t start = ReadU32(block + 4);
    const uint32_t end = found + 1 < blocks ? ReadU32(block + kBlockSize + 4) : series.Bytes;
    VarintReader reader{series.Stream + start, series.Stream + end};
    const uint32_t entries = std::min<uint32_t>(blockSize_, series.Count - static_cast<uint32_t>(found) * blockSize_);
    uint64_t at = ReadU32(block);
    decode(reader);
    for (uint32_t k = 1; k < entries && !reader.failed; ++k) {
        at += reader.Next();
        if (at > rva) break;
        decode(reader);
    }
    return !reader.failed;
}

namespace {

constexpr int kMaxNotifiers = 8;
std::atomic<TJclExceptNotifyProc> g_notifiers[kMaxNotifiers];

thread_local bool t_insideNotifier = false;

}  // namespace

std::optional<DebugTable> DebugTable::Parse(const unsigned char* data, std::size_t size) {
    if (!data || size < kHeaderSize || std::memcmp(data, kMagic, sizeof kMagic) != 0) return std::nullopt;
    DebugTable t;
    t.blockSize_ = ReadU32(data + 8);
    t.unitCount_ = ReadU32(data + 12);
    t.rows_.Count = ReadU32(data + 16);
    t.rows_.Bytes = ReadU32(data + 20);
    t.procs_.Count = ReadU32(data + 24);
    t.procs_.Bytes = ReadU32(data + 28);
    t.stringsSize_ = ReadU32(data + 32);
    if (t.blockSize_ == 0 || t.stringsSize_ == 0) return std::nullopt;
    auto blocks = [&](uint32_t count) { return (uint64_t{count} + t.blockSize_ - 1) / t.blockSize_; };
    const uint64_t need = kHeaderSize + uint64_t{t.unitCount_} * 4 + blocks(t.rows_.Count) * kBlockSize +
                          t.rows_.Bytes + blocks(t.procs_.Count) * kBlockSize + t.procs_.Bytes + t.stringsSize_;
    // A section is padded to its alignment, so it may be longer than the table, never shorter.
    if (need > size || data[need - 1] != 0) return std::nullopt;
    const unsigned char* at = data + kHeaderSize;
    t.units_ = at;
    at += std::size_t{t.unitCount_} * 4;
    for (Series* series : {&t.rows_, &t.procs_}) {
        series->Blocks = at;
        at += blocks(series->Count) * kBlockSize;
        series->Stream = at;
        at += series->Bytes;
        // Blocks in order, each inside its stream: a lookup then only ever reads inside the table.
        for (uint64_t b = 0, n = blocks(series->Count); b < n; ++b) {
            const unsigned char* block = series->Blocks + b * kBlockSize;
            if (ReadU32(block + 4) > series->Bytes) return std::nullopt;
            if (b > 0 && (ReadU32(block) < ReadU32(block - kBlockSize) ||
                          ReadU32(block + 4) < ReadU32(block - kBlockSize + 4)))
                return std::nullopt;
        }
    }
    t.strings_ = reinterpret_cast<const char*>(at);
    return t;
}

std::string DebugTable::Text(uint32_t offset) const {
    if (offset == kNoText || offset >= stringsSize_) return {};
    // Parse checked that the last byte is zero, so strlen stops inside the table.
    return std::string(strings_ + offset);
}

TJclLocationInfo DebugTable::Lookup(uint32_t rva) const {
    TJclLocationInfo info;
    uint64_t unit = 0;
    int64_t line = 0;
    const bool rowFound = Seek(rows_, rva, [&](VarintReader& reader) {
        const uint64_t word = reader.Next();
        line += Unzigzag(word >> 1);
        if (word & 1) unit = reader.Next();
    });
    if (rowFound && unit > 0 && unit <= unitCount_) {
        info.UnitName = Text(ReadU32(units_ + (unit - 1) * 4));
        if (!info.UnitName.empty()) info.LineNumber = static_cast<int32_t>(line);
    }
    uint64_t name = 0;
    const bool procFound = Seek(procs_, rva, [&](VarintReader& reader) { name = reader.Next(); });
    if (procFound && name > 0 && name <= stringsSize_) info.ProcedureName = Text(static_cast<uint32_t>(name - 1));
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
