#include "replace/NewFile.h"

#include "platform/PathNames.h"

namespace qwz::replace {
namespace {

bool Fail(Reason& reason, Reason text) {
    reason = std::move(text);
    return false;
}

// A path below the output folder: names only, so that nothing outside it
// can be named.
bool NamesOnly(const std::filesystem::path& relative) {
    if (relative.empty() || relative.has_root_name() || relative.has_root_directory()) return false;
    for (const std::filesystem::path& part : relative)
        if (part.empty() || part == "." || part == "..") return false;
    return true;
}

// The output folder itself, made with the folders above it when missing
// (where the user named it, links are the user's). False with the reason
// when it is something else; `exists` false: missing in a dry run.
bool OutputFolder(FileOps& ops, const std::filesystem::path& folder, bool write, bool& exists, Reason& reason) {
    exists = false;
    switch (ops.Examine(folder, true, nullptr)) {
    case NameKind::Folder: exists = true; return true;
    case NameKind::Missing: break;
    default: return Fail(reason, Reason(StatusCode::NotRegularFile, "folder docelowy " + PathForMessage(folder) +
                                                                        " nie jest folderem"));
    }
    if (!write) return true;
    const std::filesystem::path above = folder.parent_path();
    if (!above.empty() && above != folder && !OutputFolder(ops, above, true, exists, reason)) return false;
    Reason error;
    if (ops.CreateFolder(folder, error) == NoReplace::Failed) return Fail(reason, error);
    exists = ops.Examine(folder, true, nullptr) == NameKind::Folder;
    return exists || Fail(reason, Reason(StatusCode::NotRegularFile,
                                         "folder docelowy " + PathForMessage(folder) + " nie jest folderem"));
}

// The folders from the output folder down to `below`, each a real folder
// where it stands, the missing ones made (not in a dry run). `exists`
// false: the last one is missing, and a dry run would make it.
bool FoldersOnTheWay(FileOps& ops, const std::filesystem::path& folder, const std::filesystem::path& below,
                     bool write, const std::filesystem::path& realRoot, bool& exists, Reason& reason) {
    std::filesystem::path at = folder, real = realRoot;
    for (const std::filesystem::path& part : below) {
        at /= part;
        real /= part;
        NameKind kind = ops.Examine(at, false, nullptr);
        if (kind == NameKind::Missing) {
            if (!write) {
                exists = false;
                return true;
            }
            Reason error;
            const NoReplace made = ops.CreateFolder(at, error);
            if (made != NoReplace::Done && made != NoReplace::NameTaken) return Fail(reason, error);
            // The new name is on the disk before a file is named in it.
            if (made == NoReplace::Done) ops.SyncFolder(FolderOf(at), error);
            kind = ops.Examine(at, false, nullptr);
        }
        std::filesystem::path seen;
        if (kind != NameKind::Folder || (!realRoot.empty() && ops.RealPath(at, seen) && !SamePlace(seen, real)))
            return Fail(reason, Reason(StatusCode::NotRegularFile,
                                       "w folderze docelowym " + PathForMessage(at) + " nie jest zwykłym folderem "
                                                            "(dowiązanie?); nic w nim nie zapisano"));
    }
    return true;
}

}  // namespace

NewFileDone WriteNewFile(OriginalFile& original, const FileMaker& make, const NewFileOptions& options,
                         Reason& reason) {
    FileOps& ops = original.ops();
    const std::filesystem::path target = options.folder / options.relative;
    const auto failed = [&reason](Reason why) {
        reason = std::move(why);
        return NewFileDone::Failed;
    };
    if (!NamesOnly(options.relative))
        return failed(Reason(StatusCode::NotFound, "ścieżka " + PathForMessage(options.relative) +
                                                       " nie wskazuje miejsca w folderze docelowym"));
    bool exists = false;
    if (!OutputFolder(ops, options.folder, options.write, exists, reason)) return NewFileDone::Failed;
    std::filesystem::path realRoot, real;
    if (exists && !ops.RealPath(options.folder, realRoot)) realRoot.clear();
    if (exists &&
        !FoldersOnTheWay(ops, options.folder, options.relative.parent_path(), options.write, realRoot, exists, reason))
        return NewFileDone::Failed;

    // What has the name now, judged without following a link at it.
    FileState there;
    const NameKind kind = exists ? ops.Examine(target, false, &there) : NameKind::Missing;
    if (kind == NameKind::Regular) {
        if (!realRoot.empty() && ops.RealPath(target, real) && !SamePlace(real, realRoot / options.relative))
            return failed(Reason(StatusCode::NotRegularFile, "plik docelowy " + PathForMessage(target) +
                                                                 " prowadzi poza folder docelowy; nie został zastąpiony"));
        if (there.SameFile(original.state()))
            return failed(Reason(StatusCode::OutputTaken, "plik docelowy " + PathForMessage(target) +
                                                              " to ten sam plik, co źródło"));
        if (!options.force && there.modified >= original.state().modified) {
            reason = Reason(StatusCode::UpToDate, "plik docelowy " + PathForMessage(target) +
                                                      " nie jest starszy niż źródło; zostaje bez zmian "
                                                      "(zastępuje go opcja --force)");
            return NewFileDone::KeptNewer;
        }
    } else if (kind != NameKind::Missing) {
        return failed(Reason(StatusCode::NotRegularFile, "plik docelowy " + PathForMessage(target) +
                                                             " nie jest zwykłym plikiem; nie został zastąpiony"));
    }
    if (!options.write) {
        make([](const uint8_t*, size_t) {});
        return NewFileDone::Written;
    }

    TemporaryFile temp(ops);
    if (!WriteCheckedTemporary(original, target, make, options.made, temp, reason)) return NewFileDone::Failed;
    // What was written is the original only while nothing wrote it since it
    // was read.
    if (!original.Unchanged(reason) || !original.Unwritten(reason)) return NewFileDone::Failed;
    Reason error;
    if (kind == NameKind::Missing) {
        switch (MoveWithoutReplacing(ops, temp.path, target, error)) {
        case NoReplace::Done: break;
        case NoReplace::NameTaken:
            return failed(Reason(StatusCode::Changed, "plik docelowy " + PathForMessage(target) +
                                                          " pojawił się w trakcie zapisu; nie został zastąpiony"));
        default: return failed(error);
        }
    } else {
        // Replaced only while it is the file that was judged older.
        FileState now;
        if (ops.Examine(target, false, &now) != NameKind::Regular || !(now == there))
            return failed(Reason(StatusCode::Changed, "plik docelowy " + PathForMessage(target) +
                                                          " zmienił się w trakcie zapisu; nie został zastąpiony"));
        if (!ops.RenameReplace(temp.path, target, error)) return failed(error);
    }
    temp.handedOver = true;
    ops.SyncFolder(FolderOf(target), error);
    return NewFileDone::Written;
}

}  // namespace qwz::replace
