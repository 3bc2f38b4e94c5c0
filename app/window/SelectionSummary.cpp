#include "app/window/SelectionSummary.h"

#include "platform/win32/WideText.h"

#include <algorithm>
#include <cstdint>

namespace qwz {
namespace {

constexpr wchar_t kClass[] = L"QwzSelectionSummary";
constexpr UINT kCloseAfterMs = 120000;
constexpr int kTextId = 100;

struct Metrics {
    int dpi = 96;
    int Px(int at96) const { return MulDiv(at96, dpi, 96); }
};

// The system's message font at the screen's resolution; owned by the window.
HFONT MessageFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return nullptr;
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

LRESULT CALLBACK SummaryProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
        if (LOWORD(wp) == IDCANCEL || LOWORD(wp) == IDOK) DestroyWindow(hwnd);
        return 0;
    case WM_TIMER: DestroyWindow(hwnd); return 0;
    case WM_DESTROY:
        if (HFONT font = reinterpret_cast<HFONT>(GetPropW(hwnd, L"font"))) DeleteObject(font);
        RemovePropW(hwnd, L"font");
        PostQuitMessage(0);
        return 0;
    default: return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

}  // namespace

bool NeedsSelectionSummary(const BatchSummary& summary) { return summary.Converted < summary.Chosen; }

std::wstring SelectionSummaryText(const BatchSummary& summary) {
    // A multi-line edit control breaks lines at CR LF.
    std::wstring text;
    for (wchar_t c : platform::Utf8ToWide(SummaryText(summary, SIZE_MAX))) {
        if (c == L'\n') text += L'\r';
        text += c;
    }
    return text;
}

HWND ShowSelectionSummary(const BatchSummary& summary) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = SummaryProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.lpszClassName = kClass;
    RegisterClassExW(&wc);

    Metrics m;
    if (HDC screen = GetDC(nullptr)) {
        m.dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    HFONT font = MessageFont();
    const std::wstring text = SelectionSummaryText(summary);

    const int margin = m.Px(10), textWidth = m.Px(420), buttonW = m.Px(88), buttonH = m.Px(26);
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    const DWORD exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    HWND hwnd = CreateWindowExW(exStyle, kClass, kSelectionSummaryCaption, style, 0, 0, textWidth, textWidth, nullptr,
                                nullptr, instance, nullptr);
    if (!hwnd) {
        if (font) DeleteObject(font);
        return nullptr;
    }
    SetPropW(hwnd, L"font", font);
    HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", nullptr,
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY |
                                    ES_AUTOVSCROLL,
                                margin, margin, textWidth, m.Px(60), hwnd, HMENU(INT_PTR(kTextId)), instance, nullptr);
    HWND button = CreateWindowExW(0, L"BUTTON", L"Zamknij", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                                  0, 0, buttonW, buttonH, hwnd, HMENU(INT_PTR(IDCANCEL)), instance, nullptr);
    for (HWND child : {edit, button})
        if (font && child) SendMessageW(child, WM_SETFONT, WPARAM(font), FALSE);
    SetWindowTextW(edit, text.c_str());

    // As tall as the lines the edit control itself makes of the text, up to
    // a height past which it scrolls.
    int lineHeight = m.Px(14);
    if (HDC dc = GetDC(edit)) {
        HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
        TEXTMETRICW tm{};
        if (GetTextMetricsW(dc, &tm)) lineHeight = tm.tmHeight;
        SelectObject(dc, old);
        ReleaseDC(edit, dc);
    }
    const int lines = int(SendMessageW(edit, EM_GETLINECOUNT, 0, 0));
    const int textHeight = std::clamp(lines * lineHeight + m.Px(8), m.Px(60), m.Px(320));
    MoveWindow(edit, margin, margin, textWidth, textHeight, FALSE);
    MoveWindow(button, margin + textWidth - buttonW, margin * 2 + textHeight, buttonW, buttonH, FALSE);
    RECT frame{0, 0, margin * 2 + textWidth, margin * 3 + textHeight + buttonH};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    MoveWindow(hwnd, work.right - width - m.Px(16), work.bottom - height - m.Px(16), width, height, FALSE);
    SetTimer(hwnd, 1, kCloseAfterMs, nullptr);
    // Above the other windows, without taking the keyboard from the user.
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    return hwnd;
}

}  // namespace qwz
