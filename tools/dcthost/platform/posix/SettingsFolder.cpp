#include "SettingsFolder.h"

#include "platform/Env.h"

namespace dcthost {

std::string DefaultSettingsDirectory() {
    dct::platform::Env& env = dct::platform::Env::Default();
    std::string config = env.EnvironmentVariable("XDG_CONFIG_HOME");
    if (config.empty()) {
        const std::string home = env.EnvironmentVariable("HOME");
        config = (home.empty() ? std::string("/tmp") : home) + "/.config";
    }
    return config + "/dcthost";
}

}  // namespace dcthost
