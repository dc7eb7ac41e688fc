#include <windows.h>

#include "lib/RecordingFiles.h"
#include "platform/Files.h"
#include "platform/win32/Handle.h"
#include "replay/RecordSwitch.h"

namespace dcthost::replay {

bool WriteRecordSwitch(const std::string& until, std::string* error) {
    dct::platform::UniqueRegKey key;
    HKEY opened = nullptr;
    LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, dct::kRecordSwitchKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                  &opened, nullptr);
    key.reset(opened);
    if (status == ERROR_SUCCESS) {
        status = until.empty() ? RegDeleteValueA(key.get(), dct::kRecordSwitchValue)
                               : RegSetValueExA(key.get(), dct::kRecordSwitchValue, 0, REG_SZ,
                                                reinterpret_cast<const BYTE*>(until.c_str()),
                                                static_cast<DWORD>(until.size() + 1));
        if (until.empty() && status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;  // it was off
    }
    if (status != ERROR_SUCCESS && error)
        *error = "HKEY_CURRENT_USER\\" + std::string(dct::kRecordSwitchKey) + ": " +
                 dct::platform::SystemErrorMessage(static_cast<unsigned long>(status));
    return status == ERROR_SUCCESS;
}

}  // namespace dcthost::replay
