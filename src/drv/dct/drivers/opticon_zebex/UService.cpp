#include "drv/dct/drivers/opticon_zebex/UService.h"

#include "drv/dct/drivers/opticon_zebex/AddIn_TLB.h"
#include "drv/dct/drivers/opticon_zebex/ServiceForm.h"

#include <optional>

namespace dct {

namespace {

// The dialog's two requests, passed to the driver's client; its errors leave unchanged.
class TerminalsServiceClient final : public IServiceClient {
public:
    explicit TerminalsServiceClient(TTerminals& client) : client_(client) {}
    int32_t LoadFormFromFile(std::string_view path) override { return client_.LoadFormFromFile(path); }
    int32_t ShowProperties() override { return client_.ShowProperties(); }

private:
    TTerminals& client_;
};

}  // namespace

void ShowServiceForm(TTerminals* client) {
    TDctServiceForm form;
    std::optional<TerminalsServiceClient> adapter;
    if (client != nullptr) {
        adapter.emplace(*client);
        form.FClient = &*adapter;
    }
    form.ShowModal();
}

}  // namespace dct
