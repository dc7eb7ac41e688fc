#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace dct::platform {

std::unique_ptr<DynamicLibrary> DynamicLibrary::OpenBesideProgram(const std::string& baseName) {
    const std::string file = "lib" + baseName + ".so";
    char exe[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        std::string dir(exe, static_cast<std::size_t>(n));
        dir.erase(dir.find_last_of('/') + 1);
        if (auto library = OpenPath(dir + file)) return library;
    }
    return OpenPath(file);
}

std::unique_ptr<DynamicLibrary> DynamicLibrary::OpenPath(const std::string& path) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return nullptr;
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(handle));
}

DynamicLibrary::~DynamicLibrary() { ::dlclose(handle_); }

void* DynamicLibrary::Symbol(const char* name) const { return ::dlsym(handle_, name); }

}  // namespace dct::platform
