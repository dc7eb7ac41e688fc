// What the library knows about its own module file and loaded image, and about the current thread's stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/LocalTime.h"

namespace dct::platform {

// The loaded image of the module that contains this code: the DLL when it is linked into the DLL,
// the program when it is linked into a test program.
struct ModuleImage {
    uintptr_t Base = 0;  // the module handle on win32
    std::size_t Size = 0;
    bool Contains(uintptr_t address) const { return address >= Base && address - Base < Size; }
};
ModuleImage OwnModuleImage();

// Size and last-write time of a file, read through a handle opened for reading and shared fully.
struct FileStamp {
    int64_t Size = 0;
    LocalTime LastWrite;  // local time
};
struct FileStampResult {
    bool Ok = false;
    FileStamp Stamp;
    unsigned long SystemError = 0;  // the platform's code of the step that failed
};
FileStampResult ReadFileStamp(const std::string& path);

// The file version of the fixed part of a file's version resource.
struct FileVersion {
    uint32_t MostSignificant = 0;   // major << 16 | minor
    uint32_t LeastSignificant = 0;  // release << 16 | build
};
std::optional<FileVersion> ReadFileVersion(const std::string& path);

// A section of the loaded image by its name (at most eight characters), as mapped in memory.
struct SectionView {
    const unsigned char* Data = nullptr;
    std::size_t Size = 0;
};
std::optional<SectionView> FindImageSection(uintptr_t moduleBase, std::string_view name);

// The folder of the running program's file, ending in its separator; empty when it cannot be told.
std::string ProgramFolder();

// The id of the process this code runs in.
unsigned long CurrentProcessId();

// The base (highest address) of the current thread's stack.
uintptr_t CurrentThreadStackBase();

}  // namespace dct::platform
