// The runtime's date and time formatting (FormatDateTime) for a broken-down local time.
#pragma once

#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "platform/LocaleFormat.h"

namespace dct {

// Format letters, case-insensitive: c (short date, blank, long time; the time left out at exactly
// midnight), d/dd, m/mm (minutes right after an hour), yy/yyyy, h/hh (12-hour when an AM/PM
// directive is present), n/nn, s/ss, z/zzz, am/pm, a/p, ampm; "/" and ":" are the locale's
// separators; text in single or double quotes is copied as it stands.
std::string FormatDateTime(std::string_view format, const platform::LocalTime& time,
                           const platform::FormatSettings& settings);

// FormatDateTime("c"): the locale's short date and long time.
std::string DateTimeToStr(const platform::LocalTime& time, const platform::FormatSettings& settings);

}  // namespace dct
