// Installs the trace log while the DLL is loaded, before any other static object of the library is
// constructed, and takes it down last. The DLL's link names DctTraceInstaller as an undefined
// symbol (cmake/jcldebug.cmake), which is what brings this file, and with it the throw hook, out
// of the static library.
#include "lib/FullTrace.h"
#include "platform/Env.h"

namespace {

// The process-wide trace log is one TraceLog over the real operating system. It is never deleted:
// a notification may still arrive while the module's other static objects go away.
struct TraceInstaller {
    TraceInstaller() : log(new dct::trace::TraceLog(dct::platform::Env::Default())) {
        dct::jcl::ThrowHookLinked();
        log->Install();
    }
    ~TraceInstaller() { log->Uninstall(); }
    dct::trace::TraceLog* log;
};

__attribute__((init_priority(101))) TraceInstaller g_installer;

}  // namespace

extern "C" {
// Referenced by the DLL's link options only.
extern const int DctTraceInstaller;
const int DctTraceInstaller = 1;
}
