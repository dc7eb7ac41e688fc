// The current user's recording switch, as dcthost record sets it: the time until which the library
// records the terminals opened, empty when it is off. The library only reads it (lib/RecordingFiles.h).
#pragma once

#include <string>

namespace dcthost::replay {

// Sets the switch to `until`, or removes it for an empty text; false with the reason on failure.
bool WriteRecordSwitch(const std::string& until, std::string* error);

}  // namespace dcthost::replay
