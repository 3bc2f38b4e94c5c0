#include "platform/FileOps.h"

namespace qwz::platform {

std::string PathForMessage(const std::filesystem::path& path) {
    std::u8string u8 = path.u8string();
    return "\"" + std::string(u8.begin(), u8.end()) + "\"";
}

}  // namespace qwz::platform
