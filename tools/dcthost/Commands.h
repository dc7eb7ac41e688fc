// The subcommands of dcthost; each returns the program's exit status.
#pragma once

#include "HostArgs.h"

namespace dcthost {

namespace exitcode {
constexpr int Ok = 0;
constexpr int Failed = 1;     // the library or the terminal reported a failure
constexpr int Usage = 2;      // bad command line
constexpr int File = 3;       // a file could not be read or written, or bad CSV rows
constexpr int Cancelled = 4;  // the user declined
}  // namespace exitcode

int RunCommand(const Options& options);

}  // namespace dcthost
