#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "platform/Files.h"
#include "platform/posix/NativePath.h"

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

}  // namespace dct::platform
