#include "platform/LocaleFormat.h"

#include <langinfo.h>
#include <locale.h>

namespace dct::platform {
namespace {

std::optional<FormatSettings>& Override() {
    static std::optional<FormatSettings> value;
    return value;
}

// There is no user locale to consult here: the formats are the English defaults, and the names
// those of the C library's "C" locale. Tests that need another locale (a decimal comma, a
// day-first date, other names) install it with OverrideFormatSettings.
FormatSettings ReadDefaults() {
    FormatSettings s;
    locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (!c) return s;
    for (int i = 0; i < 12; ++i) {
        s.ShortMonthNames[i] = nl_langinfo_l(static_cast<nl_item>(ABMON_1 + i), c);
        s.LongMonthNames[i] = nl_langinfo_l(static_cast<nl_item>(MON_1 + i), c);
    }
    for (int i = 0; i < 7; ++i) {
        s.ShortDayNames[i] = nl_langinfo_l(static_cast<nl_item>(ABDAY_1 + i), c);
        s.LongDayNames[i] = nl_langinfo_l(static_cast<nl_item>(DAY_1 + i), c);
    }
    freelocale(c);
    return s;
}

}  // namespace

const FormatSettings& CurrentFormatSettings() {
    static const FormatSettings defaults = ReadDefaults();
    return Override() ? *Override() : defaults;
}

FormatSettings ReadUserFormatSettings() {
    return ReadDefaults();
}

void OverrideFormatSettings(std::optional<FormatSettings> settings) {
    Override() = std::move(settings);
}

}  // namespace dct::platform
