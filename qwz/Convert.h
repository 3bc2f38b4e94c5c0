// Converting one file in place, as the programs of this library do: the
// new file is written beside the original, read back and checked, then
// takes the original's name in one step, the original kept as
// NAME_org.qwz. Whatever happens, the user's name holds either the
// original bytes or the complete converted file.
#pragma once

#include <qwz/Keep.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qwz::api {

struct ConvertRequest {
    int target = 203;         // the version to write: 202, 203 or 204
    Keep keep;                // what the new file keeps
    bool keepBackup = true;   // keep the original as NAME_org.qwz
    bool dryRun = false;      // decide and report, write nothing
};

enum class ConvertStatus { Converted, Skipped, Failed };

// What a conversion left out of one kind of content.
struct DroppedKind {
    std::string kind;         // "circles", "lines", "polylines", "arcs", "uv", "zones" or "other"
    std::uint64_t names = 0;  // geometry: the names and their records
    std::uint64_t records = 0;
    std::uint64_t blocks = 0; // extra data: the blocks
};

struct ConvertResult {
    ConvertStatus status = ConvertStatus::Failed;
    // The stable name of the outcome for programs to test, from the
    // conversion's list of result codes (listed in the README); empty
    // where the conversion gives none. Never a translation of `reason`.
    std::string code;
    std::string reason;               // failed: why; skipped: why nothing changes; converted: what the
                                      // new file did not get of the original's besides its content,
                                      // empty when nothing (Polish, UTF-8)
    int fromVersion = 0;              // the file's version; 0 when it has none
    int toVersion = 0;                // converted: the version written
    std::uint64_t sizeBefore = 0;     // the file's size when it was read
    std::uint64_t sizeAfter = 0;      // converted: the new file's size
    std::filesystem::path backup;     // converted: where the original is kept; empty: nowhere
    std::vector<DroppedKind> dropped; // converted: what the new file leaves out (kinds left out only)
    std::vector<std::string> notes;   // remarks made while converting (see qwz/Log.h)
    // Added after the members above, which keep their places.
    // Converted: the largest change of a vertex coordinate the conversion
    // makes, in the file's units: |value a reader of the new file gets -
    // value in the original| over every coordinate of every mesh vertex.
    // 0 when the coordinates are stored as they are (version 204) or none
    // moves, and when the file was not converted.
    double maxVertexError = 0;
};

// Converts (or, with dryRun, plans) the file at `path`. Never throws;
// several files may be converted on several threads at once.
ConvertResult Convert(const std::filesystem::path& path, const ConvertRequest& request = {});

}  // namespace qwz::api
