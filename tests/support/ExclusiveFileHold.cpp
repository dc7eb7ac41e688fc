#include "support/ExclusiveFileHold.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace dct::test {

#if defined(_WIN32)

ExclusiveFileHold::ExclusiveFileHold(const std::filesystem::path& path)
    : handle_(CreateFileW(path.wstring().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {
    EXPECT_NE(handle_, INVALID_HANDLE_VALUE) << "cannot hold " << path;
}

ExclusiveFileHold::~ExclusiveFileHold() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

#else

ExclusiveFileHold::ExclusiveFileHold(const std::filesystem::path& path)
    : handle_(reinterpret_cast<void*>(
          static_cast<intptr_t>(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)))) {
    const int fd = static_cast<int>(reinterpret_cast<intptr_t>(handle_));
    EXPECT_GE(fd, 0) << "cannot hold " << path;
    if (fd >= 0) {
        EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    }
}

ExclusiveFileHold::~ExclusiveFileHold() {
    const int fd = static_cast<int>(reinterpret_cast<intptr_t>(handle_));
    if (fd >= 0) ::close(fd);
}

#endif

}  // namespace dct::test
