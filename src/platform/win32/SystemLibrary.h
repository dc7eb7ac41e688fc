// A library of the operating system, loaded for as long as its owner lives, and its functions by
// name: for code that only some calls need, so that loading the driver library does not load it.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/Handle.h"

namespace dct::platform {

class SystemLibrary {
public:
    // Loads `name` from the system folder only: searched for by its bare name, a library of that
    // name in the host's folder (or the current one) would be found first and run inside the host.
    // Raises EOSError naming the library when it cannot be loaded.
    explicit SystemLibrary(const wchar_t* name);

    // The exported function `name` as a pointer of the function type F; raises EOSError naming it
    // when the library has no such export.
    template <typename F>
    F* Function(const char* name) const {
        return reinterpret_cast<F*>(reinterpret_cast<void*>(Find(name)));
    }

private:
    FARPROC Find(const char* name) const;

    std::wstring name_;
    UniqueModule module_;
};

}  // namespace dct::platform
