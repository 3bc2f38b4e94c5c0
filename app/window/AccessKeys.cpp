#include "app/window/AccessKeys.h"

#include <commctrl.h>

#include <cwctype>

namespace qwz {
namespace {

constexpr UINT_PTR kSubclassId = 1;
constexpr wchar_t kCaptionsProperty[] = L"QwzMarkedCaption";  // the control's Captions

struct Captions {
    std::wstring plain, marked;
};

wchar_t KeyOf(const std::wstring& marked) {
    for (size_t i = 0; i + 1 < marked.size(); ++i) {
        if (marked[i] != L'&') continue;
        if (marked[i + 1] != L'&') return wchar_t(std::towupper(marked[i + 1]));
        ++i;
    }
    return 0;
}

// Kept on the form as well as in the system's state of each window, which
// some systems (Wine) do not keep.
constexpr wchar_t kShownProperty[] = L"QwzAccessKeysShown";

bool AccessKeysShown(HWND control) {
    return !(SendMessageW(control, WM_QUERYUISTATE, 0, 0) & UISF_HIDEACCEL) &&
           GetPropW(GetAncestor(control, GA_ROOT), kShownProperty) != nullptr;
}

// While the control draws itself its text holds the mark, set past the
// control's own handling so that setting it draws nothing. States that a
// control draws at once, outside its painting, are drawn again in full so
// that the mark stays.
LRESULT CALLBACK MarkedCaptionProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* captions = reinterpret_cast<Captions*>(data);
    switch (msg) {
    case WM_PAINT:
    case WM_PRINTCLIENT:
        if (AccessKeysShown(h)) {
            DefWindowProcW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(captions->marked.c_str()));
            const LRESULT r = DefSubclassProc(h, msg, wp, lp);
            DefWindowProcW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(captions->plain.c_str()));
            return r;
        }
        break;
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE:
    case BM_SETCHECK:
    case BM_SETSTATE:
    case BM_SETSTYLE: {
        const LRESULT r = DefSubclassProc(h, msg, wp, lp);
        if (AccessKeysShown(h)) InvalidateRect(h, nullptr, FALSE);
        return r;
    }
    case WM_NCDESTROY:
        RemovePropW(h, kCaptionsProperty);
        RemoveWindowSubclass(h, MarkedCaptionProc, kSubclassId);
        delete captions;
        break;
    default:
        break;
    }
    return DefSubclassProc(h, msg, wp, lp);
}

struct Search {
    wchar_t key;
    HWND found;
};

}  // namespace

void ShowAccessKeys(HWND form, bool show) {
    if (show) SetPropW(form, kShownProperty, form);
    else RemovePropW(form, kShownProperty);
    SendMessageW(form, WM_CHANGEUISTATE, MAKEWPARAM(show ? UIS_CLEAR : UIS_SET, UISF_HIDEACCEL), 0);
    RedrawWindow(form, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

std::wstring WithoutMark(const std::wstring& caption) {
    std::wstring plain;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == L'&' && i + 1 < caption.size()) ++i;
        plain += caption[i];
    }
    return plain;
}

void SetCaptionWithAccessKey(HWND control, const std::wstring& caption) {
    auto* captions = new Captions{WithoutMark(caption), caption};
    SetWindowTextW(control, captions->plain.c_str());
    if (!SetWindowSubclass(control, MarkedCaptionProc, kSubclassId, reinterpret_cast<DWORD_PTR>(captions))) {
        delete captions;
        return;
    }
    SetPropW(control, kCaptionsProperty, captions);
}

bool PressAccessKey(HWND form, const MSG& msg) {
    if (msg.message != WM_SYSCHAR || (msg.hwnd != form && !IsChild(form, msg.hwnd))) return false;
    Search search{wchar_t(std::towupper(wchar_t(msg.wParam))), nullptr};
    EnumChildWindows(
        form,
        [](HWND h, LPARAM lp) {
            auto* s = reinterpret_cast<Search*>(lp);
            const auto* captions = static_cast<const Captions*>(GetPropW(h, kCaptionsProperty));
            if (captions && KeyOf(captions->marked) == s->key && IsWindowVisible(h) && IsWindowEnabled(h)) {
                s->found = h;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (!search.found) return false;
    SendMessageW(search.found, BM_CLICK, 0, 0);
    return true;
}

}  // namespace qwz
