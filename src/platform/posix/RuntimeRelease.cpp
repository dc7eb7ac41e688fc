#include "platform/RuntimeRelease.h"

namespace dct::platform {

void ReleaseLanguageRuntimeAtUnload() {}

}  // namespace dct::platform
