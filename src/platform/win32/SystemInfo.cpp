#include "platform/SystemInfo.h"

#include <windows.h>

#include <vector>

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

bool IsSeparator(char c) { return c == '\\' || c == '/'; }
}  // namespace

std::optional<std::string> ComputerName() {
    if (NameOverride()) return NameOverride()();
    char buffer[1024];
    DWORD size = sizeof buffer;
    if (!GetComputerNameA(buffer, &size)) return std::nullopt;
    return std::string(buffer, size);
}

void OverrideComputerName(std::function<std::optional<std::string>()> name) { NameOverride() = std::move(name); }

void OverrideEnvironment(std::function<std::string(const std::string&)> lookup) {
    EnvironmentOverride() = std::move(lookup);
}
void OverrideCreateFolder(std::function<bool(const std::string&)> create) { CreateOverride() = std::move(create); }

std::string EnvironmentVariable(const std::string& name) {
    if (EnvironmentOverride()) return EnvironmentOverride()(name);
    DWORD size = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
    if (size == 0) return {};
    std::vector<char> buffer(size);
    DWORD n = GetEnvironmentVariableA(name.c_str(), buffer.data(), size);
    return n > 0 && n < size ? std::string(buffer.data(), n) : std::string();
}

bool FolderExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateFolderWithParents(const std::string& path) {
    if (CreateOverride()) return CreateOverride()(path);
    std::string folder = path;
    while (folder.size() > 1 && IsSeparator(folder.back())) folder.pop_back();
    if (folder.empty() || IsSeparator(folder.back())) return false;
    // A drive ("C:") or a share root ("\\server\share") exists or not; it cannot be created.
    if (FolderExists(folder)) return true;
    std::size_t cut = folder.find_last_of("\\/:");
    if (cut != std::string::npos && cut > 0) {
        std::string parent = folder.substr(0, folder[cut] == ':' ? cut + 1 : cut);
        const bool driveOrShareRoot = parent.size() <= 2 || parent.find_first_not_of("\\/") == std::string::npos;
        if (!driveOrShareRoot && !FolderExists(parent)) CreateFolderWithParents(parent);
    }
    return CreateDirectoryA(folder.c_str(), nullptr) || FolderExists(folder);
}


}  // namespace dct::platform
