#include "platform/win32/SystemLibrary.h"

#include "base/Exceptions.h"
#include "platform/Codepage.h"
#include "platform/Files.h"

namespace dct::platform {
namespace {

std::string Narrow(const std::wstring& text) { return Utf16ToAnsi(std::u16string(text.begin(), text.end())); }

}  // namespace

SystemLibrary::SystemLibrary(const wchar_t* name) : name_(name) {
    module_.reset(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!module_ && GetLastError() == ERROR_INVALID_PARAMETER) {
        // A Windows 7 without the update that brought the search flags: the full path of the system
        // folder's copy keeps the host's folder out just the same.
        wchar_t folder[MAX_PATH];
        const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
        if (length > 0 && length < MAX_PATH)
            module_.reset(LoadLibraryExW((std::wstring(folder, length) + L"\\" + name).c_str(), nullptr, 0));
    }
    if (!module_)
        throw EOSError("Cannot load " + Narrow(name_) + ". " + SystemErrorMessage(GetLastError()));
}

FARPROC SystemLibrary::Find(const char* name) const {
    FARPROC function = GetProcAddress(module_.get(), name);
    if (!function) throw EOSError(std::string(name) + " is missing from " + Narrow(name_));
    return function;
}

}  // namespace dct::platform
