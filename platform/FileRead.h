// Reading a whole file into memory in one go, through the system's file
// operations (platform/FileOps.h) like everything else that reads a file.
#pragma once

#include "bytes/StatusCode.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qwz::platform {

// A regular file exists at `path` (a directory does not count).
bool IsRegularFile(const std::filesystem::path& path);

// Reads the whole file. On failure returns false and, when `error` is given,
// a short Polish reason, the system's own reason included.
bool ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& out,
                   std::string* error = nullptr);
// The same with the reason's code.
bool ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& out, Reason* error);

// Reads at most `n` bytes from the start of the file; false when it cannot
// be opened.
bool ReadFileStart(const std::filesystem::path& path, size_t n, std::vector<uint8_t>& out);

}  // namespace qwz::platform
