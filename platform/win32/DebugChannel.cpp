#include "platform/DebugChannel.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <string>

namespace qwz::platform {

void SendToDebugChannel(std::string_view text, bool wide) {
    if (wide) {
        std::wstring w = Utf8ToWide(text);
        OutputDebugStringW(w.c_str());
    } else {
        std::string a(text);
        OutputDebugStringA(a.c_str());
    }
}

}  // namespace qwz::platform
