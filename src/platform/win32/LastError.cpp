#include "platform/LastError.h"

#include <windows.h>

namespace dct::platform {

unsigned long GetLastSystemError() { return GetLastError(); }
void SetLastSystemError(unsigned long code) { SetLastError(code); }

}  // namespace dct::platform
