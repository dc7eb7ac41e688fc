#include "drv/dct/drivers/opticon_zebex/ServiceForm.h"

#include "drv/dct/drivers/opticon_zebex/FormError.h"
#include "base/cp1251.h"
#include "platform/Codepage.h"

namespace dct {

namespace {

constexpr auto kGroupCaption = Cp1251(u8"Записать задачу");
constexpr auto kInitialText = Cp1251(u8"Выберите задачу");
constexpr auto kWrite = Cp1251(u8"Записать");
constexpr auto kMoreParameters = Cp1251(u8"Доп параметры");
constexpr auto kBrowseTitle = Cp1251(u8"Задачи терминала");
constexpr auto kBrowseFilter =
    Cp1251(u8"Файл Формы|*.tsf|Задача для Zebex|*.ts1|Задача для OPTICON|*.s2");

// The path that a box text names: the text without the quotes that a chosen path may carry.
std::u16string_view Unquoted(std::u16string_view text) {
    if (text.size() >= 2 && text.front() == u'"' && text.back() == u'"') return text.substr(1, text.size() - 2);
    return text;
}

// The folder part of a path: everything before its last separator, nothing when it has none.
std::u16string_view FolderOf(std::u16string_view path) {
    std::size_t sep = path.find_last_of(u"\\/");
    if (sep == std::u16string_view::npos) return {};
    // "C:\x" lies in "C:\", not in "C:" (which would mean the drive's current folder).
    if (sep == 2 && path[1] == u':') return path.substr(0, 3);
    return path.substr(0, sep == 0 ? 1 : sep);
}

}  // namespace

const platform::ServiceDialogTexts& TDctServiceForm::Texts() {
    static const platform::ServiceDialogTexts texts{
        "", kGroupCaption, kInitialText, kWrite, kMoreParameters, kBrowseTitle, kBrowseFilter,
    };
    return texts;
}

std::u16string TDctServiceForm::QuoteChosenPath(std::u16string path) {
    if (path.find(u' ') != std::u16string::npos && (path.empty() || path.front() != u'"'))
        return u"\"" + path + u"\"";
    return path;
}

void TDctServiceForm::ShowModal(const Runner& runner) {
    runner(Texts(), *this);
    view_ = nullptr;
}

void TDctServiceForm::Button1Click() {
    // Exactly as shown: quotes stay, blanks are not trimmed; checking the path is the server's job.
    std::u16string text = view_->TaskText();
    if (text.empty() || text == Cp1251ToUtf16(kInitialText)) return;
    if (FClient == nullptr) return;
    FClient->LoadFormFromFile(platform::Utf16ToAnsi(text));  // the status is not this dialog's concern
}

void TDctServiceForm::Button2Click() {
    if (FClient == nullptr) return;
    FClient->ShowProperties();
}

void TDctServiceForm::TaskEditButtonClick() {
    std::u16string text = view_->TaskText();
    std::u16string_view path = Unquoted(text);
    std::u16string_view folder = FolderOf(path);
    std::u16string initialDir, initialFile;
    if (!folder.empty() && view_->FolderExists(folder)) {
        initialDir.assign(folder);
        initialFile.assign(path);
    } else {
        initialDir = lastFolder_;
    }
    std::optional<std::u16string> chosen = view_->ChooseFile(initialDir, initialFile);
    if (!chosen) return;
    lastFolder_.assign(FolderOf(*chosen));
    view_->SetTaskText(QuoteChosenPath(*chosen));
}

template <typename Handler>
void TDctServiceForm::Guarded(platform::ServiceDialogView& view, Handler handler) {
    view_ = &view;
    try {
        (this->*handler)();
    } catch (const Exception& e) {
        view.ShowError(FormErrorText(e.Message()));
    }
}

void TDctServiceForm::Button1Clicked(platform::ServiceDialogView& view) { Guarded(view, &TDctServiceForm::Button1Click); }
void TDctServiceForm::Button2Clicked(platform::ServiceDialogView& view) { Guarded(view, &TDctServiceForm::Button2Click); }
void TDctServiceForm::BrowseClicked(platform::ServiceDialogView& view) {
    Guarded(view, &TDctServiceForm::TaskEditButtonClick);
}

}  // namespace dct
