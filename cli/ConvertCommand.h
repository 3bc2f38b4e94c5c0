// `qwz convert`: every file through the same ConvertFile as the window, with
// the save parameters filled from the options; or, in a dry run, the same
// decisions taken on a loaded document without writing anything.
#pragma once

#include "cli/CommandLine.h"
#include "document/Klasaqwz.h"
#include "model/KeepFlags.h"
#include "model/Qwzsaveparams.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace qwz::cli {

enum class FileStatus { Converted, Skipped, Failed };

// What a conversion leaves out of one kind: the names and records of a
// geometry group, or the blocks of an extra-data kind.
struct DropCount {
    uint64_t names = 0;
    uint64_t records = 0;
    uint64_t blocks = 0;
};

// What a conversion leaves out, by row of kKeepFlags.
struct Dropped {
    std::array<DropCount, kKeepFlagCount> byFlag{};

    bool Any() const;
};

struct FileOutcome {
    std::filesystem::path path;
    FileStatus status = FileStatus::Failed;
    std::string reason;              // failed: why; skipped: why not converted
    int fromVersion = 0;             // 0 when unknown
    int toVersion = 0;               // converted: the version written
    std::filesystem::path backup;    // converted with a backup kept
    bool droppedKnown = false;       // the dry run counts what is dropped
    Dropped dropped;
    uint64_t bytes = 0;              // dry run: size of the file that would be written
};

struct ConvertReport {
    bool dryRun = false;
    int target = 0;
    std::vector<FileOutcome> files;

    size_t Count(FileStatus s) const;
    int ExitCode() const;  // 0 when nothing failed, else 1
};

// The save parameters the options ask for.
TQWZSaveParams ParamsFromOptions(const Options& options);

// What a conversion of the loaded `doc` to `target` under `params` drops.
Dropped CountDropped(const KlasaQwz& doc, int writtenVersion, const TQWZSaveParams& params);

// The dry run of one file: what ConvertFile would do, nothing written.
FileOutcome PlanFile(const std::filesystem::path& path, int target, const TQWZSaveParams& params);
// The real conversion of one file under the process's save parameters.
FileOutcome ConvertOne(const std::filesystem::path& path, int target);

// Called before each file: its 1-based number, the count, the path.
using Progress = std::function<void(size_t index, size_t count, const std::filesystem::path& path)>;

// Walks the paths and converts (or plans) every file. Fills the process's
// save parameters from the options first.
ConvertReport RunConvert(const Options& options, const Progress& progress);

nlohmann::ordered_json ConvertToJson(const ConvertReport& report);
std::string OutcomeLine(const FileOutcome& outcome, bool dryRun);
std::string SummaryLine(const ConvertReport& report);

}  // namespace qwz::cli
