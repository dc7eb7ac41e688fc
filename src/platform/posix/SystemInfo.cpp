#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/DefaultEnv.h"
#include "platform/Files.h"
#include "platform/posix/NativePath.h"

namespace dct::platform {

std::optional<std::string> DefaultEnv::ComputerName() {
    char buffer[1024] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0) return std::nullopt;
    return std::string(buffer);
}

std::string DefaultEnv::EnvironmentVariable(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? std::string(value) : std::string();
}

bool FolderExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DefaultEnv::CreateFolderWithParents(const std::string& path) {
    // Network names ("\\server\share") mean nothing here; turned into "//server" they would
    // create folders at the file system's root.
    if (path.empty() || path.rfind("\\\\", 0) == 0 || path.rfind("//", 0) == 0) return false;
    std::string folder = NativePath(path);
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (FolderExists(folder)) return true;
    std::size_t cut = folder.find_last_of('/');
    if (cut != std::string::npos && cut > 0) CreateFolderWithParents(folder.substr(0, cut));
    return ::mkdir(folder.c_str(), 0755) == 0 || FolderExists(folder);
}

}  // namespace dct::platform
