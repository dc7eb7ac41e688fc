// What the simulator needs of the operating system, one file per platform.
#pragma once

#include <filesystem>
#include <optional>

namespace dct::termsim::platform {

std::filesystem::path DefaultDeviceFolder();
std::optional<std::filesystem::path> FolderFromEnvironment(const char* variable);
void SetEnvironmentPath(const char* variable, const std::filesystem::path& value);
void SleepMilliseconds(unsigned milliseconds);

}  // namespace dct::termsim::platform
