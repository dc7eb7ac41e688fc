// dcthost record on|off|status|show and dcthost replay.
#pragma once

#include "HostArgs.h"

namespace dcthost {

int Record(const Options& options);
int Replay(const Options& options);

}  // namespace dcthost
