// Installs the trace log while the DLL is loaded, before any other static object of the library is
// constructed, and takes it down last. Like the entry point, this file is a source of the DLL alone
// (src/boundary/CMakeLists.txt), never of the libraries the tests link; it brings the throw hook
// out of the trace library with it.
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
