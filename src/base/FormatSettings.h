// The user's number, date and time formats, in the runtime's format-string syntax.
//
// The formats use the runtime's letters (d, m, y, h, n/m after h, s, AMPM and the rest, see
// DateTimeFormat.h); "/" in a format stands for DateSeparator and ":" for TimeSeparator.
#pragma once

#include <array>
#include <string>

namespace dct {

struct FormatSettings {
    char DecimalSeparator = '.';
    char DateSeparator = '/';
    char TimeSeparator = ':';
    std::string ShortDateFormat = "M/d/yyyy";
    std::string LongDateFormat = "dddd, MMMM d, yyyy";
    std::string ShortTimeFormat = "h:mm AMPM";
    std::string LongTimeFormat = "h:mm:ss AMPM";
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
    // Names in the locale's 8-bit code page, nominative forms; months from January, days from Sunday.
    std::array<std::string, 12> ShortMonthNames, LongMonthNames;
    std::array<std::string, 7> ShortDayNames, LongDayNames;
};

}  // namespace dct
