#include "drv/dct/drivers/opticon_zebex/UInterConf.h"

#include "drv/dct/drivers/opticon_zebex/ConfigForm.h"
#include "drv/dct/drivers/opticon_zebex/UDrvIni.h"
#include "lib/commutil.h"
#include "base/cp1251.h"

namespace dct {

namespace {

constexpr auto kCaption = Cp1251(u8"Настройка терминала");
constexpr auto kPortLabel = Cp1251(u8"Порт");
constexpr auto kRateLabel = Cp1251(u8"Битрейт");
constexpr auto kConnLabel = Cp1251(u8"Подключение");
constexpr auto kSave = Cp1251(u8"&Сохранить");
constexpr auto kCancel = Cp1251(u8"&Отмена");
constexpr auto kCradle = Cp1251(u8"ИК-подставка");
constexpr auto kCable = Cp1251(u8"Кабель");

// The stored value minus one, wrapping as the 32-bit arithmetic of the settings does: a value
// far out of range only has to end up outside the list, never as undefined behaviour.
int32_t PositionOf(int32_t stored) { return static_cast<int32_t>(static_cast<uint32_t>(stored) - 1u); }

}  // namespace

const platform::ConfigDialogTexts& TConfigForm::Texts() {
    static const platform::ConfigDialogTexts texts{
        kCaption,
        kPortLabel,
        kRateLabel,
        kConnLabel,
        {"COM 1", "COM 2", "COM 3", "COM 4", "COM 5", "COM 6", "COM 7", "COM 8", "COM 9", "COM 10"},
        {"115200", "57600", "38400", "19200", "9600"},
        {kCradle, kCable},
        kSave,
        kCancel,
    };
    return texts;
}

TConfigForm::TConfigForm(const TFormRec& rec, platform::Env& env)
    : FEnv(env),
      FIniPath(rec.IniPath),
      FPortIndex(rec.PortIndex),
      FRateIndex(rec.RateIndex),
      FConnIndex(rec.ConnIndex),
      FTermNumber(rec.TermNumber) {}

int32_t TConfigForm::ShowModal(const Runner& runner) {
    modalResult_ = platform::kModalNone;
    modalResult_ = runner(Texts(), *this);
    view_ = nullptr;
    return modalResult_;
}

void TConfigForm::FormShow() {
    using platform::ConfigList;
    // Terminal -1 is the host's "new terminal": nothing is preselected.
    bool none = FTermNumber == -1;
    view_->SetItemIndex(ConfigList::Port, none ? -1 : FPortIndex);
    view_->SetItemIndex(ConfigList::Rate, none ? -1 : FRateIndex);
    view_->SetItemIndex(ConfigList::Ptype, none ? -1 : FConnIndex);
}

void TConfigForm::AddBtnClick() {
    using platform::ConfigList;
    TDrvIni ini(FIniPath, FEnv);
    TTermInfo info;
    // No selection reads as -1: port 0, rate code 0, connection type -1.
    info.Port = view_->ItemIndex(ConfigList::Port) + 1;
    info.Rate = view_->ItemIndex(ConfigList::Rate) + 1;
    info.ConnType = view_->ItemIndex(ConfigList::Ptype);
    info.ID = FTermNumber;
    ini.GetTermCount();
    ini.NewTermInfo(info);
    modalResult_ = platform::kModalOk;
}

void TConfigForm::CancelBtnClick() { modalResult_ = platform::kModalCancel; }

void TConfigForm::Shown(platform::ConfigDialogView& view) {
    view_ = &view;
    FormShow();
}

int32_t TConfigForm::SaveClicked(platform::ConfigDialogView& view) {
    view_ = &view;
    // The button's own modal result comes first, as with any confirming button.
    modalResult_ = platform::kModalOk;
    try {
        AddBtnClick();
    } catch (const Exception& e) {
        // The settings were not (or only partly) written: the user sees why and the dialog stays
        // open, so that DctConfigure never reports a failed save as confirmed.
        modalResult_ = platform::kModalNone;
        view.ShowError(FormErrorText(e.Message()));
    }
    return modalResult_;
}

int32_t TConfigForm::CancelClicked(platform::ConfigDialogView& view) {
    view_ = &view;
    CancelBtnClick();
    return modalResult_;
}

int32_t ConfigureTerminal(int32_t number, const AnsiString& directory, platform::Env& env,
                          const TConfigForm::Runner& runner) {
    int32_t result = rc::Ok;
    TFormRec rec;
    rec.IniPath = ConstructFileName(directory, kSettingsFileName);
    rec.TermNumber = number;
    TDrvIni ini(rec.IniPath, env);
    if (ini.DctExist(number)) {
        TTermInfo info;
        ini.GetTermInfoByID(number, info);
        // No range check: a position outside a list just leaves it without a selection.
        rec.PortIndex = PositionOf(info.Port);
        rec.RateIndex = PositionOf(info.Rate);
        rec.ConnIndex = info.ConnType;
    }
    TConfigForm form(rec, env);
    if (form.ShowModal(runner) != platform::kModalOk) result = rc::NotConfirmed;
    return result;
}

int32_t ConfigureTerminal(int32_t number, const AnsiString& directory, platform::Env& env) {
    return ConfigureTerminal(number, directory, env, platform::ShowConfigDialog);
}

}  // namespace dct
