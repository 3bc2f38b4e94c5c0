// Reading one file for the console tool's reports: the whole file through
// the document's own load, with every failure turned into a reason.
#pragma once

#include "format/Klasaqwz.h"
#include "platform/DebugOutput.h"
#include "platform/FileOps.h"
#include "platform/StatusCode.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace qwz::cli {

struct LoadOutcome {
    bool ok = false;
    platform::StatusCode code = platform::StatusCode::Readable;  // why not, for programs
    std::string reason;              // why the file could not be read, in Polish
    bool noFile = false;             // the name holds no regular file (missing, a FIFO, a device...):
                                     // nothing was read, so nothing can be called damaged
    bool hasOffset = false;          // a format error: where and what
    size_t offset = 0;
    std::string field;
    std::vector<std::string> notes;  // what the readers reported while reading
};

// Loads `path` into `doc`. Fails for a file that cannot be read, has no
// "QWZ" at its start, has a version that is not read, or throws while
// being read. A damaged tail that ended the read early is kept as a note.
// The file is read through `ops`.
LoadOutcome LoadDocument(const std::filesystem::path& path, KlasaQwz& doc,
                         platform::FileOps& ops = platform::SystemFileOps());

}  // namespace qwz::cli
