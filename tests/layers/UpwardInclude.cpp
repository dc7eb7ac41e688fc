// Compiled with the include paths of the platform layer by the LayersPointDown test, which expects
// the compiler to find no such header: the platform may not reach the services built above it.
#include "lib/FullTrace.h"
