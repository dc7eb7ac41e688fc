#include "platform/Dialogs.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
// clang-format on

#include <algorithm>
#include <cstddef>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "base/cp1251.h"
#include "platform/Codepage.h"
#include "platform/win32/Handle.h"
#include "platform/win32/SystemLibrary.h"

namespace dct::platform {
namespace {

// ---- Texts ----------------------------------------------------------------------------------

// Our captions are 1251 whatever the system's code page: mapped byte by byte, not through CP_ACP.
std::wstring FromCp1251(std::string_view text) {
    std::u16string wide = Cp1251ToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

// Exception messages are the host's 8-bit text: paths and server texts in the system's code page.
std::wstring FromAnsi(std::string_view text) {
    std::u16string wide = AnsiToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

std::u16string ToU16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }
std::wstring ToWide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

std::wstring WindowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    length = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return text;
}

// ---- Module, screen, fonts ------------------------------------------------------------------

// The dialogs belong to the module that holds this code (the DLL, not the host's program).
HINSTANCE OwnModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&OwnModule), &module);
    return module;
}

// Title of our message boxes: the module's file name without folder and extension ("DctDrv").
std::wstring ModuleTitle() {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(OwnModule(), path, MAX_PATH);
    std::wstring name(path, length);
    std::size_t sep = name.find_last_of(L"\\/");
    if (sep != std::wstring::npos) name.erase(0, sep + 1);
    std::size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0) name.erase(dot);
    return name;
}

// Sizes are given at 96 pixels per inch and follow the screen's setting.
class Scale {
public:
    Scale() {
        HDC screen = GetDC(nullptr);
        int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen != nullptr) ReleaseDC(nullptr, screen);
        dpi_ = dpi > 0 ? dpi : 96;
    }
    int operator()(int pixels) const { return MulDiv(pixels, dpi_, 96); }

private:
    int dpi_ = 96;
};

struct FontTraits {
    using pointer = HFONT;
    static pointer Invalid() { return nullptr; }
    static void Close(pointer font) { DeleteObject(font); }
};
using UniqueFont = UniqueAny<FontTraits>;

// "Arial", 12 pixels: the font of every control in both dialogs.
UniqueFont ControlFont(const Scale& scale) {
    return UniqueFont(CreateFontW(-scale(12), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                  DEFAULT_PITCH | FF_SWISS, L"Arial"));
}

// Gives the window the client size asked for and puts it in the middle of the screen.
void SizeClientAndCentre(HWND window, int clientWidth, int clientHeight) {
    RECT outer{}, inner{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &inner);
    int width = clientWidth + (outer.right - outer.left) - (inner.right - inner.left);
    int height = clientHeight + (outer.bottom - outer.top) - (inner.bottom - inner.top);
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- In-memory dialog template --------------------------------------------------------------

// A DLGTEMPLATE with its items, built in code so that the library needs no resource script.
// Positions are set in pixels when the dialog starts; the template only gives styles, classes,
// texts and the order of the controls, which is their tab order.
class DialogTemplate {
public:
    DialogTemplate(DWORD style, std::wstring_view title, WORD pointSize, std::wstring_view face) {
        DLGTEMPLATE header{};
        header.style = style | DS_SETFONT;
        Append(&header, sizeof header);
        Word(0);  // no menu
        Word(0);  // the standard dialog class
        String(title);
        Word(pointSize);
        String(face);
    }

    void Add(WORD id, std::wstring_view windowClass, std::wstring_view text, DWORD style, DWORD exStyle = 0) {
        Align();
        DLGITEMTEMPLATE item{};
        item.style = style | WS_CHILD | WS_VISIBLE;
        item.dwExtendedStyle = exStyle;
        item.cx = 1;
        item.cy = 1;
        item.id = id;
        Append(&item, sizeof item);
        String(windowClass);
        String(text);
        Word(0);  // no creation data
        ++reinterpret_cast<DLGTEMPLATE*>(bytes_.data())->cdit;
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

private:
    void Append(const void* data, std::size_t size) {
        auto bytes = static_cast<const BYTE*>(data);
        bytes_.insert(bytes_.end(), bytes, bytes + size);
    }
    void Word(WORD value) { Append(&value, sizeof value); }
    void String(std::wstring_view text) {
        Append(text.data(), text.size() * sizeof(wchar_t));
        Word(0);
    }
    // Every item starts on a 32-bit boundary.
    void Align() {
        while (bytes_.size() % 4 != 0) bytes_.push_back(0);
    }

    std::vector<BYTE> bytes_;
};

// ---- Modality -------------------------------------------------------------------------------

// While a modal dialog is open the thread's other top-level windows are disabled, as the host's
// own modal forms do. They are enabled again before the dialog goes away, so that activation
// returns to them and not to another program.
class ThreadWindowsDisabled {
public:
    ThreadWindowsDisabled() {
        EnumThreadWindows(GetCurrentThreadId(), &Collect, reinterpret_cast<LPARAM>(this));
        for (HWND window : windows_) EnableWindow(window, FALSE);
    }
    ~ThreadWindowsDisabled() { Restore(); }
    ThreadWindowsDisabled(const ThreadWindowsDisabled&) = delete;
    ThreadWindowsDisabled& operator=(const ThreadWindowsDisabled&) = delete;

    void Restore() {
        for (HWND window : windows_)
            if (IsWindow(window)) EnableWindow(window, TRUE);
        windows_.clear();
    }

private:
    static BOOL CALLBACK Collect(HWND window, LPARAM self) {
        if (IsWindowVisible(window) && IsWindowEnabled(window))
            reinterpret_cast<ThreadWindowsDisabled*>(self)->windows_.push_back(window);
        return TRUE;
    }

    std::vector<HWND> windows_;
};

// A modal dialog from a template; subclasses handle its messages. No C++ exception may unwind
// through the window manager's frames, so every message is handled inside a catch-all.
class ModalDialog {
public:
    virtual ~ModalDialog() = default;

    INT_PTR Run(const DialogTemplate& dialogTemplate) {
        HWND owner = GetActiveWindow();
        disabled_ = std::make_unique<ThreadWindowsDisabled>();
        INT_PTR result = DialogBoxIndirectParamW(OwnModule(), dialogTemplate.Get(), owner, &Procedure,
                                                 reinterpret_cast<LPARAM>(this));
        DWORD error = GetLastError();
        disabled_.reset();
        if (result == -1 || (result == 0 && !ended_))
            throw Exception("The dialog could not be created (error " + std::to_string(error) + ")");
        return result;
    }

    void ShowErrorBox(std::string_view message) {
        MessageBoxW(window_, FromAnsi(message).c_str(), ModuleTitle().c_str(), MB_OK | MB_ICONSTOP);
    }

protected:
    // The message's result for the dialog manager: TRUE when handled.
    virtual INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    void End(INT_PTR result) {
        ended_ = true;
        if (disabled_) disabled_->Restore();
        EndDialog(window_, result);
    }

    HWND Item(int id) const { return GetDlgItem(window_, id); }

    HWND window_ = nullptr;

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        ModalDialog* self = nullptr;
        if (message == WM_INITDIALOG) {
            self = reinterpret_cast<ModalDialog*>(lParam);
            self->window_ = window;
            SetWindowLongPtrW(window, DWLP_USER, lParam);
        } else {
            self = reinterpret_cast<ModalDialog*>(GetWindowLongPtrW(window, DWLP_USER));
        }
        if (self == nullptr) return FALSE;
        try {
            return self->Handle(message, wParam, lParam);
        } catch (const std::exception& e) {
            self->ShowErrorBox(e.what());
        } catch (...) {
            self->ShowErrorBox("Unexpected failure");
        }
        return TRUE;
    }

    std::unique_ptr<ThreadWindowsDisabled> disabled_;
    bool ended_ = false;
};

// ---- Button images --------------------------------------------------------------------------

// 16 x 16 images on a magenta background that is left out when drawn. '.' is the background.
constexpr COLORREF kMagenta = RGB(255, 0, 255);

struct Glyph {
    const char* rows[16];
    COLORREF Colour(char c) const {
        switch (c) {
            case 'G': return RGB(0, 128, 0);
            case 'g': return RGB(0, 200, 0);
            case 'R': return RGB(176, 0, 0);
            case 'r': return RGB(240, 32, 32);
            default: return kMagenta;
        }
    }
    void Draw(HDC dc, int left, int top) const {
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                COLORREF colour = Colour(rows[y][x]);
                if (colour != kMagenta) SetPixelV(dc, left + x, top + y, colour);
            }
    }
};

constexpr Glyph kCheckMark{{
    "................",
    "................",
    "............G...",
    "...........GG...",
    "..........GgG...",
    ".........GgG....",
    "..G.....GgG.....",
    "..GG...GgG......",
    "..GgG.GgG.......",
    "...GgGgG........",
    "....GgG.........",
    ".....G..........",
    "................",
    "................",
    "................",
    "................",
}};

constexpr Glyph kCross{{
    "................",
    "................",
    "................",
    "...RR......RR...",
    "...RrR....RrR...",
    "....RrR..RrR....",
    ".....RrRRrR.....",
    "......RrrR......",
    "......RrrR......",
    ".....RrRRrR.....",
    "....RrR..RrR....",
    "...RrR....RrR...",
    "...RR......RR...",
    "................",
    "................",
    "................",
}};

// A push button with an image left of its caption. `framed` draws the black frame of the button
// that Enter presses (the focused button, or the default one while a list has the focus).
void DrawImageButton(const DRAWITEMSTRUCT& item, const Glyph& glyph, bool framed) {
    HDC dc = item.hDC;
    RECT rect = item.rcItem;
    bool pressed = (item.itemState & ODS_SELECTED) != 0;
    bool focused = (item.itemState & ODS_FOCUS) != 0;
    FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
    if (framed) {
        FrameRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        InflateRect(&rect, -1, -1);
    }
    DrawFrameControl(dc, &rect, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));

    std::wstring text = WindowText(item.hwndItem);
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
    UINT prefix = (item.itemState & ODS_NOACCEL) != 0 ? DT_HIDEPREFIX : 0;
    RECT textSize{};
    DrawTextW(dc, text.c_str(), -1, &textSize, DT_CALCRECT | DT_SINGLELINE | prefix);
    constexpr int kGap = 4;
    int shift = pressed ? 1 : 0;
    int contentWidth = 16 + kGap + (textSize.right - textSize.left);
    int left = (rect.left + rect.right - contentWidth) / 2 + shift;
    int middle = (rect.top + rect.bottom) / 2 + shift;
    glyph.Draw(dc, left, middle - 8);
    RECT textRect{left + 16 + kGap, rect.top + shift, rect.right, rect.bottom + shift};
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, text.c_str(), -1, &textRect, DT_SINGLELINE | DT_VCENTER | DT_LEFT | prefix);
    SelectObject(dc, oldFont);
    if (focused) {
        RECT focus = rect;
        InflateRect(&focus, -4, -4);
        DrawFocusRect(dc, &focus);
    }
}

// ---- Configuration dialog -------------------------------------------------------------------

class ConfigDialog final : public ModalDialog, public ConfigDialogView {
public:
    ConfigDialog(const ConfigDialogTexts& texts, ConfigDialogEvents& events) : texts_(texts), events_(events) {}

    int32_t Show() {
        DialogTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, FromCp1251(texts_.caption), 8,
                         L"MS Shell Dlg 2");
        // Template order is tab order: Cancel, Save, then the port, connection and rate lists.
        t.Add(IDCANCEL, L"Button", FromCp1251(texts_.cancelCaption), BS_OWNERDRAW | WS_TABSTOP);
        t.Add(IDOK, L"Button", FromCp1251(texts_.saveCaption), BS_OWNERDRAW | WS_TABSTOP);
        t.Add(kPortLabel, L"Static", FromCp1251(texts_.portLabel), SS_LEFT);
        t.Add(kPort, L"ComboBox", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP);
        t.Add(kConnLabel, L"Static", FromCp1251(texts_.connLabel), SS_LEFT);
        t.Add(kPtype, L"ComboBox", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP);
        t.Add(kRateLabel, L"Static", FromCp1251(texts_.rateLabel), SS_LEFT);
        t.Add(kRate, L"ComboBox", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP);
        // Last, so that it lies beneath the controls it frames.
        t.Add(kGroup, L"Button", L"", BS_GROUPBOX);
        return static_cast<int32_t>(Run(t));
    }

    int32_t ItemIndex(ConfigList list) const override {
        LRESULT index = SendMessageW(Item(IdOf(list)), CB_GETCURSEL, 0, 0);
        return index == CB_ERR ? -1 : static_cast<int32_t>(index);
    }

    void SetItemIndex(ConfigList list, int32_t index) override {
        HWND combo = Item(IdOf(list));
        LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
        WPARAM position = index >= 0 && index < count ? static_cast<WPARAM>(index) : static_cast<WPARAM>(-1);
        SendMessageW(combo, CB_SETCURSEL, position, 0);
    }

    void ShowError(std::string_view message) override { ShowErrorBox(message); }

private:
    enum : WORD { kGroup = 100, kPortLabel, kPort, kRateLabel, kRate, kConnLabel, kPtype };

    static int IdOf(ConfigList list) {
        switch (list) {
            case ConfigList::Port: return kPort;
            case ConfigList::Rate: return kRate;
            case ConfigList::Ptype: return kPtype;
        }
        return kPort;
    }

    void Fill(int id, const std::vector<std::string_view>& items) {
        for (std::string_view item : items)
            SendMessageW(Item(id), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(FromCp1251(item).c_str()));
    }

    void Layout() {
        Scale s;
        SizeClientAndCentre(window_, s(221), s(202));
        auto place = [&](int id, int x, int y, int w, int h) { MoveWindow(Item(id), s(x), s(y), s(w), s(h), FALSE); };
        place(kGroup, 0, 0, 221, 202);
        // The height of a drop-down list includes its open list.
        // Labels get room to spare: where Arial is missing, its stand-in runs wider.
        place(kPortLabel, 12, 27, 92, 16);
        place(kPort, 106, 24, 103, 200);
        place(kRateLabel, 12, 67, 92, 16);
        place(kRate, 106, 64, 103, 200);
        place(kConnLabel, 12, 107, 92, 16);
        place(kPtype, 106, 104, 103, 200);
        place(IDOK, 12, 150, 96, 33);
        place(IDCANCEL, 113, 150, 96, 33);
    }

    void Finish(int32_t result) {
        if (result != kModalNone) End(result);
    }

    // The button that Enter presses: the focused one, else Save.
    int EnterButton() const { return GetFocus() == Item(IDCANCEL) ? IDCANCEL : IDOK; }

    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_INITDIALOG: {
                font_ = ControlFont(Scale());
                for (int id : {int(kGroup), int(kPortLabel), int(kPort), int(kRateLabel), int(kRate),
                               int(kConnLabel), int(kPtype), int(IDOK), int(IDCANCEL)})
                    SendMessageW(Item(id), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
                Fill(kPort, texts_.portItems);
                Fill(kRate, texts_.rateItems);
                Fill(kPtype, texts_.connItems);
                Layout();
                events_.Shown(*this);
                SetFocus(Item(IDCANCEL));
                return FALSE;  // the focus is set
            }
            case DM_GETDEFID:
                SetWindowLongPtrW(window_, DWLP_MSGRESULT, MAKELONG(EnterButton(), DC_HASDEFID));
                return TRUE;
            case WM_DRAWITEM: {
                auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
                if (item.CtlID != IDOK && item.CtlID != IDCANCEL) return FALSE;
                // The frame moves between the buttons with the focus.
                if ((item.itemAction & ODA_FOCUS) != 0)
                    InvalidateRect(Item(item.CtlID == IDOK ? IDCANCEL : IDOK), nullptr, FALSE);
                bool framed = (item.itemState & ODS_FOCUS) != 0 || (item.CtlID == IDOK && EnterButton() == IDOK);
                DrawImageButton(item, item.CtlID == IDOK ? kCheckMark : kCross, framed);
                return TRUE;
            }
            case WM_COMMAND:
                if (HIWORD(wParam) != BN_CLICKED) return FALSE;
                if (LOWORD(wParam) == IDOK) Finish(events_.SaveClicked(*this));
                else if (LOWORD(wParam) == IDCANCEL) Finish(events_.CancelClicked(*this));
                else return FALSE;
                return TRUE;
            case WM_CLOSE:
                // The close box ends with Cancel without pressing the Cancel button.
                End(kModalCancel);
                return TRUE;
        }
        return FALSE;
    }

    const ConfigDialogTexts& texts_;
    ConfigDialogEvents& events_;
    UniqueFont font_;
};

// ---- Service dialog -------------------------------------------------------------------------

// The common-controls functions that give the file-name box its Alt+Down. Only this dialog needs
// them: the library does not import them, and they are looked up when the dialog is made, so that a
// system without them fails this dialog, not the library's load.
struct Subclassing {
    explicit Subclassing(const SystemLibrary& comctl)
        : set(comctl.Function<decltype(SetWindowSubclass)>("SetWindowSubclass")),
          remove(comctl.Function<decltype(RemoveWindowSubclass)>("RemoveWindowSubclass")),
          next(comctl.Function<decltype(DefSubclassProc)>("DefSubclassProc")) {}
    decltype(SetWindowSubclass)* set;
    decltype(RemoveWindowSubclass)* remove;
    decltype(DefSubclassProc)* next;
};

class ServiceDialog final : public ModalDialog, public ServiceDialogView {
public:
    ServiceDialog(const ServiceDialogTexts& texts, ServiceDialogEvents& events)
        : texts_(texts), events_(events), subclassing_(comctl_) {}

    void Show() {
        DialogTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, FromCp1251(texts_.caption), 8,
                         L"MS Shell Dlg 2");
        // Tab order: the file-name box, "Записать", "Доп параметры". The browse button belongs to
        // the box (Alt+Down opens it) and takes no tab stop of its own.
        t.Add(kTask, L"Edit", FromCp1251(texts_.initialText), ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE);
        t.Add(kBrowse, L"Button", L"...", BS_PUSHBUTTON);
        t.Add(kButton1, L"Button", FromCp1251(texts_.button1Caption), BS_PUSHBUTTON | WS_TABSTOP);
        t.Add(kButton2, L"Button", FromCp1251(texts_.button2Caption), BS_PUSHBUTTON | WS_TABSTOP);
        t.Add(kGroup, L"Button", FromCp1251(texts_.groupCaption), BS_GROUPBOX);
        Run(t);
    }

    std::u16string TaskText() const override { return ToU16(WindowText(Item(kTask))); }

    void SetTaskText(std::u16string_view text) override { SetWindowTextW(Item(kTask), ToWide(text).c_str()); }

    bool FolderExists(std::u16string_view folder) const override {
        DWORD attributes = GetFileAttributesW(ToWide(folder).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }

    std::optional<std::u16string> ChooseFile(std::u16string_view initialDir, std::u16string_view initialFile) override {
        // "Name|*.ext|..." becomes the double-zero-terminated list of pairs the dialog wants.
        std::wstring filter = FromCp1251(texts_.browseFilter);
        for (wchar_t& c : filter)
            if (c == L'|') c = L'\0';
        filter.push_back(L'\0');
        std::wstring title = FromCp1251(texts_.browseTitle);
        std::wstring dir = ToWide(initialDir);
        std::vector<wchar_t> file(32768, L'\0');
        std::wstring start = ToWide(initialFile);
        if (start.size() < file.size()) std::copy(start.begin(), start.end(), file.begin());

        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = window_;
        dialog.lpstrFilter = filter.c_str();
        dialog.nFilterIndex = 1;
        dialog.lpstrFile = file.data();
        dialog.nMaxFile = static_cast<DWORD>(file.size());
        dialog.lpstrInitialDir = dir.empty() ? nullptr : dir.c_str();
        dialog.lpstrTitle = title.c_str();
        // The host's current folder is not ours to change.
        dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
        // Loaded for this one choice: the file dialog brings much of the shell with it.
        const SystemLibrary comdlg(L"comdlg32.dll");
        if (!comdlg.Function<decltype(GetOpenFileNameW)>("GetOpenFileNameW")(&dialog)) return std::nullopt;
        return ToU16(std::wstring_view(file.data()));
    }

    void ShowError(std::string_view message) override { ShowErrorBox(message); }

private:
    enum : WORD { kGroup = 200, kTask, kBrowse, kButton1, kButton2 };

    // Alt+Down in the file-name box presses its browse button.
    static LRESULT CALLBACK TaskBoxProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                             DWORD_PTR data) {
        const auto& subclassing = *reinterpret_cast<const Subclassing*>(data);
        if (message == WM_SYSKEYDOWN && wParam == VK_DOWN) {
            HWND dialog = GetParent(window);
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(kBrowse, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, kBrowse)));
            return 0;
        }
        if (message == WM_NCDESTROY) subclassing.remove(window, &TaskBoxProcedure, id);
        return subclassing.next(window, message, wParam, lParam);
    }

    void Layout() {
        Scale s;
        RECT client{};
        GetClientRect(window_, &client);
        int width = client.right - client.left;
        int height = client.bottom - client.top;
        MoveWindow(Item(kGroup), 0, 0, width, height, TRUE);
        int browse = s(21);
        int editWidth = width - s(16) * 2 - browse;
        MoveWindow(Item(kTask), s(16), s(28), editWidth > 0 ? editWidth : 0, s(21), TRUE);
        MoveWindow(Item(kBrowse), s(16) + (editWidth > 0 ? editWidth : 0), s(28), browse, s(21), TRUE);
        int buttonWidth = s(121);
        MoveWindow(Item(kButton2), (width - buttonWidth) / 2, s(66), buttonWidth, s(25), TRUE);
        MoveWindow(Item(kButton1), (width - buttonWidth) / 2, s(104), buttonWidth, s(25), TRUE);
    }

    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM) override {
        switch (message) {
            case WM_INITDIALOG: {
                font_ = ControlFont(Scale());
                for (int id : {int(kGroup), int(kTask), int(kBrowse), int(kButton1), int(kButton2)})
                    SendMessageW(Item(id), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
                subclassing_.set(Item(kTask), &TaskBoxProcedure, 1, reinterpret_cast<DWORD_PTR>(&subclassing_));
                Scale s;
                SizeClientAndCentre(window_, s(295), s(154));
                Layout();
                return TRUE;  // the focus goes to the first tab stop, the file-name box
            }
            case WM_SIZE:
                Layout();
                return TRUE;
            case WM_COMMAND:
                if (HIWORD(wParam) != BN_CLICKED) return FALSE;
                switch (LOWORD(wParam)) {
                    case kButton1: events_.Button1Clicked(*this); return TRUE;
                    case kButton2: events_.Button2Clicked(*this); return TRUE;
                    case kBrowse: events_.BrowseClicked(*this); return TRUE;
                    // Enter in the box and Esc: no button of this dialog closes it.
                    case IDOK:
                    case IDCANCEL: return TRUE;
                }
                return FALSE;
            case WM_CLOSE:
                End(kModalCancel);
                return TRUE;
        }
        return FALSE;
    }

    const ServiceDialogTexts& texts_;
    ServiceDialogEvents& events_;
    // Outlives the dialog's window: the box's procedure runs until its WM_NCDESTROY.
    SystemLibrary comctl_{L"comctl32.dll"};
    Subclassing subclassing_;
    UniqueFont font_;
};

}  // namespace

int32_t ShowConfigDialog(const ConfigDialogTexts& texts, ConfigDialogEvents& events) {
    ConfigDialog dialog(texts, events);
    return dialog.Show();
}

void ShowServiceDialog(const ServiceDialogTexts& texts, ServiceDialogEvents& events) {
    ServiceDialog dialog(texts, events);
    dialog.Show();
}

}  // namespace dct::platform
