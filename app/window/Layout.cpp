#include "app/window/Layout.h"

#include "model/KeepFlags.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <map>
#include <string_view>

namespace qwz {
namespace {

constexpr int kFontPoints = 8;
constexpr int kPanelWidth = 153;  // the left column: the panel with the check boxes
constexpr int kRightColumn = 154;  // controls from here on move when the left column grows

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
constexpr DWORD kCheck = kChild | WS_TABSTOP | BS_AUTOCHECKBOX;

// In creation order, which is the tab order: Button1 (0), ComboBox1 (1),
// Button2 (2), Button3 (3), ProgressBar1 (4), Panel1 (5); inside the panel
// the check boxes after them. Labels take no focus.
const ControlLayout kControls[] = {
    {Label2, false, L"STATIC", L"Wersja QWZ: ", kChild | SS_LEFTNOWORDWRAP, 10, 11, 67, 13},
    {Button1, false, L"BUTTON", L"&Zamknij", kChild | WS_TABSTOP | BS_PUSHBUTTON, 162, 39, 137, 25},
    // The height of a drop-down list is that of its open list; the closed
    // box takes the height of its font (21 pixels with Tahoma 8 pt).
    {ComboBox1, false, L"COMBOBOX", L"", kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 88, 8, 57, 120},
    {Button2, false, L"BUTTON", L"&Konwertuj", kChild | WS_TABSTOP | BS_PUSHBUTTON, 162, 8, 137, 25},
    {Button3, false, L"BUTTON", L"Ustaw &menu kontekstowe", kChild | WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON,
     162, 68, 137, 25},
    {ProgressBar1, false, PROGRESS_CLASSW, L"", WS_CHILD | WS_CLIPSIBLINGS, 154, 31, 153, 11},
    {Panel1, false, L"TPanel", L"", kChild, 0, 35, kPanelWidth, 224},
    {Label1, true, L"STATIC", L"Zachowaj:", kChild | SS_LEFTNOWORDWRAP, 0, 0, 50, 13},
};

// Where each keep flag's check box lies in the panel, by row of kKeepFlags,
// which gives its label and the order the boxes are made in (and so their ids); and
// which letter of the label is its access key (no two alike in the window).
struct BoxPlace {
    int left, top, width, height;
    size_t key;  // index of the access key's letter in the label
};
constexpr BoxPlace kBoxPlaces[] = {
    {10, 57, 97, 17, 0},    // Linie
    {10, 80, 97, 17, 0},    // Polilinie
    {10, 103, 97, 17, 1},   // Łuki: u
    {10, 126, 97, 17, 0},   // Okręgi / światła
    {10, 158, 97, 17, 1},   // UV: V
    {10, 181, 121, 17, 0},  // Strefy skalowania
    {10, 204, 129, 17, 0},  // Inne dodatkowe dane
    {10, 19, 97, 17, 11},   // Kopię oryginału: n (the underline of a narrow r ran into the tail of the y beside it)
};
static_assert(std::size(kBoxPlaces) == kKeepFlagCount, "a place for every keep flag's box");

// How far the ink of `text` reaches when drawn at x = 0 in the DC's font,
// access key marks taken as the control takes them. Measured on the drawn
// pixels: some fonts' advance widths overstate their text by a tenth, which
// would widen controls whose captions plainly fit.
int InkWidth(HDC dc, const std::wstring& text) {
    RECT bounds{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), int(text.size()), &bounds, DT_CALCRECT | DT_SINGLELINE);
    const int width = bounds.right + bounds.bottom;  // room for overhanging glyphs
    const int height = bounds.bottom;
    if (width <= 0 || height <= 0) return 0;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) return bounds.right;
    HGDIOBJ old = SelectObject(dc, bitmap);
    PatBlt(dc, 0, 0, width, height, WHITENESS);
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    RECT area{0, 0, width, height};
    DrawTextW(dc, text.c_str(), int(text.size()), &area, DT_SINGLELINE | DT_NOCLIP);
    GdiFlush();
    const auto* pixels = static_cast<const uint32_t*>(bits);
    int ink = 0;
    for (int y = 0; y < height; ++y)
        for (int x = width - 1; x >= ink; --x)
            if ((pixels[size_t(y) * size_t(width) + size_t(x)] & 0xFFFFFF) != 0xFFFFFF) {
                ink = x + 1;
                break;
            }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    return ink;
}

// What a control needs beside its caption's ink: a check box its mark and
// the gap after it, a button its border and focus frame on both sides.
int Chrome(const ControlLayout& c, UINT dpi) {
    if (IsCheckBox(c)) return MulDiv(18, int(dpi), 96);
    if (IsPushButton(c)) return MulDiv(8, int(dpi), 96);
    return 0;
}

bool HasCaption(const ControlLayout& c) {
    return !c.text.empty() && (c.className == std::wstring_view(L"STATIC") || IsCheckBox(c) || IsPushButton(c));
}

}  // namespace

const std::vector<ControlLayout>& Controls() {
    static const std::vector<ControlLayout> controls = [] {
        std::vector<ControlLayout> all(std::begin(kControls), std::end(kControls));
        for (size_t i = 0; i < kKeepFlagCount; ++i) {
            const BoxPlace& p = kBoxPlaces[i];
            std::wstring caption = kKeepFlags[i].boxLabel;
            caption.insert(p.key, 1, L'&');
            all.push_back({KeepBoxId(i), true, L"BUTTON", caption, kCheck, p.left, p.top, p.width, p.height});
        }
        return all;
    }();
    return controls;
}

bool IsCheckBox(const ControlLayout& c) {
    return c.className == std::wstring_view(L"BUTTON") && (c.style & BS_TYPEMASK) == BS_AUTOCHECKBOX;
}

bool IsPushButton(const ControlLayout& c) {
    return c.className == std::wstring_view(L"BUTTON") && (c.style & BS_TYPEMASK) == BS_PUSHBUTTON;
}

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

SIZE FrameSize(int clientWidth, int clientHeight, UINT dpi) {
    using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = reinterpret_cast<AdjustForDpiFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    RECT r{0, 0, clientWidth, clientHeight};
    if (!adjustForDpi || !adjustForDpi(&r, kFormStyle, FALSE, kFormExStyle, dpi))
        AdjustWindowRectEx(&r, kFormStyle, FALSE, kFormExStyle);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

Placed PlaceControls(HWND form, const std::function<HWND(int id)>& control, UINT dpi) {
    auto scale = [dpi](int v) { return MulDiv(v, int(dpi), 96); };
    Placed placed;
    placed.font = CreateFontW(-MulDiv(kFontPoints, int(dpi), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                              DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                              DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");

    // Each caption measured in the font obtained. A box or label in the
    // panel may grow to the panel's edge, the version label to the list,
    // the buttons not at all; beyond that the column grows.
    std::map<int, int> width;
    int panelShort = 0, labelShort = 0, buttonShort = 0;
    HDC screen = GetDC(form);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ oldFont = SelectObject(dc, placed.font);
    for (const ControlLayout& c : Controls()) {
        width[c.id] = scale(c.width);
        if (!HasCaption(c)) continue;
        const int need = InkWidth(dc, c.text) + Chrome(c, dpi);
        width[c.id] = std::max(width[c.id], need);
        if (c.inPanel) panelShort = std::max(panelShort, scale(c.left) + need - scale(kPanelWidth));
        else if (c.id == Label2) labelShort = std::max(0, scale(c.left) + need - scale(88));
        else if (IsPushButton(c)) buttonShort = std::max(buttonShort, need - scale(c.width));
    }
    SelectObject(dc, oldFont);
    DeleteDC(dc);
    ReleaseDC(form, screen);

    // The version list makes way for its label; the right column for the
    // panel and the list; the buttons and the progress bar grow together.
    const int listRight = scale(88 + 57) + labelShort;
    const int leftShort = std::max({0, panelShort, listRight - scale(kRightColumn)});
    SendMessageW(form, WM_SETFONT, reinterpret_cast<WPARAM>(placed.font), FALSE);
    for (const ControlLayout& c : Controls()) {
        HWND h = control(c.id);
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(placed.font), FALSE);
        int x = scale(c.left), w = width[c.id];
        if (c.id == ComboBox1) x += labelShort;
        if (c.id == Panel1) w += leftShort;
        if (!c.inPanel && c.left >= kRightColumn) {
            x += leftShort;
            w = scale(c.width) + buttonShort;
        }
        MoveWindow(h, x, scale(c.top), w, scale(c.height), TRUE);
    }
    placed.client = SIZE{scale(kClientWidth) + leftShort + buttonShort, scale(kClientHeight)};
    return placed;
}

}  // namespace qwz
