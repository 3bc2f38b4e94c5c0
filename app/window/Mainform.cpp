// The main window MForm (class TMForm): the target version, what to keep,
// the batch with its progress bar and summary, files and folders dropped on
// it, the keyboard (focus kept across dialogs, Enter, access keys) and the
// Explorer command. The window procedure only dispatches; the batch itself
// is app/Batch, the controls' places app/window/Layout.
#include "app/window/Mainform.h"

#include "app/Batch.h"
#include "app/window/AccessKeys.h"
#include "app/window/Layout.h"
#include "app/ConvertFile.h"
#include "app/Functions.h"
#include "engine/FileWalk.h"
#include "format/VersionTable.h"
#include "model/KeepFlags.h"
#include "model/Qwzsaveparams.h"
#include "platform/ConversionSlot.h"
#include "platform/DebugOutput.h"
#include "platform/MessageBox.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <cderr.h>
#include <shellapi.h>

#include <exception>
#include <map>
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
constexpr int kIconResource = 1;

// The paths of a drop, in the order the system gives them.
std::vector<std::filesystem::path> DroppedPaths(HDROP drop) {
    std::vector<std::filesystem::path> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring name(size_t(DragQueryFileW(drop, i, nullptr, 0)) + 1, L'\0');
        name.resize(DragQueryFileW(drop, i, name.data(), UINT(name.size())));
        if (!name.empty()) paths.emplace_back(name);
    }
    DragFinish(drop);
    return paths;
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
    // One message of a loop that runs while the window is up: the dialog
    // keys (Tab, Esc, Enter, access keys), then the window's own.
    void Dispatch(MSG& msg);

    static LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

private:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    void OnCommand(int id, int code);

    void Button1Click() { Close(); }
    void Button2Click();
    void Button3Click();
    void ComboBox1Change();
    void FilesDropped(HDROP drop);
    void RunBatchOf(const std::vector<std::filesystem::path>& files,
                    const std::map<std::filesystem::path, ConversionOutcome>& decided);
    void PressFocusedButton();
    void NoteFocus();
    void RestoreFocus();

    bool CreateControls();
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

    platform::FileOps& files_ = platform::SystemFileOps();  // everything the batches do to files
    TQWZSaveParams params_;  // the choices of the last batch, kept by the window
    HINSTANCE instance_ = nullptr;
    HWND hwnd_ = nullptr;
    HWND panel_ = nullptr;
    HFONT font_ = nullptr;
    UINT dpi_ = 96;
    HWND focus_ = nullptr;  // the control that had the focus last, given back on activation
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

namespace {

// The window classes of the form and of its panel.
bool RegisterWindowClasses(HINSTANCE instance) {
    WNDCLASSEXW form{};
    form.cbSize = sizeof form;
    form.lpfnWndProc = &TMForm::FormProc;
    form.hInstance = instance;
    form.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
    form.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
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
    return RegisterClassExW(&panel) != 0;
}

// Places the window, at the size it has now, in the middle of `work`.
void CenterIn(HWND hwnd, const RECT& work) {
    RECT frame;
    GetWindowRect(hwnd, &frame);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    SetWindowPos(hwnd, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

bool TMForm::Create(HINSTANCE instance) {
    instance_ = instance;
    if (!RegisterWindowClasses(instance)) return false;

    // Created hidden with the system DPI's size, then placed in the middle
    // of the primary monitor and sized for that monitor's DPI.
    SIZE size = FrameSize(kClientWidth, kClientHeight, DpiOf(nullptr));
    hwnd_ = CreateWindowExW(kFormExStyle, kFormClass, kCaption, kFormStyle, 0, 0, size.cx, size.cy,
                            nullptr, nullptr, instance, this);
    if (!hwnd_ || !CreateControls()) return false;
    DragAcceptFiles(hwnd_, TRUE);
    // Access keys are underlined as the system shows them: from the start
    // when the user asked for it, otherwise once Alt is pressed.
    BOOL cues = FALSE;
    SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &cues, 0);
    ShowAccessKeys(hwnd_, cues != FALSE);

    HMONITOR monitor = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(monitor, &info);
    CenterIn(hwnd_, info.rcWork);
    ApplyDpi(DpiOf(hwnd_));
    // Centre again with the size for the monitor's DPI.
    CenterIn(hwnd_, info.rcWork);
    return true;
}

// The controls of the form, with their captions, the boxes ticked and the
// version list filled with the versions written.
bool TMForm::CreateControls() {
    for (const ControlLayout& c : Controls()) {
        HWND parent = c.inPanel ? panel_ : hwnd_;
        DWORD exStyle = c.id == Panel1 ? WS_EX_CONTROLPARENT : 0;
        HWND control = CreateWindowExW(exStyle, c.className, WithoutMark(c.text).c_str(), c.style, 0, 0, 0, 0,
                                       parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance_,
                                       nullptr);
        if (!control) return false;
        if (c.text.find(L'&') != std::wstring::npos) SetCaptionWithAccessKey(control, c.text);
        if (c.id == Panel1) panel_ = control;
        if (IsCheckBox(c)) SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
    }
    HWND combo = Control(ComboBox1);
    for (int version : WrittenVersions())
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_wstring(version).c_str()));
    SendMessageW(combo, CB_SETCURSEL, WPARAM(DefaultVersionIndex()), 0);
    return true;
}

// Places every control and sets the font for `dpi`, and sizes the frame so
// that the client area is 307 x 261 at 96 dpi (wider where a caption needs it).
void TMForm::ApplyDpi(UINT dpi) {
    dpi_ = dpi;
    Placed placed = PlaceControls(hwnd_, [this](int id) { return Control(id); }, dpi);
    if (font_) DeleteObject(font_);
    font_ = placed.font;
    SIZE size = FrameSize(placed.client.cx, placed.client.cy, dpi);
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

void TMForm::Dispatch(MSG& msg) {
    // Windows shows the access keys when Alt goes down; said here too, for
    // systems whose default handling does not.
    if (msg.message == WM_SYSKEYDOWN && msg.wParam == VK_MENU) ShowAccessKeys(hwnd_, true);
    if (!PressAccessKey(hwnd_, msg) && !IsDialogMessageW(hwnd_, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    NoteFocus();
}

// Remembers the control with the focus, and shows the focused push button
// as the one Enter presses (the others plain), as a dialog does.
void TMForm::NoteFocus() {
    HWND focus = GetFocus();
    if (!focus || !IsChild(hwnd_, focus) || focus == focus_) return;
    focus_ = focus;
    for (const ControlLayout& c : Controls()) {
        if (!IsPushButton(c)) continue;
        HWND button = Control(c.id);
        const bool isDefault = (GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
        if (isDefault != (button == focus))
            SendMessageW(button, BM_SETSTYLE, button == focus ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
}

// The focus goes back where it was when the window was left (a dialog, a
// message box, another program); to the next control that can take it when
// that one cannot now, and to the first one at start.
void TMForm::RestoreFocus() {
    HWND target = focus_;
    if (!target || !IsWindow(target) || !IsWindowEnabled(target) || !IsWindowVisible(target))
        target = GetNextDlgTabItem(hwnd_, target && IsWindow(target) ? target : nullptr, FALSE);
    if (!target) target = Control(Button1);
    SetFocus(target);
    NoteFocus();
}

// Enter with no default button: the focused push button is pressed.
void TMForm::PressFocusedButton() {
    HWND focus = GetFocus();
    for (const ControlLayout& c : Controls())
        if (IsPushButton(c) && Control(c.id) == focus && IsWindowEnabled(focus)) OnCommand(c.id, BN_CLICKED);
}

LRESULT TMForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
        OnCommand(LOWORD(wp), HIWORD(wp));
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wp) != WA_INACTIVE && !HIWORD(wp)) {
            RestoreFocus();
            return 0;
        }
        NoteFocus();
        return DefWindowProcW(hwnd_, msg, wp, lp);
    case WM_SETFOCUS:
        RestoreFocus();
        return 0;
    case WM_DROPFILES:
        FilesDropped(reinterpret_cast<HDROP>(wp));
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
    case IDOK:  // Enter, from the dialog keys
        PressFocusedButton();
        break;
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
    for (size_t i = 0; i < kKeepFlagCount; ++i)
        if (kKeepFlags[i].kind == KeepKind::TailBlock) EnableWindow(Control(KeepBoxId(i)), extraData);
}

BatchChoices TMForm::ReadChoices() const {
    BatchChoices c;
    LRESULT index = SendMessageW(Control(ComboBox1), CB_GETCURSEL, 0, 0);
    c.VersionIndex = index == CB_ERR ? DefaultVersionIndex() : int(index);
    for (size_t i = 0; i < kKeepFlagCount; ++i) c.Ticked[i] = Checked(KeepBoxId(i));
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
        Dispatch(msg);
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
    RunBatchOf(files, {});
}

// Files and folders dropped on the window: one batch with the current
// choices, as if the files had been chosen in the dialog. A folder gives
// its *.qwz files and those of its sub-folders, without the originals that
// earlier conversions kept; a path that gives nothing is a failed entry.
// While a batch runs or the dialog is up, a drop is declined.
void TMForm::FilesDropped(HDROP drop) {
    const std::vector<std::filesystem::path> named = DroppedPaths(drop);
    if (batchRunning_ || choosingFiles_ || named.empty()) return;
    std::vector<std::filesystem::path> files;
    std::map<std::filesystem::path, ConversionOutcome> decided;
    for (WalkEntry& entry : CollectFiles(named, true, files_)) {
        if (!entry.error.empty()) {
            decided[entry.path].reason = std::move(entry.error);
            decided[entry.path].code = entry.code;
        }
        else if (entry.keptBackup) decided[entry.path] = KeptBackupSkip(entry, files_);
        files.push_back(std::move(entry.path));
    }
    RunBatchOf(files, decided);
}

// The batch over `files`; a path in `decided` is not converted: its
// outcome is already known (a failure with its reason, or a kept backup
// skipped). While it runs the caption says which file is at hand and its
// place in the batch, beside the progress bar.
void TMForm::RunBatchOf(const std::vector<std::filesystem::path>& files,
                        const std::map<std::filesystem::path, ConversionOutcome>& decided) {
    if (files.empty()) return;
    // The window's save parameters hold the choices of the last batch; the
    // conversions are given them as a request of their own.
    const BatchChoices choices = ReadChoices();
    WriteSaveParams(choices, params_);

    batchRunning_ = true;
    UpdateButtons();
    HWND progress = Control(ProgressBar1);
    SendMessageW(progress, PBM_SETRANGE32, 0, LPARAM(files.size()));
    SendMessageW(progress, PBM_SETPOS, 0, 0);
    ShowWindow(progress, SW_SHOW);

    BatchHooks hooks;
    // The files convert on worker threads; the warning box a file asks for
    // is shown here, on the window's thread, before the next file starts.
    WarningBoxes boxes;
    hooks.Convert = [this, &decided, &boxes](const std::filesystem::path& path, const ConversionRequest& request) {
        if (auto d = decided.find(path); d != decided.end()) return d->second;
        platform::ConversionSlot slot;
        ConversionOutcome outcome = ConvertAndReport(path, request, files_, WarningBox::Leave);
        boxes.Add(WarningBoxText(outcome.warnings));
        return outcome;
    };
    hooks.BeforeFile = [&](size_t h) {
        boxes.Show(hwnd_);
        SendMessageW(progress, PBM_SETPOS, WPARAM(h), 0);
        const std::wstring caption = std::to_wstring(h + 1) + L" / " + std::to_wstring(files.size()) + L" – " +
                                     files[h].filename().wstring() + L" – " + kCaption;
        SetWindowTextW(hwnd_, caption.c_str());
        PumpPendingMessages();
        return !closeRequested_;
    };
    BatchSummary summary = RunBatch(files, RequestFromChoices(choices), hooks, files_);
    boxes.Show(hwnd_);

    ShowWindow(progress, SW_HIDE);
    SetWindowTextW(hwnd_, kCaption);
    platform::ShowMessage(SummaryText(summary), "", platform::MessageIcon::Information, hwnd_);
    batchRunning_ = false;
    UpdateButtons();
    if (closeRequested_) {
        DestroyWindow(hwnd_);
        if (quitReceived_) PostQuitMessage(quitCode_);
        return;
    }
    SetFocus(Control(Button2));
    NoteFocus();
}

void TMForm::Button3Click() {
    if (batchRunning_) return;
    const VersionLayout* version = SelectedVersion();
    if (!version) return;
    try {
        RegisterShellVerb(version->version);
        platform::ShowMessage("Polecenie „Dostosuj do starszych wersji programu” zostało dodane do menu "
                              "kontekstowego plików .qwz (konwersja do wersji " +
                                  std::to_string(version->version) + ").",
                              "QWZ Downgrader", platform::MessageIcon::Information, hwnd_);
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
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) form.Dispatch(msg);
    return 0;
}

}  // namespace qwz
