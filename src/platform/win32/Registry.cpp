#include <windows.h>

#include <vector>

#include "platform/DefaultEnv.h"
#include "platform/win32/Handle.h"

namespace dct::platform {
RegistryValue DefaultEnv::ReadRegistryValue(RegistryRoot root, const std::string& key, const std::string& name,
                                          std::size_t bufferSize) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, key.c_str(), 0,
                      KEY_READ, &opened) != ERROR_SUCCESS)
        return {RegistryStatus::CannotOpenKey, 0, {}};
    UniqueRegKey owner(opened);
    std::vector<char> buffer(bufferSize);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(buffer.size());
    // A value longer than the buffer fails with ERROR_MORE_DATA: that counts as a failed read.
    if (RegQueryValueExA(owner.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
        ERROR_SUCCESS)
        return {RegistryStatus::CannotQuery, 0, {}};
    return {RegistryStatus::Ok, type, std::string(buffer.data(), size)};
}

}  // namespace dct::platform
