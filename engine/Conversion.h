// The conversion of one file, for every front end: the window's batch, the
// program's command line and `qwz convert` all ask this and report what it
// returns. It decides (skip, refuse or convert), makes the new bytes and
// replaces the file safely; a dry run is the same road with the writing
// left out, so the two can never disagree. It keeps no state between calls
// and uses none of the process's: files may be converted on several threads
// at once.
#pragma once

#include "bytes/StatusCode.h"
#include "engine/Dropped.h"
#include "model/Qwzsaveparams.h"
#include "model/Warnings.h"
#include "platform/FileOps.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace qwz {

enum class ConversionStatus { Converted, Skipped, Failed };

struct ConversionRequest {
    // The version asked for: one the version table writes (202, 203, 204);
    // any other is refused. A file is never written above its own version.
    int target = 0;
    TQWZSaveParams params;  // what to keep; its TargetVersion is not read
    bool write = true;      // false: a dry run, which writes nothing
    // Files at or below this version that lose nothing are left as they
    // are; unset: the target. Below the target only for the program's
    // command line, whose number below the oldest layout written still
    // rewrites the newer files in that layout ("-v 201": a 202 file is
    // written again as 202).
    std::optional<int> leaveUpTo;
    // Instead of the target, the file's own version (the program's "-v 0"):
    // the file is written again in its own layout, or, where that layout
    // cannot hold what the file has (a mesh of more than 32767 vertices or
    // faces, or extra data, in a 201 or 202 file), in the oldest that can.
    bool ownVersion = false;
    // Set: the new file goes to this path instead of the original's place,
    // and the original is only read: nothing beside it is written, removed,
    // renamed or kept as a backup (params.KeepOriginal is not read). A file
    // that needs no conversion is copied there as it is. The path is
    // outputFolder / outputRelative; nothing is written outside that folder.
    std::filesystem::path outputFolder = {};
    std::filesystem::path outputRelative = {};
    // With an output: a file there is replaced even when it is not older
    // than the original.
    bool force = false;
    // A file whose conversion would drop content (what `dropped` counts) is
    // not converted: it fails with WouldLose, nothing written.
    bool refuseLoss = false;
};

struct ConversionOutcome {
    ConversionStatus status = ConversionStatus::Failed;
    StatusCode code = StatusCode::Unexpected;  // what became of the file, for programs
    std::string reason;            // failed: why; skipped: why nothing changes; converted: what the
                                   // new file did not get of the original's besides its content,
                                   // empty when nothing (Polish)
    int fromVersion = 0;           // the file's version; 0 when it has none
    int toVersion = 0;             // converted: the version written
    Dropped dropped;               // converted: what was left out
    uint64_t sizeBefore = 0;       // the file's size when it was read
    uint64_t sizeAfter = 0;        // converted: the new file's size
    std::filesystem::path backup;  // converted: where the original is kept (empty: nowhere)
    std::filesystem::path output;  // with an output folder: where the file went (or would go); empty: nowhere
    Warnings warnings;             // what the read and the write reported, in their order
    double maxVertexError = 0;     // converted: the largest change of a vertex coordinate, in the
                                   // file's units, as a reader of the new file sees it (0: none)
};

// Converts (or, with write off, plans) the file at `path`. Never throws;
// whatever happens, the user's file is never lost.
ConversionOutcome ConvertQwz(const std::filesystem::path& path, const ConversionRequest& request,
                            platform::FileOps& ops = platform::SystemFileOps());

}  // namespace qwz
