// The entry point of DctDrv.dll. It adds nothing at load; when a host frees the library it has the
// memory the linked-in C++ runtime reserved given back once the library's last code has run, so that
// loading and freeing the library as often as the host likes costs nothing.
#include <windows.h>

#include "platform/RuntimeRelease.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    // reserved is null for FreeLibrary and non-null at process exit, when nothing needs giving back.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) dct::platform::ReleaseLanguageRuntimeAtUnload();
    return TRUE;
}
