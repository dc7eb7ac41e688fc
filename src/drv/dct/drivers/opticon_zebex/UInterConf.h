// The configuration dialog of a terminal: port, rate and connection, saved to DctDrv.ini.
#pragma once

#include <cstdint>
#include <string>

#include "base/Exceptions.h"
#include "platform/Env.h"

namespace dct {

// The whole of DctConfigure but its exception handling: reads the terminal's section (when it has
// one), shows the modal dialog preset from it, returns 0 when it closed with OK (modal result 1)
// and -5 otherwise. Exceptions leave it; the exported function turns them into -5. DctDrv.ini is
// read and written through the environment's profile store.
int32_t ConfigureTerminal(int32_t number, const AnsiString& directory, platform::Env& env);

}  // namespace dct
