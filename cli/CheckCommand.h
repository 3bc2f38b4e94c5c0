// `qwz check`: reads each file completely and says whether it is damaged,
// where and what.
#pragma once

#include "cli/CommandLine.h"
#include "cli/FileHooks.h"
#include "cli/LoadFile.h"
#include "engine/FileWalk.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

namespace qwz::cli {

struct CheckEntry {
    std::filesystem::path path;
    std::string pathError;  // the path gave no file to check (missing, not a regular file, a folder
                            // without *.qwz files): why
    StatusCode pathCode = StatusCode::Readable;  // and what it is, for programs
    int version = 0;        // 0 when the header could not be read
    LoadOutcome load;       // reason, offset and field of the damage

    // Damaged: it cannot be read completely, or a reader had to stop early
    // and said so (the rest of the file would be lost by a conversion).
    bool Damaged() const { return pathError.empty() && (!load.ok || !load.notes.empty()); }
};

CheckEntry CheckFile(const std::filesystem::path& path, platform::FileOps& ops = platform::SystemFileOps());
// A file the walk found, checked; a path it could not use, with its reason.
CheckEntry CheckFile(const WalkEntry& walked, platform::FileOps& ops = platform::SystemFileOps());
size_t CountDamaged(const std::vector<CheckEntry>& entries);
size_t CountPathErrors(const std::vector<CheckEntry>& entries);

struct CheckReport {
    std::vector<CheckEntry> files;  // those checked, in the order walked
    size_t notStarted = 0;          // files walked but never started (the run was stopped)
    int ExitCode() const;           // 0 when every file is whole, else 1
};

// Walks the paths and checks every file, through `ops`; each entry reaches
// hooks.done as soon as it is made.
CheckReport RunCheck(const Options& options, const FileHooks<CheckEntry>& hooks,
                     platform::FileOps& ops = platform::SystemFileOps());

// One file's entry of the JSON report.
nlohmann::ordered_json CheckEntryToJson(const CheckEntry& entry);
nlohmann::ordered_json CheckToJson(const std::vector<CheckEntry>& entries);
// One line per file.
std::string CheckLine(const CheckEntry& entry);
std::string CheckSummaryLine(const std::vector<CheckEntry>& entries);

}  // namespace qwz::cli
