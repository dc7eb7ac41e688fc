#include "platform/DefaultEnv.h"

namespace dct::platform {

// There is no registry here: every key reads as missing, so callers take their defaults.
RegistryValue DefaultEnv::ReadRegistryValue(RegistryRoot, const std::string&, const std::string&, std::size_t) {
    return {RegistryStatus::CannotOpenKey, 0, {}};
}

}  // namespace dct::platform
