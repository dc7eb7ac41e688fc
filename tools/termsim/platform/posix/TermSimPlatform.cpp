#include "TermSimPlatform.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace dct::termsim::platform {

std::filesystem::path DefaultDeviceFolder() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        return std::filesystem::path(data) / "dct-termsim";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / ".local" / "share" / "dct-termsim";
    return std::filesystem::temp_directory_path() / "dct-termsim";
}

std::optional<std::filesystem::path> FolderFromEnvironment(const char* variable) {
    const char* value = std::getenv(variable);
    if (!value || !*value) return std::nullopt;
    return std::filesystem::path(value);
}

void SetEnvironmentPath(const char* variable, const std::filesystem::path& value) {
    if (value.empty()) unsetenv(variable);
    else setenv(variable, value.c_str(), 1);
}

void SleepMilliseconds(unsigned milliseconds) {
    timespec t{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&t, &t) != 0) {
    }
}

unsigned long ProcessId() {
    return static_cast<unsigned long>(getpid());
}

bool MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

// Registrations are per process here: there is nothing to share.
void* AcquireMachineLock(const char*) { return nullptr; }
void ReleaseMachineLock(void*) {}

}  // namespace dct::termsim::platform
