// The runtime's date and time formatting (FormatDateTime) for a broken-down local time.
#pragma once

#include <string>
#include <string_view>

#include "base/FormatSettings.h"
#include "base/LocalTime.h"

namespace dct {

// The runtime's format letters, case-insensitive: c (short date, blank, long time; the time left
// out at exactly midnight), d/dd (day), ddd/dddd (abbreviated and full day name), ddddd/dddddd
// (short and long date format), m/mm (month, or minutes right after an hour), mmm/mmmm (abbreviated
// and full month name), yy/yyyy, g/e (era name and era year: nothing, these locales have no era),
// h/hh (12-hour when an AM/PM directive follows), n/nn, s/ss, z/zzz, t/tt (short and long time
// format), am/pm, a/p, ampm, aaa/aaaa (day names); "/" and ":" are the locale's separators; text in
// single or double quotes is copied as it stands; any other character stands for itself.
std::string FormatDateTime(std::string_view format, const LocalTime& time,
                           const FormatSettings& settings);

// FormatDateTime("c"): the locale's short date and long time.
std::string DateTimeToStr(const LocalTime& time, const FormatSettings& settings);

}  // namespace dct
