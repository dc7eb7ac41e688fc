#include "platform/Dialogs.h"

namespace dct::platform {

// No window system here: the dialogs cannot be shown, so they end at once as if the user had
// closed them. DctConfigure then answers -5 and writes nothing; the service dialog makes no call.
int32_t ShowConfigDialog(const ConfigDialogTexts&, ConfigDialogEvents&) { return kModalCancel; }

void ShowServiceDialog(const ServiceDialogTexts&, ServiceDialogEvents&) {}

}  // namespace dct::platform
