// Talking to COM objects as a client of an outside server does (reaching a server's object is
// Env::GetActiveOrCreateObject).
//
// posix: the in-process class table and running-object table of ComBase.h, where the
// terminal-server simulator or a test registers its objects.
#pragma once

#include <string>

#include "ComBase.h"

namespace dct::platform {

// Asks an object for an interface; on success *out holds an owned reference, else null.
HRESULT QueryInterfaceOf(IUnknown* object, REFIID iid, void** out);

// The system's text for a COM status in the ANSI code page, trailing blanks, line breaks and full
// stops removed; empty when the system has no text for it.
std::string ComErrorMessage(HRESULT status);

}  // namespace dct::platform
