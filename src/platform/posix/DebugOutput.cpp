#include <cstdio>
#include <cstdlib>

#include "platform/DefaultEnv.h"

namespace dct::platform {

// The equivalent of the debugger channel here is stderr, and only when asked for: DCT_DEBUG_OUTPUT=1.
void DefaultEnv::DebugOutput(std::string_view text) {
    static const bool enabled = std::getenv("DCT_DEBUG_OUTPUT") != nullptr;
    if (enabled) std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

}  // namespace dct::platform
