// Loading a shared library by name and finding its functions, as a host of the library does.
#pragma once

#include <memory>
#include <string>

namespace dct::platform {

class DynamicLibrary {
public:
    // The file name of the library `baseName` in the platform's naming: DctDrv -> DctDrv.dll / libDctDrv.so.
    static std::string FileName(const std::string& baseName);
    // A library by file name or by path. A bare name is looked for beside the running program first,
    // then where the system looks, as the Windows loader does for a host. Null when it cannot be
    // loaded, with the system's reason in *reason.
    static std::unique_ptr<DynamicLibrary> Open(const std::string& nameOrPath, std::string* reason = nullptr);
    static std::unique_ptr<DynamicLibrary> OpenBesideProgram(const std::string& baseName) {
        return Open(FileName(baseName));
    }

    // Unloads the library.
    virtual ~DynamicLibrary() = default;

    // The address of an export by name, or null.
    virtual void* Symbol(const char* name) const = 0;
    // The file the system loaded.
    virtual std::string Path() const = 0;
};

}  // namespace dct::platform
