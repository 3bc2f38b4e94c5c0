#include "engine/Restore.h"

#include "engine/ConvertedFrom.h"
#include "platform/PathNames.h"
#include "replace/BackupName.h"
#include "replace/OriginalFile.h"
#include "replace/PutBack.h"
#include "replace/SafeReplace.h"

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace qwz {
namespace {

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

RestoreResult& Finish(RestoreResult& r, RestoreStatus status, const std::string& note) {
    return Finish(r, status, Reason(status == RestoreStatus::Skipped ? StatusCode::NoBackup : StatusCode::Restored, note));
}

// What the protocol's put-back did, as the restore's result.
RestoreResult& Finish(RestoreResult& r, const replace::PutBackResult& put) {
    r.kept = put.kept;
    return Finish(r, put.done ? RestoreStatus::Restored : RestoreStatus::Failed, put.reason);
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
    r.kept = replace::FreeNewerName(r.file, ops);
    if (r.kept.empty()) Finish(r, RestoreStatus::Failed, replace::NoNewerName(r.file));
    return !r.kept.empty();
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
        if (!replace::Hold(held, file, request.write, reason)) return Finish(r, RestoreStatus::Failed, reason);
        if (!replace::CanReplace(held, {}, reason)) return Finish(r, RestoreStatus::Failed, reason);
    }
    if (fileThere && judged.SameFile(held.state())) return Finish(r, replace::DropSecondName(held, file, backup, request.write, ops));

    // The backup is opened and locked, so that no conversion of it runs
    // meanwhile, and its name must still lead to that regular file.
    replace::OriginalFile kept(ops);
    if (!kept.Open(backup, reason)) return Finish(r, RestoreStatus::Failed, reason);
    FileState now;
    if (ops.Examine(backup, false, &now) != NameKind::Regular || !now.SameFile(kept.state()))
        return Finish(r, RestoreStatus::Failed, replace::BackupChanged(backup));
    // Only the file the conversion wrote is discarded; a conversion of the
    // backup, which would have to finish first, cannot run while it is held.
    if (fileThere && !MayDiscard(r, held, kept, request, ops)) return r;
    const std::string keptNote = "nowszy plik zostanie zachowany jako " + PathForMessage(r.kept);
    if (!request.write) return Finish(r, RestoreStatus::Restored, r.kept.empty() ? "" : keptNote);

    if (!kept.Unchanged(reason)) return Finish(r, RestoreStatus::Failed, replace::BackupChanged(backup));
    if (fileThere && !held.Unchanged(reason)) return Finish(r, RestoreStatus::Failed, FileChanged(file));
    return Finish(r, replace::PutBack(held, kept, file, backup, fileThere, !r.kept.empty(), ops));
}

}  // namespace qwz
