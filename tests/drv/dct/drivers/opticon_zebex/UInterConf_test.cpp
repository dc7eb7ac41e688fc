#include "drv/dct/drivers/opticon_zebex/UInterConf.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "drv/dct/drivers/opticon_zebex/ConfigForm.h"
#include "base/cp1251.h"

namespace dct {
namespace {

namespace fs = std::filesystem;
using platform::ConfigList;
using platform::kModalCancel;
using platform::kModalNone;
using platform::kModalOk;

// The dialog's lists as a person sees them: sizes of the real lists, a selection each.
class FakeConfigView : public platform::ConfigDialogView {
public:
    int32_t ItemIndex(ConfigList list) const override { return selection[Slot(list)]; }
    void SetItemIndex(ConfigList list, int32_t index) override {
        selection[Slot(list)] = index >= 0 && index < kSizes[Slot(list)] ? index : -1;
    }
    void ShowError(std::string_view message) override { errors.emplace_back(message); }

    std::array<int32_t, 3> selection{-1, -1, -1};
    std::vector<std::string> errors;

private:
    static constexpr std::array<int32_t, 3> kSizes{10, 5, 2};
    static std::size_t Slot(ConfigList list) { return static_cast<std::size_t>(list); }
};

// A person at the dialog: looks at the presets, maybe changes them, then acts.
struct Person {
    enum Action { Save, Cancel, CloseBox };
    Action action = Save;
    std::optional<std::array<int32_t, 3>> choose;  // selections to make before acting
    bool shown = false;
    std::array<int32_t, 3> presets{};
    FakeConfigView view;

    TConfigForm::Runner Runner() {
        return [this](const platform::ConfigDialogTexts&, platform::ConfigDialogEvents& events) {
            shown = true;
            events.Shown(view);
            presets = view.selection;
            if (choose) view.selection = *choose;
            switch (action) {
                case Save: return events.SaveClicked(view);
                case Cancel: return events.CancelClicked(view);
                case CloseBox: return kModalCancel;
            }
            return kModalNone;
        };
    }
};

class ConfigureTerminalTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("dct-config-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Dir() const { return dir_.string(); }
    fs::path Ini() const { return dir_ / "DctDrv.ini"; }
    void WriteIni(const std::string& text) const { std::ofstream(Ini(), std::ios::binary) << text; }
    std::string ReadIni() const {
        std::ifstream in(Ini(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path dir_;
};

// Key names match without regard to case; how a rewritten key is spelled is the settings layer's choice.
std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

TEST_F(ConfigureTerminalTest, NoSectionPresetsFirstItemsAndSaveWritesTheFourKeys) {
    WriteIni("[3]\r\nDCT_Port=4\r\n[9]\r\n");  // another terminal, and an empty section for 9
    for (int32_t number : {5, 9}) {
        Person person;
        EXPECT_EQ(ConfigureTerminal(number, Dir(), platform::Env::Default(), person.Runner()), 0);
        EXPECT_EQ(person.presets, (std::array<int32_t, 3>{0, 0, 0})) << number;
    }
    EXPECT_EQ(ReadIni(),
              "[3]\r\nDCT_Port=4\r\n[9]\r\nDCT_Port=1\r\nDCT_Rate=1\r\nDCT_type=0\r\nDCT_ID=9\r\n"
              "[5]\r\nDCT_Port=1\r\nDCT_Rate=1\r\nDCT_type=0\r\nDCT_ID=5\r\n");
}

TEST_F(ConfigureTerminalTest, PresetsComeFromTheSectionAndSaveWritesTheChoices) {
    WriteIni("[2]\r\nDCT_Port=3\r\nDCT_Rate=5\r\nDCT_Type=1\r\nUser=kept\r\n");
    Person person;
    person.choose = std::array<int32_t, 3>{9, 1, 0};  // COM 10, 57600, infrared cradle
    EXPECT_EQ(ConfigureTerminal(2, Dir(), platform::Env::Default(), person.Runner()), 0);
    EXPECT_EQ(person.presets, (std::array<int32_t, 3>{2, 4, 1}));  // COM 3, 9600, cable
    // Present keys keep their place, the missing identifier is appended, other keys stay.
    EXPECT_EQ(Lower(ReadIni()), Lower("[2]\r\nDCT_Port=10\r\nDCT_Rate=2\r\nDCT_Type=0\r\nUser=kept\r\nDCT_ID=2\r\n"));
}

TEST_F(ConfigureTerminalTest, PositionsOutsideTheListsShowNoSelectionAndSaveAsNone) {
    // Port 12 is past the list, rate 0 before it, connection 7 past it; the extreme port must
    // wrap to a position outside the list, not overflow.
    for (std::string port : {"12", "-2147483648"}) {
        WriteIni("[4]\r\nDCT_Port=" + port + "\r\nDCT_Rate=0\r\nDCT_Type=7\r\n");
        Person person;
        EXPECT_EQ(ConfigureTerminal(4, Dir(), platform::Env::Default(), person.Runner()), 0);
        EXPECT_EQ(person.presets, (std::array<int32_t, 3>{-1, -1, -1})) << port;
        EXPECT_EQ(Lower(ReadIni()), Lower("[4]\r\nDCT_Port=0\r\nDCT_Rate=0\r\nDCT_Type=-1\r\nDCT_ID=4\r\n"));
    }
}

TEST_F(ConfigureTerminalTest, TerminalMinusOneStartsWithoutSelection) {
    WriteIni("[-1]\r\nDCT_Port=2\r\nDCT_Rate=2\r\nDCT_Type=1\r\n");  // even when its section has values
    Person person;
    EXPECT_EQ(ConfigureTerminal(-1, Dir(), platform::Env::Default(), person.Runner()), 0);
    EXPECT_EQ(person.presets, (std::array<int32_t, 3>{-1, -1, -1}));
    EXPECT_EQ(Lower(ReadIni()), Lower("[-1]\r\nDCT_Port=0\r\nDCT_Rate=0\r\nDCT_Type=-1\r\nDCT_ID=-1\r\n"));

    fs::remove(Ini());
    Person fresh;
    EXPECT_EQ(ConfigureTerminal(-1, Dir(), platform::Env::Default(), fresh.Runner()), 0);
    EXPECT_EQ(ReadIni(), "[-1]\r\nDCT_Port=0\r\nDCT_Rate=0\r\nDCT_type=-1\r\nDCT_ID=-1\r\n");
}

TEST_F(ConfigureTerminalTest, CancelAndCloseBoxWriteNothing) {
    const std::string before = "[6]\r\nDCT_Port=2\r\n";
    for (auto action : {Person::Cancel, Person::CloseBox}) {
        WriteIni(before);
        Person person;
        person.action = action;
        person.choose = std::array<int32_t, 3>{4, 4, 1};
        EXPECT_EQ(ConfigureTerminal(6, Dir(), platform::Env::Default(), person.Runner()), -5);
        EXPECT_EQ(ReadIni(), before);
    }
    // No file at all: none is created.
    fs::remove(Ini());
    Person person;
    person.action = Person::Cancel;
    EXPECT_EQ(ConfigureTerminal(6, Dir(), platform::Env::Default(), person.Runner()), -5);
    EXPECT_FALSE(fs::exists(Ini()));
}

TEST_F(ConfigureTerminalTest, UnreadableSettingRaisesBeforeAnyDialog) {
    WriteIni("[8]\r\nDCT_Port=2\r\nDCT_Rate=fast\r\n");
    Person person;
    EXPECT_THROW(ConfigureTerminal(8, Dir(), platform::Env::Default(), person.Runner()), EConvertError);
    EXPECT_FALSE(person.shown);
}

TEST_F(ConfigureTerminalTest, FailedSaveIsShownAndKeepsTheDialogOpen) {
    // The settings folder does not exist: the write fails. The person reads the message and
    // cancels; the call must not report the failed save as confirmed.
    std::string missing = (dir_ / "missing").string();
    platform::ConfigDialogEvents* events = nullptr;
    FakeConfigView view;
    int32_t afterSave = -100;
    auto runner = [&](const platform::ConfigDialogTexts&, platform::ConfigDialogEvents& e) {
        events = &e;
        e.Shown(view);
        afterSave = e.SaveClicked(view);
        return e.CancelClicked(view);
    };
    EXPECT_EQ(ConfigureTerminal(1, missing, platform::Env::Default(), runner), -5);
    EXPECT_EQ(afterSave, kModalNone);
    ASSERT_EQ(view.errors.size(), 1u);
    EXPECT_EQ(view.errors[0], "Unable to write to " + missing + "\\DctDrv.ini.");
}

TEST(ConfigFormTest, CreateCopiesTheRecord) {
    TFormRec rec;
    rec.PortIndex = 3;
    rec.RateIndex = 4;
    rec.TermNumber = 17;
    rec.ConnIndex = 1;
    rec.IniPath = "C:\\data\\DctDrv.ini";
    TConfigForm form(rec, platform::Env::Default());
    EXPECT_EQ(form.FIniPath, rec.IniPath);
    EXPECT_EQ(form.FPortIndex, 3);
    EXPECT_EQ(form.FRateIndex, 4);
    EXPECT_EQ(form.FConnIndex, 1);
    EXPECT_EQ(form.FTermNumber, 17);
}

TEST(ConfigFormTest, TextsAreTheDialogsOwn) {
    const auto& t = TConfigForm::Texts();
    EXPECT_EQ(Cp1251ToUtf8(t.caption), "Настройка терминала");
    EXPECT_EQ(Cp1251ToUtf8(t.portLabel), "Порт");
    EXPECT_EQ(Cp1251ToUtf8(t.rateLabel), "Битрейт");
    EXPECT_EQ(Cp1251ToUtf8(t.connLabel), "Подключение");
    EXPECT_EQ(Cp1251ToUtf8(t.saveCaption), "&Сохранить");
    EXPECT_EQ(Cp1251ToUtf8(t.cancelCaption), "&Отмена");
    ASSERT_EQ(t.portItems.size(), 10u);
    EXPECT_EQ(t.portItems.front(), "COM 1");
    EXPECT_EQ(t.portItems.back(), "COM 10");
    EXPECT_THAT(t.rateItems, ::testing::ElementsAre("115200", "57600", "38400", "19200", "9600"));
    ASSERT_EQ(t.connItems.size(), 2u);
    EXPECT_EQ(Cp1251ToUtf8(t.connItems[0]), "ИК-подставка");
    EXPECT_EQ(Cp1251ToUtf8(t.connItems[1]), "Кабель");
}

TEST(ConfigFormTest, ErrorTextEndsWithAFullStop) {
    EXPECT_EQ(FormErrorText("Unable to write to C:\\x"), "Unable to write to C:\\x.");
    EXPECT_EQ(FormErrorText("Done."), "Done.");
    EXPECT_EQ(FormErrorText("(code -1)"), "(code -1)");  // ')' sorts below '.'
    EXPECT_EQ(FormErrorText(Cp1251(u8"Ошибка").str()), Cp1251(u8"Ошибка.").str());
    EXPECT_EQ(FormErrorText(""), "");
}

}  // namespace
}  // namespace dct
