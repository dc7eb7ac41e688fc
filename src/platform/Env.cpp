#include "platform/Env.h"

#include "platform/DefaultEnv.h"
#include "platform/ModuleInfo.h"
#include "platform/UserFormats.h"

namespace dct::platform {

Env& Env::Default() {
    static Env* env = new DefaultEnv;
    return *env;
}

DefaultEnv::DefaultEnv() : formats_(ReadUserFormatSettings()) {}

std::optional<ImageSection> DefaultEnv::OwnImageSection(std::string_view name) {
    const uintptr_t base = OwnModuleImage().Base;
    std::optional<SectionView> section = FindImageSection(base, name);
    if (!section) return std::nullopt;
    return ImageSection{section->Data, section->Size, base};
}

}  // namespace dct::platform
