#include "platform/DynamicLibrary.h"

#include <windows.h>

namespace dct::platform {

std::unique_ptr<DynamicLibrary> DynamicLibrary::OpenBesideProgram(const std::string& baseName) {
    // The program's own folder comes first in the search order.
    return OpenPath(baseName + ".dll");
}

std::unique_ptr<DynamicLibrary> DynamicLibrary::OpenPath(const std::string& path) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) return nullptr;
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(module));
}

DynamicLibrary::~DynamicLibrary() { FreeLibrary(static_cast<HMODULE>(handle_)); }

void* DynamicLibrary::Symbol(const char* name) const {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

}  // namespace dct::platform
