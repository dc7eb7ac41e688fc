// The user's number, date and time formats, in the runtime's format-string syntax.
//
// ShortDateFormat and LongTimeFormat use the runtime's letters (d, m, y, h, n/m after h, s, AMPM);
// "/" in a format stands for DateSeparator and ":" for TimeSeparator.
#pragma once

#include <optional>
#include <string>

namespace dct::platform {

struct FormatSettings {
    char DecimalSeparator = '.';
    char DateSeparator = '/';
    char TimeSeparator = ':';
    std::string ShortDateFormat = "M/d/yyyy";
    std::string LongTimeFormat = "h:mm:ss AMPM";
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
};

// The user's settings, read once per process (win32: the user's locale; posix: English defaults).
const FormatSettings& CurrentFormatSettings();

// Replaces the settings that CurrentFormatSettings returns (nullopt restores the system's).
// Tests choose a locale this way where the process cannot change its own.
void OverrideFormatSettings(std::optional<FormatSettings> settings);

}  // namespace dct::platform
