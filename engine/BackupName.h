// Where a conversion keeps the original of a file.
#pragma once

#include <filesystem>

namespace qwz {

// The backup name: the extension (from the last dot of the file name)
// replaced by "_org.qwz", or "_org.qwz" appended when there is none.
std::filesystem::path BackupPath(const std::filesystem::path& path);

}  // namespace qwz
