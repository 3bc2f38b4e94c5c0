// The full path of the running program file.
#pragma once

#include <filesystem>

namespace qwz::platform {

// Throws std::runtime_error when the system cannot tell.
std::filesystem::path ProgramPath();

}  // namespace qwz::platform
