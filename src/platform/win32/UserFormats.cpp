#include "platform/UserFormats.h"

#include <windows.h>

#include <cstdlib>

namespace dct::platform {
namespace {

std::string LocaleString(LCTYPE type, const char* fallback) {
    char buf[256];
    int n = GetLocaleInfoA(GetThreadLocale(), type, buf, sizeof buf);
    return n > 1 ? std::string(buf, static_cast<std::size_t>(n - 1)) : std::string(fallback);
}

int LocaleInt(LCTYPE type) { return std::atoi(LocaleString(type, "0").c_str()); }

// The runtime derives its formats from the locale the same way at start-up: the short date as the
// locale writes it, the long time from the 12/24-hour, leading-zero and AM/PM-position settings.
FormatSettings ReadSettings() {
    FormatSettings s;
    s.DecimalSeparator = LocaleString(LOCALE_SDECIMAL, ".")[0];
    s.DateSeparator = LocaleString(LOCALE_SDATE, "/")[0];
    s.TimeSeparator = LocaleString(LOCALE_STIME, ":")[0];
    s.ShortDateFormat = LocaleString(LOCALE_SSHORTDATE, "m/d/yy");
    s.TimeAMString = LocaleString(LOCALE_S1159, "am");
    s.TimePMString = LocaleString(LOCALE_S2359, "pm");
    std::string hour = LocaleInt(LOCALE_ITLZERO) == 0 ? "h" : "hh";
    std::string prefix, postfix;
    if (LocaleInt(LOCALE_ITIME) == 0) {
        if (LocaleInt(LOCALE_ITIMEMARKPOSN) == 0)
            postfix = " AMPM";
        else
            prefix = "AMPM ";
    }
    s.ShortTimeFormat = prefix + hour + ":mm" + postfix;
    s.LongTimeFormat = prefix + hour + ":mm:ss" + postfix;
    s.LongDateFormat = LocaleString(LOCALE_SLONGDATE, "mmmm d, yyyy");
    // The names the locale lists, in their nominative form; GetDateFormat would decline a month
    // name after a day, the runtime does not. The locale counts days from Monday, the tables
    // from Sunday.
    for (int i = 0; i < 12; ++i) {
        s.ShortMonthNames[i] = LocaleString(LOCALE_SABBREVMONTHNAME1 + i, "");
        s.LongMonthNames[i] = LocaleString(LOCALE_SMONTHNAME1 + i, "");
    }
    for (int i = 0; i < 7; ++i) {
        s.ShortDayNames[i] = LocaleString(LOCALE_SABBREVDAYNAME1 + (i + 6) % 7, "");
        s.LongDayNames[i] = LocaleString(LOCALE_SDAYNAME1 + (i + 6) % 7, "");
    }
    return s;
}

}  // namespace

FormatSettings ReadUserFormatSettings() { return ReadSettings(); }

}  // namespace dct::platform
