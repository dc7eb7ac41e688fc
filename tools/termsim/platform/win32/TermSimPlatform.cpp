#include "TermSimPlatform.h"

#include <windows.h>

#include <string>

#include "platform/win32/Handle.h"

namespace dct::termsim::platform {
namespace {

std::wstring Widen(const char* ascii) { return std::wstring(ascii, ascii + std::char_traits<char>::length(ascii)); }

std::optional<std::wstring> Variable(const wchar_t* name) {
    DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0) return std::nullopt;
    std::wstring value(n, L'\0');
    n = GetEnvironmentVariableW(name, value.data(), n);
    value.resize(n);
    if (value.empty()) return std::nullopt;
    return value;
}

}  // namespace

std::filesystem::path DefaultDeviceFolder() {
    if (auto local = Variable(L"LOCALAPPDATA")) return std::filesystem::path(*local) / L"DctTermSim";
    return std::filesystem::temp_directory_path() / L"DctTermSim";
}

// The Win32 environment, not the C runtime's copy: the simulator may live in a DLL whose runtime
// never sees a variable that the program set after start-up.
std::optional<std::filesystem::path> FolderFromEnvironment(const char* variable) {
    if (auto value = Variable(Widen(variable).c_str())) return std::filesystem::path(*value);
    return std::nullopt;
}

void SetEnvironmentPath(const char* variable, const std::filesystem::path& value) {
    SetEnvironmentVariableW(Widen(variable).c_str(), value.empty() ? nullptr : value.c_str());
}

void SleepMilliseconds(unsigned milliseconds) { Sleep(milliseconds); }

unsigned long ProcessId() {
    return GetCurrentProcessId();
}

bool MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void* AcquireMachineLock(const char* name) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, Widen(name).c_str());
    // An abandoned mutex (its holder died) is still ours now.
    if (mutex) WaitForSingleObject(mutex, INFINITE);
    return mutex;
}

void ReleaseMachineLock(void* lock) {
    // Released and closed as its owner goes.
    const dct::platform::UniqueHeldMutex mutex(static_cast<HANDLE>(lock));
}

}  // namespace dct::termsim::platform
