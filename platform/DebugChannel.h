// The platform's own debug channel behind DebugOutputA/W (one file per
// platform in posix/ and win32/).
#pragma once

#include <string_view>

namespace qwz::platform {

void SendToDebugChannel(std::string_view text, bool wide);

}  // namespace qwz::platform
