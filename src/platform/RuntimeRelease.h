// Giving back what the language runtime linked into a library took for itself when it was loaded.
#pragma once

namespace dct::platform {

// win32: the C++ runtime is linked statically into each of our DLLs and reserves an emergency pool
// for exceptions at load; nothing frees it when the DLL is unloaded, so a host that loads and frees
// the library again and again loses that memory every time. Call this from the DLL's entry point
// on DLL_PROCESS_DETACH caused by FreeLibrary (not at process exit): the pool is then freed as the
// very last step of the unload, after the library's static destructors (RuntimeRelease.cpp says
// how). posix: the runtime is a shared library of its own; nothing to do.
void ReleaseLanguageRuntimeAtUnload();

}  // namespace dct::platform
