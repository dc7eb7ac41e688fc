#include "lib/RegSettings.h"

namespace dct {
namespace {
constexpr char kMakerKey[] = "Software\\Tarnworks";
constexpr std::size_t kBufferSize = 4096;
constexpr std::size_t kMaxValueName = 1000;
}  // namespace

std::string ReadRegistryText(platform::Env& env, platform::RegistryRoot root, const std::string& key,
                             const std::string& name, const std::string& defaultValue) {
    platform::RegistryValue value = env.ReadRegistryValue(root, key, name, kBufferSize);
    if (value.Status != platform::RegistryStatus::Ok || value.Type != platform::kRegistryString) return defaultValue;
    std::string text = value.Data.substr(0, value.Data.find('\0'));
    return text.empty() ? defaultValue : text;
}

std::string ReadRegistrySetting(platform::Env& env, const std::string& name, const std::string& defaultValue) {
    std::string key = kMakerKey;
    std::string valueName = name;
    if (std::size_t cut = name.find('\\'); cut != std::string::npos) {
        key += "\\" + name.substr(0, cut);
        valueName = name.substr(cut + 1, kMaxValueName);
    }
    std::string text = ReadRegistryText(env, platform::RegistryRoot::CurrentUser, key, valueName, "");
    if (text.empty()) text = ReadRegistryText(env, platform::RegistryRoot::LocalMachine, key, valueName, defaultValue);
    return text;
}

}  // namespace dct
