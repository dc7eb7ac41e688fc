
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/DefaultEnv.h"
#include "platform/Files.h"
#include "platform/posix/NativePath.h"
#include "platform/posix/UniqueFd.h"

namespace dct::platform {

// Windows share modes are mandatory; here an advisory lock taken without waiting stands in for
// them between cooperating processes (the library and its tools all take it).
AppendResult DefaultEnv::AppendToFile(const std::string& path, std::string_view bytes, AppendShare) {
    const bool existed = FileExists(path);
    UniqueFd fd(::open(NativePath(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!fd) return {existed ? AppendStatus::CannotOpen : AppendStatus::CannotCreate, static_cast<unsigned long>(errno)};
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return {AppendStatus::CannotOpen, static_cast<unsigned long>(errno), errno == EWOULDBLOCK};
    if (::lseek(fd.get(), 0, SEEK_END) < 0) return {AppendStatus::CannotWrite, static_cast<unsigned long>(errno)};
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd.get(), p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return {AppendStatus::CannotWrite, static_cast<unsigned long>(errno)};
        p += n, left -= static_cast<std::size_t>(n);
    }
    return {};
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(NativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string ExpandFileName(const std::string& path) {
    std::string native = NativePath(path);
    if (!native.empty() && native[0] == '/') return native;
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) return native;
    return std::string(cwd) + "/" + native;
}

std::string SystemErrorMessage(unsigned long code) { return std::strerror(static_cast<int>(code)); }

std::string SystemErrorReason(unsigned long code) { return SystemErrorMessage(code); }

}  // namespace dct::platform
