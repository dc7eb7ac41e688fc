// Installs the trace log while the DLL is loaded, before any other static object of the library is
// constructed, and takes it down last. The DLL's link names DctTraceInstaller as an undefined
// symbol (cmake/jcldebug.cmake), which is what brings this file, and with it the throw hook, out
// of the static library.
#include "lib/FullTrace.h"

namespace {

struct TraceInstaller {
    TraceInstaller() {
        dct::jcl::ThrowHookLinked();
        dct::trace::InstallTrace();
    }
    ~TraceInstaller() { dct::trace::UninstallTrace(); }
};

__attribute__((init_priority(101))) TraceInstaller g_installer;

}  // namespace

extern "C" {
// Referenced by the DLL's link options only.
extern const int DctTraceInstaller;
const int DctTraceInstaller = 1;
}
