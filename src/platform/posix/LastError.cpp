#include "platform/LastError.h"

#include <cerrno>

namespace dct::platform {

unsigned long GetLastSystemError() { return static_cast<unsigned long>(errno); }
void SetLastSystemError(unsigned long code) { errno = static_cast<int>(code); }

}  // namespace dct::platform
