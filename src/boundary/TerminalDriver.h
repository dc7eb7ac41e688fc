// The driver DctInit makes for one terminal, from the settings file in the host's folder.
#pragma once

#include <cstdint>
#include <memory>

#include "drv/dct/DctDriver.h"
#include "platform/Env.h"

namespace dct {

inline constexpr char kSettingsFileName[] = "DctDrv.ini";

// The driver for terminal `number` with the port, rate and connection type its section gives;
// null when the file has no section for it.
std::unique_ptr<TDctDriver> CreateTerminalDriver(int32_t number, const AnsiString& directory, platform::Env& env);

}  // namespace dct
