#include "SettingsFolder.h"

#include "lib/commutil.h"
#include "platform/Env.h"
#include "platform/ModuleInfo.h"

namespace dcthost {

std::string DefaultSettingsDirectory() {
    dct::platform::Env& env = dct::platform::Env::Default();
    std::string base = env.EnvironmentVariable("LOCALAPPDATA");
    if (base.empty()) base = env.EnvironmentVariable("APPDATA");
    if (base.empty()) base = dct::platform::ProgramFolder();
    return dct::ConstructFileName(base, "DctHost");
}

}  // namespace dcthost
