// What DctInit does for one terminal, from the settings file in the host's folder.
#pragma once

#include <cstdint>
#include <optional>

#include <utility>
#include <vector>

#include "base/JsonWriter.h"
#include "boundary/DctBoundary.h"
#include "drv/dct/DctDriver.h"
#include "drv/dct/dctIntf.h"
#include "platform/Env.h"

namespace dct {

namespace recording {
class Recording;
}

// The parameter string for the driver of terminal `number`: the port, rate and connection type its
// section gives, and the settings folder; none when the file has no section for it.
std::optional<AnsiString> TerminalParameters(int32_t number, const AnsiString& directory, platform::Env& env);

// Reads the terminal's settings, hands out a new operation table, then makes the driver behind a
// new handle: 0, or rc::NoSection with *funcs untouched. When making the driver raises, *funcs
// already holds the table, which the host gives back with DctFini and a null handle; *handle stays
// as it was (null). Exceptions leave unchanged. With a recording, the terminal is recorded in it.
int32_t OpenTerminal(int32_t number, const AnsiString& directory, TDctDriverFuncs** funcs, DctHandle* handle,
                     platform::Env& env, recording::Recording* recording = nullptr);

// DctInit after its handle checks: the recording switch read, the terminal opened (recorded when the
// switch is on) and its call recorded. Every exception becomes -4 with *handle null.
int32_t InitTerminal(int32_t number, const char* directory, TDctDriverFuncs** funcs, DctHandle* handle,
                     platform::Env& env);

// A recorded call about a terminal's settings: its number and folder as the host gave them, the
// result, and when asked, the terminal's section of the settings file as it is now.
void WriteTerminalCall(JsonWriter& json, int32_t number, const char* directory, int32_t result, bool section,
                       platform::Env& env);

// The terminal's section of the settings file as the profile store reads it, key by key, in file
// order; empty when there is none.
std::vector<std::pair<AnsiString, AnsiString>> TerminalSection(int32_t number, const AnsiString& directory,
                                                               platform::Env& env);

}  // namespace dct
