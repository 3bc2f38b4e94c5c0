#include "platform/MessageBoxShow.h"
#include "platform/DebugOutput.h"

namespace qwz::platform {

// Without a desktop the text goes where the debug lines go.
void ShowPlatformMessage(const std::string& text, const std::string&, MessageIcon, void*) {
    DebugOutputW(text);
}

}  // namespace qwz::platform
