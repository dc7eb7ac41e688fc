#include "platform/RuntimeRelease.h"

// Frees the runtime's emergency exception pool; declared by no public header.
namespace __gnu_cxx {
void __freeres() noexcept;
}

namespace dct::platform {

void ReleaseLanguageRuntime() {
    __gnu_cxx::__freeres();
}

}  // namespace dct::platform
