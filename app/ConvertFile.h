// Converting one file in place under the process's save parameters, with
// the result as an int and the reason of a failure kept per thread: the
// conversion engine (engine/Conversion.h) with the shape the window and the
// program's command line were built on, and their debug lines.
#pragma once

#include "app/ReportWarnings.h"
#include "engine/BackupName.h"
#include "engine/Conversion.h"
#include "model/Qwzsaveparams.h"
#include "platform/FileOps.h"

#include <filesystem>
#include <string>

namespace qwz {

enum ConversionResult : int {
    kConversionFailed = 0,
    kConverted = 1,
    kSkipped = 2,
};

// Converts the file at `path` to `target` under the process's save
// parameters. Never throws; the user's file is never lost.
int ConvertFile(const std::filesystem::path& path, int target);
// The same through the given file-system steps (tests make them fail).
int ConvertFile(const std::filesystem::path& path, int target, platform::FileOps& ops);

// The conversion of one file under `params`, told as ConvertFile tells it
// (the debug lines of its warnings, then that of a skip or a failure, the
// reason kept for this thread), with the engine's whole result: what the
// window's batch reports from. `box` says whether a warning's box is shown
// here or left to the caller (WarningBoxText of the result's warnings).
ConversionOutcome ConvertAndReport(const std::filesystem::path& path, int target, const TQWZSaveParams& params,
                                   platform::FileOps& ops = platform::SystemFileOps(),
                                   WarningBox box = WarningBox::Show);

// The reason of the last failed ConvertFile on this thread, in Polish;
// empty when the last call did not fail.
const std::string& LastConversionFailure();

}  // namespace qwz
