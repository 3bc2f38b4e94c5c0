#include "engine/Restore.h"

#include "engine/BackupName.h"
#include "platform/OriginalFile.h"
#include "platform/PathNames.h"
#include "platform/SafeReplace.h"

#include <vector>

namespace fs = std::filesystem;

namespace qwz {
namespace {

using platform::FolderOf;

using platform::FileState;
using platform::NameKind;
using platform::PathForMessage;
using platform::Reason;
using platform::StatusCode;
using NativeString = fs::path::string_type;

// A failure's code comes with its reason; the others are the status's own.
RestoreResult& Finish(RestoreResult& r, RestoreStatus status, Reason reason = {}) {
    r.status = status;
    r.code = status == RestoreStatus::Restored  ? StatusCode::Restored
             : status == RestoreStatus::Skipped ? StatusCode::NoBackup
                                                : reason.code;
    r.reason = reason.str();
    return r;
}

Reason NotRegular(const fs::path& backup, NameKind kind) {
    const std::string name = "kopia zapasowa " + PathForMessage(backup);
    switch (kind) {
    case NameKind::Link:
        return {StatusCode::NotRegularFile,
                name + " jest dowiązaniem symbolicznym, nie zwykłym plikiem; niczego nie zmieniono"};
    case NameKind::Folder: return {StatusCode::NotRegularFile, name + " jest folderem, nie plikiem; niczego nie zmieniono"};
    default: return {StatusCode::NotRegularFile, name + " nie jest zwykłym plikiem; niczego nie zmieniono"};
    }
}

Reason FileChanged(const fs::path& file) {
    return {StatusCode::Changed, "plik " + PathForMessage(file) +
                                     " zmienił się w trakcie przywracania (zapisuje go inny program?); nie został zastąpiony"};
}

Reason BackupChanged(const fs::path& backup) {
    return {StatusCode::Changed,
            "kopia zapasowa " + PathForMessage(backup) + " zmieniła się w trakcie przywracania; niczego nie zmieniono"};
}

Reason FileAppeared(const fs::path& file, const fs::path& backup) {
    return {StatusCode::Changed, "plik " + PathForMessage(file) + " pojawił się w trakcie przywracania; kopia zapasowa " +
                                     PathForMessage(backup) + " została na swoim miejscu"};
}

// The backup takes the free name of the missing file, by a step that
// refuses to replace whatever has the name by then: a rename, or where the
// file system has no such rename, a second name and then the backup's name
// removed.
RestoreResult& MoveToFreeName(RestoreResult& r, platform::FileOps& ops) {
    Reason error;
    switch (ops.RenameNoReplace(r.backup, r.file, error)) {
    case platform::NoReplace::Done: return Finish(r, RestoreStatus::Restored);
    case platform::NoReplace::NameTaken: return Finish(r, RestoreStatus::Failed, FileAppeared(r.file, r.backup));
    case platform::NoReplace::Failed: return Finish(r, RestoreStatus::Failed, error);
    case platform::NoReplace::Unsupported: break;
    }
    switch (ops.Link(r.backup, r.file, error)) {
    case platform::NoReplace::Done: break;
    case platform::NoReplace::NameTaken: return Finish(r, RestoreStatus::Failed, FileAppeared(r.file, r.backup));
    default: return Finish(r, RestoreStatus::Failed, error);
    }
    // The original is back under its name; a backup name that cannot be
    // removed is one more name of it, which a later restore removes.
    if (!ops.Remove(r.backup, error)) return Finish(r, RestoreStatus::Restored, error);
    return Finish(r, RestoreStatus::Restored);
}

}  // namespace

RestoreResult RestoreQwz(const fs::path& named, bool write, platform::FileOps& ops) {
    // A symbolic link named stands for the file it leads to, as in a
    // conversion; a backup name that is a link is never followed.
    fs::path path = named;
    if (fs::path target; ops.LinkTarget(named, target)) path = target;
    RestoreResult r;
    r.file = path;
    fs::path backup = BackupPath(path);
    // A name "a_org.qwz" is a backup unless it has a backup of its own.
    const NativeString stem = BackupStem(path);
    if (!stem.empty() && ops.Examine(backup, false, nullptr) == NameKind::Missing) {
        backup = path;
        r.file = OriginalBeside(path, stem, ops);
    }
    const fs::path& file = r.file;

    FileState judged;
    NameKind backupKind = ops.Examine(backup, false, &judged);
    if (fs::path ignoredTarget; backupKind == NameKind::Regular && ops.LinkTarget(backup, ignoredTarget))
        backupKind = NameKind::Link;
    const bool fileThere = ops.Examine(file, false, nullptr) != NameKind::Missing;
    if (backupKind == NameKind::Missing) {
        if (fileThere) return Finish(r, RestoreStatus::Skipped, "brak kopii zapasowej " + PathForMessage(backup));
        return Finish(r, RestoreStatus::Failed,
                      {StatusCode::NotFound, "nie ma takiego pliku ani jego kopii zapasowej " + PathForMessage(backup)});
    }
    r.backup = backup;
    if (backupKind != NameKind::Regular) return Finish(r, RestoreStatus::Failed, NotRegular(backup, backupKind));

    // The user's file is held first, then its backup: every restore takes
    // the two locks in that order, and a conversion of either file waits.
    Reason reason, error, ignored;
    platform::OriginalFile held(ops);
    if (fileThere) {
        if (!held.Open(file, reason)) return Finish(r, RestoreStatus::Failed, reason);
        if (!platform::CanReplace(held, {}, reason)) return Finish(r, RestoreStatus::Failed, reason);
    }

    // A second name of the user's file itself: a conversion stopped before
    // its new file took the name. The file is the original; the extra name
    // goes, and only while it still leads to that file.
    if (fileThere && judged.SameFile(held.state())) {
        const std::string note =
            "plik już jest oryginałem (kopia była jego drugą nazwą, pozostałą po przerwanej konwersji)";
        if (!write) return Finish(r, RestoreStatus::Restored, note);
        FileState now;
        if (ops.Examine(backup, false, &now) != NameKind::Regular || !now.SameFile(held.state()) || now.links < 2)
            return Finish(r, RestoreStatus::Failed, BackupChanged(backup));
        if (!ops.Remove(backup, error)) return Finish(r, RestoreStatus::Failed, error);
        ops.SyncFolder(FolderOf(file), ignored);
        return Finish(r, RestoreStatus::Restored, note);
    }

    // The backup is opened and locked, so that no conversion of it runs
    // meanwhile, and its name must still lead to that regular file.
    platform::OriginalFile kept(ops);
    if (!kept.Open(backup, reason)) return Finish(r, RestoreStatus::Failed, reason);
    FileState now;
    if (ops.Examine(backup, false, &now) != NameKind::Regular || !now.SameFile(kept.state()))
        return Finish(r, RestoreStatus::Failed, BackupChanged(backup));
    if (!write) return Finish(r, RestoreStatus::Restored);

    if (!kept.Unchanged(reason)) return Finish(r, RestoreStatus::Failed, BackupChanged(backup));
    if (fileThere && !held.Unchanged(reason)) return Finish(r, RestoreStatus::Failed, FileChanged(file));
    // Where an open file cannot be replaced or moved, both are let go just
    // before the one step, their locks kept until it is done.
    if (!ops.CanReplaceOpenFile()) {
        held.LetGoOfFile();
        kept.LetGoOfFile();
    }
    if (fileThere) {
        if (!ops.RenameReplace(backup, file, error)) return Finish(r, RestoreStatus::Failed, error);
        Finish(r, RestoreStatus::Restored);
    } else if (MoveToFreeName(r, ops).status != RestoreStatus::Restored) {
        return r;
    }
    ops.SyncFolder(FolderOf(file), ignored);
    return r;
}

}  // namespace qwz
