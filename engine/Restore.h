// Undoing a conversion: the kept backup NAME_org.qwz goes back under
// NAME.qwz in one step, and the converted file under that name is
// discarded. At every moment the user's name holds one complete file and
// neither the original nor the backup is lost.
#pragma once

#include "platform/FileOps.h"
#include "platform/StatusCode.h"

#include <filesystem>
#include <string>

namespace qwz {

enum class RestoreStatus {
    Restored,  // the original is back under the user's name (or would be, in a dry run)
    Skipped,   // nothing to put back: no backup beside the file
    Failed,    // refused or went wrong; nothing was changed
};

struct RestoreResult {
    std::filesystem::path file;    // the user's name, which gets the original back
    RestoreStatus status = RestoreStatus::Failed;
    platform::StatusCode code = platform::StatusCode::Unexpected;  // what became of it, for programs
    std::string reason;            // skipped, failed: why (Polish); restored: a note, or empty
    std::filesystem::path backup;  // what has the backup name; empty when nothing has it
};

// Restores the original of `path` from its backup (BackupPath(path)). A
// path named as a backup ("a_org.qwz" without a backup of its own beside
// it) restores the file it belongs to ("a.qwz", its extension in any letter
// case, as found beside it). The user's file is locked as for a conversion,
// the backup is judged without following links (only a regular file is put
// back) and locked too, and the user's file must be unchanged when the
// backup takes its name. A backup that is a second name of the user's file
// itself (a conversion stopped before replacing it) leaves nothing to put
// back: that extra name is removed. A missing user's file gets the backup
// under its name by a move that refuses to replace anything.
//
// With `write` false nothing is changed: the same checks decide the same
// result as a real run at that moment.
RestoreResult RestoreQwz(const std::filesystem::path& path, bool write,
                         platform::FileOps& ops = platform::SystemFileOps());

}  // namespace qwz
