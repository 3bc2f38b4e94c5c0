// Reading one file for the console tool's reports: the engine's load with
// its reasons, and what the readers noted on the way.
#pragma once

#include "engine/LoadQwz.h"
#include "format/Klasaqwz.h"
#include "platform/FileOps.h"

#include <filesystem>
#include <string>
#include <vector>

namespace qwz::cli {

struct LoadOutcome : LoadResult {
    std::vector<std::string> notes;  // what the readers reported while reading
};

// Loads `path` into `doc` through `ops` (LoadQwzFile). A damaged tail that
// ended the read early is kept as a note.
LoadOutcome LoadDocument(const std::filesystem::path& path, KlasaQwz& doc,
                         platform::FileOps& ops = platform::SystemFileOps());

}  // namespace qwz::cli
