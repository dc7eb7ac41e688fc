// Reading the user's number, date and time formats from the system.
#pragma once

#include "base/FormatSettings.h"

namespace dct::platform {

// The user's settings as the system gives them now (win32: the user's locale, the way the runtime
// reads them at start-up; posix: English defaults with the names of the C library's "C" locale).
// The library reads them once, through Env::UserFormats.
FormatSettings ReadUserFormatSettings();

}  // namespace dct::platform
