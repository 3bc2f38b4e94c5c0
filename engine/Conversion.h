// The conversion of one file, for every front end: the window's batch, the
// program's command line and `qwz convert` all ask this and report what it
// returns. It decides (skip, refuse or convert), makes the new bytes and
// replaces the file safely; a dry run is the same road with the writing
// left out, so the two can never disagree. It keeps no state between calls
// and uses none of the process's: files may be converted on several threads
// at once.
#pragma once

#include "engine/Dropped.h"
#include "model/Qwzsaveparams.h"
#include "model/Warnings.h"
#include "platform/FileOps.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace qwz {

enum class ConversionStatus { Converted, Skipped, Failed };

struct ConversionRequest {
    int target = 0;         // the version asked for
    TQWZSaveParams params;  // what to keep; its TargetVersion is what the decision compares
                            // (0, as from the command line: every newer file is converted)
    bool write = true;      // false: a dry run, which writes nothing
};

struct ConversionOutcome {
    ConversionStatus status = ConversionStatus::Failed;
    std::string reason;            // failed: why; skipped: why nothing changes (Polish)
    int fromVersion = 0;           // the file's version; 0 when it has none
    int toVersion = 0;             // converted: the version written
    Dropped dropped;               // converted: what was left out
    uint64_t sizeBefore = 0;       // the file's size when it was read
    uint64_t sizeAfter = 0;        // converted: the new file's size
    std::filesystem::path backup;  // converted: where the original is kept (empty: nowhere)
    Warnings warnings;             // what the read and the write reported, in their order
};

// Converts (or, with write off, plans) the file at `path`. Never throws;
// whatever happens, the user's file is never lost.
ConversionOutcome ConvertQwz(const std::filesystem::path& path, const ConversionRequest& request,
                            platform::FileOps& ops = platform::SystemFileOps());

}  // namespace qwz
