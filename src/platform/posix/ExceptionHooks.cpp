#include "platform/ExceptionHooks.h"

namespace dct::platform {

// See the header: the native build hooks no operating-system exceptions.
void InstallOsExceptionHook(const ModuleImage&, OsExceptionCallback) {}
void RemoveOsExceptionHook() {}

}  // namespace dct::platform
