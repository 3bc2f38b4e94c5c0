#include "platform/PathText.h"

namespace qwz::platform {

std::string PathUtf8(const std::filesystem::path& path) { return path.native(); }

bool PathIsUnicode(const std::filesystem::path& path) { return IsValidUtf8(path.native()); }

}  // namespace qwz::platform
