#include "platform/ModuleInfo.h"

#include <dlfcn.h>
#include <pthread.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/DefaultEnv.h"

namespace dct::platform {
namespace {

void Anchor() {}

}  // namespace

// The size of a mapped ELF image is not recorded anywhere handy; it stays 0, so no address counts
// as the module's own and no exception hook filters on it here.
ModuleImage OwnModuleImage() {
    Dl_info info{};
    if (!::dladdr(reinterpret_cast<void*>(&Anchor), &info)) return {};
    return {reinterpret_cast<uintptr_t>(info.dli_fbase), 0};
}

std::string DefaultEnv::OwnModuleFileName() {
    Dl_info info{};
    if (!::dladdr(reinterpret_cast<void*>(&Anchor), &info) || !info.dli_fname) return {};
    std::string name = info.dli_fname;
    char resolved[PATH_MAX];
    if (::realpath(name.c_str(), resolved)) name = resolved;
    return name.substr(0, 1023);
}

FileStampResult ReadFileStamp(const std::string& path) {
    FileStampResult result;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return result.SystemError = static_cast<unsigned long>(errno), result;
    struct tm local {};
    ::localtime_r(&st.st_mtime, &local);
    result.Ok = true;
    result.Stamp.Size = static_cast<int64_t>(st.st_size);
    result.Stamp.LastWrite = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                              local.tm_min,         local.tm_sec,     0};
    return result;
}

// Files carry no version resource here.
std::optional<FileVersion> ReadFileVersion(const std::string&) { return std::nullopt; }

// Debug data is never carried in an image section here.
std::optional<SectionView> FindImageSection(uintptr_t, std::string_view) { return std::nullopt; }

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    const std::string program(path, static_cast<std::size_t>(n));
    return program.substr(0, program.find_last_of('/') + 1);
}

unsigned long CurrentProcessId() { return static_cast<unsigned long>(::getpid()); }

uintptr_t CurrentThreadStackBase() {
    pthread_attr_t attr;
    if (::pthread_getattr_np(::pthread_self(), &attr) != 0) return 0;
    void* low = nullptr;
    std::size_t size = 0;
    ::pthread_attr_getstack(&attr, &low, &size);
    ::pthread_attr_destroy(&attr);
    return reinterpret_cast<uintptr_t>(low) + size;
}

}  // namespace dct::platform
