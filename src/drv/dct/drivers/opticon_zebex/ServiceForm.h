// TDctServiceForm: the behaviour of the service dialog, over the platform's dialog view.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/Exceptions.h"
#include "platform/Dialogs.h"

namespace dct {

// What the service dialog asks of the terminal server. The driver's TTerminals client stands
// behind it in the library; it raises the client's errors unchanged.
class IServiceClient {
public:
    virtual ~IServiceClient() = default;
    virtual int32_t LoadFormFromFile(std::string_view path) = 0;
    virtual int32_t ShowProperties() = 0;
};

class TDctServiceForm : private platform::ServiceDialogEvents {
public:
    using Runner = std::function<void(const platform::ServiceDialogTexts&, platform::ServiceDialogEvents&)>;

    TDctServiceForm() = default;
    TDctServiceForm(const TDctServiceForm&) = delete;
    TDctServiceForm& operator=(const TDctServiceForm&) = delete;

    // Returns when the user has closed the dialog.
    void ShowModal(const Runner& runner = platform::ShowServiceDialog);

    // The captions, the box's initial text, the file dialog's title and filter (Windows-1251).
    static const platform::ServiceDialogTexts& Texts();

    // "Записать": passes the box's text to the server unless it is empty or the initial text.
    void Button1Click();
    // "Доп параметры": opens the server's own dialog.
    void Button2Click();
    // The browse button of the file-name box.
    void TaskEditButtonClick();

    // A chosen path as the box shows it: between double quotes when it holds a blank and does not
    // already begin with a quote.
    static std::u16string QuoteChosenPath(std::u16string path);

    // Set by the driver before showing; not owned.
    IServiceClient* FClient = nullptr;

private:
    void Button1Clicked(platform::ServiceDialogView& view) override;
    void Button2Clicked(platform::ServiceDialogView& view) override;
    void BrowseClicked(platform::ServiceDialogView& view) override;
    // Runs a handler; a failure is shown in a message box and the dialog stays open.
    template <typename Handler>
    void Guarded(platform::ServiceDialogView& view, Handler handler);

    platform::ServiceDialogView* view_ = nullptr;  // while the dialog is shown
    std::u16string lastFolder_;                     // where the last chosen file lay
};

}  // namespace dct
