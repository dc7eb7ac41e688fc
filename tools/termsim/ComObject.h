// The simulator's COM objects share the platform's reference-counted base.
#pragma once

#include "platform/ComObject.h"

namespace dct::termsim {

template <typename Derived, typename... Interfaces>
using ComObject = platform::ComObject<Derived, Interfaces...>;

}  // namespace dct::termsim
