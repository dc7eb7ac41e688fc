// The outside of recordings that the library and its tools share: the switch that turns recording on
// and the names of the files it writes (docs/recording.md).
#pragma once

#include <string>
#include <string_view>

#include "base/LocalTime.h"

namespace dct {

// The recording switch of the current user (HKEY_CURRENT_USER): a local time until which terminals
// opened are recorded.
inline constexpr char kRecordSwitchKey[] = "Software\\Tarnworks\\DctDrv";
inline constexpr char kRecordSwitchValue[] = "RecordUntil";

// "YYYY-MM-DD HH:MM:SS": the form of the switch's time, which orders times as text does.
std::string SwitchTime(const LocalTime& time);
bool WellFormedSwitchTime(std::string_view text);

// The name of a recording's file: <library>-rec-YYYY-MM-DD-HHMMSS-<process id>.jsonl.
std::string RecordingFileName(std::string_view library, const LocalTime& started, unsigned long processId);
// The date of a file of `library`'s recordings, from its name; false for any other file.
bool RecordingDate(std::string_view fileName, std::string_view library, LocalTime& date);

bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix);

}  // namespace dct
