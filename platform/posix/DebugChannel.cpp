#include "platform/DebugChannel.h"

#include <cstdio>
#include <string>

namespace qwz::platform {

void SendToDebugChannel(std::string_view text, bool /*wide*/) {
    std::string line(text);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace qwz::platform
