// Drives QwzDowngrader.exe as a person would: finds the window and its
// controls by their class and text, presses buttons, steps through the
// version list with the keyboard, types file names into the open dialog
// and reads the summary box. The QWZ files are made here byte by byte and
// the converted files are compared byte by byte.
//
// WindowDriver <exe> <scenario>
//   start-state   the window at start: places, captions that fit, access
//                 keys shown with Alt
//   batch         cancel the dialog, the version list, then a batch to 204
//                 without lines that converts, skips and fails files
//   close         closing the window during a long batch
//   close-in-dialog  a close from outside while the open dialog is up
//   shell-menu    Ustaw menu kontekstowe for 204
//   keyboard      Tab, Enter, Space, Esc and access keys, the focus kept
//   drop          files and folders dropped on the window
// Works in the current folder. Prints one line per check; exit code 0 when
// every check passed. Waits only for conditions: a control's state, a
// window, or the program's messages handled (Idle). With QWZ_SHOTS set it
// asks the test script for screenshots of states worth seeing.
#include "support/Bytes.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using qwz::test::Bytes;

namespace {

int g_failed = 0;

std::string Narrow(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::wstring Widen(const std::string& s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
    std::wstring w(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), w.data(), n);
    return w;
}

bool Check(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok) ++g_failed;
    return ok;
}

bool CheckText(const std::wstring& got, const std::wstring& expected, const std::string& what) {
    bool ok = got == expected;
    Check(ok, what);
    if (!ok) std::printf("  got:      [%s]\n  expected: [%s]\n", Narrow(got).c_str(), Narrow(expected).c_str());
    return ok;
}

// Polls `find` until it gives a window or the time is up.
HWND WaitFor(const std::function<HWND()>& find, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND h = find()) return h;
        if (GetTickCount() - start > timeoutMs) return nullptr;
        Sleep(50);
    }
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs, DWORD stepMs = 50) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(stepMs);
    }
    return true;
}

std::wstring ClassOf(HWND h) {
    wchar_t name[128] = {};
    GetClassNameW(h, name, 128);
    return name;
}

std::wstring TextOf(HWND h) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(h, WM_GETTEXT, WPARAM(text.size()), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    text.resize(copied);
    return text;
}

std::vector<HWND> Descendants(HWND parent) {
    std::vector<HWND> all;
    EnumChildWindows(
        parent,
        [](HWND h, LPARAM lp) {
            reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

// A caption as a person reads it: "&" marks the access key ("&&" is "&").
std::wstring Plain(const std::wstring& caption) {
    std::wstring text;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == L'&' && i + 1 < caption.size()) ++i;
        text += caption[i];
    }
    return text;
}

// The control of a class whose text, as read, is `text` (any text when null).
HWND FindControl(HWND parent, const wchar_t* cls, const wchar_t* text) {
    for (HWND h : Descendants(parent))
        if (_wcsicmp(ClassOf(h).c_str(), cls) == 0 && (!text || Plain(TextOf(h)) == text)) return h;
    return nullptr;
}

// The control that has the keyboard focus in the program's thread.
HWND FocusOf(HWND form) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

// A key pressed and let go on the focused control, as the keyboard sends it.
void Key(HWND form, UINT key) {
    HWND target = FocusOf(form);
    if (!target) target = form;
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

// Alt together with a letter: the access key of a control.
void AltKey(HWND form, wchar_t letter) {
    HWND target = FocusOf(form);
    if (!target) target = form;
    PostMessageW(target, WM_SYSKEYDOWN, VK_MENU, 0x20000001);
    PostMessageW(target, WM_SYSCHAR, WPARAM(letter), 0x20000001);
    PostMessageW(target, WM_SYSKEYUP, VK_MENU, 0xC0000001);
}

// Waits until the program has handled everything sent and posted to it so
// far: a message sent to the window is answered only when its thread looks
// for messages again, that is once the handler at work has returned (or
// opened a dialog of its own, which is then there to be found).
bool Idle(HWND form) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result) != 0;
}

// A visible dialog (file dialog or message box) owned by `owner`.
HWND FindOwnedDialog(HWND owner) {
    struct Search {
        HWND owner;
        HWND found;
    } s{owner, nullptr};
    EnumWindows(
        [](HWND h, LPARAM lp) {
            auto* s = reinterpret_cast<Search*>(lp);
            if (GetWindow(h, GW_OWNER) == s->owner && IsWindowVisible(h) && ClassOf(h) == L"#32770") {
                s->found = h;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// Presses a button or check box as a click does; a person cannot press a
// hidden or disabled one.
bool Click(HWND h, const std::string& what) {
    if (!Check(h && IsWindowVisible(h) && IsWindowEnabled(h), what + " can be pressed")) return false;
    PostMessageW(h, BM_CLICK, 0, 0);
    return true;
}

// One step in a drop-down list with the arrow keys, as from the keyboard.
void PressKey(HWND h, UINT key) {
    SendMessageW(h, WM_KEYDOWN, key, 1);
    SendMessageW(h, WM_KEYUP, key, 0xC0000001);
}

bool Checked(HWND h) { return SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED; }

std::vector<uint8_t> ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& p, const std::vector<uint8_t>& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::set<std::string> Listing(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

// The running program and its window.
struct App {
    PROCESS_INFORMATION process{};
    HWND form = nullptr;
    HWND close = nullptr, convert = nullptr, shellMenu = nullptr, combo = nullptr,
         progress = nullptr;
    HWND lines = nullptr, polylines = nullptr, arcs = nullptr, circles = nullptr, uv = nullptr,
         zones = nullptr, other = nullptr, original = nullptr;

    ~App() {
        if (process.hProcess) {
            if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(process.hProcess, 1);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
    }

    bool Start(const std::wstring& exe) {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        std::wstring command = L"\"" + exe + L"\"";
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &si, &process))
            return Check(false, "the program starts");
        WaitForInputIdle(process.hProcess, 20000);
        DWORD pid = process.dwProcessId;
        form = WaitFor(
            [pid] {
                HWND h = nullptr;
                while ((h = FindWindowExW(nullptr, h, L"TMForm", nullptr))) {
                    DWORD owner = 0;
                    GetWindowThreadProcessId(h, &owner);
                    if (owner == pid && IsWindowVisible(h)) return h;
                }
                return HWND(nullptr);
            },
            30000);
        if (!Check(form != nullptr, "the window of class TMForm appears")) return false;
        close = FindControl(form, L"Button", L"Zamknij");
        convert = FindControl(form, L"Button", L"Konwertuj");
        shellMenu = FindControl(form, L"Button", L"Ustaw menu kontekstowe");
        combo = FindControl(form, L"ComboBox", nullptr);
        progress = FindControl(form, L"msctls_progress32", nullptr);
        lines = FindControl(form, L"Button", L"Linie");
        polylines = FindControl(form, L"Button", L"Polilinie");
        arcs = FindControl(form, L"Button", L"Łuki");
        circles = FindControl(form, L"Button", L"Okręgi / światła");
        uv = FindControl(form, L"Button", L"UV");
        zones = FindControl(form, L"Button", L"Strefy skalowania");
        other = FindControl(form, L"Button", L"Inne dodatkowe dane");
        original = FindControl(form, L"Button", L"Kopię oryginału");
        HWND all[] = {close, convert, shellMenu, combo, progress, lines, polylines, arcs,
                      circles, uv, zones, other, original};
        bool found = true;
        for (HWND h : all) found = found && h;
        return Check(found, "every control is found by its class and text");
    }

    std::vector<HWND> KeepBoxes() const {
        return {lines, polylines, arcs, circles, uv, zones, other, original};
    }

    // Konwertuj, then the open dialog.
    HWND OpenDialog() {
        if (!Click(convert, "Konwertuj")) return nullptr;
        HWND dialog = WaitFor([this] { return FindOwnedDialog(form); }, 20000);
        Check(dialog != nullptr, "Konwertuj opens the file dialog");
        return dialog;
    }

    // Types `text` as the file name and presses Open.
    static void EnterFileName(HWND dialog, const std::wstring& text) {
        HWND name = GetDlgItem(dialog, 0x47c);  // cmb13: the file name box
        HWND edit = name ? FindControl(name, L"Edit", nullptr) : nullptr;
        if (!edit) edit = GetDlgItem(dialog, 0x480);  // edt1
        Check(edit != nullptr, "the file dialog has a file name box");
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        // Sent, so that on return the dialog has gone into the folder or
        // taken the files.
        DWORD_PTR result = 0;
        SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                            reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)), SMTO_NORMAL, 20000, &result);
    }

    // Waits for the summary box, reads its text and presses OK.
    std::wstring TakeSummary(DWORD timeoutMs, std::wstring* caption = nullptr) {
        HWND box = WaitFor(
            [this] {
                HWND h = FindOwnedDialog(form);
                return h && FindControl(h, L"Button", L"OK") ? h : HWND(nullptr);
            },
            timeoutMs);
        if (!Check(box != nullptr, "the summary box appears")) return {};
        std::wstring text;
        for (HWND h : Descendants(box))
            if (_wcsicmp(ClassOf(h).c_str(), L"Static") == 0) {
                std::wstring t = TextOf(h);
                if (t.size() > text.size()) text = t;
            }
        if (caption) *caption = TextOf(box);
        PostMessageW(FindControl(box, L"Button", L"OK"), BM_CLICK, 0, 0);
        Check(WaitUntil([box] { return !IsWindow(box); }, 10000), "the summary box closes with OK");
        return text;
    }

    bool WaitForExit(DWORD timeoutMs, DWORD* code) {
        if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
        GetExitCodeProcess(process.hProcess, code);
        return true;
    }
};

// A screenshot of the window (and of any box it owns) for people to look
// at: when the test script watches (QWZ_SHOTS set), a request NAME.shot
// with the screen rectangle, answered by NAME.taken once the picture is
// stable. Drawn first, so the picture is of the current state.
// `redraw` off: the program is busy and shows what it last drew.
void Shot(App& app, const std::string& name, bool redraw = true) {
    if (!std::getenv("QWZ_SHOTS")) return;
    if (redraw) {
        RedrawWindow(app.form, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        Idle(app.form);
    }
    RECT r;
    GetWindowRect(app.form, &r);
    if (HWND box = FindOwnedDialog(app.form)) {
        RECT b;
        GetWindowRect(box, &b);
        UnionRect(&r, &r, &b);
    }
    {
        std::ofstream(name + ".tmp") << r.left << " " << r.top << " " << r.right - r.left << " "
                                     << r.bottom - r.top << "\n";
    }
    fs::rename(name + ".tmp", name + ".shot");
    Check(WaitUntil([&] { return fs::exists(name + ".taken"); }, 60000), "screenshot " + name + " taken");
}

// Files and folders dropped on the window as the system hands them over:
// WM_DROPFILES with a DROPFILES block (wide names, each ending in 0, the
// list in an empty name), here written into the program's memory.
bool Drop(App& app, const std::vector<fs::path>& paths) {
    std::vector<uint8_t> block(sizeof(DROPFILES), 0);
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = TRUE;
    std::memcpy(block.data(), &header, sizeof header);
    for (const fs::path& p : paths) {
        std::wstring name = p.wstring();
        const auto* bytes = reinterpret_cast<const uint8_t*>(name.c_str());
        block.insert(block.end(), bytes, bytes + (name.size() + 1) * sizeof(wchar_t));
    }
    block.insert(block.end(), sizeof(wchar_t), 0);
    void* remote = VirtualAllocEx(app.process.hProcess, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE,
                                  PAGE_READWRITE);
    if (!remote || !WriteProcessMemory(app.process.hProcess, remote, block.data(), block.size(), nullptr))
        return Check(false, "the drop is written into the program");
    return Check(PostMessageW(app.form, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0) != 0,
                 "the drop is handed to the window");
}

// How far the ink of `text` reaches when drawn at x = 0 in `font`, on the
// drawn pixels (advance widths overstate some fonts' text).
int InkWidth(HFONT font, const std::wstring& text) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ oldFont = SelectObject(dc, font);
    RECT bounds{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), int(text.size()), &bounds, DT_CALCRECT | DT_SINGLELINE);
    const int width = bounds.right + bounds.bottom, height = bounds.bottom;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    PatBlt(dc, 0, 0, width, height, WHITENESS);
    SetBkMode(dc, TRANSPARENT);
    RECT area{0, 0, width, height};
    DrawTextW(dc, text.c_str(), int(text.size()), &area, DT_SINGLELINE | DT_NOCLIP);
    GdiFlush();
    int ink = 0;
    for (int y = 0; y < height; ++y)
        for (int x = ink; x < width; ++x)
            if ((static_cast<const uint32_t*>(bits)[y * width + x] & 0xFFFFFF) != 0xFFFFFF) ink = x + 1;
    SelectObject(dc, oldBitmap);
    SelectObject(dc, oldFont);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return ink;
}

// Whether the access key's underline in `marked` ("&" before the letter),
// drawn as the system draws it in `font`, stands clear of the letters'
// ink: at least two pixels of its own on its row, with no ink of a letter
// (a descender) touching either end, so that it reads as an underline.
bool UnderlineStandsClear(HFONT font, const std::wstring& marked) {
    std::wstring plain;
    for (wchar_t c : marked)
        if (c != L'&') plain += c;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ oldFont = SelectObject(dc, font);
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    const int width = 400, height = int(tm.tmHeight) + 4;
    auto row = [&](const std::wstring& text, UINT flags, int y) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(dc, bitmap);
        PatBlt(dc, 0, 0, width, height, WHITENESS);
        RECT area{0, 0, width, height};
        DrawTextW(dc, text.c_str(), int(text.size()), &area, flags);
        GdiFlush();
        std::vector<bool> ink(static_cast<size_t>(width), false);
        for (int x = 0; x < width; ++x)
            ink[size_t(x)] = (static_cast<const uint32_t*>(bits)[y * width + x] & 0xFFFFFF) != 0xFFFFFF;
        SelectObject(dc, old);
        DeleteObject(bitmap);
        return ink;
    };
    bool clear = false;
    for (int y = 0; y < height && !clear; ++y) {
        const std::vector<bool> withMark = row(marked, DT_SINGLELINE, y);
        const std::vector<bool> without = row(plain, DT_SINGLELINE | DT_NOPREFIX, y);
        int first = -1, last = -1;
        for (int x = 0; x < width; ++x)
            if (withMark[size_t(x)] && !without[size_t(x)]) {
                if (first < 0) first = x;
                last = x;
            }
        if (first < 0) continue;
        clear = last - first >= 1 && (first == 0 || !withMark[size_t(first - 1)]) &&
                (last + 1 >= width || !withMark[size_t(last + 1)]);
    }
    SelectObject(dc, oldFont);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return clear;
}

// --- files -----------------------------------------------------------------

Bytes Header204() { return Bytes().magic(204).f32(1.5f).f32(-2.25f).f32(0.5f); }
Bytes CircleGroup() { return Bytes().i32(1).name("Swiatla").i32(5).i32(1).fill(56, 0x11); }
Bytes LineGroup(int records) {
    Bytes b;
    b.i32(2).name("Krawedzie").i32(-1).i32(records);
    for (int i = 0; i < records; ++i) b.fill(48, uint8_t(0x20 + i % 64));
    b.name("Puste").i32(7).i32(0);
    return b;
}
Bytes PolyGroup() {
    return Bytes().i32(1).name("Obrys").i32(3).i32(1).i32(1).u8(9).fill(24, 0x33)
        .f64(1.0).f64(2.0).f64(3.0).f64(0.5);
}
Bytes ArcGroup() { return Bytes().i32(1).name("Luki").i32(4).i32(1).fill(72, 0x44); }
Bytes OpaqueTail() { return Bytes().u8(7).i32(3).u8(1).u8(2).u8(3); }

// A version 204 file; the line group is left out (name count 0) when
// `lineRecords` is negative.
std::vector<uint8_t> File204(int lineRecords, bool tail) {
    Bytes b = Header204();
    b.raw(CircleGroup());
    if (lineRecords >= 0) b.raw(LineGroup(lineRecords));
    else b.i32(0);
    b.raw(PolyGroup()).raw(ArcGroup()).i32(0);  // no meshes
    if (tail) b.raw(OpaqueTail());
    return b.vec();
}

// --- scenarios ---------------------------------------------------------------

// The font the window asks for (Tahoma 8 pt), as the system gives it here.
HFONT ControlFont(UINT dpi) {
    return CreateFontW(-MulDiv(8, int(dpi), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       L"Tahoma");
}

std::wstring FaceOf(HFONT font) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return face;
}

RECT InForm(HWND form, HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Every caption fits its control in the font the system gives for the
// window's: the drawn text, plus a check box's mark and gap or a button's
// border and focus frame. Every control lies inside its parent, the
// buttons right of the version list and the panel, and every button and
// check box has an access key (see the keyboard scenario).
void CheckCaptionsFit(App& app, UINT dpi) {
    HFONT font = ControlFont(dpi);
    HWND label2 = FindControl(app.form, L"Static", L"Wersja QWZ: ");
    HWND label1 = FindControl(app.form, L"Static", L"Zachowaj:");
    std::vector<HWND> buttons = {app.convert, app.close, app.shellMenu};
    std::vector<HWND> all = buttons;
    for (HWND h : app.KeepBoxes()) all.push_back(h);
    bool fits = true, inside = true;
    all.push_back(label1);
    all.push_back(label2);
    for (HWND h : all) {
        if (!h) continue;
        const bool button = std::find(buttons.begin(), buttons.end(), h) != buttons.end();
        const bool label = h == label1 || h == label2;
        const int chrome = label ? 0 : MulDiv(button ? 8 : 18, int(dpi), 96);
        const int need = InkWidth(font, TextOf(h)) + chrome;
        RECT r, parent;
        GetWindowRect(h, &r);
        GetClientRect(GetParent(h), &parent);
        MapWindowPoints(nullptr, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
        if (need > r.right - r.left) {
            std::printf("  [%s] needs %d, has %ld\n", Narrow(TextOf(h)).c_str(), need, r.right - r.left);
            fits = false;
        }
        if (r.left < 0 || r.top < 0 || r.right > parent.right || r.bottom > parent.bottom) inside = false;
    }
    // Each control's access key (as the keyboard scenario presses them):
    // its underline must be seen as one.
    const std::pair<HWND, wchar_t> keys[] = {
        {app.convert, L'k'}, {app.close, L'z'},  {app.shellMenu, L'm'}, {app.lines, L'l'},
        {app.polylines, L'p'}, {app.arcs, L'u'}, {app.circles, L'o'},   {app.uv, L'v'},
        {app.zones, L's'},   {app.other, L'i'},  {app.original, L'n'}};
    std::string unclear;
    for (const auto& [h, letter] : keys) {
        std::wstring marked = TextOf(h);
        size_t at = 0;
        while (at < marked.size() && std::towlower(marked[at]) != letter) ++at;
        marked.insert(at, 1, L'&');
        if (!UnderlineStandsClear(font, marked)) unclear += " [" + Narrow(marked) + "]";
    }
    Check(unclear.empty(), "every access key's underline stands clear of the letters" + unclear);
    DeleteObject(font);
    Check(fits, "every caption fits its control");
    RECT panel = InForm(app.form, GetParent(app.lines)), combo = InForm(app.form, app.combo),
         label = InForm(app.form, label2);
    for (HWND b : buttons) {
        RECT r = InForm(app.form, b);
        if (r.left < combo.right || r.left < panel.right - MulDiv(1, int(dpi), 96)) inside = false;
    }
    if (label.right > combo.left) inside = false;
    Check(inside, "every control inside the window, none over another");
}

// The window at start: texts, states, sizes and positions at 96 dpi.
void CheckStartState(App& app) {
    CheckText(TextOf(app.form), L"Velmora QWZ Downgrader", "the window's caption");
    LONG_PTR ex = GetWindowLongPtrW(app.form, GWL_EXSTYLE);
    LONG_PTR style = GetWindowLongPtrW(app.form, GWL_STYLE);
    Check((ex & WS_EX_TOOLWINDOW) != 0, "a tool window");
    Check(!(style & WS_THICKFRAME) && !(style & WS_MAXIMIZEBOX), "not resizable");
    UINT dpi = 96;
    HDC dc = GetDC(nullptr);
    dpi = UINT(GetDeviceCaps(dc, LOGPIXELSY));
    ReleaseDC(nullptr, dc);
    auto px = [dpi](int v) { return MulDiv(v, int(dpi), 96); };
    // The layout is made for Tahoma; in any other font the captions are
    // checked to fit instead of the places.
    HFONT tahomaFont = ControlFont(dpi);
    const bool tahoma = FaceOf(tahomaFont) == L"Tahoma";
    std::printf("  the controls' font: %s\n", Narrow(FaceOf(tahomaFont)).c_str());
    DeleteObject(tahomaFont);
    RECT client;
    GetClientRect(app.form, &client);
    if (tahoma)
    Check(client.right == px(307) && client.bottom == px(261),
          "client area 307 x 261 at 96 dpi (" + std::to_string(client.right) + " x " +
              std::to_string(client.bottom) + " at " + std::to_string(dpi) + " dpi)");
    RECT frame;
    GetWindowRect(app.form, &frame);
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    int cx = (frame.left + frame.right) / 2, cy = (frame.top + frame.bottom) / 2;
    Check(std::abs(cx - sw / 2) <= 2 && std::abs(cy - sh / 2) <= 40, "centred on the screen");

    CheckText(TextOf(app.combo), L"203", "the version list shows 203");
    Check(SendMessageW(app.combo, CB_GETCOUNT, 0, 0) == 3, "the version list has three items");
    wchar_t item[8];
    for (int i = 0; i < 3; ++i) {
        SendMessageW(app.combo, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(item));
        CheckText(item, std::to_wstring(202 + i), "version item " + std::to_string(i));
    }
    Check((GetWindowLongPtrW(app.combo, GWL_STYLE) & 3) == CBS_DROPDOWNLIST,
          "the version list takes no typing");
    Check(IsWindowEnabled(app.convert) && IsWindowEnabled(app.close), "Konwertuj and Zamknij enabled");
    Check(!IsWindowEnabled(app.shellMenu), "Ustaw menu kontekstowe starts disabled");
    Check(!IsWindowVisible(app.progress), "the progress bar starts hidden");
    bool all = true;
    for (HWND h : app.KeepBoxes()) all = all && Checked(h) && IsWindowEnabled(h);
    Check(all, "all eight boxes checked and enabled");
    Check(FindControl(app.form, L"Static", L"Wersja QWZ: ") != nullptr, "label Wersja QWZ: ");
    Check(FindControl(app.form, L"Static", L"Zachowaj:") != nullptr, "label Zachowaj:");

    // Positions in the form's client area (check boxes: their panel is at 0, 35).
    struct Place {
        HWND h;
        int left, top, width, height;
        const char* name;
        int panelTop = 0;  // a check box is placed in the panel at 0, 35
    } places[] = {
        {app.convert, 162, 8, 137, 25, "Konwertuj"},
        {app.close, 162, 39, 137, 25, "Zamknij"},
        {app.shellMenu, 162, 68, 137, 25, "Ustaw menu kontekstowe"},
        {app.progress, 154, 31, 153, 11, "progress bar"},
        {app.original, 10, 19, 97, 17, "Kopię oryginału", 35},
        {app.lines, 10, 57, 97, 17, "Linie", 35},
        {app.polylines, 10, 80, 97, 17, "Polilinie", 35},
        {app.arcs, 10, 103, 97, 17, "Łuki", 35},
        {app.circles, 10, 126, 97, 17, "Okręgi / światła", 35},
        {app.uv, 10, 158, 97, 17, "UV", 35},
        {app.zones, 10, 181, 121, 17, "Strefy skalowania", 35},
        {app.other, 10, 204, 129, 17, "Inne dodatkowe dane", 35},
    };
    bool placed = true;
    for (const Place& p : places) {
        if (!tahoma) break;
        RECT r;
        GetWindowRect(p.h, &r);
        MapWindowPoints(nullptr, app.form, reinterpret_cast<POINT*>(&r), 2);
        bool ok = r.left == px(p.left) && r.top == px(p.panelTop) + px(p.top) && r.right - r.left == px(p.width) &&
                  r.bottom - r.top == px(p.height);
        if (!ok)
            std::printf("  %s at %ld,%ld size %ld x %ld\n", p.name, r.left, r.top,
                        r.right - r.left, r.bottom - r.top);
        placed = placed && ok;
    }
    Check(placed, "controls at their positions and sizes");
    CheckCaptionsFit(app, dpi);
    RECT comboRect;
    GetWindowRect(app.combo, &comboRect);
    MapWindowPoints(nullptr, app.form, reinterpret_cast<POINT*>(&comboRect), 2);
    Check((!tahoma || comboRect.left == px(88)) && comboRect.top == px(8) &&
              comboRect.right - comboRect.left == px(57),
          "the version list at 88, 8, 57 wide");

    // Tab order: Zamknij, the list, Konwertuj, then into the panel
    // (Ustaw menu kontekstowe is disabled, the progress bar takes no focus).
    std::vector<HWND> order;
    HWND h = GetNextDlgTabItem(app.form, app.close, FALSE);
    for (int i = 0; i < 12 && h && h != app.close; ++i) {
        order.push_back(h);
        h = GetNextDlgTabItem(app.form, h, FALSE);
    }
    std::vector<HWND> expected = {app.combo, app.convert, app.lines, app.polylines, app.arcs,
                                  app.circles, app.uv, app.zones, app.other, app.original};
    Check(order == expected, "tab order from Zamknij: list, Konwertuj, Linie ... Kopię oryginału");
}

// The window says whether it shows the access keys' underlines now (the
// system's own state of each window is not kept by every system).
bool AccessKeysHidden(HWND control) {
    return GetPropW(GetAncestor(control, GA_ROOT), L"QwzAccessKeysShown") == nullptr;
}

void ScenarioStart(const std::wstring& exe) {
    // Access keys are underlined as the system shows them: once Alt is
    // pressed, unless the user asked the system to show them always (as
    // Wine's default does; turned off here for the run).
    BOOL cues = FALSE;
    SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &cues, 0);
    SystemParametersInfoW(SPI_SETKEYBOARDCUES, 0, nullptr, SPIF_SENDCHANGE);
    App app;
    const bool started = app.Start(exe);
    SystemParametersInfoW(SPI_SETKEYBOARDCUES, 0, reinterpret_cast<void*>(intptr_t(cues)), SPIF_SENDCHANGE);
    if (!started) return;
    CheckStartState(app);
    Shot(app, "main-window");
    Check(AccessKeysHidden(app.convert) && AccessKeysHidden(app.lines), "access keys not underlined at start");
    PostMessageW(FocusOf(app.form), WM_SYSKEYDOWN, VK_MENU, 0x20000001);
    Check(WaitUntil([&] { return !AccessKeysHidden(app.convert) && !AccessKeysHidden(app.lines); }, 10000),
          "Alt underlines the access keys");
    Shot(app, "access-keys");
    // Esc presses Zamknij, which ends the program.
    PostMessageW(app.close, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageW(app.close, WM_KEYUP, VK_ESCAPE, 0xC0000001);
    DWORD code = 1;
    Check(app.WaitForExit(15000, &code) && code == 0, "Esc closes the window, exit code 0");
}

// The keyboard alone: Enter presses the focused button from the start, the
// focus comes back to its control after a dialog, access keys press
// buttons and tick boxes.
void ScenarioKeyboard(const std::wstring& exe) {
    {
        App first;
        if (!first.Start(exe)) return;
        Check(FocusOf(first.form) == first.close, "Zamknij has the focus at start");
        Key(first.form, VK_RETURN);
        DWORD code = 1;
        Check(first.WaitForExit(15000, &code) && code == 0, "Enter at start presses Zamknij");
    }
    App app;
    if (!app.Start(exe)) return;
    HWND form = app.form;
    auto focusOn = [&](HWND h) { return WaitUntil([&] { return FocusOf(form) == h; }, 10000); };
    Key(form, VK_TAB);
    Check(focusOn(app.combo), "Tab: the version list");
    Key(form, VK_TAB);
    Check(focusOn(app.convert), "Tab: Konwertuj");
    // A dialog opened by Space, Enter or Alt+K and closed with Esc gives
    // the focus back to Konwertuj.
    struct Press {
        const char* name;
        std::function<void()> press;
    } presses[] = {{"Space", [&] { Key(form, VK_SPACE); }},
                   {"Enter", [&] { Key(form, VK_RETURN); }},
                   {"Alt+K", [&] { AltKey(form, L'k'); }}};
    for (const Press& p : presses) {
        p.press();
        HWND dialog = WaitFor([&] { return FindOwnedDialog(form); }, 10000);
        if (!Check(dialog != nullptr, std::string(p.name) + " on Konwertuj opens the dialog")) return;
        WaitUntil([&] { return IsChild(dialog, FocusOf(form)) != FALSE; }, 10000);
        Key(form, VK_ESCAPE);  // to the dialog's focused control
        Check(WaitUntil([&] { return !IsWindow(dialog); }, 10000), "Esc closes the dialog");
        Check(focusOn(app.convert), std::string("after ") + p.name + " and Esc Konwertuj has the focus again");
    }
    // Each box's access key ticks that box alone, off and on again.
    const std::pair<wchar_t, HWND> boxKeys[] = {{L'l', app.lines}, {L'p', app.polylines}, {L'u', app.arcs},
                                                {L'o', app.circles}, {L'v', app.uv},       {L's', app.zones},
                                                {L'i', app.other},   {L'n', app.original}};
    for (const auto& [letter, box] : boxKeys) {
        const std::string name = "Alt+" + Narrow(std::wstring(1, wchar_t(std::towupper(letter))));
        for (bool ticked : {false, true}) {
            AltKey(form, letter);
            bool alone = WaitUntil([&] { return Checked(box) == ticked; }, 10000) && Idle(form);
            for (HWND other : app.KeepBoxes()) alone = alone && (other == box || Checked(other));
            Check(alone && FindOwnedDialog(form) == nullptr,
                  name + (ticked ? " ticks " : " unticks ") + Narrow(TextOf(box)) + " alone");
        }
        Check(FocusOf(form) == box, name + " moves the focus to its box");
    }
    // Round to Zamknij with Tab; Enter presses it.
    for (int i = 0; i < 12 && FocusOf(form) != app.close; ++i) {
        HWND before = FocusOf(form);
        Key(form, VK_TAB);
        WaitUntil([&] { return FocusOf(form) != before; }, 10000);
    }
    Check(FocusOf(form) == app.close, "Tab comes round to Zamknij");
    Key(form, VK_RETURN);
    DWORD code = 1;
    Check(app.WaitForExit(15000, &code) && code == 0, "Enter presses Zamknij");
}

// Files and folders dropped on the window: one batch with the choices
// made, folders with their sub-folders and without kept backups, the
// count and the file at hand in the caption while it runs.
void ScenarioDrop(const std::wstring& exe) {
    const fs::path here = fs::current_path();
    fs::create_directories("drop/sub/deeper");
    fs::create_directories("drop/many");
    fs::create_directories("nothing");
    const std::vector<uint8_t> lines = File204(3, true), noLines = File204(-1, true);
    const std::vector<uint8_t> withoutLines = Header204().raw(CircleGroup()).i32(0).raw(PolyGroup())
                                                  .raw(ArcGroup()).i32(0).raw(OpaqueTail()).vec();
    const int many = 24;
    const std::vector<uint8_t> big = File204(12000, true);
    for (int i = 0; i < many; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "drop/many/m%02d.qwz", i);
        WriteFile(name, big);
    }
    // x.qwz was converted before and keeps its original beside it; so was
    // k.qwz, whose original is dropped by its name; gone.qwz is no longer
    // there, its original is.
    for (const char* name : {"drop/sub/y.qwz", "drop/sub/deeper/z.qwz", "single.qwz", "drop/x_org.qwz", "k_org.qwz",
                             "drop/sub/gone_org.qwz"})
        WriteFile(name, lines);
    WriteFile("drop/x.qwz", noLines);
    WriteFile("k.qwz", noLines);

    App app;
    if (!app.Start(exe)) return;
    Check((GetWindowLongPtrW(app.form, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0, "the window takes dropped files");
    PressKey(app.combo, VK_DOWN);  // 204
    Click(app.lines, "Linie");
    Check(WaitUntil([&] { return !Checked(app.lines); }, 5000), "Linie unticked");
    const int total = many + 7;
    // Another conversion holds m12.qwz (its lock, as a conversion takes
    // it): the batch waits for it two seconds, then gives it up.
    HANDLE held = CreateFileW(L"drop\\many\\m12.qwz", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    OVERLAPPED at{};
    at.OffsetHigh = 0x7FFFFFF0;
    Check(held != INVALID_HANDLE_VALUE &&
              LockFileEx(held, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at),
          "m12.qwz held as by another conversion");
    if (!Drop(app, {here / "drop", here / "single.qwz", here / "nothing", here / "k_org.qwz"})) return;

    // While the batch runs: "place / all – file at hand" in the caption
    // (read here without asking the busy window); m12.qwz is the 13th.
    auto caption = [&] {
        wchar_t text[160] = {};
        GetWindowTextW(app.form, text, 160);
        return std::wstring(text);
    };
    const std::wstring waiting = L"13 / " + std::to_wstring(total) + L" – m12.qwz – Velmora QWZ Downgrader";
    Check(WaitUntil([&] { return caption() == waiting; }, 60000, 2), "the caption shows m12.qwz as the 13th of all");
    Shot(app, "batch-progress", false);
    std::wstring summary = app.TakeSummary(120000);
    CloseHandle(held);
    Check(ReadFile("drop/many/m12.qwz") == big, "the held file is left as it was");
    CheckText(summary,
              L"Przekonwertowano plików " + std::to_wstring(many + 2) + L" / " + std::to_wstring(total) +
                  L"\npominięte: 3\nbłędy: 2\n\nm12.qwz: plik jest właśnie konwertowany przez inny program"
                  L"\nnothing: folder nie zawiera plików *.qwz",
              "summary: the folders' files, the file named, the held file and the empty folder failed");
    CheckText(TextOf(app.form), L"Velmora QWZ Downgrader", "the caption is the window's own again");
    bool converted = true;
    for (const char* name : {"drop/sub/y.qwz", "drop/sub/deeper/z.qwz", "single.qwz", "drop/many/m23.qwz"})
        converted = converted && ReadFile(name) == withoutLines;
    Check(converted, "files in sub-folders and the file named converted as chosen (204, no lines)");
    Check(ReadFile("drop/x_org.qwz") == lines && ReadFile("k_org.qwz") == lines && ReadFile("drop/x.qwz") == noLines &&
              !fs::exists("drop/x_org_org.qwz") && !fs::exists("k_org_org.qwz") &&
              ReadFile("drop/sub/gone_org.qwz") == lines && !fs::exists("drop/sub/gone_org_org.qwz"),
          "kept backups left alone, in a folder (with or without their files) and named");

    // The dialog decides the same way about a kept backup.
    HWND dialog = app.OpenDialog();
    if (!dialog) return;
    App::EnterFileName(dialog, (here / "drop").wstring());
    App::EnterFileName(dialog, L"x_org.qwz");
    CheckText(app.TakeSummary(60000), L"Przekonwertowano plików 0 / 1\npominięte: 1\nbłędy: 0",
              "a kept backup chosen in the dialog is skipped");
    Check(ReadFile("drop/x_org.qwz") == lines && !fs::exists("drop/x_org_org.qwz"), "and left as it was");
    Click(app.close, "Zamknij");
    DWORD code = 1;
    Check(app.WaitForExit(15000, &code) && code == 0, "Zamknij ends the program with exit code 0");
}

void ScenarioBatch(const std::wstring& exe) {
    fs::path here = fs::current_path();
    std::vector<uint8_t> a = File204(3, true), b = File204(-1, true), c = File204(0, false);
    // Two that fail: no QWZ magic, and a group that claims more names than
    // the file can hold.
    std::vector<uint8_t> bad = Bytes().u8('N').u8('I').u8('E').u8(' ').u8('Q').u8('W').u8('Z').vec();
    std::vector<uint8_t> cut = Bytes().magic(204).f32(0).f32(0).f32(0).i32(0x7fffffff).vec();
    WriteFile("a.qwz", a);
    WriteFile("b.qwz", b);
    WriteFile("c.qwz", c);
    WriteFile("bad.qwz", bad);
    WriteFile("cut.qwz", cut);
    std::set<std::string> before = Listing(here);

    App app;
    if (!app.Start(exe)) return;

    // Cancelling the dialog changes nothing.
    if (HWND dialog = app.OpenDialog()) {
        Check(!IsWindowEnabled(app.form), "the dialog is modal");
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
        Check(WaitUntil([dialog] { return !IsWindow(dialog); }, 10000), "Cancel closes the dialog");
        Check(Idle(app.form), "the window goes idle after Cancel");
        Check(FindOwnedDialog(app.form) == nullptr, "no summary box after Cancel");
        Check(Listing(here) == before && ReadFile("a.qwz") == a && ReadFile("bad.qwz") == bad,
              "no file changed after Cancel");
        Check(IsWindowEnabled(app.convert) && !IsWindowVisible(app.progress),
              "Konwertuj enabled and no progress after Cancel");
    }

    // The version list: the first change enables Ustaw menu kontekstowe;
    // 202 disables the three extra-data boxes and keeps their ticks.
    Click(app.uv, "UV");
    WaitUntil([&] { return !Checked(app.uv); }, 5000);
    Check(!Checked(app.uv), "UV unticked");
    PressKey(app.combo, VK_UP);
    CheckText(TextOf(app.combo), L"202", "arrow up selects 202");
    Check(IsWindowEnabled(app.shellMenu), "the first change enables Ustaw menu kontekstowe");
    Check(!IsWindowEnabled(app.uv) && !IsWindowEnabled(app.zones) && !IsWindowEnabled(app.other),
          "202 disables UV, Strefy skalowania, Inne dodatkowe dane");
    Check(!Checked(app.uv) && Checked(app.zones) && Checked(app.other),
          "the disabled boxes keep their ticks");
    Check(IsWindowEnabled(app.lines) && IsWindowEnabled(app.original), "the other boxes stay enabled");
    PressKey(app.combo, VK_DOWN);
    CheckText(TextOf(app.combo), L"203", "arrow down selects 203");
    Check(IsWindowEnabled(app.uv) && IsWindowEnabled(app.zones) && IsWindowEnabled(app.other),
          "203 enables the three boxes again");
    Click(app.uv, "UV");
    WaitUntil([&] { return Checked(app.uv); }, 5000);
    PressKey(app.combo, VK_DOWN);
    CheckText(TextOf(app.combo), L"204", "arrow down selects 204");
    Check(IsWindowEnabled(app.shellMenu) && IsWindowEnabled(app.uv), "204: all enabled");

    // 204 without lines, keeping the original.
    Click(app.lines, "Linie");
    Check(WaitUntil([&] { return !Checked(app.lines); }, 5000), "Linie unticked");
    HWND dialog = app.OpenDialog();
    if (!dialog) return;
    // Into the folder first, then the names, as typed in the dialog.
    std::wstring folder = here.wstring();
    App::EnterFileName(dialog, folder);
    Check(IsWindow(dialog), "entering a folder stays in the dialog");
    App::EnterFileName(dialog, L"\"a.qwz\" \"b.qwz\" \"bad.qwz\" \"c.qwz\" \"cut.qwz\"");
    Check(WaitUntil([dialog] { return !IsWindow(dialog); }, 10000), "Open closes the dialog");
    std::wstring caption;
    std::wstring summary = app.TakeSummary(60000, &caption);
    CheckText(caption, L"", "the summary box has no caption");
    // The reason of a damaged file comes from the reader; only its line is
    // checked for that one.
    std::wstring head = L"Przekonwertowano plików 2 / 5\npominięte: 1\nbłędy: 2\n\n"
                        L"bad.qwz: to nie jest plik QWZ (brak znacznika \"QWZ\" na początku)\ncut.qwz: ";
    Check(summary.size() > head.size() + 3 && summary.compare(0, head.size(), head) == 0 &&
              summary.find(L'\n', head.size()) == std::wstring::npos,
          "summary: three lines, an empty line and each failed file with its reason");
    std::printf("  summary: [%s]\n", Narrow(summary).c_str());
    // The two buttons are enabled one after the other: waited for together.
    Check(WaitUntil(
              [&] {
                  return IsWindowEnabled(app.convert) && IsWindowEnabled(app.shellMenu) &&
                         !IsWindowVisible(app.progress);
              },
              10000),
          "after the batch both buttons are enabled again and the progress bar hidden");

    // The files as chosen: lines gone, everything else byte for byte.
    std::vector<uint8_t> aOut = Header204().raw(CircleGroup()).i32(0).raw(PolyGroup())
                                    .raw(ArcGroup()).i32(0).raw(OpaqueTail()).vec();
    std::vector<uint8_t> cOut = Header204().raw(CircleGroup()).i32(0).raw(PolyGroup())
                                    .raw(ArcGroup()).i32(0).vec();
    Check(ReadFile("a.qwz") == aOut, "a.qwz rewritten without its line group");
    Check(ReadFile("a_org.qwz") == a, "a_org.qwz holds the original of a.qwz");
    Check(ReadFile("b.qwz") == b, "b.qwz (no lines) skipped and unchanged");
    Check(ReadFile("c.qwz") == cOut, "c.qwz rewritten without its empty line group");
    Check(ReadFile("c_org.qwz") == c, "c_org.qwz holds the original of c.qwz");
    Check(ReadFile("bad.qwz") == bad && ReadFile("cut.qwz") == cut,
          "bad.qwz and cut.qwz left untouched");
    std::set<std::string> after = before;
    after.insert("a_org.qwz");
    after.insert("c_org.qwz");
    Check(Listing(here) == after, "no other file appeared (no backups of the skipped and failed files, no temporary files)");

    Click(app.close, "Zamknij");
    DWORD code = 1;
    Check(app.WaitForExit(15000, &code) && code == 0, "Zamknij ends the program with exit code 0");
}

// Closing during a batch: the files at hand are finished, the rest are
// left, the summary says so, and the window then closes. The files begun
// are put in place together, as a group, so the close comes as soon as the
// first has begun (files of 3 MB: the batch lasts long enough to be closed
// in its middle).
void ScenarioClose(const std::wstring& exe) {
    const int files = 30;
    std::vector<uint8_t> big = File204(60000, true);  // about 3 MB each
    std::wstring names;
    for (int i = 0; i < files; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "m%02d.qwz", i);
        WriteFile(name, big);
        names += L"\"" + Widen(name) + L"\" ";
    }
    std::vector<uint8_t> converted204 = Header204().raw(CircleGroup()).i32(0).raw(PolyGroup())
                                            .raw(ArcGroup()).i32(0).raw(OpaqueTail()).vec();
    App app;
    if (!app.Start(exe)) return;
    PressKey(app.combo, VK_DOWN);  // 204
    Click(app.lines, "Linie");
    Click(app.original, "Kopię oryginału");
    Check(WaitUntil([&] { return !Checked(app.lines) && !Checked(app.original); }, 5000),
          "Linie and Kopię oryginału unticked");
    HWND dialog = app.OpenDialog();
    if (!dialog) return;
    App::EnterFileName(dialog, fs::current_path().wstring());
    App::EnterFileName(dialog, names);
    Check(WaitUntil([dialog] { return !IsWindow(dialog); }, 10000), "Open closes the dialog");
    // Once the first file has begun the close box is pressed. The progress
    // bar shows the batch: maximum the number of files, moved on before
    // each file (answered while the window lets messages through).
    DWORD_PTR high = 0, pos = 0;
    Check(WaitUntil(
              [&] {
                  SendMessageTimeoutW(app.progress, PBM_GETRANGE, FALSE, 0, SMTO_NORMAL, 10000, &high);
                  SendMessageTimeoutW(app.progress, PBM_GETPOS, 0, 0, SMTO_NORMAL, 10000, &pos);
                  return pos >= 1;
              },
              60000, 2),
          "the first file is begun");
    Check(IsWindowVisible(app.progress) && high == DWORD_PTR(files) && pos >= 1 &&
              pos < DWORD_PTR(files),
          "the progress bar is shown, up to " + std::to_string(files) + ", at " +
              std::to_string(pos));
    Check(!IsWindowEnabled(app.convert) && !IsWindowEnabled(app.shellMenu),
          "Konwertuj and Ustaw menu kontekstowe disabled during the batch");
    PostMessageW(app.form, WM_CLOSE, 0, 0);
    std::wstring summary = app.TakeSummary(120000);
    std::printf("  summary: [%s]\n", Narrow(summary).c_str());

    int converted = 0, untouched = 0, other = 0;
    for (int i = 0; i < files; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "m%02d.qwz", i);
        std::vector<uint8_t> now = ReadFile(name);
        if (now == big) ++untouched;
        else if (now == converted204) ++converted;
        else ++other;
    }
    std::printf("  files converted %d, untouched %d\n", converted, untouched);
    Check(other == 0, "every file either converted or untouched");
    Check(converted >= 1 && untouched >= 1, "the batch stopped part way");
    std::wstring expected = L"Przekonwertowano plików " + std::to_wstring(converted) + L" / " +
                            std::to_wstring(files) + L"\npominięte: 0\nbłędy: 0";
    if (untouched > 0)
        expected += L"\n\nPrzerwano po zamknięciu okna, nieprzetworzone pliki: " +
                    std::to_wstring(untouched);
    CheckText(summary, expected, "summary counts what was done and what was left");
    Check(std::none_of(fs::directory_iterator("."), fs::directory_iterator(),
                       [](const fs::directory_entry& e) {
                           return e.path().filename().string().find("_org") != std::string::npos;
                       }),
          "no backups (Kopię oryginału unticked)");
    DWORD code = 1;
    Check(app.WaitForExit(15000, &code) && code == 0, "the window closes after the summary");
}

std::wstring RegistryDefault(const wchar_t* key) {
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key, nullptr, RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS)
        return L"(none)";
    return value;
}

// Ustaw menu kontekstowe with 204 selected writes the Explorer command with
// -v 204; a refusal would show the warning box instead.
void ScenarioShellMenu(const std::wstring& exe) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L".qwz\\shell\\downgrade");
    App app;
    if (!app.Start(exe)) return;
    PressKey(app.combo, VK_DOWN);
    CheckText(TextOf(app.combo), L"204", "arrow down selects 204");
    Click(app.shellMenu, "Ustaw menu kontekstowe");
    // Either way a box says what happened: that the command was added, or
    // the warning of a refused registration.
    HWND box = WaitFor([&] { return FindOwnedDialog(app.form); }, 20000);
    if (box) Shot(app, "shell-menu-added");
    std::wstring caption;
    std::wstring text = app.TakeSummary(1000, &caption);
    std::printf("  box [%s]: [%s]\n", Narrow(caption).c_str(), Narrow(text).c_str());
    CheckText(caption, L"QWZ Downgrader", "the box's caption");
    CheckText(text,
              L"Polecenie „Dostosuj do starszych wersji programu” zostało dodane do menu kontekstowego "
              L"plików .qwz (konwersja do wersji 204).",
              "the box says the command was added, for 204");
    Check(WaitUntil([&] { return FocusOf(app.form) == app.shellMenu; }, 10000),
          "after the box the focus is back on Ustaw menu kontekstowe");
    CheckText(RegistryDefault(L".qwz\\shell\\downgrade"), L"Dostosuj do starszych wersji programu",
              "the menu text is registered");
    std::wstring command = RegistryDefault(L".qwz\\shell\\downgrade\\command");
    std::printf("  command: [%s]\n", Narrow(command).c_str());
    Check(command.find(L"QwzDowngrader.exe\" -v 204 \"%1\"") != std::wstring::npos,
          "the command starts this program with -v 204 on the clicked file");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L".qwz\\shell\\downgrade");
    Click(app.close, "Zamknij");
    DWORD code = 1;
    Check(app.WaitForExit(15000, &code) && code == 0, "Zamknij ends the program with exit code 0");
}

// A close that arrives while the open dialog is up (the window itself is
// disabled then, so it comes from outside, e.g. the taskbar) waits for the
// dialog, and no batch starts after it.
void ScenarioCloseInDialog(const std::wstring& exe) {
    std::vector<uint8_t> a = File204(1, true);
    WriteFile("a.qwz", a);
    App app;
    if (!app.Start(exe)) return;
    HWND dialog = app.OpenDialog();
    if (!dialog) return;
    DWORD_PTR result = 0;
    SendMessageTimeoutW(app.form, WM_CLOSE, 0, 0, SMTO_NORMAL, 20000, &result);
    Check(IsWindow(dialog) && IsWindow(app.form), "the window stays while the dialog is up");
    App::EnterFileName(dialog, fs::current_path().wstring());
    App::EnterFileName(dialog, L"a.qwz");
    DWORD code = 1;
    Check(app.WaitForExit(15000, &code) && code == 0,
          "the window closes when the dialog returns, exit code 0");
    Check(ReadFile("a.qwz") == a && !fs::exists("a_org.qwz"), "no file converted");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: WindowDriver <exe> start-state|batch|close|close-in-dialog|shell-menu|keyboard|drop\n");
        return 2;
    }
    std::wstring exe = argv[1];
    std::wstring scenario = argv[2];
    const std::pair<const wchar_t*, void (*)(const std::wstring&)> scenarios[] = {
        {L"start-state", ScenarioStart}, {L"batch", ScenarioBatch},       {L"close", ScenarioClose},
        {L"close-in-dialog", ScenarioCloseInDialog}, {L"shell-menu", ScenarioShellMenu},
        {L"keyboard", ScenarioKeyboard}, {L"drop", ScenarioDrop}};
    bool known = false;
    for (const auto& [name, run] : scenarios)
        if (scenario == name) {
            run(exe);
            known = true;
        }
    if (!known) {
        std::fprintf(stderr, "unknown scenario\n");
        return 2;
    }
    std::printf("%s: %d failed\n", Narrow(scenario).c_str(), g_failed);
    return g_failed == 0 ? 0 : 1;
}
