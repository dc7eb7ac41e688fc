#include "platform/DebugOutput.h"

#include <windows.h>

#include <string>

namespace dct::platform {
namespace {
std::function<void(std::string_view)>& Override() {
    static std::function<void(std::string_view)> sink;
    return sink;
}
}  // namespace

void DebugOutput(std::string_view text) {
    if (Override()) return Override()(text);
    OutputDebugStringA(std::string(text).c_str());
}

void OverrideDebugOutput(std::function<void(std::string_view)> sink) { Override() = std::move(sink); }

}  // namespace dct::platform
