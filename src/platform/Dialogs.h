// The two modal dialogs of the library as the window system shows them.
//
// The dialogs' behaviour lives in portable form classes (TConfigForm, TDctServiceForm); this seam
// only builds the windows, reports the user's actions as events and lets the handlers read and set
// the controls through a view. Texts handed in are the library's Windows-1251 text and are shown
// through the Unicode window functions, so they read right whatever the system's code page is.
//
// win32: real modal dialogs built from an in-memory template, modal over the calling thread's
// windows, centred on the screen. posix: there is no window system; nothing is shown, no event is
// raised, and the dialogs end at once as if the user had closed them (modal result Cancel).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dct::platform {

// Modal results, numbered as the host's user-interface framework numbers them.
constexpr int32_t kModalNone = 0;  // a click handler's answer that keeps the dialog open
constexpr int32_t kModalOk = 1;
constexpr int32_t kModalCancel = 2;

// ---- Configuration dialog ---------------------------------------------------------------------

enum class ConfigList { Port, Rate, Ptype };

struct ConfigDialogTexts {  // Windows-1251
    std::string_view caption;
    std::string_view portLabel, rateLabel, connLabel;
    std::vector<std::string_view> portItems, rateItems, connItems;
    std::string_view saveCaption, cancelCaption;  // '&' marks the accelerator letter
};

class ConfigDialogView {
public:
    // The selected position, -1 when the list has none.
    virtual int32_t ItemIndex(ConfigList list) const = 0;
    // A position outside the list (negative or past its end) leaves it without a selection.
    virtual void SetItemIndex(ConfigList list, int32_t index) = 0;
    // A message box over the dialog; the text is 8-bit in the system's code page.
    virtual void ShowError(std::string_view message) = 0;

protected:
    ~ConfigDialogView() = default;
};

class ConfigDialogEvents {
public:
    // Each time the dialog is shown, before the user can act.
    virtual void Shown(ConfigDialogView& view) = 0;
    // Save (the default button, Enter on a list) and Cancel (Esc): each returns the modal result
    // with which the dialog closes, kModalNone to keep it open. Exceptions are the handler's own
    // matter; one that escapes is shown as an error and the dialog stays open.
    virtual int32_t SaveClicked(ConfigDialogView& view) = 0;
    virtual int32_t CancelClicked(ConfigDialogView& view) = 0;

protected:
    ~ConfigDialogEvents() = default;
};

// Shows the dialog modally and returns its modal result: what a click handler answered, or
// kModalCancel when the window was closed with its close box. Raises when the dialog cannot be made.
int32_t ShowConfigDialog(const ConfigDialogTexts& texts, ConfigDialogEvents& events);

// ---- Service dialog ---------------------------------------------------------------------------

struct ServiceDialogTexts {  // Windows-1251
    std::string_view caption;       // may be empty
    std::string_view groupCaption;  // the frame around the controls
    std::string_view initialText;   // what the file-name box holds when the dialog opens
    std::string_view button1Caption, button2Caption;
    std::string_view browseTitle;   // title of the file-open dialog
    std::string_view browseFilter;  // "Name|*.ext|Name|*.ext"
};

class ServiceDialogView {
public:
    // The file-name box's text exactly as shown.
    virtual std::u16string TaskText() const = 0;
    virtual void SetTaskText(std::u16string_view text) = 0;
    virtual bool FolderExists(std::u16string_view folder) const = 0;
    // The file-open dialog with the title and filter of the texts, the first filter selected.
    // It starts in `initialDir` with `initialFile` preselected when they are not empty. Gives the
    // chosen file's full path, nothing when the user cancelled.
    virtual std::optional<std::u16string> ChooseFile(std::u16string_view initialDir,
                                                     std::u16string_view initialFile) = 0;
    virtual void ShowError(std::string_view message) = 0;

protected:
    ~ServiceDialogView() = default;
};

class ServiceDialogEvents {
public:
    virtual void Button1Clicked(ServiceDialogView& view) = 0;
    virtual void Button2Clicked(ServiceDialogView& view) = 0;
    // The browse button beside the file-name box (also Alt+Down in the box).
    virtual void BrowseClicked(ServiceDialogView& view) = 0;

protected:
    ~ServiceDialogEvents() = default;
};

// Shows the dialog modally until the user closes it with the close box; no button closes it.
void ShowServiceDialog(const ServiceDialogTexts& texts, ServiceDialogEvents& events);

}  // namespace dct::platform
