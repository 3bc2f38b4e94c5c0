// Undoing a conversion: the kept backup NAME_org.qwz goes back under
// NAME.qwz in one step, and the converted file under that name is
// discarded. At every moment the user's name holds one complete file and
// neither the original nor the backup is lost; nor is work saved into the
// user's name after the conversion: only the very file the conversion
// wrote (the backup converted again gives it byte for byte,
// ConvertedFrom.h) is ever discarded.
#pragma once

#include "bytes/StatusCode.h"
#include "platform/FileOps.h"

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
    StatusCode code = StatusCode::Unexpected;  // what became of it, for programs
    std::string reason;            // skipped, failed: why (Polish); restored: a note, or empty
    std::filesystem::path backup;  // what has the backup name; empty when nothing has it
    std::filesystem::path kept;    // where the user's newer file is (or would be) kept; empty: nowhere
};

struct RestoreRequest {
    bool write = true;       // false: a dry run, which changes nothing
    bool keepNewer = false;  // a file changed after the conversion is kept
                             // under a free name beside it, and the backup goes back
};

// Restores the original of `path` from its backup (replace::BackupPath(path)). A
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
// The user's file is discarded only while it is the file the conversion
// wrote: the backup converted again, to the file's version and without
// what the file lacks, gives it byte for byte. A file changed since (or one
// that cannot be told) is refused with what changed, unless the request
// keeps it: then it first gets a free name beside it ("NAME (nowszy).qwz",
// "NAME (nowszy 2).qwz", ...). The record an earlier release kept beside
// the backup ("NAME_org.qwz.txt") goes once the backup is back.
//
// A dry run changes nothing: the same checks decide the same result as a
// real run at that moment.
RestoreResult RestoreQwz(const std::filesystem::path& path, const RestoreRequest& request,
                         platform::FileOps& ops = platform::SystemFileOps());
inline RestoreResult RestoreQwz(const std::filesystem::path& path, bool write,
                                platform::FileOps& ops = platform::SystemFileOps()) {
    return RestoreQwz(path, RestoreRequest{write, false}, ops);
}

}  // namespace qwz
