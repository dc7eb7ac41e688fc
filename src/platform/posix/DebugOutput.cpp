#include "platform/DebugOutput.h"

#include <cstdio>
#include <cstdlib>

namespace dct::platform {
namespace {
std::function<void(std::string_view)>& Override() {
    static std::function<void(std::string_view)> sink;
    return sink;
}
}  // namespace

// The equivalent of the debugger channel here is stderr, and only when asked for: DCT_DEBUG_OUTPUT=1.
void DebugOutput(std::string_view text) {
    if (Override()) return Override()(text);
    static const bool enabled = std::getenv("DCT_DEBUG_OUTPUT") != nullptr;
    if (enabled) std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

void OverrideDebugOutput(std::function<void(std::string_view)> sink) { Override() = std::move(sink); }

}  // namespace dct::platform
