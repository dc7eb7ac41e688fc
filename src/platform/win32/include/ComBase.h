// COM basics for the terminal server client and its simulator: the Windows declarations themselves.
// The POSIX build has a header of the same name with minimal look-alikes.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
