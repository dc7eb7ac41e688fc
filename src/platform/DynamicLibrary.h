// Loading a shared library by name and finding its functions, as a host of the library does.
#pragma once

#include <memory>
#include <string>

namespace dct::platform {

class DynamicLibrary {
public:
    // The library `baseName` in the platform's naming (DctDrv -> DctDrv.dll / libDctDrv.so), looked
    // for beside the running program first. Null when it cannot be loaded.
    static std::unique_ptr<DynamicLibrary> OpenBesideProgram(const std::string& baseName);
    // A library by explicit path; null when it cannot be loaded.
    static std::unique_ptr<DynamicLibrary> OpenPath(const std::string& path);

    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    void* Symbol(const char* name) const;
    void* Handle() const { return handle_; }

private:
    explicit DynamicLibrary(void* handle) : handle_(handle) {}
    void* handle_;
};

}  // namespace dct::platform
