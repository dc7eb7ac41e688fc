// Reaching the object of a COM class as a client of an outside server does.
//
// win32: the running-object table (GetActiveObject), then CoCreateInstance of an in-process or a local
// server (never a remote one). posix: the in-process class table and running-object table of
// ComBase.h, where the terminal-server simulator or a test registers its objects.
#pragma once

#include <string>

#include "ComBase.h"

namespace dct::platform {

// The instance registered as running for the class, else a new one. On success *object holds an owned
// reference; on failure it is null and the status is the one of the creation (a failed look-up in the
// running-object table only means that no instance is running).
HRESULT GetActiveOrCreateObject(REFCLSID clsid, IUnknown** object);

// Asks an object for an interface; on success *out holds an owned reference, else null.
HRESULT QueryInterfaceOf(IUnknown* object, REFIID iid, void** out);

// The system's text for a COM status in the ANSI code page, trailing blanks, line breaks and full
// stops removed; empty when the system has no text for it.
std::string ComErrorMessage(HRESULT status);

}  // namespace dct::platform
