// Converting one file in place under the process's save parameters, with
// the result as an int and the reason of a failure kept per thread: the
// conversion engine (engine/Conversion.h) with the shape the window and the
// program's command line were built on, and their debug lines.
#pragma once

#include "engine/BackupName.h"

#include <filesystem>
#include <string>

namespace qwz {

namespace platform {
class FileOps;
}

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

// The reason of the last failed ConvertFile on this thread, in Polish;
// empty when the last call did not fail.
const std::string& LastConversionFailure();

}  // namespace qwz
