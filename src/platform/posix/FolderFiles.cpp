#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "platform/Files.h"
#include "platform/posix/NativePath.h"
#include "platform/posix/UniqueFd.h"

namespace dct::platform {

std::vector<std::string> FileNamesIn(const std::string& folder) {
    std::vector<std::string> names;
    const std::string native = NativePath(folder);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(native.c_str()), &::closedir);
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        struct stat st {};
        const std::string name = entry->d_name;
        if (::stat((native + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) names.push_back(name);
    }
    return names;
}

bool RemoveFile(const std::string& path) { return ::unlink(NativePath(path).c_str()) == 0; }

bool CanCreateFileIn(const std::string& folder, const std::string& probeName, std::string* reason) {
    const std::string probe = NativePath((folder.empty() ? std::string(".") : folder) + "/" + probeName);
    const UniqueFd file(::open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!file) {
        if (reason) *reason = SystemErrorReason(static_cast<unsigned long>(errno));
        return false;
    }
    ::unlink(probe.c_str());
    return true;
}

bool MoveFileReplacing(const std::string& from, const std::string& to, std::string* reason) {
    if (std::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0) return true;
    if (reason) *reason = SystemErrorReason(static_cast<unsigned long>(errno));
    return false;
}

}  // namespace dct::platform
