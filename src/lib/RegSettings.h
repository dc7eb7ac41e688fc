// The maker's settings in the registry: text values under "Software\Tarnworks".
#pragma once

#include <string>

#include "platform/Env.h"

namespace dct {

// Reads a setting under HKEY_CURRENT_USER, and when that gives empty text, under
// HKEY_LOCAL_MACHINE with `defaultValue`. A name "Sub\Value" reads Value (at most 1000 characters)
// under the subkey Sub. Any failure gives the default.
std::string ReadRegistrySetting(platform::Env& env, const std::string& name, const std::string& defaultValue);

// One read of a plain string value: the text up to its first zero byte, or `defaultValue` when the
// key cannot be opened, the value cannot be read (4096 bytes at most), is not a plain string, or is empty.
std::string ReadRegistryText(platform::Env& env, platform::RegistryRoot root, const std::string& key,
                             const std::string& name, const std::string& defaultValue);

}  // namespace dct
