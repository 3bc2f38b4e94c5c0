// Which names in a watched folder a watch converts: the scene files
// themselves, never the names the CAD program and other tools use while
// they save (a temporary copy, a lock file, "~$NAME"), nor our own
// temporary names ("~qwz-…"), nor the originals conversions kept
// ("NAME_org.qwz").
#pragma once

#include <filesystem>

namespace qwz::watch {

// Whether the file at `path` (its name decides) is one to keep converted.
bool IsWatchedName(const std::filesystem::path& path);

}  // namespace qwz::watch
