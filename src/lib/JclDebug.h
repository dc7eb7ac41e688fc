// Our stack-tracing support: exception hooks for the library's own module, notifiers, and the
// table that turns a code address into unit, procedure and line.
//
// Debug data: the build turns the DWARF line table and the symbols of the DLL into a compact table
// and carries it in the DLL's section "JCLDEBUG" (cmake/jcldebug.py); the DWARF itself is stripped.
// The table is read from the loaded image, never from the file. Its layout, all little-endian:
//
//   char     Magic[8]      "DCTLINE1"
//   uint32   RowCount, ProcCount, StringsSize
//   Row      Rows[RowCount]    { uint32 Rva; uint32 Unit; int32 Line }   sorted by Rva
//   Proc     Procs[ProcCount]  { uint32 Rva; uint32 Name }               sorted by Rva
//   char     Strings[StringsSize]   zero-terminated texts; Unit and Name are offsets into them
//
// A row covers the addresses from its Rva up to the next row's; a row whose Unit is kNoText marks
// a stretch of code without line information. Procedures likewise, up to the next entry.
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
    const unsigned char* rows_ = nullptr;
    uint32_t rowCount_ = 0;
    const unsigned char* procs_ = nullptr;
    uint32_t procCount_ = 0;
    const char* strings_ = nullptr;
    uint32_t stringsSize_ = 0;

    std::string Text(uint32_t offset) const;
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
