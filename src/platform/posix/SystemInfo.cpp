#include "platform/SystemInfo.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/posix/NativePath.h"

namespace dct::platform {
namespace {
std::function<std::optional<std::string>()>& NameOverride() {
    static std::function<std::optional<std::string>()> name;
    return name;
}
std::function<std::string(const std::string&)>& EnvironmentOverride() {
    static std::function<std::string(const std::string&)> lookup;
    return lookup;
}
std::function<bool(const std::string&)>& CreateOverride() {
    static std::function<bool(const std::string&)> create;
    return create;
}
}  // namespace

std::optional<std::string> ComputerName() {
    if (NameOverride()) return NameOverride()();
    char buffer[1024] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0) return std::nullopt;
    return std::string(buffer);
}

void OverrideComputerName(std::function<std::optional<std::string>()> name) { NameOverride() = std::move(name); }

void OverrideEnvironment(std::function<std::string(const std::string&)> lookup) {
    EnvironmentOverride() = std::move(lookup);
}
void OverrideCreateFolder(std::function<bool(const std::string&)> create) { CreateOverride() = std::move(create); }

std::string EnvironmentVariable(const std::string& name) {
    if (EnvironmentOverride()) return EnvironmentOverride()(name);
    const char* value = std::getenv(name.c_str());
    return value ? std::string(value) : std::string();
}

bool FolderExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateFolderWithParents(const std::string& path) {
    if (CreateOverride()) return CreateOverride()(path);
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
