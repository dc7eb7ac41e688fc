// What the simulator needs of the operating system, one file per platform.
#pragma once

#include <filesystem>
#include <optional>

namespace dct::termsim::platform {

std::filesystem::path DefaultDeviceFolder();
std::optional<std::filesystem::path> FolderFromEnvironment(const char* variable);
void SetEnvironmentPath(const char* variable, const std::filesystem::path& value);
void SleepMilliseconds(unsigned milliseconds);
unsigned long ProcessId();
// Puts `from` in the place of `to`, replacing what was there at once; false if it cannot.
bool MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

// A lock shared by every process of the machine (Windows: a named mutex; elsewhere nothing is
// shared between processes, and the lock is a no-op). Recursive within a thread.
void* AcquireMachineLock(const char* name);
void ReleaseMachineLock(void* lock);

}  // namespace dct::termsim::platform
