#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "base/IniEngine.h"
#include "platform/DefaultEnv.h"
#include "platform/posix/NativePath.h"
#include "platform/posix/UniqueFd.h"

namespace dct::platform {
namespace {

// Windows looks a bare file name up in its Windows directory; there is none here, so a bare name
// (an empty settings directory) is simply opened relative to the current directory.
std::string OpenPath(const std::string& file) { return NativePath(file); }

bool DirectoryOf(const std::string& path, std::string& dir) {
    std::size_t slash = path.rfind('/');
    dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    struct stat st {};
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ReadAll(int fd, std::string& out) {
    // Read straight into a string of the file's size (a settings file of a thousand terminals is
    // some 60 KB), growing it only if the file grew meanwhile.
    struct stat st {};
    std::size_t have = 0;
    out.resize(::fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 4096);
    for (;;) {
        if (have == out.size()) out.resize(out.size() * 2);
        ssize_t n = ::read(fd, out.data() + have, out.size() - have);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        have += static_cast<std::size_t>(n);
    }
    out.resize(have);
    return true;
}

bool WriteAll(int fd, const std::string& bytes) {
    if (::ftruncate(fd, 0) != 0 || ::lseek(fd, 0, SEEK_SET) != 0) return false;
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n, left -= static_cast<std::size_t>(n);
    }
    return true;
}

struct Snapshot {
    ini::FileState state = ini::FileState::Missing;
    std::string content;
};

// One complete read under a shared lock, so that a concurrent writer is never seen half done.
Snapshot Load(const std::string& file) {
    Snapshot s;
    const std::string path = OpenPath(file);
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        std::string dir;
        s.state = errno == ENOENT && DirectoryOf(path, dir) ? ini::FileState::Missing : ini::FileState::Unreachable;
        return s;
    }
    ::flock(fd.get(), LOCK_SH);
    s.state = ReadAll(fd.get(), s.content) ? ini::FileState::Present : ini::FileState::Unreachable;
    return s;
}

// Read, change and write back under one exclusive lock. The file is created only when the change
// needs it, and only in an existing directory.
template <typename Change>
bool Update(const std::string& file, Change change) {
    const std::string path = OpenPath(file);
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
    std::string content;
    if (fd) {
        if (::flock(fd.get(), LOCK_EX) != 0 || !ReadAll(fd.get(), content)) return false;
    } else {
        std::string dir;
        if (errno != ENOENT || !DirectoryOf(path, dir)) return false;
    }
    std::optional<std::string> changed = change(std::string_view(content));
    if (!changed) return true;
    if (!fd) {
        UniqueFd created(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
        if (!created || ::flock(created.get(), LOCK_EX) != 0) return false;
        return WriteAll(created.get(), *changed);
    }
    return WriteAll(fd.get(), *changed);
}

}  // namespace

std::string DefaultEnv::ProfileReadString(const std::string& file, const std::string& section, const std::string& key,
                              const std::string& fallback) {
    Snapshot s = Load(file);
    return ini::ReadValue(s.state, s.content, section, key, fallback, kProfileValueMax + 1);
}

std::vector<std::string> DefaultEnv::ProfileSectionNames(const std::string& file) {
    Snapshot s = Load(file);
    return ini::SectionNames(s.content);
}

std::vector<std::string> DefaultEnv::ProfileKeyNames(const std::string& file, const std::string& section) {
    Snapshot s = Load(file);
    return ini::KeyNames(s.content, section);
}

bool DefaultEnv::ProfileWriteString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value) {
    return Update(file, [&](std::string_view content) { return ini::WriteValue(content, section, key, value); });
}

bool DefaultEnv::ProfileEraseSection(const std::string& file, const std::string& section) {
    return Update(file, [&](std::string_view content) { return ini::EraseSection(content, section); });
}

}  // namespace dct::platform
