// Our stack-tracing support: exception hooks for the library's own module, notifiers, and the
// table that turns a code address into unit, procedure and line.
//
// Debug data: the build turns the DWARF line table and the symbols of the DLL into a compact table
// and carries it in the DLL's section "JCLDEBUG" (cmake/jcldebug.py); the DWARF and the COFF symbol
// table are stripped. The table is read from the loaded image, never from the file. Its layout, all
// little-endian:
//
//   char     Magic[8]      "DCTLINE2"
//   uint32   BlockSize, UnitCount, RowCount, RowBytes, ProcCount, ProcBytes, StringsSize
//   uint32   Units[UnitCount]                          offsets of the unit names in Strings
//   Block    RowBlocks[ceil(RowCount / BlockSize)]     { uint32 Rva; uint32 Offset }   sorted by Rva
//   uint8    RowStream[RowBytes]
//   Block    ProcBlocks[ceil(ProcCount / BlockSize)]
//   uint8    ProcStream[ProcBytes]
//   char     Strings[StringsSize]   zero-terminated texts, the last byte of the table
//
// Rows and procedures are two sorted series of entries, cut into blocks of BlockSize entries. A block
// starts at Offset in its stream; its first entry lies at the block's Rva, every later one starts with
// its distance from the entry before. Numbers are unsigned LEB128 varints. A row then holds
// (LineDelta << 1 | UnitChanged), LineDelta zigzag-coded against the row before (0 at a block's
// start), followed by the new Unit when UnitChanged; Unit 0 is none, n is Units[n - 1], and the unit
// before a block's first row is none. A procedure holds its Name: 0 none, n the text at offset n - 1.
//
// A row covers the addresses from its Rva up to the next row's; a row without a unit marks a stretch
// of code without line information. Procedures likewise, up to the next entry. The build leaves out
// the names that no trace line can show (a frame shows a procedure only where no unit is known).
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "platform/ExceptionHooks.h"

namespace dct::jcl {

// What a lookup tells about a code address. A lookup that finds nothing leaves both names empty
// and the line 0.
struct TJclLocationInfo {
    std::string UnitName;
    std::string ProcedureName;
    int32_t LineNumber = 0;  // 0 or less: no line known
};

inline constexpr char kDebugSectionName[] = "JCLDEBUG";
inline constexpr uint32_t kNoText = 0xFFFFFFFFu;

// A parsed view of the table; the bytes stay where they are (the loaded image, or a test's buffer).
class DebugTable {
public:
    static std::optional<DebugTable> Parse(const unsigned char* data, std::size_t size);
    TJclLocationInfo Lookup(uint32_t rva) const;

private:
    // One of the two series: its block index and its stream.
    struct Series {
        const unsigned char* Blocks = nullptr;
        const unsigned char* Stream = nullptr;
        uint32_t Count = 0;
        uint32_t Bytes = 0;
    };
    uint32_t blockSize_ = 0;
    const unsigned char* units_ = nullptr;
    uint32_t unitCount_ = 0;
    Series rows_;
    Series procs_;
    const char* strings_ = nullptr;
    uint32_t stringsSize_ = 0;

    std::string Text(uint32_t offset) const;
    template <typename Decode>
    bool Seek(const Series& series, uint32_t rva, Decode&& decode) const;
};

// The notifier: exception object (may be null), exception address, true for an operating-system
// exception, and the frame pointer from which a stack walk goes on when it does not find the
// exception address among the return addresses (the frame of the code that raised).
using TJclExceptNotifyProc = void (*)(const std::exception* exceptObj, uintptr_t exceptAddr, bool osException,
                                      uintptr_t hookFramePointer);

// Installs the hooks for the library's own module: operating-system exceptions raised by its code
// (platform/ExceptionHooks.h) and, where the module is linked with the throw hook, every language
// exception raised by its code (JclHookThrow.cpp).
void JclStartExceptionTracking();
// Removes the hooks and forgets every notifier; after this no notification arrives.
void JclStopExceptionTracking();

// Registers a notifier at normal priority (a small fixed number of them; false when full).
bool JclAddExceptNotifier(TJclExceptNotifyProc notifier);

// The hooks' way in. A thread that is already inside a notifier is not notified again, so an
// exception raised while a trace is written is not traced.
void NotifyException(const std::exception* exceptObj, uintptr_t exceptAddr, bool osException,
                     uintptr_t hookFramePointer) noexcept;
void NotifyOsException(const platform::OsExceptionEvent& event) noexcept;

// The message of the exception object made for an operating-system exception.
std::string OsExceptionMessage(const platform::OsExceptionEvent& event);

// True when the throw hook is linked into this module (the DLL links it; test programs do not).
bool ThrowHookLinked();

}  // namespace dct::jcl
