// `qwz convert`: every file through the conversion engine, as the window's
// files go, with what to keep taken from the options; a dry run is the same
// road with writing turned off. The report is made from what the engine
// returns.
#pragma once

#include "cli/CommandLine.h"
#include "cli/FileHooks.h"
#include "engine/Conversion.h"
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

using FileStatus = ConversionStatus;

// One file's outcome: what the conversion engine returned, and the file.
struct FileOutcome : ConversionOutcome {
    std::filesystem::path path;
};

struct ConvertReport {
    bool dryRun = false;
    int target = 0;
    std::vector<FileOutcome> files;  // those started, in the order walked
    size_t notStarted = 0;           // files walked but never started (the run was stopped)

    size_t Count(FileStatus s) const;
    int ExitCode() const;  // 0 when nothing failed, else 1
};

// The save parameters the options ask for.
TQWZSaveParams ParamsFromOptions(const Options& options);
// The request of each file's conversion, as `qwz convert` and `qwz watch`
// make it from their options (an output folder's path below it is each
// file's own: OutputPlace).
ConversionRequest RequestFromOptions(const Options& options);

// Where a walked file goes below the output folder: its path relative to
// the folder named (a file named: its name).
std::filesystem::path OutputPlace(const std::filesystem::path& file, const std::filesystem::path& namedFolder);

// Why the output folder cannot be used with these paths (it is one of the
// folders named); empty when it can.
std::string OutputRefused(const Options& options, platform::FileOps& ops = platform::SystemFileOps());

// Walks the paths and converts (or plans) every file, several at once,
// through `ops`; each outcome reaches hooks.done in the files' order as soon
// as it and those before it are done.
ConvertReport RunConvert(const Options& options, const FileHooks<FileOutcome>& hooks,
                         platform::FileOps& ops = platform::SystemFileOps());

// One file's entry of the JSON report.
nlohmann::ordered_json OutcomeToJson(const FileOutcome& outcome);
nlohmann::ordered_json ConvertToJson(const ConvertReport& report);
std::string OutcomeLine(const FileOutcome& outcome, bool dryRun);
std::string SummaryLine(const ConvertReport& report);

}  // namespace qwz::cli
