#include "drv/dct/drivers/opticon_zebex/UService.h"

#include "drv/dct/drivers/opticon_zebex/ServiceForm.h"

namespace dct {

void ShowServiceForm(IServiceClient& client) {
    TDctServiceForm form;
    form.FClient = &client;
    form.ShowModal();
}

}  // namespace dct
