// The service dialog: write a task file into the terminal, open the server's own settings.
#pragma once

namespace dct {

class IServiceClient;

// Creates the dialog, hands it what serves its requests (not owned), shows it modally and frees it
// when it closes.
void ShowServiceForm(IServiceClient& client);

}  // namespace dct
