// Reading one value of the system registry (advapi32 on win32; nothing is there on posix).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace dct::platform {

enum class RegistryRoot { CurrentUser, LocalMachine };

enum class RegistryStatus {
    Ok,
    CannotOpenKey,  // the key is missing or may not be read
    CannotQuery,    // the value is missing or larger than the buffer
};

// The registry's type code of a plain string value (REG_SZ).
constexpr uint32_t kRegistryString = 1;

struct RegistryValue {
    RegistryStatus Status = RegistryStatus::CannotOpenKey;
    uint32_t Type = 0;  // the registry's type code, valid when Status is Ok
    std::string Data;   // the raw bytes as stored, terminating zero included
};

// Opens `key` under `root` for reading and queries `name` into a buffer of `bufferSize` bytes.
RegistryValue ReadRegistryValue(RegistryRoot root, const std::string& key, const std::string& name,
                                std::size_t bufferSize);

// Tests put a fake registry in place; an empty function restores the platform's.
using RegistryReader =
    std::function<RegistryValue(RegistryRoot, const std::string& key, const std::string& name, std::size_t)>;
void OverrideRegistry(RegistryReader reader);

}  // namespace dct::platform
