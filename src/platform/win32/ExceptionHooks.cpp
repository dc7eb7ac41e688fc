#include "platform/ExceptionHooks.h"

#include <windows.h>

namespace dct::platform {
namespace {

ModuleImage g_image;
OsExceptionCallback g_callback = nullptr;
void* g_handler = nullptr;

LONG CALLBACK VectoredHandler(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    const uintptr_t address = reinterpret_cast<uintptr_t>(record->ExceptionAddress);
    OsExceptionCallback callback = g_callback;
    if (!callback || !g_image.Contains(address)) return EXCEPTION_CONTINUE_SEARCH;
    const DWORD code = record->ExceptionCode;
    // Informational and warning codes (debug strings, thread names...) are no failures.
    const bool error = (code & 0xC0000000u) == 0xC0000000u;
    if ((!error && code != EXCEPTION_BREAKPOINT) || code == EXCEPTION_STACK_OVERFLOW) return EXCEPTION_CONTINUE_SEARCH;
    OsExceptionEvent event;
    event.Code = code;
    event.Address = address;
    event.FramePointer = info->ContextRecord->Ebp;
    if (code == EXCEPTION_ACCESS_VIOLATION && record->NumberParameters >= 2) {
        event.HasAccessInfo = true;
        event.AccessKind = static_cast<uint32_t>(record->ExceptionInformation[0]);
        event.AccessAddress = record->ExceptionInformation[1];
    }
    callback(event);
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void InstallOsExceptionHook(const ModuleImage& image, OsExceptionCallback callback) {
    RemoveOsExceptionHook();
    g_image = image;
    g_callback = callback;
    // Called last among the vectored handlers: others that resolve the exception go first.
    g_handler = AddVectoredExceptionHandler(0, VectoredHandler);
}

void RemoveOsExceptionHook() {
    // The handler must be gone before the image is unmapped, or the next exception anywhere in
    // the process would call into freed code.
    if (g_handler) RemoveVectoredExceptionHandler(g_handler);
    g_handler = nullptr;
    g_callback = nullptr;
}

}  // namespace dct::platform
