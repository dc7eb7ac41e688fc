// The debugger output channel (OutputDebugStringA on win32), observable by tests.
#pragma once

#include <functional>
#include <string_view>

namespace dct::platform {

void DebugOutput(std::string_view text);

// Tests capture the channel with a sink; an empty function restores the platform channel.
void OverrideDebugOutput(std::function<void(std::string_view)> sink);

}  // namespace dct::platform
