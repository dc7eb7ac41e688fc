#include <windows.h>

#include <vector>

#include "platform/DefaultEnv.h"
#include "platform/Files.h"

namespace dct::platform {
namespace {
bool IsSeparator(char c) { return c == '\\' || c == '/'; }
}  // namespace

std::optional<std::string> DefaultEnv::ComputerName() {
    char buffer[1024];
    DWORD size = sizeof buffer;
    if (!GetComputerNameA(buffer, &size)) return std::nullopt;
    return std::string(buffer, size);
}

std::string DefaultEnv::EnvironmentVariable(const std::string& name) {
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

bool DefaultEnv::CreateFolderWithParents(const std::string& path) {
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
