// What DctInit does for one terminal, from the settings file in the host's folder.
#pragma once

#include <cstdint>
#include <optional>

#include <utility>
#include <vector>

#include "boundary/DctBoundary.h"
#include "drv/dct/DctDriver.h"
#include "platform/Env.h"

namespace dct {

namespace recording {
class Recording;
}

inline constexpr char kSettingsFileName[] = "DctDrv.ini";

// The parameter string for the driver of terminal `number`: the port, rate and connection type its
// section gives, and the settings folder; none when the file has no section for it.
std::optional<AnsiString> TerminalParameters(int32_t number, const AnsiString& directory, platform::Env& env);

// Reads the terminal's settings, hands out a new operation table, then makes the driver behind a
// new handle: 0, or rc::NoSection with *funcs untouched. When making the driver raises, *funcs
// already holds the table, which the host gives back with DctFini and a null handle; *handle stays
// as it was (null). Exceptions leave unchanged. With a recording, the terminal is recorded in it.
int32_t OpenTerminal(int32_t number, const AnsiString& directory, TDctDriverFuncs** funcs, DctHandle* handle,
                     platform::Env& env, recording::Recording* recording = nullptr);

// The terminal's section of the settings file as the profile store reads it, key by key, in file
// order; empty when there is none.
std::vector<std::pair<AnsiString, AnsiString>> TerminalSection(int32_t number, const AnsiString& directory,
                                                               platform::Env& env);

}  // namespace dct
