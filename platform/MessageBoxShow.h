// The platform's own message box behind ShowMessage (posix/ and win32/).
#pragma once

#include "platform/MessageBox.h"

namespace qwz::platform {

void ShowPlatformMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                         void* owner);

}  // namespace qwz::platform
