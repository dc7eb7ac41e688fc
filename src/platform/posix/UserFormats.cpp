#include "platform/UserFormats.h"

#include <langinfo.h>
#include <locale.h>

namespace dct::platform {
namespace {

// There is no user locale to consult here: the formats are the English defaults, and the names
// those of the C library's "C" locale. Tests that need another locale (a decimal comma, a
// day-first date, other names) give it through a fake environment.
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

FormatSettings ReadUserFormatSettings() {
    return ReadDefaults();
}

}  // namespace dct::platform
