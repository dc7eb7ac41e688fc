#include <windows.h>

#include "platform/Files.h"
#include "platform/win32/Handle.h"

namespace dct::platform {
namespace {

struct FindTraits {
    using pointer = HANDLE;
    static pointer Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(pointer h) { FindClose(h); }
};

}  // namespace

std::vector<std::string> FileNamesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAA entry;
    UniqueAny<FindTraits> search(FindFirstFileA(pattern.c_str(), &entry));
    if (!search) return names;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(entry.cFileName);
    } while (FindNextFileA(search.get(), &entry));
    return names;
}

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool CanCreateFileIn(const std::string& folder, const std::string& probeName, std::string* reason) {
    std::string probe = folder;
    if (!probe.empty() && probe.back() != '\\' && probe.back() != '/') probe += '\\';
    probe += probeName;
    const UniqueHandle file(CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file && reason) *reason = SystemErrorReason(GetLastError());
    return static_cast<bool>(file);
}

bool MoveFileReplacing(const std::string& from, const std::string& to, std::string* reason) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    if (reason) *reason = SystemErrorReason(GetLastError());
    return false;
}

}  // namespace dct::platform
