
#include <windows.h>

#include "platform/DefaultEnv.h"
#include "platform/Files.h"
#include "platform/win32/Handle.h"

namespace dct::platform {

AppendResult DefaultEnv::AppendToFile(const std::string& path, std::string_view bytes, AppendShare share) {
    const bool existed = FileExists(path);
    const DWORD shareMode = share == AppendShare::None ? 0 : FILE_SHARE_READ;
    // OPEN_ALWAYS creates a missing file and never truncates an existing one.
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, shareMode, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        return {existed ? AppendStatus::CannotOpen : AppendStatus::CannotCreate, error,
                error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION};
    }
    if (SetFilePointer(file.get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        return {AppendStatus::CannotWrite, GetLastError()};
    DWORD written = 0;
    if (!bytes.empty() &&
        (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
         written != bytes.size()))
        return {AppendStatus::CannotWrite, GetLastError()};
    return {};
}

bool FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ExpandFileName(const std::string& path) {
    char buf[MAX_PATH * 4];
    char* filePart = nullptr;
    DWORD n = GetFullPathNameA(path.c_str(), sizeof buf, buf, &filePart);
    return n > 0 && n < sizeof buf ? std::string(buf, n) : path;
}

std::string SystemErrorMessage(unsigned long code) {
    char* raw = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                             nullptr, code, 0, reinterpret_cast<char*>(&raw), 0, nullptr);
    const UniqueLocalMemory<char*> buffer(raw);
    std::string text;
    if (n && buffer) text.assign(buffer.get(), n);
    // The runtime drops trailing blanks, line breaks and the closing full stop.
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 32 || text.back() == '.')) text.pop_back();
    return text;
}

std::string SystemErrorReason(unsigned long code) {
    const std::string number = "error " + std::to_string(code);
    const std::string text = SystemErrorMessage(code);
    return text.empty() ? number : text + " (" + number + ")";
}

}  // namespace dct::platform
