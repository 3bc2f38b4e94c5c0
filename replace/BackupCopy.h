// The backup of a replacement: the backup name made to hold the original
// (a second name of the same file, or a checked copy where the file system
// has no links) without replacing anything that already has the name, and
// removed again unless the replacement completes.
#pragma once

#include "bytes/StatusCode.h"
#include "replace/OriginalFile.h"
#include "replace/Seam.h"
#include "replace/TemporaryFile.h"

#include <filesystem>

namespace qwz::replace {

// What the backup name holds, judged without following a link at it.
struct BackupJudgement {
    bool free = false;     // nothing has the name: the backup can be made
    bool adopted = false;  // a second name of the original itself, or a
                           // complete copy of it, which a conversion stopped
                           // part-way left: the backup is there
    bool leftCopy = false; // adopted, and a copy: `copy` is it
    FileState copy;
    Reason refusal;   // otherwise why the conversion is refused
};
// `original` is the state of the file to be converted.
BackupJudgement JudgeBackupName(const std::filesystem::path& backup, const FileState& original,
                                FileOps& ops = SystemFileOps());

// The backup this replacement made. Unless the replacement completes, it is
// removed again, but only while its name still leads to the very file that
// was made (a backup made by anyone else is never touched), and only while
// the original is still under its own name: should anything have replaced
// the original meanwhile, the backup may be the last copy of it.
class MadeBackup {
public:
    MadeBackup(FileOps& ops, const std::filesystem::path& original, const FileState& state)
        : ops_(ops), original_(original), state_(state) {}
    ~MadeBackup() {
        Reason ignored;
        if (path.empty() || kept) return;
        FileState now, named;
        if (ops_.Examine(path, false, &now) != NameKind::Regular || !now.SameFile(identity)) return;
        const bool lastCopy = holdsOriginal && !(ops_.Examine(original_, true, &named) == NameKind::Regular &&
                                                 named.SameFile(state_));
        if (!lastCopy) RemoveWithRetries(ops_, path, ignored);
    }
    MadeBackup(const MadeBackup&) = delete;
    MadeBackup& operator=(const MadeBackup&) = delete;

    std::filesystem::path path;
    FileState identity;
    bool holdsOriginal = true;  // a copy, or a second name of the original
    bool kept = false;

private:
    FileOps& ops_;
    std::filesystem::path original_;
    FileState state_;
};

// Makes the backup name hold the held original, into `made`; false with
// `reason` set when it cannot (a taken name judged again: a backup a
// stopped conversion left is taken over, any other refused).
bool MakeBackup(OriginalFile& original, const std::filesystem::path& backup, MadeBackup& made, Reason& reason);

// Whether the file at the backup name is a complete copy of the original
// that a conversion of it left when it was stopped between its backup copy
// and its last step: the same bytes, and a temporary file of the
// original's beside it (or taken away when the original was held). Fills
// `copy` with the backup's state.
bool LeftByStoppedCopy(OriginalFile& original, const std::filesystem::path& backup, FileState& copy);

}  // namespace qwz::replace
