#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include "platform/ModuleInfo.h"

namespace dct::platform {
namespace {

struct LibraryCloser {
    void operator()(void* handle) const { ::dlclose(handle); }
};
using UniqueLibraryHandle = std::unique_ptr<void, LibraryCloser>;

class PosixLibrary final : public DynamicLibrary {
public:
    explicit PosixLibrary(UniqueLibraryHandle handle) : handle_(std::move(handle)) {}
    void* Symbol(const char* name) const override { return ::dlsym(handle_.get(), name); }
    std::string Path() const override {
        link_map* map = nullptr;
        if (::dlinfo(handle_.get(), RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return {};
        return map->l_name;
    }

private:
    UniqueLibraryHandle handle_;
};

}  // namespace

std::string DynamicLibrary::FileName(const std::string& baseName) { return "lib" + baseName + ".so"; }

std::unique_ptr<DynamicLibrary> DynamicLibrary::Open(const std::string& nameOrPath, std::string* reason) {
    UniqueLibraryHandle handle;
    // The Windows loader looks beside the program first; so does this, for a bare name.
    if (nameOrPath.find('/') == std::string::npos) {
        const std::string beside = ProgramFolder() + nameOrPath;
        if (::access(beside.c_str(), F_OK) == 0)
            handle.reset(::dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL));
    }
    if (!handle) handle.reset(::dlopen(nameOrPath.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!handle) {
        if (reason) *reason = ::dlerror();
        return nullptr;
    }
    return std::make_unique<PosixLibrary>(std::move(handle));
}

}  // namespace dct::platform
