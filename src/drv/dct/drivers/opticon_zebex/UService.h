// The service dialog: write a task file into the terminal, open the server's own settings.
#pragma once

namespace dct {

class TTerminals;

// Creates the dialog, hands it the client (not owned), shows it modally and frees it when it closes.
void ShowServiceForm(TTerminals* client);

}  // namespace dct
