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

}  // namespace dct::platform
