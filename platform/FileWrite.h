// Writing a whole file in one go (creating it or truncating an existing one).
// Replacing a user's file safely is SafeReplace's job, not this one's.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qwz::platform {

// Writes every byte and closes the file, checking each step. On failure
// returns false with a short Polish reason in `error` when given.
bool WriteWholeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes,
                    std::string* error = nullptr);

}  // namespace qwz::platform
