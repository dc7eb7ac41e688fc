#include <windows.h>

#include <string>

#include "platform/DefaultEnv.h"

namespace dct::platform {

void DefaultEnv::DebugOutput(std::string_view text) { OutputDebugStringA(std::string(text).c_str()); }

}  // namespace dct::platform
