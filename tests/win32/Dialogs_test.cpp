// The two dialogs as a person meets them: real Win32 dialogs of DctDrv.dll (DctConfigure and the
// table's DctInteractiveService) under a display, found by their texts, driven with window
// messages from a second thread while the test's thread runs the modal call, checked through the
// settings file and the simulator's call log. Each dialog is also saved
// as a picture (config-dialog.bmp, service-dialog.bmp in the working folder).
//
// Needs a display (DISPLAY set for Wine's X11 driver); without one the tests skip.

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "boundary/DctBoundary.h"
#include "support/TermSimFixture.h"

namespace {

namespace fs = std::filesystem;

// How long a person waits for a window, a focus or a call before giving up. Where 32-bit code runs
// under qemu a dialog can take seconds to appear; where it runs natively every wait ends far sooner,
// so the bound only decides how long a broken dialog takes to fail.
constexpr DWORD kPatienceMs = 60000;

bool HaveDisplay() { return GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) > 0; }

// Wine leaves window frames to the display's window manager, and a bare test display has none:
// the pictures would lack the title bar. Asked before the first window, Wine draws its own frames
// for this program (its per-program settings key; nothing else is affected).
void DrawOwnWindowFrames() {
    static bool done = false;
    if (done) return;
    done = true;
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring exe = fs::path(path).filename().wstring();
    std::wstring key = L"Software\\Wine\\AppDefaults\\" + exe + L"\\X11 Driver";
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) ==
        ERROR_SUCCESS) {
        RegSetValueExW(handle, L"Decorated", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"N"), 2 * sizeof(wchar_t));
        RegCloseKey(handle);
    }
}

// The library as the host loads it, from beside this program.
struct Library {
    Library() {
        module = LoadLibraryW(L"DctDrv.dll");
        if (module == nullptr) return;
        configure = reinterpret_cast<Configure>(GetProcAddress(module, "DctConfigure"));
        init = reinterpret_cast<Init>(GetProcAddress(module, "DctInit"));
    }
    ~Library() {
        if (module != nullptr) FreeLibrary(module);
    }
    using Configure = int32_t(DCT_CDECL*)(int32_t, const char*);
    using Init = int32_t(DCT_CDECL*)(int32_t, const char*, TDctDriverFuncs**, DctHandle*);
    HMODULE module = nullptr;
    Configure configure = nullptr;
    Init init = nullptr;
};

// ---- Looking at another thread's windows ----------------------------------------------------

std::wstring Text(HWND window) {
    wchar_t buffer[512] = {};
    // WM_GETTEXT reaches the window itself, whichever thread owns it.
    SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

std::wstring ClassOf(HWND window) {
    wchar_t buffer[64] = {};
    GetClassNameW(window, buffer, 64);
    return buffer;
}

BOOL CALLBACK CollectDialog(HWND window, LPARAM list) {
    if (IsWindowVisible(window) && ClassOf(window) == L"#32770")
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> VisibleDialogs(DWORD thread) {
    std::vector<HWND> found;
    EnumThreadWindows(thread, &CollectDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND WaitForDialog(DWORD thread, const std::function<bool(HWND)>& match) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < kPatienceMs; Sleep(50))
        for (HWND window : VisibleDialogs(thread))
            if (match(window)) return window;
    return nullptr;
}

bool WaitGone(HWND window) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < kPatienceMs; Sleep(50))
        if (!IsWindow(window) || !IsWindowVisible(window)) return true;
    return false;
}

HWND FocusOf(DWORD thread) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

bool WaitForFocus(DWORD thread, HWND window) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < kPatienceMs; Sleep(20))
        if (FocusOf(thread) == window) return true;
    return false;
}

// A key as the keyboard gives it to the focused control; the dialog's loop translates it.
void PressKey(DWORD thread, UINT key) {
    HWND focus = FocusOf(thread);
    PostMessageW(focus, WM_KEYDOWN, key, 1);
    PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
}

// A letter as typed (Cyrillic keyboard layout assumed): with Alt it arrives as WM_SYSCHAR.
void TypeLetter(DWORD thread, wchar_t letter, bool alt) {
    HWND focus = FocusOf(thread);
    PostMessageW(focus, alt ? WM_SYSCHAR : WM_CHAR, letter, alt ? 0x20000001 : 1);
}

// A click without waiting for what it opens (a message box would block a sent click).
void Click(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

HWND ChildWithText(HWND parent, const std::wstring& text) {
    HWND found = nullptr;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr && found == nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        if (Text(child) == text) found = child;
    return found;
}

// The message box over `owner`, its text.
HWND WaitForMessageBox(DWORD thread, HWND owner) {
    return WaitForDialog(thread, [&](HWND w) { return w != owner && GetWindow(w, GW_OWNER) == owner; });
}

std::wstring MessageBoxText(HWND box) {
    HWND text = GetDlgItem(box, 0xFFFF);
    return text != nullptr ? Text(text) : L"";
}

// ---- Pictures -------------------------------------------------------------------------------

// What the screen shows of the window, as a 24-bit BMP file.
void SaveScreenshot(HWND window, const fs::path& file) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    Sleep(700);  // let the window manager of the display catch up with the paint
    RECT rect{};
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;  // bottom-up, as BMP files store rows
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::vector<char> pixels(stride * static_cast<DWORD>(height));
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), reinterpret_cast<BITMAPINFO*>(&header),
              DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER fileHeader{};
    fileHeader.bfType = 0x4D42;
    fileHeader.bfOffBits = sizeof fileHeader + sizeof header;
    fileHeader.bfSize = fileHeader.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&fileHeader), sizeof fileHeader);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
}

// ---- A person at the dialog -----------------------------------------------------------------

// Runs `person` on a second thread while this thread runs `modal`, the call that shows a dialog.
// Should the person give up, every dialog of this thread is closed so that the test ends.
class Session {
public:
    Session(std::function<void(DWORD uiThread)> person) : person_(std::move(person)) {}

    void Run(const std::function<void()>& modal) {
        uiThread_ = GetCurrentThreadId();
        HANDLE thread = CreateThread(nullptr, 0, &Start, this, 0, nullptr);
        ASSERT_NE(thread, nullptr);
        modal();
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }

private:
    static DWORD WINAPI Start(void* self) {
        auto& session = *static_cast<Session*>(self);
        session.person_(session.uiThread_);
        // Whatever the person left open: close it, so that the modal call returns.
        for (int round = 0; round < 20; ++round) {
            std::vector<HWND> open = VisibleDialogs(session.uiThread_);
            if (open.empty()) break;
            for (HWND window : open) {
                std::wstring text = Text(window) + L" | " + MessageBoxText(window);
                ADD_FAILURE() << "a dialog was left open: " << std::string(text.begin(), text.end());
                PostMessageW(window, WM_CLOSE, 0, 0);
            }
            Sleep(500);
        }
        return 0;
    }

    std::function<void(DWORD)> person_;
    DWORD uiThread_ = 0;
};

// ---- Configuration dialog -------------------------------------------------------------------

class ConfigDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveDisplay()) GTEST_SKIP() << "no display (DISPLAY is not set): the dialogs cannot be shown";
        DrawOwnWindowFrames();
        ASSERT_NE(library_.configure, nullptr) << "DctDrv.dll or its DctConfigure is missing";
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        dir_ = fs::path(temp) / ("dct dialogs " + std::to_string(GetCurrentProcessId()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (!dir_.empty()) fs::remove_all(dir_);
    }

    std::string Dir() const { return dir_.string(); }
    void WriteIni(const std::string& text) const { std::ofstream(dir_ / "DctDrv.ini", std::ios::binary) << text; }
    std::string ReadIni() const {
        std::ifstream in(dir_ / "DctDrv.ini", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Runs DctConfigure's dialog for `number` with `person` at it; gives its result.
    int32_t Configure(int32_t number, const std::string& dir, std::function<void(DWORD, HWND)> person) {
        int32_t result = 12345;
        Session session([&](DWORD ui) {
            HWND dialog = WaitForDialog(ui, [](HWND w) { return Text(w) == L"Настройка терминала"; });
            ASSERT_NE(dialog, nullptr) << "the configuration dialog did not appear";
            // It is ready for the person once the focus has reached its Cancel button.
            ASSERT_TRUE(WaitForFocus(ui, GetDlgItem(dialog, IDCANCEL)));
            person(ui, dialog);
        });
        session.Run([&] { result = library_.configure(number, dir.c_str()); });
        return result;
    }

    static HWND Combo(HWND dialog, int index) {  // 0 port, 1 rate, 2 connection, in list order
        std::vector<HWND> combos;
        for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
            if (ClassOf(child) == L"ComboBox") combos.push_back(child);
        // Tab order is port, connection, rate.
        static const int kOrder[] = {0, 2, 1};
        return combos.size() == 3 ? combos[kOrder[index]] : nullptr;
    }
    static int Selection(HWND combo) { return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0)); }
    static std::vector<std::wstring> Items(HWND combo) {
        std::vector<std::wstring> items;
        int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t buffer[64] = {};
            SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buffer));
            items.emplace_back(buffer);
        }
        return items;
    }

    Library library_;
    fs::path dir_;
};

TEST_F(ConfigDialogTest, LooksAsSpecifiedAndSavesTheChoicesWithEnterOnAList) {
    WriteIni("[5]\r\nDCT_Port=3\r\nDCT_Rate=5\r\nDCT_Type=1\r\nNote=kept\r\n");
    int32_t result = Configure(5, Dir(), [&](DWORD ui, HWND dialog) {
        // Client area 221 x 202 at 96 dpi, centred on the screen, fixed border.
        RECT client{}, window{};
        GetClientRect(dialog, &client);
        GetWindowRect(dialog, &window);
        EXPECT_EQ(client.right, 221);
        EXPECT_EQ(client.bottom, 202);
        EXPECT_NEAR((window.left + window.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
        EXPECT_NEAR((window.top + window.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
        EXPECT_EQ(GetWindowLongW(dialog, GWL_STYLE) & WS_THICKFRAME, 0);

        EXPECT_NE(ChildWithText(dialog, L"Порт"), nullptr);
        EXPECT_NE(ChildWithText(dialog, L"Битрейт"), nullptr);
        EXPECT_NE(ChildWithText(dialog, L"Подключение"), nullptr);
        EXPECT_EQ(Text(GetDlgItem(dialog, IDOK)), L"&Сохранить");
        EXPECT_EQ(Text(GetDlgItem(dialog, IDCANCEL)), L"&Отмена");
        EXPECT_EQ(Items(Combo(dialog, 0)),
                  (std::vector<std::wstring>{L"COM 1", L"COM 2", L"COM 3", L"COM 4", L"COM 5", L"COM 6", L"COM 7",
                                             L"COM 8", L"COM 9", L"COM 10"}));
        EXPECT_EQ(Items(Combo(dialog, 1)), (std::vector<std::wstring>{L"115200", L"57600", L"38400", L"19200", L"9600"}));
        EXPECT_EQ(Items(Combo(dialog, 2)), (std::vector<std::wstring>{L"ИК-подставка", L"Кабель"}));
        // Presets from the section: COM 3, 9600, cable.
        EXPECT_EQ(Selection(Combo(dialog, 0)), 2);
        EXPECT_EQ(Selection(Combo(dialog, 1)), 4);
        EXPECT_EQ(Selection(Combo(dialog, 2)), 1);
        // The image buttons are the host's owner-drawn kind; the lists take no typing.
        EXPECT_EQ(GetWindowLongW(GetDlgItem(dialog, IDOK), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
        EXPECT_EQ(GetWindowLongW(Combo(dialog, 0), GWL_STYLE) & 3, CBS_DROPDOWNLIST);

        SaveScreenshot(dialog, "config-dialog.bmp");

        SendMessageW(Combo(dialog, 0), CB_SETCURSEL, 6, 0);  // COM 7
        SendMessageW(Combo(dialog, 1), CB_SETCURSEL, 1, 0);  // 57600
        SendMessageW(Combo(dialog, 2), CB_SETCURSEL, 0, 0);  // infrared cradle
        // Tab order: Cancel, Save, port list.
        PressKey(ui, VK_TAB);
        ASSERT_TRUE(WaitForFocus(ui, GetDlgItem(dialog, IDOK)));
        PressKey(ui, VK_TAB);
        ASSERT_TRUE(WaitForFocus(ui, Combo(dialog, 0)));
        PressKey(ui, VK_TAB);
        ASSERT_TRUE(WaitForFocus(ui, Combo(dialog, 2)));
        PressKey(ui, VK_RETURN);  // on a list: Save
        EXPECT_TRUE(WaitGone(dialog));
    });
    EXPECT_EQ(result, 0);
    std::string ini = ReadIni();
    std::transform(ini.begin(), ini.end(), ini.begin(), [](char c) { return static_cast<char>(tolower(c)); });
    EXPECT_EQ(ini, "[5]\r\ndct_port=7\r\ndct_rate=2\r\ndct_type=0\r\nnote=kept\r\ndct_id=5\r\n");
}

TEST_F(ConfigDialogTest, EscEnterOnCancelAndTheCloseBoxCancel) {
    const std::string before = "[2]\r\nDCT_Port=2\r\n";
    WriteIni(before);
    auto change = [](HWND dialog) { SendMessageW(Combo(dialog, 0), CB_SETCURSEL, 8, 0); };
    EXPECT_EQ(Configure(2, Dir(),
                        [&](DWORD ui, HWND dialog) {
                            change(dialog);
                            PressKey(ui, VK_ESCAPE);
                            EXPECT_TRUE(WaitGone(dialog));
                        }),
              -5);
    EXPECT_EQ(Configure(2, Dir(),
                        [&](DWORD ui, HWND dialog) {
                            change(dialog);
                            PressKey(ui, VK_RETURN);  // the focus starts on Cancel
                            EXPECT_TRUE(WaitGone(dialog));
                        }),
              -5);
    EXPECT_EQ(Configure(2, Dir(),
                        [&](DWORD, HWND dialog) {
                            change(dialog);
                            PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
                            EXPECT_TRUE(WaitGone(dialog));
                        }),
              -5);
    EXPECT_EQ(ReadIni(), before);
}

TEST_F(ConfigDialogTest, AcceleratorSavesAndMinusOneStartsEmpty) {
    int32_t result = Configure(-1, Dir(), [&](DWORD ui, HWND dialog) {
        for (int i = 0; i < 3; ++i) EXPECT_EQ(Selection(Combo(dialog, i)), CB_ERR) << i;
        // Alt+Shift+С: Wine matches mnemonics by an upper-casing that knows only Latin letters, so
        // the lower-case letter that Alt alone gives works on Windows only.
        TypeLetter(ui, L'С', true);  // "&Сохранить"
        EXPECT_TRUE(WaitGone(dialog));
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadIni(), "[-1]\r\nDCT_Port=0\r\nDCT_Rate=0\r\nDCT_type=-1\r\nDCT_ID=-1\r\n");
}

TEST_F(ConfigDialogTest, AFailedSaveIsShownAndTheDialogStaysOpen) {
    std::string missing = (dir_ / "missing").string();
    int32_t result = Configure(1, missing, [&](DWORD ui, HWND dialog) {
        Click(dialog, IDOK);
        HWND box = WaitForMessageBox(ui, dialog);
        ASSERT_NE(box, nullptr) << "no message box for the failed save";
        std::wstring text = MessageBoxText(box);
        EXPECT_EQ(text.rfind(L"Unable to write to ", 0), 0u) << std::string(text.begin(), text.end());
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitGone(box));
        EXPECT_TRUE(IsWindowVisible(dialog));
        // The focus comes back to the dialog, so the keyboard goes on working.
        EXPECT_TRUE(WaitForFocus(ui, GetDlgItem(dialog, IDCANCEL)));
        PressKey(ui, VK_ESCAPE);
        EXPECT_TRUE(WaitGone(dialog));
    });
    EXPECT_EQ(result, -5);
}

// ---- Service dialog -------------------------------------------------------------------------

class ServiceDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveDisplay()) GTEST_SKIP() << "no display (DISPLAY is not set): the dialogs cannot be shown";
        DrawOwnWindowFrames();
        ASSERT_NE(library_.init, nullptr) << "DctDrv.dll or its DctInit is missing";
        CoInitialize(nullptr);  // the host's thread has COM initialised
        sim_ = std::make_unique<dct::test::TermSimFixture>();
        // Terminal 1 on COM 2 at 57600 through the cable, in a settings folder of its own.
        settings_ = sim_->Folder() / "settings";
        fs::create_directories(settings_);
        std::ofstream(settings_ / "DctDrv.ini", std::ios::binary)
            << "[1]\r\nDCT_Port=2\r\nDCT_Rate=2\r\nDCT_ID=1\r\nDCT_Type=1\r\n";
        ASSERT_EQ(library_.init(1, settings_.string().c_str(), &funcs_, &handle_), 0);
    }
    void TearDown() override {
        if (handle_ != nullptr) EXPECT_EQ(funcs_->DctFini(handle_, funcs_), 0);
        sim_.reset();
        if (HaveDisplay()) CoUninitialize();
    }

    // Opens the service dialog through the operation table with `person` at it.
    void Service(std::function<void(DWORD, HWND)> person) {
        int32_t result = 12345;
        Session session([&](DWORD ui) {
            HWND dialog = WaitForDialog(ui, [](HWND w) { return ChildWithText(w, L"Записать задачу") != nullptr; });
            ASSERT_NE(dialog, nullptr) << "the service dialog did not appear";
            person(ui, dialog);
        });
        session.Run([&] { result = funcs_->DctInteractiveService(handle_); });
        EXPECT_EQ(result, 0);
    }

    static HWND Edit(HWND dialog) {
        for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
            if (ClassOf(child) == L"Edit") return child;
        return nullptr;
    }
    static int IdOf(HWND dialog, const std::wstring& text) { return GetDlgCtrlID(ChildWithText(dialog, text)); }

    // The call log's entries for the dialog's two operations.
    std::vector<std::string> DialogCalls() const {
        std::vector<std::string> calls;
        for (const std::string& line : sim_->Calls())
            if (line.rfind("LoadFormFromFile", 0) == 0 || line.rfind("ShowProperties", 0) == 0) calls.push_back(line);
        return calls;
    }
    // Waits until the log holds `count` of them.
    bool WaitForCalls(std::size_t count) const {
        for (DWORD start = GetTickCount(); GetTickCount() - start < kPatienceMs; Sleep(50))
            if (DialogCalls().size() >= count) return true;
        return false;
    }

    Library library_;
    std::unique_ptr<dct::test::TermSimFixture> sim_;
    fs::path settings_;
    TDctDriverFuncs* funcs_ = nullptr;
    DctHandle handle_ = nullptr;
};

TEST_F(ServiceDialogTest, LooksAsSpecifiedAndPassesTheBoxText) {
    Service([&](DWORD ui, HWND dialog) {
        RECT client{};
        GetClientRect(dialog, &client);
        EXPECT_EQ(client.right, 295);
        EXPECT_EQ(client.bottom, 154);
        EXPECT_EQ(Text(dialog), L"");
        EXPECT_NE(GetWindowLongW(dialog, GWL_STYLE) & WS_THICKFRAME, 0);
        HWND edit = Edit(dialog);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(Text(edit), L"Выберите задачу");
        EXPECT_TRUE(WaitForFocus(ui, edit));  // first in the tab order
        int write = IdOf(dialog, L"Записать"), more = IdOf(dialog, L"Доп параметры");
        ASSERT_NE(write, 0);
        ASSERT_NE(more, 0);
        SaveScreenshot(dialog, "service-dialog.bmp");

        // The initial text: no call. Then Tab to "Записать" and Space presses it.
        Click(dialog, write);
        Click(dialog, more);  // a marker: the log must show only this call
        ASSERT_TRUE(WaitForCalls(1));
        EXPECT_EQ(DialogCalls(), (std::vector<std::string>{"ShowProperties -> 0"}));

        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L" C:\\no such\\task.ts1 "));
        PressKey(ui, VK_TAB);
        ASSERT_TRUE(WaitForFocus(ui, GetDlgItem(dialog, write)));
        PressKey(ui, VK_SPACE);
        ASSERT_TRUE(WaitForCalls(2));
        EXPECT_EQ(DialogCalls().back(), "LoadFormFromFile \" C:\\\\no such\\\\task.ts1 \" -> 0");

        // Esc and Enter leave the dialog open; the close box ends it.
        PressKey(ui, VK_ESCAPE);
        PressKey(ui, VK_TAB);
        ASSERT_TRUE(WaitForFocus(ui, GetDlgItem(dialog, more)));
        PressKey(ui, VK_RETURN);  // presses the focused button
        ASSERT_TRUE(WaitForCalls(3));
        EXPECT_TRUE(IsWindowVisible(dialog));
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(WaitGone(dialog));
    });
}

TEST_F(ServiceDialogTest, BrowseQuotesAPathWithABlank) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    fs::path folder = fs::path(temp) / "My Tasks";
    fs::create_directories(folder);
    std::ofstream(folder / "inv.ts1") << "task";
    std::wstring chosen = (folder / "inv.ts1").wstring();

    Service([&](DWORD ui, HWND dialog) {
        HWND edit = Edit(dialog);
        ASSERT_TRUE(WaitForFocus(ui, edit));
        PostMessageW(edit, WM_SYSKEYDOWN, VK_DOWN, 0x20000001);  // Alt+Down: the browse button
        HWND files = WaitForDialog(ui, [](HWND w) { return Text(w) == L"Задачи терминала"; });
        ASSERT_NE(files, nullptr) << "the file-open dialog did not appear";
        // Its file-name field: the explorer-style dialog's combo box, or the old-style edit.
        HWND name = GetDlgItem(files, 0x47c);
        if (name == nullptr) name = GetDlgItem(files, 0x480);
        ASSERT_NE(name, nullptr);
        SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(chosen.c_str()));
        PostMessageW(files, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitGone(files));
        EXPECT_EQ(Text(edit), L"\"" + chosen + L"\"");
        Click(dialog, IdOf(dialog, L"Записать"));
        ASSERT_TRUE(WaitForCalls(1));
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        EXPECT_TRUE(WaitGone(dialog));
    });
    std::string expected = "LoadFormFromFile \"\\\"";
    for (wchar_t c : chosen) {
        if (c == L'\\') expected += '\\';
        expected += static_cast<char>(c);
    }
    expected += "\\\"\" -> 0";
    EXPECT_EQ(DialogCalls(), (std::vector<std::string>{expected}));
    fs::remove_all(folder);
}

TEST_F(ServiceDialogTest, AServerFailureIsShownAndTheDialogStaysOpen) {
    sim_->WriteFaults("[ShowProperties]\nHResult=0x80004005\nErrorInfo=The terminal does not answer\n");
    Service([&](DWORD ui, HWND dialog) {
        Click(dialog, IdOf(dialog, L"Доп параметры"));
        HWND box = WaitForMessageBox(ui, dialog);
        ASSERT_NE(box, nullptr) << "no message box for the failing call";
        EXPECT_EQ(MessageBoxText(box), L"The terminal does not answer.");
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitGone(box));
        EXPECT_TRUE(IsWindowVisible(dialog));
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(WaitGone(dialog));
    });
}

}  // namespace
