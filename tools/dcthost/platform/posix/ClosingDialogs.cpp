#include "replay/ClosingDialogs.h"

namespace dcthost::replay {

// The library's dialogs end at once here: there is nothing to close.
ClosingDialogs::ClosingDialogs() = default;
ClosingDialogs::~ClosingDialogs() = default;

}  // namespace dcthost::replay
