// Compiled with the include paths of the platform layer by the LayersPointDown test: the layer
// below (and the platform's own headers) must be reachable, or the other check proves nothing.
#include "base/cp1251.h"
#include "platform/Env.h"
