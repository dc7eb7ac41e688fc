#include "platform/RuntimeRelease.h"

namespace dct::platform {

void ReleaseLanguageRuntime() {}

}  // namespace dct::platform
