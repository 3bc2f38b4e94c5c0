#include "platform/MessageBoxShow.h"
#include "platform/win32/WideText.h"

#include <windows.h>

namespace qwz::platform {

void ShowPlatformMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                         void* owner) {
    UINT flags = MB_OK;
    switch (icon) {
    case MessageIcon::Error: flags |= MB_ICONERROR; break;
    case MessageIcon::Warning: flags |= MB_ICONWARNING; break;
    case MessageIcon::Information: flags |= MB_ICONINFORMATION; break;
    }
    if (!owner) flags |= MB_TASKMODAL;
    MessageBoxW(static_cast<HWND>(owner), Utf8ToWide(text).c_str(), Utf8ToWide(caption).c_str(),
                flags);
}

}  // namespace qwz::platform
