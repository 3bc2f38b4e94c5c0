// Undoing a conversion: the kept original NAME_org.qwz goes back under
// NAME.qwz in one step and the converted file is discarded. At every
// moment the user's name holds one complete file.
#pragma once

#include <filesystem>
#include <string>

namespace qwz::api {

struct RestoreRequest {
    bool dryRun = false;     // the same checks, nothing changed
    bool keepNewer = false;  // a file changed since the conversion is kept under a free name beside it
};

enum class RestoreStatus { Restored, Skipped, Failed };

struct RestoreResult {
    RestoreStatus status = RestoreStatus::Failed;
    std::string code;              // the stable name of the outcome, as in ConvertResult
    std::string reason;            // skipped, failed: why; restored: a note or empty (Polish, UTF-8)
    std::filesystem::path file;    // the user's name, which gets the original back
    std::filesystem::path backup;  // what has the backup name; empty when nothing has it
    std::filesystem::path kept;    // where a newer file was kept (keepNewer); empty: nowhere
};

// Restores the original of `path`, a converted file or its backup named
// as such. Never throws.
RestoreResult Restore(const std::filesystem::path& path, const RestoreRequest& request = {});

}  // namespace qwz::api
