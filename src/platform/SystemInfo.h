// Small facts about the computer and the process: computer name, environment, folders.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace dct::platform {

// The computer's name (at most 1023 characters), or nothing when it cannot be read.
std::optional<std::string> ComputerName();
// Tests pin the name (an empty function restores the platform's).
void OverrideComputerName(std::function<std::optional<std::string>()> name);

// The value of an environment variable; unset and empty read alike as empty text.
std::string EnvironmentVariable(const std::string& name);
// Tests answer for the process environment (an empty function restores it).
void OverrideEnvironment(std::function<std::string(const std::string& name)> lookup);

// True when the path names an existing folder.
bool FolderExists(const std::string& path);

// Creates the folder together with every missing parent. An empty path is refused (false) and
// nothing is created; so is a path that names no folder this platform can create.
bool CreateFolderWithParents(const std::string& path);
// Tests see (and decide) what would be created, e.g. for network folders (an empty function restores it).
void OverrideCreateFolder(std::function<bool(const std::string& path)> create);

}  // namespace dct::platform
