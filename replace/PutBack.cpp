#include "replace/PutBack.h"

#include "replace/BackupName.h"
#include "replace/TemporaryFile.h"

#include <string>

namespace fs = std::filesystem;

namespace qwz::replace {
namespace {

PutBackResult& Done(PutBackResult& r, const std::string& note = {}) {
    r.done = true;
    r.reason = Reason(StatusCode::Restored, note);
    return r;
}

PutBackResult& Failed(PutBackResult& r, Reason reason) {
    r.done = false;
    r.reason = std::move(reason);
    return r;
}

Reason FileAppeared(const fs::path& file, const fs::path& backup) {
    return {StatusCode::Changed, "plik " + PathForMessage(file) + " pojawił się w trakcie przywracania; kopia zapasowa " +
                                     PathForMessage(backup) + " została na swoim miejscu"};
}

// The backup takes the free name of the missing file, by a step that
// refuses to replace whatever has the name by then.
PutBackResult& MoveToFreeName(PutBackResult& r, FileOps& ops) {
    Reason error;
    switch (MoveWithoutReplacing(ops, r.backup, r.file, error)) {
    case NoReplace::Done: break;
    case NoReplace::NameTaken: return Failed(r, FileAppeared(r.file, r.backup));
    default: return Failed(r, error);
    }
    // The original is back under its name; a backup name that cannot be
    // removed is one more name of it, which a later restore removes.
    return Done(r, error.str());
}

// The names a newer file may be kept under, in the order they are tried:
// "NAME (nowszy).qwz", "NAME (nowszy 2).qwz", ... with the file's own
// extension. None of them is a backup's name or a temporary file's.
constexpr int kNewerNames = 100;

fs::path NewerName(const fs::path& file, int n) { return NameBeside(file, "nowszy", n); }

// The user's newer file gets a free name beside it by a step that never
// replaces anything: a second name where the file system has links (the
// user's name still holds it), else a move. `moved` says which.
bool KeepNewer(PutBackResult& r, FileOps& ops, bool& moved, Reason& error) {
    for (int n = 1; n <= kNewerNames; ++n) {
        const fs::path name = NewerName(r.file, n);
        if (ops.Examine(name, false, nullptr) != NameKind::Missing) continue;
        NoReplace done = ops.Link(r.file, name, error);
        moved = done == NoReplace::Unsupported;
        if (moved) done = MoveWithoutReplacing(ops, r.file, name, error);
        if (done == NoReplace::NameTaken) continue;
        if (done != NoReplace::Done) return false;
        r.kept = name;
        return true;
    }
    error = NoNewerName(r.file);
    return false;
}

// The newer file kept under a free name, then the backup under the user's
// name. Whatever fails, the newer file and the backup each keep a name.
PutBackResult& PutBackKeepingNewer(PutBackResult& r, const FileState& newer, FileOps& ops) {
    Reason error;
    bool moved = false;
    if (!KeepNewer(r, ops, moved, error)) {
        r.kept.clear();
        return Failed(r, error);
    }
    const std::string note = "nowszy plik zachowany jako " + PathForMessage(r.kept);
    if (moved) {
        // The user's name is free now, as for a missing file.
        MoveToFreeName(r, ops);
        r.reason = r.reason.empty() ? Reason(r.reason.code, note) : r.reason + "; " + note;
        return r;
    }
    if (!ops.RenameReplace(r.backup, r.file, error)) {
        // The file keeps its name; the second name made for it goes again.
        FileState now;
        Reason ignored;
        if (ops.Examine(r.kept, false, &now) == NameKind::Regular && now.SameFile(newer)) ops.Remove(r.kept, ignored);
        r.kept.clear();
        return Failed(r, error);
    }
    return Done(r, note);
}

}  // namespace

fs::path FreeNewerName(const fs::path& file, FileOps& ops) {
    for (int n = 1; n <= kNewerNames; ++n)
        if (const fs::path name = NewerName(file, n); ops.Examine(name, false, nullptr) == NameKind::Missing)
            return name;
    return {};
}

Reason NoNewerName(const fs::path& file) {
    return {StatusCode::Changed, "nie ma wolnej nazwy, pod którą można zachować nowszy plik " + PathForMessage(file) +
           "; niczego nie zmieniono"};
}

Reason BackupChanged(const fs::path& backup) {
    return {StatusCode::Changed,
            "kopia zapasowa " + PathForMessage(backup) + " zmieniła się w trakcie przywracania; niczego nie zmieniono"};
}

PutBackResult DropSecondName(const OriginalFile& held, const fs::path& file, const fs::path& backup, bool write,
                             FileOps& ops) {
    PutBackResult r;
    r.file = file;
    r.backup = backup;
    const std::string note =
        "plik już jest oryginałem (kopia była jego drugą nazwą, pozostałą po przerwanej konwersji)";
    if (!write) return Done(r, note);
    FileState now;
    Reason error, ignored;
    if (ops.Examine(r.backup, false, &now) != NameKind::Regular || !now.SameFile(held.state()) || now.links < 2)
        return Failed(r, BackupChanged(r.backup));
    if (!ops.Remove(r.backup, error)) return Failed(r, error);
    RemoveEarlierRecord(r.backup, ops);
    ops.SyncFolder(FolderOf(r.file), ignored);
    return Done(r, note);
}

// The one step that puts the backup back: over the user's file, beside a
// newer one kept under a free name, or into an empty name.
PutBackResult PutBack(OriginalFile& held, OriginalFile& kept, const fs::path& file, const fs::path& backup,
                      bool fileThere, bool keepNewer, FileOps& ops) {
    PutBackResult r;
    r.file = file;
    r.backup = backup;
    Reason error, ignored;
    // Where an open file cannot be replaced or moved, both are let go just
    // before the one step, their locks kept until it is done.
    if (!ops.CanReplaceOpenFile()) {
        held.LetGoOfFile();
        kept.LetGoOfFile();
    }
    if (fileThere && keepNewer) {
        if (!PutBackKeepingNewer(r, held.state(), ops).done) return r;
    } else if (fileThere) {
        if (!ops.RenameReplace(r.backup, r.file, error)) return Failed(r, error);
        Done(r);
    } else if (!MoveToFreeName(r, ops).done) {
        return r;
    }
    // An earlier release's record described the file now discarded.
    RemoveEarlierRecord(r.backup, ops);
    ops.SyncFolder(FolderOf(r.file), ignored);
    return r;
}

}  // namespace qwz::replace
