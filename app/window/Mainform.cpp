// The main window MForm (class TMForm): the target version, what to keep,
// the batch with its progress bar and summary, and the Explorer command.
// The window procedure only dispatches; the batch itself is app/Batch.
#include "app/window/Mainform.h"

#include "app/Batch.h"
#include "app/ConvertFile.h"
#include "app/Functions.h"
#include "format/VersionTable.h"
#include "model/KeepFlags.h"
#include "model/Qwzsaveparams.h"
#include "platform/DebugOutput.h"
#include "platform/MessageBox.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <cderr.h>

#include <exception>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qwz {
namespace {

constexpr wchar_t kFormClass[] = L"TMForm";
constexpr wchar_t kPanelClass[] = L"TPanel";
constexpr wchar_t kCaption[] = L"Velmora QWZ Downgrader";
constexpr char kApplicationTitle[] = "Velmora QWZ Downgrader";  // caption of error boxes
constexpr int kClientWidth = 307;  // at 96 dpi
constexpr int kClientHeight = 261;
constexpr int kFontPoints = 8;
constexpr int kIconResource = 1;

constexpr DWORD kFormStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_TOOLWINDOW | WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;

enum ControlId : int {
    Button1 = IDCANCEL,  // "Zamknij": Esc presses it
    ComboBox1 = 101,
    Button2,
    Button3,
    ProgressBar1,
    Panel1,
    Label1,
    Label2,
    // The keep flags' check boxes follow, with the ids kKeepFlags gives them.
};

struct ControlLayout {
    int id;
    bool inPanel;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    int left, top, width, height;  // at 96 dpi, in the parent's client area
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
constexpr DWORD kCheck = kChild | WS_TABSTOP | BS_AUTOCHECKBOX;

// In creation order, which is the tab order: Button1 (0), ComboBox1 (1),
// Button2 (2), Button3 (3), ProgressBar1 (4), Panel1 (5); inside the panel
// the check boxes after them. Labels take no focus.
const ControlLayout kControls[] = {
    {Label2, false, L"STATIC", L"Wersja QWZ: ", kChild | SS_LEFTNOWORDWRAP, 10, 11, 67, 13},
    {Button1, false, L"BUTTON", L"Zamknij", kChild | WS_TABSTOP | BS_PUSHBUTTON, 162, 39, 137, 25},
    // The height of a drop-down list is that of its open list; the closed
    // box takes the height of its font (21 pixels with Tahoma 8 pt).
    {ComboBox1, false, L"COMBOBOX", L"", kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 88, 8,
     57, 120},
    {Button2, false, L"BUTTON", L"Konwertuj", kChild | WS_TABSTOP | BS_PUSHBUTTON, 162, 8, 137, 25},
    {Button3, false, L"BUTTON", L"Ustaw menu kontekstowe",
     kChild | WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON, 162, 68, 137, 25},
    {ProgressBar1, false, PROGRESS_CLASSW, L"", WS_CHILD | WS_CLIPSIBLINGS, 154, 31, 153, 11},
    {Panel1, false, kPanelClass, L"", kChild, 0, 35, 153, 224},
    {Label1, true, L"STATIC", L"Zachowaj:", kChild | SS_LEFTNOWORDWRAP, 0, 0, 50, 13},
};

// Where each keep flag's check box lies in the panel, by row of kKeepFlags,
// which gives its label, its id and the order the boxes are made in.
struct BoxPlace {
    int left, top, width, height;
};
constexpr BoxPlace kBoxPlaces[] = {
    {10, 57, 97, 17},    // Linie
    {10, 80, 97, 17},    // Polilinie
    {10, 103, 97, 17},   // Łuki
    {10, 126, 97, 17},   // Okręgi / światła
    {10, 158, 97, 17},   // UV
    {10, 181, 121, 17},  // Strefy skalowania
    {10, 204, 129, 17},  // Inne dodatkowe dane
    {10, 19, 97, 17},    // Kopię oryginału
};
static_assert(std::size(kBoxPlaces) == kKeepFlagCount, "a place for every keep flag's box");

// Every control in creation order: kControls, then the check boxes.
const std::vector<ControlLayout>& Controls() {
    static const std::vector<ControlLayout> controls = [] {
        std::vector<ControlLayout> all(std::begin(kControls), std::end(kControls));
        for (size_t i = 0; i < kKeepFlagCount; ++i) {
            const KeepFlag& flag = kKeepFlags[i];
            const BoxPlace& p = kBoxPlaces[i];
            all.push_back({flag.boxId, true, L"BUTTON", flag.boxLabel, kCheck, p.left, p.top, p.width, p.height});
        }
        return all;
    }();
    return controls;
}

bool IsCheckBox(const ControlLayout& c) {
    return c.className == std::wstring_view(L"BUTTON") && (c.style & BS_TYPEMASK) == BS_AUTOCHECKBOX;
}

// The DPI of a window's monitor, or of the system before there is a window.
// GetDpiForWindow exists from Windows 10 1607 on; older systems scale by
// the system DPI.
UINT DpiOf(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (window && getDpiForWindow) {
        UINT dpi = getDpiForWindow(window);
        if (dpi) return dpi;
    }
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? UINT(dpi) : 96;
}

// The outer size of the frame around a client area, for a DPI.
SIZE FrameSize(int clientWidth, int clientHeight, UINT dpi) {
    using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = reinterpret_cast<AdjustForDpiFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    RECT r{0, 0, clientWidth, clientHeight};
    if (!adjustForDpi || !adjustForDpi(&r, kFormStyle, FALSE, kFormExStyle, dpi))
        AdjustWindowRectEx(&r, kFormStyle, FALSE, kFormExStyle);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

class TMForm {
public:
    TMForm() = default;
    TMForm(const TMForm&) = delete;
    TMForm& operator=(const TMForm&) = delete;
    ~TMForm() {
        if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);  // when creation stopped half way
        if (font_) DeleteObject(font_);
    }

    bool Create(HINSTANCE instance);
    HWND Handle() const { return hwnd_; }

    static LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

private:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    void OnCommand(int id, int code);

    void Button1Click() { Close(); }
    void Button2Click();
    void Button3Click();
    void ComboBox1Change();

    void Close();
    void ApplyDpi(UINT dpi);
    void UpdateButtons();
    std::vector<std::filesystem::path> ChooseFiles();
    BatchChoices ReadChoices() const;
    bool Checked(int id) const {
        return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    HWND Control(int id) const;
    // The row of the version list's selected item; nullptr with none.
    const VersionLayout* SelectedVersion() const;
    void PumpPendingMessages();

    HINSTANCE instance_ = nullptr;
    HWND hwnd_ = nullptr;
    HWND panel_ = nullptr;
    HFONT font_ = nullptr;
    UINT dpi_ = 96;
    bool button3Unlocked_ = false;  // by the first change of the version list
    bool choosingFiles_ = false;  // the open dialog is up
    bool batchRunning_ = false;
    bool closeRequested_ = false;  // while a batch runs: close after its summary
    bool quitReceived_ = false;
    int quitCode_ = 0;
};

HWND TMForm::Control(int id) const {
    for (const ControlLayout& c : Controls())
        if (c.id == id) return GetDlgItem(c.inPanel ? panel_ : hwnd_, id);
    return nullptr;
}

const VersionLayout* TMForm::SelectedVersion() const {
    const LRESULT index = SendMessageW(Control(ComboBox1), CB_GETCURSEL, 0, 0);
    const std::vector<int> written = WrittenVersions();
    if (index < 0 || size_t(index) >= written.size()) return nullptr;
    return FindVersion(written[size_t(index)]);
}

bool TMForm::Create(HINSTANCE instance) {
    instance_ = instance;
    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
    HICON smallIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource),
                                                    IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                    GetSystemMetrics(SM_CYSMICON), 0));

    WNDCLASSEXW form{};
    form.cbSize = sizeof form;
    form.lpfnWndProc = &TMForm::FormProc;
    form.hInstance = instance;
    form.hIcon = icon;
    form.hIconSm = smallIcon;
    form.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    form.lpszClassName = kFormClass;
    if (!RegisterClassExW(&form)) return false;

    WNDCLASSEXW panel{};
    panel.cbSize = sizeof panel;
    panel.lpfnWndProc = &TMForm::PanelProc;
    panel.hInstance = instance;
    panel.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    panel.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    panel.lpszClassName = kPanelClass;
    if (!RegisterClassExW(&panel)) return false;

    // Created hidden with the system DPI's size, then placed in the middle
    // of the primary monitor and sized for that monitor's DPI.
    SIZE size = FrameSize(kClientWidth, kClientHeight, DpiOf(nullptr));
    hwnd_ = CreateWindowExW(kFormExStyle, kFormClass, kCaption, kFormStyle, 0, 0, size.cx, size.cy,
                            nullptr, nullptr, instance, this);
    if (!hwnd_) return false;

    for (const ControlLayout& c : Controls()) {
        HWND parent = c.inPanel ? panel_ : hwnd_;
        DWORD exStyle = c.id == Panel1 ? WS_EX_CONTROLPARENT : 0;
        HWND control = CreateWindowExW(exStyle, c.className, c.text, c.style, 0, 0, 0, 0, parent,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                                       instance, nullptr);
        if (!control) return false;
        if (c.id == Panel1) panel_ = control;
        if (IsCheckBox(c)) SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
    }
    HWND combo = Control(ComboBox1);
    for (int version : WrittenVersions())
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_wstring(version).c_str()));
    SendMessageW(combo, CB_SETCURSEL, WPARAM(DefaultVersionIndex()), 0);

    HMONITOR monitor = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(monitor, &info);
    const RECT& work = info.rcWork;
    SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - size.cx) / 2,
                 work.top + (work.bottom - work.top - size.cy) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ApplyDpi(DpiOf(hwnd_));
    // Centre again with the size for the monitor's DPI.
    RECT frame;
    GetWindowRect(hwnd_, &frame);
    int width = frame.right - frame.left, height = frame.bottom - frame.top;
    SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

// Places every control and sets the font for `dpi`, and sizes the frame so
// that the client area is 307 x 261 at 96 dpi.
void TMForm::ApplyDpi(UINT dpi) {
    dpi_ = dpi;
    auto scale = [dpi](int v) { return MulDiv(v, int(dpi), 96); };
    HFONT font = CreateFontW(-MulDiv(kFontPoints, int(dpi), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                             FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (const ControlLayout& c : Controls()) {
        HWND control = Control(c.id);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        MoveWindow(control, scale(c.left), scale(c.top), scale(c.width), scale(c.height), TRUE);
    }
    if (font_) DeleteObject(font_);
    font_ = font;

    SIZE size = FrameSize(scale(kClientWidth), scale(kClientHeight), dpi);
    SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

LRESULT CALLBACK TMForm::FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    TMForm* form = reinterpret_cast<TMForm*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
        form = static_cast<TMForm*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        form->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    if (!form) return DefWindowProcW(hwnd, msg, wp, lp);
    // No exception may cross the system's frames: show it and go on.
    try {
        return form->HandleMessage(msg, wp, lp);
    } catch (const std::bad_alloc&) {
        platform::ShowMessage("Za mało pamięci.", kApplicationTitle, platform::MessageIcon::Error, hwnd);
    } catch (const std::exception& e) {
        platform::ShowMessage(e.what(), kApplicationTitle, platform::MessageIcon::Error, hwnd);
    } catch (...) {
        platform::ShowMessage("", kApplicationTitle, platform::MessageIcon::Error, hwnd);
    }
    return 0;
}

// The panel only holds controls; their notifications go to the form.
LRESULT CALLBACK TMForm::PanelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return SendMessageW(GetParent(hwnd), msg, wp, lp);
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

LRESULT TMForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
        OnCommand(LOWORD(wp), HIWORD(wp));
        return 0;
    case WM_CLOSE:
        Close();
        return 0;
    case WM_DPICHANGED: {
        const RECT* suggested = reinterpret_cast<const RECT*>(lp);
        ApplyDpi(LOWORD(wp));
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd_, msg, wp, lp);
    }
}

void TMForm::OnCommand(int id, int code) {
    switch (id) {
    case Button1:
        if (code == BN_CLICKED) Button1Click();
        break;
    case Button2:
        if (code == BN_CLICKED) Button2Click();
        break;
    case Button3:
        if (code == BN_CLICKED) Button3Click();
        break;
    case ComboBox1:
        if (code == CBN_SELCHANGE) ComboBox1Change();
        break;
    default:
        break;
    }
}

// During a batch the window stays until the current file is done; the
// batch then skips the rest, shows its summary and closes the window. A
// close asked for while the open dialog is up (from outside: the window
// itself is disabled then) closes the window when the dialog returns.
void TMForm::Close() {
    if (batchRunning_ || choosingFiles_) {
        closeRequested_ = true;
        return;
    }
    DestroyWindow(hwnd_);
}

void TMForm::UpdateButtons() {
    HWND focus = GetFocus();
    if (batchRunning_ && (focus == Control(Button2) || focus == Control(Button3)))
        SetFocus(Control(Button1));  // keeps Esc and Tab working
    EnableWindow(Control(Button2), !batchRunning_);
    EnableWindow(Control(Button3), button3Unlocked_ && !batchRunning_);
}

void TMForm::ComboBox1Change() {
    button3Unlocked_ = true;
    UpdateButtons();
    const VersionLayout* version = SelectedVersion();
    const bool extraData = version && version->extraTail;
    for (const KeepFlag& flag : kKeepFlags)
        if (flag.kind == KeepKind::TailBlock) EnableWindow(Control(flag.boxId), extraData);
}

BatchChoices TMForm::ReadChoices() const {
    BatchChoices c;
    LRESULT index = SendMessageW(Control(ComboBox1), CB_GETCURSEL, 0, 0);
    c.VersionIndex = index == CB_ERR ? DefaultVersionIndex() : int(index);
    for (size_t i = 0; i < kKeepFlagCount; ++i) c.Ticked[i] = Checked(kKeepFlags[i].boxId);
    return c;
}

std::vector<std::filesystem::path> TMForm::ChooseFiles() {
    // Room for a few thousand names; the dialog says when it is not enough.
    std::vector<wchar_t> buffer(1 << 18, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwnd_;
    ofn.lpstrFilter = L"QWZ\0*.QWZ\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = DWORD(buffer.size() - 1);
    ofn.lpstrDefExt = L"QWZ";
    ofn.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                OFN_HIDEREADONLY | OFN_ENABLESIZING;
    if (!GetOpenFileNameW(&ofn)) {
        if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL)
            platform::ShowMessage("Wybrano zbyt wiele plików naraz. Wybierz mniej plików.",
                                  "QWZ Downgrader", platform::MessageIcon::Warning, hwnd_);
        return {};
    }
    return SplitDialogSelection(std::wstring_view(buffer.data(), buffer.size()));
}

// Lets the window repaint and react between files. A close request is
// kept for the batch; a quit message is passed on after it.
void TMForm::PumpPendingMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quitReceived_ = true;
            quitCode_ = int(msg.wParam);
            closeRequested_ = true;
            continue;
        }
        if (!IsDialogMessageW(hwnd_, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

void TMForm::Button2Click() {
    if (batchRunning_ || choosingFiles_) return;
    closeRequested_ = false;
    choosingFiles_ = true;
    std::vector<std::filesystem::path> files = ChooseFiles();
    choosingFiles_ = false;
    if (closeRequested_) {
        DestroyWindow(hwnd_);
        return;
    }
    if (files.empty()) return;

    TQWZSaveParamsPtr params = GetSaveParams();
    WriteSaveParams(ReadChoices(), *params);

    batchRunning_ = true;
    UpdateButtons();
    HWND progress = Control(ProgressBar1);
    SendMessageW(progress, PBM_SETRANGE32, 0, LPARAM(files.size()));
    SendMessageW(progress, PBM_SETPOS, 0, 0);
    ShowWindow(progress, SW_SHOW);

    BatchHooks hooks;
    const TQWZSaveParams chosen = *params;
    hooks.Convert = [&chosen](const std::filesystem::path& path, int target) {
        return ConvertAndReport(path, target, chosen);
    };
    hooks.BeforeFile = [&](size_t h) {
        SendMessageW(progress, PBM_SETPOS, WPARAM(h), 0);
        PumpPendingMessages();
        return !closeRequested_;
    };
    BatchSummary summary = RunBatch(files, params->TargetVersion, hooks);

    ShowWindow(progress, SW_HIDE);
    platform::ShowMessage(SummaryText(summary), "", platform::MessageIcon::Information, hwnd_);
    batchRunning_ = false;
    UpdateButtons();
    if (closeRequested_) {
        DestroyWindow(hwnd_);
        if (quitReceived_) PostQuitMessage(quitCode_);
        return;
    }
    SetFocus(Control(Button2));
}

void TMForm::Button3Click() {
    if (batchRunning_) return;
    const VersionLayout* version = SelectedVersion();
    if (!version) return;
    try {
        RegisterShellVerb(version->version);
    } catch (...) {
        platform::ShowMessage("Ustawienia nie zostały zapisane. Uruchom program jako administrator.",
                              "QWZ Downgrader", platform::MessageIcon::Warning, hwnd_);
        platform::DebugOutputW("downgrader registration failed");
    }
}

}  // namespace

int RunMainWindow() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS;
    InitCommonControlsEx(&controls);

    TMForm form;
    if (!form.Create(GetModuleHandleW(nullptr)))
        throw std::runtime_error("Nie można utworzyć okna programu (błąd " +
                                 std::to_string(GetLastError()) + ").");
    ShowWindow(form.Handle(), SW_SHOWNORMAL);
    SetFocus(GetDlgItem(form.Handle(), Button1));  // the first control in tab order
    UpdateWindow(form.Handle());

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(form.Handle(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return 0;
}

}  // namespace qwz
