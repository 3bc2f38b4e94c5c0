// `qwz info`: what a file holds, as a report that is printed as text or JSON
// (keys in the order written, for people who read it).
#pragma once

#include "engine/FileWalk.h"
#include "cli/CommandLine.h"
#include "cli/FileHooks.h"
#include "cli/LoadFile.h"
#include "format/Klasaqwz.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qwz::cli {

struct GroupEntry {
    std::string name;  // UTF-8
    int32_t attribute = 0;
    uint64_t records = 0;
    uint64_t points = 0;  // polylines only: all points of the name's records
};

// One geometry kind, in file order: circles, lines, polylines, arcs.
struct KindEntry {
    const char* key;    // JSON key
    const char* label;  // Polish
    std::vector<GroupEntry> groups;
};

// The four kinds, empty, in file order and named as their keep flags are.
std::array<KindEntry, 4> GroupKinds();

struct MeshEntry {
    std::string name;
    int32_t attribute = 0;
    uint64_t vertices = 0;
    uint64_t faces = 0;
};

struct TailEntry {
    int kind = 0;          // the block kind byte
    const char* type = ""; // "uv16", "uv", "zones" or "other" (JSON)
    const char* words = ""; // the Polish words of its keep flag (text)
    uint64_t blocks = 0;
};

// What writing the file in an older version costs its vertices, from a dry
// conversion to that version.
struct TargetChange {
    int version = 0;
    bool converted = false;     // false: the dry conversion failed or would leave the file as it is
    double maxVertexError = 0;  // converted: ConversionOutcome::maxVertexError
    std::string reason;         // not converted: why
};

struct FileInfo {
    std::filesystem::path path;
    LoadOutcome load;
    int version = 0;
    float refPoint[3] = {0, 0, 0};
    float vertexScale = 0;
    std::array<KindEntry, 4> kinds = GroupKinds();
    std::vector<MeshEntry> meshes;
    std::vector<TailEntry> tail;
    std::vector<TargetChange> targets;  // each version written below the file's, newest first
};

// The type name of a block kind in the reports.
const char* BlockTypeName(int kind);

// The report of a loaded document.
FileInfo DescribeDocument(KlasaQwz& doc);
// Loads the file and describes it, with a dry conversion to each version
// written below its own; load.ok tells whether it could be read.
FileInfo BuildFileInfo(const std::filesystem::path& path, platform::FileOps& ops = platform::SystemFileOps());
// The same for a file the walk found; a path it could not use fails with its reason.
FileInfo BuildFileInfo(const WalkEntry& walked, platform::FileOps& ops = platform::SystemFileOps());

struct InfoReport {
    size_t files = 0;       // files described
    size_t failed = 0;      // among them, those that could not be read
    size_t notStarted = 0;  // files walked but never started (the run was stopped)
    int ExitCode() const { return failed == 0 ? kExitOk : kExitFailed; }
};

// Walks the paths and describes every file, through `ops`; each
// description reaches hooks.done as soon as it is made (the report keeps
// only the counts).
InfoReport RunInfo(const Options& options, const FileHooks<FileInfo>& hooks,
                   platform::FileOps& ops = platform::SystemFileOps());

nlohmann::ordered_json InfoToJson(const FileInfo& info);
std::string InfoToText(const FileInfo& info);

// The JSON of a failed file in every command's report.
nlohmann::ordered_json LoadFailureToJson(const LoadOutcome& load);

}  // namespace qwz::cli
