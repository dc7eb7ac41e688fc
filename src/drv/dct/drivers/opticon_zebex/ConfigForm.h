// TConfigForm: the behaviour of the configuration dialog, over the platform's dialog view.
#pragma once

#include <cstdint>
#include <functional>

#include "drv/dct/dctIntf.h"
#include "drv/dct/drivers/opticon_zebex/FormError.h"
#include "platform/Dialogs.h"
#include "platform/Env.h"

namespace dct {

// What DctConfigure hands to the dialog.
struct TFormRec {
    int32_t PortIndex = 0;   // 0-based position in the port list (stored port - 1)
    int32_t RateIndex = 0;   // 0-based position in the rate list (stored rate code - 1)
    int32_t TermNumber = 0;  // the terminal being configured
    int32_t ConnIndex = 0;   // position in the connection list (the stored connection type)
    AnsiString IniPath;      // full path of DctDrv.ini
};

class TConfigForm : private platform::ConfigDialogEvents {
public:
    // Shows the dialog for the form and returns its modal result. The platform's dialog in the
    // library; tests hand in a fake that plays the user.
    using Runner = std::function<int32_t(const platform::ConfigDialogTexts&, platform::ConfigDialogEvents&)>;

    // The host's dialogs have no owner here: DctConfigure passes none. Saving writes DctDrv.ini
    // through the environment's profile store.
    TConfigForm(const TFormRec& rec, platform::Env& env);
    TConfigForm(const TConfigForm&) = delete;
    TConfigForm& operator=(const TConfigForm&) = delete;

    int32_t ShowModal(const Runner& runner = platform::ShowConfigDialog);
    int32_t ModalResult() const { return modalResult_; }

    // The captions and list items of the dialog (Windows-1251).
    static const platform::ConfigDialogTexts& Texts();

    // Event handlers; they act on the view of the dialog being shown.
    void FormShow();
    // Writes the selections into the terminal's section. Raises when the file cannot be written.
    void AddBtnClick();
    void CancelBtnClick();

    platform::Env& FEnv;
    AnsiString FIniPath;
    int32_t FPortIndex = 0;
    int32_t FRateIndex = 0;
    int32_t FConnIndex = 0;
    int32_t FTermNumber = 0;

private:
    void Shown(platform::ConfigDialogView& view) override;
    int32_t SaveClicked(platform::ConfigDialogView& view) override;
    int32_t CancelClicked(platform::ConfigDialogView& view) override;

    platform::ConfigDialogView* view_ = nullptr;  // while the dialog is shown
    int32_t modalResult_ = platform::kModalNone;
};

// ConfigureTerminal with the dialog shown through `runner` (tests); the library's function uses
// the platform's dialog.
int32_t ConfigureTerminal(int32_t number, const AnsiString& directory, platform::Env& env,
                          const TConfigForm::Runner& runner);

}  // namespace dct
