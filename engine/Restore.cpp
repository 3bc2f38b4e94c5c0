#include "engine/Restore.h"

#include "engine/ConvertedFrom.h"
#include "platform/PathNames.h"
#include "replace/BackupName.h"
#include "replace/OriginalFile.h"
#include "replace/SafeReplace.h"
#include "replace/TemporaryFile.h"

#include <vector>

namespace fs = std::filesystem;

namespace qwz {
namespace {

using platform::FolderOf;

using platform::FileState;
using platform::NameKind;
using platform::PathForMessage;
using NativeString = fs::path::string_type;

// A failure's code comes with its reason; the others are the status's own
// (a restore or skip has at most a note).
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
RestoreResult& Finish(RestoreResult& r, RestoreStatus status, const std::string& note) {
    return Finish(r, status, Reason(status == RestoreStatus::Skipped ? StatusCode::NoBackup : StatusCode::Restored, note));
}

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

// The names a newer file may be kept under, in the order they are tried:
// "NAME (nowszy).qwz", "NAME (nowszy 2).qwz", ... with the file's own
// extension. None of them is a backup's name or a temporary file's.
constexpr int kNewerNames = 100;

fs::path NewerName(const fs::path& file, int n) {
    fs::path name = file.stem();
    name += n == 1 ? std::string(" (nowszy)") : " (nowszy " + std::to_string(n) + ")";
    name += file.extension();
    return fs::path(file).replace_filename(name);
}

// The first newer name that nothing has now (a dry run's answer).
fs::path FreeNewerName(const fs::path& file, platform::FileOps& ops) {
    for (int n = 1; n <= kNewerNames; ++n)
        if (const fs::path name = NewerName(file, n); ops.Examine(name, false, nullptr) == NameKind::Missing)
            return name;
    return {};
}

Reason NoNewerName(const fs::path& file) {
    return {StatusCode::Changed, "nie ma wolnej nazwy, pod którą można zachować nowszy plik " + PathForMessage(file) +
           "; niczego nie zmieniono"};
}

// The user's newer file gets a free name beside it by a step that never
// replaces anything: a second name where the file system has links (the
// user's name still holds it), else a move. `moved` says which.
bool KeepNewer(RestoreResult& r, platform::FileOps& ops, bool& moved, Reason& error) {
    for (int n = 1; n <= kNewerNames; ++n) {
        const fs::path name = NewerName(r.file, n);
        if (ops.Examine(name, false, nullptr) != NameKind::Missing) continue;
        platform::NoReplace done = ops.Link(r.file, name, error);
        moved = done == platform::NoReplace::Unsupported;
        if (moved) done = ops.RenameNoReplace(r.file, name, error);
        if (done == platform::NoReplace::NameTaken) continue;
        if (done != platform::NoReplace::Done) return false;
        r.kept = name;
        return true;
    }
    error = NoNewerName(r.file);
    return false;
}

// The newer file kept under a free name, then the backup under the user's
// name. Whatever fails, the newer file and the backup each keep a name.
RestoreResult& PutBackKeepingNewer(RestoreResult& r, const platform::FileState& newer, platform::FileOps& ops) {
    Reason error;
    bool moved = false;
    if (!KeepNewer(r, ops, moved, error)) {
        r.kept.clear();
        return Finish(r, RestoreStatus::Failed, error);
    }
    const std::string note = "nowszy plik zachowany jako " + PathForMessage(r.kept);
    if (moved) {
        // The user's name is free now, as for a missing file.
        MoveToFreeName(r, ops);
        r.reason = r.reason.empty() ? note : r.reason + "; " + note;
        return r;
    }
    if (!ops.RenameReplace(r.backup, r.file, error)) {
        // The file keeps its name; the second name made for it goes again.
        platform::FileState now;
        Reason ignored;
        if (ops.Examine(r.kept, false, &now) == NameKind::Regular && now.SameFile(newer)) ops.Remove(r.kept, ignored);
        r.kept.clear();
        return Finish(r, RestoreStatus::Failed, error);
    }
    return Finish(r, RestoreStatus::Restored, note);
}

// Whether the held user's file may be discarded: it must be the file the
// conversion wrote, unchanged since it was opened here. When it is not and
// the request keeps it, r.kept says where it would go. False with the
// result failed otherwise.
bool MayDiscard(RestoreResult& r, replace::OriginalFile& held, replace::OriginalFile& kept,
                const RestoreRequest& request, platform::FileOps& ops) {
    Reason reason;
    const FileState opened = held.state();
    if (!held.Unchanged(reason)) {
        Finish(r, RestoreStatus::Failed, FileChanged(r.file));
        return false;
    }
    const ConvertedVerdict verdict = JudgeAgainstOriginal(held, kept);
    // What was judged must be the file as it was held, not a later write.
    if (!(held.state() == opened) || !held.Unchanged(reason)) {
        Finish(r, RestoreStatus::Failed, FileChanged(r.file));
        return false;
    }
    if (verdict.same) return true;
    if (!request.keepNewer) {
        Finish(r, RestoreStatus::Failed,
               verdict.reason + "; niczego nie zmieniono (opcja --keep-newer zachowa ten plik obok pod wolną "
                                "nazwą i przywróci kopię zapasową)");
        return false;
    }
    r.kept = FreeNewerName(r.file, ops);
    if (r.kept.empty()) Finish(r, RestoreStatus::Failed, NoNewerName(r.file));
    return !r.kept.empty();
}

// A second name of the user's file itself: a conversion stopped before its
// new file took the name. The file is the original; the extra name goes,
// and only while it still leads to that file.
RestoreResult& DropSecondName(RestoreResult& r, const replace::OriginalFile& held, bool write,
                              platform::FileOps& ops) {
    const std::string note =
        "plik już jest oryginałem (kopia była jego drugą nazwą, pozostałą po przerwanej konwersji)";
    if (!write) return Finish(r, RestoreStatus::Restored, note);
    FileState now;
    Reason error, ignored;
    if (ops.Examine(r.backup, false, &now) != NameKind::Regular || !now.SameFile(held.state()) || now.links < 2)
        return Finish(r, RestoreStatus::Failed, BackupChanged(r.backup));
    if (!ops.Remove(r.backup, error)) return Finish(r, RestoreStatus::Failed, error);
    replace::RemoveEarlierRecord(r.backup, ops);
    ops.SyncFolder(FolderOf(r.file), ignored);
    return Finish(r, RestoreStatus::Restored, note);
}

// The names a restore works on: the user's file and its backup, from the
// name given (either of the two, or a link that stands for one). What the
// backup name holds comes back; `fileThere` says whether the user's name
// holds anything.
NameKind FindPair(const fs::path& named, RestoreResult& r, fs::path& backup, FileState& judged, bool& fileThere,
                  platform::FileOps& ops) {
    // A symbolic link named stands for the file it leads to, as in a
    // conversion; a backup name that is a link is never followed.
    fs::path path = named;
    if (fs::path target; ops.LinkTarget(named, target)) path = target;
    r.file = path;
    backup = replace::BackupPath(path);
    // A name "a_org.qwz" is a backup unless it has a backup of its own.
    const NativeString stem = replace::BackupStem(path);
    if (!stem.empty() && ops.Examine(backup, false, nullptr) == NameKind::Missing) {
        backup = path;
        r.file = replace::OriginalBeside(path, stem, ops);
    }
    NameKind backupKind = ops.Examine(backup, false, &judged);
    if (fs::path ignoredTarget; backupKind == NameKind::Regular && ops.LinkTarget(backup, ignoredTarget))
        backupKind = NameKind::Link;
    fileThere = ops.Examine(r.file, false, nullptr) != NameKind::Missing;
    return backupKind;
}

// The one step that puts the backup back: over the user's file, beside a
// newer one kept under a free name, or into an empty name. Both files are
// held and judged by now; a record of an earlier release beside the backup
// goes once the step is done.
RestoreResult& PutBack(RestoreResult& r, replace::OriginalFile& held, replace::OriginalFile& kept, bool fileThere,
                       platform::FileOps& ops) {
    Reason error, ignored;
    // Where an open file cannot be replaced or moved, both are let go just
    // before the one step, their locks kept until it is done.
    if (!ops.CanReplaceOpenFile()) {
        held.LetGoOfFile();
        kept.LetGoOfFile();
    }
    if (fileThere && !r.kept.empty()) {
        if (PutBackKeepingNewer(r, held.state(), ops).status != RestoreStatus::Restored) return r;
    } else if (fileThere) {
        if (!ops.RenameReplace(r.backup, r.file, error)) return Finish(r, RestoreStatus::Failed, error);
        Finish(r, RestoreStatus::Restored);
    } else if (MoveToFreeName(r, ops).status != RestoreStatus::Restored) {
        return r;
    }
    // An earlier release's record described the file now discarded.
    replace::RemoveEarlierRecord(r.backup, ops);
    ops.SyncFolder(FolderOf(r.file), ignored);
    return r;
}

}  // namespace

RestoreResult RestoreQwz(const fs::path& named, const RestoreRequest& request, platform::FileOps& ops) {
    RestoreResult r;
    fs::path backup;
    FileState judged;
    bool fileThere = false;
    const NameKind backupKind = FindPair(named, r, backup, judged, fileThere, ops);
    const fs::path& file = r.file;
    if (backupKind == NameKind::Missing) {
        if (fileThere) return Finish(r, RestoreStatus::Skipped, "brak kopii zapasowej " + PathForMessage(backup));
        return Finish(r, RestoreStatus::Failed,
                      {StatusCode::NotFound, "nie ma takiego pliku ani jego kopii zapasowej " + PathForMessage(backup)});
    }
    r.backup = backup;
    if (backupKind != NameKind::Regular) return Finish(r, RestoreStatus::Failed, NotRegular(backup, backupKind));

    // The user's file is held first, then its backup: every restore takes
    // the two locks in that order, and a conversion of either file waits.
    Reason reason;
    replace::OriginalFile held(ops);
    if (fileThere) {
        if (!held.Open(file, reason)) return Finish(r, RestoreStatus::Failed, reason);
        // What a stopped conversion of the file left beside it goes, under
        // its lock, as in any run that holds it.
        if (request.write) replace::RemoveStaleTemporaries(file, ops);
        if (!replace::CanReplace(held, {}, reason)) return Finish(r, RestoreStatus::Failed, reason);
    }
    if (fileThere && judged.SameFile(held.state())) return DropSecondName(r, held, request.write, ops);

    // The backup is opened and locked, so that no conversion of it runs
    // meanwhile, and its name must still lead to that regular file.
    replace::OriginalFile kept(ops);
    if (!kept.Open(backup, reason)) return Finish(r, RestoreStatus::Failed, reason);
    FileState now;
    if (ops.Examine(backup, false, &now) != NameKind::Regular || !now.SameFile(kept.state()))
        return Finish(r, RestoreStatus::Failed, BackupChanged(backup));
    // Only the file the conversion wrote is discarded; a conversion of the
    // backup, which would have to finish first, cannot run while it is held.
    if (fileThere && !MayDiscard(r, held, kept, request, ops)) return r;
    const std::string keptNote = "nowszy plik zostanie zachowany jako " + PathForMessage(r.kept);
    if (!request.write) return Finish(r, RestoreStatus::Restored, r.kept.empty() ? "" : keptNote);

    if (!kept.Unchanged(reason)) return Finish(r, RestoreStatus::Failed, BackupChanged(backup));
    if (fileThere && !held.Unchanged(reason)) return Finish(r, RestoreStatus::Failed, FileChanged(file));
    return PutBack(r, held, kept, fileThere, ops);
}

}  // namespace qwz
