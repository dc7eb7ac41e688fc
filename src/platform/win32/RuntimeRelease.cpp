#include "platform/RuntimeRelease.h"

#include <cstdlib>

// Frees the runtime's emergency exception pool; declared by no public header.
namespace __gnu_cxx {
void __freeres() noexcept;
}

namespace dct::platform {
namespace {

// Once the pool is freed the runtime still points into it: an exception thrown afterwards while
// malloc fails would be placed in freed memory. So nothing of the library may run after the
// release, and the entry point is not the place for it. mingw-w64's DLL startup (dllcrt2.o) runs,
// on DLL_PROCESS_DETACH, DllMain first and then the DLL's own atexit table, last registered first:
// the static destructors (GCC registers each with atexit once its object is made), among them the
// trace log's removal of its hooks. The table's first entry is therefore the last code of the
// library to run. It is registered from the C initializers (.CRT$XC), which the startup runs
// before any C++ static constructor, so no destructor can come after it.
bool freedByHost = false;

void __cdecl ReleaseIfFreed() {
    if (freedByHost) __gnu_cxx::__freeres();
}

void __cdecl RegisterReleaseFirst() {
    std::atexit(ReleaseIfFreed);
}

__attribute__((section(".CRT$XCU"), used)) void(__cdecl* registerReleaseFirst)() = RegisterReleaseFirst;

}  // namespace

// At process exit (the entry point's lpReserved not null) the pool goes with the process; the
// release is for FreeLibrary only.
void ReleaseLanguageRuntimeAtUnload() {
    freedByHost = true;
}

}  // namespace dct::platform
