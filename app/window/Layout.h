// The main window's controls and where they go: one table with every
// control's place at 96 dpi (made for Tahoma 8 pt), the DPI of a window, the
// frame around a client area, and the placing of every control for a DPI in
// the font actually obtained, widened where a caption would not fit.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace qwz {

constexpr int kClientWidth = 307;  // at 96 dpi, with Tahoma 8 pt
constexpr int kClientHeight = 261;

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
    KeepBox1,  // the keep flags' check boxes, one id each in the order of kKeepFlags
};

// The control id of the check box of kKeepFlags' row `row`.
constexpr int KeepBoxId(size_t row) { return KeepBox1 + int(row); }

struct ControlLayout {
    int id;
    bool inPanel;
    const wchar_t* className;
    std::wstring text;  // with "&" before the access key's letter
    DWORD style;
    int left, top, width, height;  // at 96 dpi, in the parent's client area
};

// Every control in creation order, which is the tab order.
const std::vector<ControlLayout>& Controls();

bool IsCheckBox(const ControlLayout& c);
bool IsPushButton(const ControlLayout& c);

// The DPI of a window's monitor, or of the system before there is a window.
UINT DpiOf(HWND window);

// The outer size of the frame around a client area, for a DPI.
SIZE FrameSize(int clientWidth, int clientHeight, UINT dpi);

struct Placed {
    HFONT font = nullptr;  // the controls' font; the caller owns it
    SIZE client{};         // the client area the controls need
};

// Creates the font for `dpi` (Tahoma 8 pt, or whatever the system gives
// for it), sets it on the form and every control (`control` finds one by
// id) and places them. A caption whose drawn text does not fit its control
// widens it: within its column while there is room, then its column and the
// window. With Tahoma nothing moves.
Placed PlaceControls(HWND form, const std::function<HWND(int id)>& control, UINT dpi);

}  // namespace qwz
