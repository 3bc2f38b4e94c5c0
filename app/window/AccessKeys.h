// Access keys of the window's buttons and check boxes: the letter shown
// underlined as the system shows access keys (once Alt is pressed, or from
// the start when the user asked for it), and Alt with the letter pressing
// the control. The controls' texts stay the window's own words
// ("Konwertuj", not "&Konwertuj") for every program that reads them; the
// mark is in the text only while the control draws itself.
#pragma once

#include <windows.h>

#include <string>

namespace qwz {

// `caption` is the control's text with "&" before the access key's letter.
// Sets the text without the mark and keeps the mark for drawing.
void SetCaptionWithAccessKey(HWND control, const std::wstring& caption);

// Alt with a letter (WM_SYSCHAR) for a visible, enabled control of `form`
// that has that access key: the control is pressed as a click does.
// Returns whether the message was taken.
bool PressAccessKey(HWND form, const MSG& msg);

// Shows or hides the access keys' underlines in the form's controls. The
// form's property "QwzAccessKeysShown" is set while they are shown.
void ShowAccessKeys(HWND form, bool show);

// The caption without its access key's mark ("&&" is a plain "&").
std::wstring WithoutMark(const std::wstring& caption);

}  // namespace qwz
