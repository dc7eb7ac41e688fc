#include "drv/dct/drivers/opticon_zebex/UService.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "drv/dct/drivers/opticon_zebex/ServiceForm.h"
#include "base/cp1251.h"
#include "platform/Codepage.h"

namespace dct {
namespace {

using ::testing::_;
using ::testing::Return;
using ::testing::Throw;

class MockClient : public IServiceClient {
public:
    MOCK_METHOD(int32_t, LoadFormFromFile, (std::string_view path), (override));
    MOCK_METHOD(int32_t, ShowProperties, (), (override));
};

// The file-name box, the file system as the browse button sees it, and the file-open dialog.
class FakeServiceView : public platform::ServiceDialogView {
public:
    std::u16string TaskText() const override { return text; }
    void SetTaskText(std::u16string_view t) override { text = t; }
    bool FolderExists(std::u16string_view folder) const override { return folders.count(std::u16string(folder)) > 0; }
    std::optional<std::u16string> ChooseFile(std::u16string_view dir, std::u16string_view file) override {
        startDir = dir;
        startFile = file;
        ++browses;
        return choice;
    }
    void ShowError(std::string_view message) override { errors.emplace_back(message); }

    std::u16string text;
    std::set<std::u16string> folders;
    std::optional<std::u16string> choice;  // what the person picks, nothing for Cancel
    std::u16string startDir, startFile;
    int browses = 0;
    std::vector<std::string> errors;
};

// Opens the form with a fake dialog and lets the test act on it while it is "open".
class ServiceFormTest : public ::testing::Test {
protected:
    void Open(std::function<void(platform::ServiceDialogEvents&)> actions) {
        form.FClient = &client;
        form.ShowModal([&](const platform::ServiceDialogTexts& texts, platform::ServiceDialogEvents& events) {
            view.text = Cp1251ToUtf16(texts.initialText);
            actions(events);
        });
    }

    ::testing::StrictMock<MockClient> client;
    TDctServiceForm form;
    FakeServiceView view;
};

TEST_F(ServiceFormTest, WriteWithTheInitialOrAnEmptyTextCallsNothing) {
    Open([&](platform::ServiceDialogEvents& events) {
        events.Button1Clicked(view);
        view.text.clear();
        events.Button1Clicked(view);
    });
    EXPECT_TRUE(view.errors.empty());
}

TEST_F(ServiceFormTest, WritePassesTheTextExactlyAsShown) {
    // Typed by hand: blanks and quotes stay, nothing checks that the file exists.
    EXPECT_CALL(client, LoadFormFromFile(std::string_view(" \"C:\\no such\\x.s2\"  "))).WillOnce(Return(-1));
    // A Cyrillic path reaches the server in the system's 8-bit code page.
    const std::string cyrillic = platform::Utf16ToAnsi(u"C:\\Задачи\\a.tsf");
    EXPECT_CALL(client, LoadFormFromFile(std::string_view(cyrillic))).WillOnce(Return(0));
    Open([&](platform::ServiceDialogEvents& events) {
        view.text = u" \"C:\\no such\\x.s2\"  ";
        events.Button1Clicked(view);
        view.text = u"C:\\Задачи\\a.tsf";
        events.Button1Clicked(view);
    });
}

TEST_F(ServiceFormTest, BrowseQuotesAChosenPathWithABlank) {
    EXPECT_CALL(client, LoadFormFromFile(std::string_view("C:\\Tasks\\inv.ts1")));
    EXPECT_CALL(client, LoadFormFromFile(std::string_view("\"C:\\My Tasks\\inv.ts1\"")));
    Open([&](platform::ServiceDialogEvents& events) {
        view.choice = u"C:\\Tasks\\inv.ts1";
        events.BrowseClicked(view);
        EXPECT_EQ(view.text, u"C:\\Tasks\\inv.ts1");
        events.Button1Clicked(view);
        view.choice = u"C:\\My Tasks\\inv.ts1";
        events.BrowseClicked(view);
        EXPECT_EQ(view.text, u"\"C:\\My Tasks\\inv.ts1\"");
        events.Button1Clicked(view);
    });
}

TEST_F(ServiceFormTest, BrowseStartsInTheFolderOfTheBoxOrOfTheLastChoice) {
    Open([&](platform::ServiceDialogEvents& events) {
        // The initial text names no folder: the dialog starts where the system likes.
        events.BrowseClicked(view);
        EXPECT_EQ(view.startDir, u"");
        EXPECT_EQ(view.startFile, u"");
        EXPECT_EQ(view.text, Cp1251ToUtf16(Cp1251(u8"Выберите задачу")));  // cancelled: text kept

        view.folders = {u"C:\\My Tasks", u"D:\\"};
        view.choice = u"C:\\My Tasks\\inv.ts1";
        events.BrowseClicked(view);
        // The quoted text from the last choice still names its folder.
        view.choice.reset();
        events.BrowseClicked(view);
        EXPECT_EQ(view.startDir, u"C:\\My Tasks");
        EXPECT_EQ(view.startFile, u"C:\\My Tasks\\inv.ts1");

        // A path in a drive's root starts in the root.
        view.text = u"D:\\a.tsf";
        events.BrowseClicked(view);
        EXPECT_EQ(view.startDir, u"D:\\");

        // A folder that does not exist: back to where the last file was chosen, nothing preselected.
        view.text = u"E:\\gone\\b.tsf";
        events.BrowseClicked(view);
        EXPECT_EQ(view.startDir, u"C:\\My Tasks");
        EXPECT_EQ(view.startFile, u"");
        EXPECT_EQ(view.text, u"E:\\gone\\b.tsf");
    });
    EXPECT_EQ(view.browses, 5);
}

TEST_F(ServiceFormTest, MoreParametersCallsTheServerWhateverTheBoxHolds) {
    EXPECT_CALL(client, ShowProperties()).Times(2).WillRepeatedly(Return(5));
    Open([&](platform::ServiceDialogEvents& events) {
        events.Button2Clicked(view);
        view.text.clear();
        events.Button2Clicked(view);
    });
    EXPECT_TRUE(view.errors.empty());
}

TEST_F(ServiceFormTest, AServerFailureIsShownAndTheDialogGoesOn) {
    EXPECT_CALL(client, ShowProperties())
        .WillOnce(Throw(EOleSysError("Server execution failed", static_cast<int32_t>(0x80080005))))
        .WillOnce(Return(0));
    EXPECT_CALL(client, LoadFormFromFile(_)).WillOnce(Throw(EOleException("Device not ready.", -1)));
    Open([&](platform::ServiceDialogEvents& events) {
        events.Button2Clicked(view);
        view.text = u"C:\\t.tsf";
        events.Button1Clicked(view);
        events.Button2Clicked(view);  // still usable
    });
    EXPECT_THAT(view.errors, ::testing::ElementsAre("Server execution failed.", "Device not ready."));
}

TEST(ServiceFormStatics, QuoteChosenPath) {
    EXPECT_EQ(TDctServiceForm::QuoteChosenPath(u"C:\\a\\b.tsf"), u"C:\\a\\b.tsf");
    EXPECT_EQ(TDctServiceForm::QuoteChosenPath(u"C:\\a b\\c.tsf"), u"\"C:\\a b\\c.tsf\"");
    EXPECT_EQ(TDctServiceForm::QuoteChosenPath(u"\"C:\\a b\\c.tsf\""), u"\"C:\\a b\\c.tsf\"");
}

TEST(ServiceFormStatics, TextsAreTheDialogsOwn) {
    const auto& t = TDctServiceForm::Texts();
    EXPECT_EQ(t.caption, "");
    EXPECT_EQ(Cp1251ToUtf8(t.groupCaption), "Записать задачу");
    EXPECT_EQ(Cp1251ToUtf8(t.initialText), "Выберите задачу");
    EXPECT_EQ(Cp1251ToUtf8(t.button1Caption), "Записать");
    EXPECT_EQ(Cp1251ToUtf8(t.button2Caption), "Доп параметры");
    EXPECT_EQ(Cp1251ToUtf8(t.browseTitle), "Задачи терминала");
    EXPECT_EQ(Cp1251ToUtf8(t.browseFilter), "Файл Формы|*.tsf|Задача для Zebex|*.ts1|Задача для OPTICON|*.s2");
}

}  // namespace
}  // namespace dct
