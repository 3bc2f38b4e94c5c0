// `qwz restore`: every kept backup back under its file's name through the
// library's RestoreQwz, or in a dry run the same decisions with nothing
// changed.
#pragma once

#include "cli/CommandLine.h"
#include "cli/ConvertCommand.h"
#include "engine/Restore.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace qwz::cli {

struct RestoreReport {
    bool dryRun = false;
    std::vector<RestoreResult> files;
    size_t notStarted = 0;  // files walked but never started (the run was stopped)

    size_t Count(RestoreStatus s) const;
    int ExitCode() const;  // 0 when nothing failed, else 1
};

// Walks the paths as convert does and restores each file. A file or backup
// named is always restored (or said why not); in a folder, each file with
// its backup beside it and each backup without its file, and a folder
// holding *.qwz files but no backup is one skipped entry that says so.
// Each entry reaches hooks.done as soon as it is made. Everything goes
// through `ops`.
RestoreReport RunRestore(const Options& options, const FileHooks<RestoreResult>& hooks,
                         platform::FileOps& ops = platform::SystemFileOps());

// One entry of the JSON report.
nlohmann::ordered_json RestoreResultToJson(const RestoreResult& result);
nlohmann::ordered_json RestoreToJson(const RestoreReport& report);
std::string RestoreLine(const RestoreResult& result, bool dryRun);
std::string RestoreSummaryLine(const RestoreReport& report);

}  // namespace qwz::cli
