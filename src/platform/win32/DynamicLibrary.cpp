#include "platform/DynamicLibrary.h"

#include <windows.h>

#include "platform/Files.h"
#include "platform/win32/Handle.h"

namespace dct::platform {
namespace {

class Win32Library final : public DynamicLibrary {
public:
    explicit Win32Library(UniqueModule module) : module_(std::move(module)) {}
    void* Symbol(const char* name) const override {
        return reinterpret_cast<void*>(GetProcAddress(module_.get(), name));
    }
    std::string Path() const override {
        char path[MAX_PATH * 2];
        const DWORD n = GetModuleFileNameA(module_.get(), path, sizeof path);
        return std::string(path, n);
    }

private:
    UniqueModule module_;
};

}  // namespace

std::string DynamicLibrary::FileName(const std::string& baseName) { return baseName + ".dll"; }

std::unique_ptr<DynamicLibrary> DynamicLibrary::Open(const std::string& nameOrPath, std::string* reason) {
    // The program's own folder comes first in the system's search order.
    UniqueModule module(LoadLibraryA(nameOrPath.c_str()));
    if (!module) {
        if (reason) *reason = SystemErrorReason(GetLastError());
        return nullptr;
    }
    return std::make_unique<Win32Library>(std::move(module));
}

}  // namespace dct::platform
