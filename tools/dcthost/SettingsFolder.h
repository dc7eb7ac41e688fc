// Where dcthost keeps DctDrv.ini when neither --settings nor DCTHOST_SETTINGS names a folder.
#pragma once

#include <string>

namespace dcthost {

// %LOCALAPPDATA%\DctHost on Windows, $XDG_CONFIG_HOME/dcthost (~/.config/dcthost) elsewhere, in the
// 8-bit form the library takes (platform/win32/SettingsFolder.cpp, platform/posix/SettingsFolder.cpp).
std::string DefaultSettingsDirectory();

}  // namespace dcthost
