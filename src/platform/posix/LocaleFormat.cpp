#include "platform/LocaleFormat.h"

namespace dct::platform {
namespace {
std::optional<FormatSettings>& Override() {
    static std::optional<FormatSettings> value;
    return value;
}
}  // namespace

// There is no user locale to consult here: the defaults are the English ones, and tests that need
// another locale (a decimal comma, a day-first date) install it with OverrideFormatSettings.
const FormatSettings& CurrentFormatSettings() {
    static const FormatSettings defaults;
    return Override() ? *Override() : defaults;
}

void OverrideFormatSettings(std::optional<FormatSettings> settings) { Override() = std::move(settings); }

}  // namespace dct::platform
