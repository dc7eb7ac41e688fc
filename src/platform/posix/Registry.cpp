#include "platform/Registry.h"

namespace dct::platform {
namespace {
RegistryReader& Override() {
    static RegistryReader reader;
    return reader;
}
}  // namespace

// There is no registry here: every key reads as missing, so callers take their defaults.
RegistryValue ReadRegistryValue(RegistryRoot root, const std::string& key, const std::string& name,
                                std::size_t bufferSize) {
    if (Override()) return Override()(root, key, name, bufferSize);
    return {RegistryStatus::CannotOpenKey, 0, {}};
}

void OverrideRegistry(RegistryReader reader) { Override() = std::move(reader); }

}  // namespace dct::platform
