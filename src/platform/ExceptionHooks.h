// Operating-system exceptions (access violation, division by zero...) raised by code of one image.
//
// win32: a vectored exception handler that sees every exception first and passes on those whose
// address lies in the watched image; it never handles one, the exception goes on as before.
// posix: nothing is hooked. Signals are not exceptions of the language here, the native build
// ships no library that a host loads, and a trace from a signal handler could not be written safely.
//
// Language exceptions are hooked elsewhere, at the runtime's throw routine (lib/JclHookThrow.cpp).
#pragma once

#include <cstdint>

#include "platform/ModuleInfo.h"

namespace dct::platform {

struct OsExceptionEvent {
    uint32_t Code = 0;          // the exception code, e.g. 0xC0000005
    uintptr_t Address = 0;      // the faulting instruction
    uintptr_t FramePointer = 0; // the frame pointer of the faulting code
    // Access violations: 0 read, 1 write, 8 execute, and the address that was accessed.
    bool HasAccessInfo = false;
    uint32_t AccessKind = 0;
    uintptr_t AccessAddress = 0;
};

using OsExceptionCallback = void (*)(const OsExceptionEvent&);

// Calls `callback` for every exception of error severity (and for breakpoints) whose address lies
// inside `image`. Stack overflows are left alone: there is no stack left to trace on.
// Installing again replaces the previous hook.
void InstallOsExceptionHook(const ModuleImage& image, OsExceptionCallback callback);
void RemoveOsExceptionHook();

}  // namespace dct::platform
