// Converting one file in place under given save parameters, with the
// result as an int: the conversion engine (engine/Conversion.h) with the shape the window and the
// program's command line were built on, and their debug lines. The target
// and the parameters become one request here, once, before the engine is
// asked.
#pragma once

#include "app/ReportWarnings.h"
#include "engine/Conversion.h"
#include "model/Qwzsaveparams.h"
#include "platform/FileOps.h"
#include "replace/BackupName.h"

#include <filesystem>
#include <string>

namespace qwz {

enum ConversionResult : int {
    kConversionFailed = 0,
    kConverted = 1,
    kSkipped = 2,
};

// Converts the file at `path` to `target` under `params`, through the given
// file-system steps (tests make them fail). Never throws; the user's file is
// never lost.
int ConvertFile(const std::filesystem::path& path, int target, const TQWZSaveParams& params,
                platform::FileOps& ops = platform::SystemFileOps());
// The result ConvertFile gives for a conversion's status.
int ResultOf(ConversionStatus status);

// The request that converts to `target` under `params` as ConvertFile
// always has: a file at or below the target that keeps everything is left
// as it is, and so is one at or below the parameters' own target that loses
// nothing (a command-line run: their target is 0, so any newer file is
// converted); the version written is the lower of the file's and the
// target, a target below the oldest layout written giving that layout and
// 0 the file's own. A negative target is passed on, to be refused.
ConversionRequest RequestFor(int target, const TQWZSaveParams& params);

// The conversion of one file, told as ConvertFile tells it (the debug lines
// of its warnings, then that of a skip or a failure), with the engine's
// whole result: what the window's batch
// reports from. `box` says whether a warning's box is shown here or left to
// the caller (WarningBoxText of the result's warnings).
ConversionOutcome ConvertAndReport(const std::filesystem::path& path, const ConversionRequest& request,
                                   platform::FileOps& ops = platform::SystemFileOps(),
                                   WarningBox box = WarningBox::Show);

}  // namespace qwz
