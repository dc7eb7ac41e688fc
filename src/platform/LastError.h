// The calling thread's last system error code (GetLastError/SetLastError on win32, errno elsewhere).
#pragma once

namespace dct::platform {

unsigned long GetLastSystemError();
void SetLastSystemError(unsigned long code);

}  // namespace dct::platform
