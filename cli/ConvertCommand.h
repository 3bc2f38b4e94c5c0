// `qwz convert`: every file through the conversion engine, as the window's
// files go, with what to keep taken from the options; a dry run is the same
// road with writing turned off. The report is made from what the engine
// returns.
#pragma once

#include "cli/CommandLine.h"
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
    std::vector<FileOutcome> files;

    size_t Count(FileStatus s) const;
    int ExitCode() const;  // 0 when nothing failed, else 1
};

// The save parameters the options ask for.
TQWZSaveParams ParamsFromOptions(const Options& options);

// Called before each file: its 1-based number, the count, the path.
using Progress = std::function<void(size_t index, size_t count, const std::filesystem::path& path)>;

// Walks the paths and converts (or plans) every file.
ConvertReport RunConvert(const Options& options, const Progress& progress);

nlohmann::ordered_json ConvertToJson(const ConvertReport& report);
std::string OutcomeLine(const FileOutcome& outcome, bool dryRun);
std::string SummaryLine(const ConvertReport& report);

}  // namespace qwz::cli
