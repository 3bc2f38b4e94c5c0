#include "replace/BackupCopy.h"

#include "platform/PathNames.h"
#include "replace/TemporaryFile.h"

#include <algorithm>
#include <vector>

namespace qwz::replace {
namespace {

constexpr size_t kCopyChunk = size_t(1) << 20;

bool Fail(Reason& reason, Reason text) {
    reason = std::move(text);
    return false;
}

Reason BackupTaken(const std::filesystem::path& backup, const char* what = "") {
    return Reason(StatusCode::BackupExists, "kopia zapasowa " + PathForMessage(backup) + " już istnieje" + what +
                                                " (usuń ją lub przenieś, aby przekonwertować plik ponownie)");
}

// Compares two open files chunk by chunk.
bool SameContent(FileOps& ops, FileHandle a, FileHandle b, uint64_t size, Reason& error) {
    std::vector<uint8_t> x(std::min<uint64_t>(size, kCopyChunk) + 1), y(x.size());
    for (uint64_t offset = 0;;) {
        size_t gotA = 0, gotB = 0;
        if (!ops.ReadAt(a, offset, x.data(), x.size(), gotA, error)) return false;
        if (!ops.ReadAt(b, offset, y.data(), y.size(), gotB, error)) return false;
        if (gotA != gotB || !std::equal(x.begin(), x.begin() + long(gotA), y.begin())) return false;
        if (gotA == 0) return offset == size;
        offset += gotA;
    }
}

// The backup as a copy of the original, for file systems without links:
// written from the held original to a temporary file, flushed, read back
// against the original, and only then given the backup name by a rename
// that refuses a taken name, so that the backup name never holds part of a
// copy.
bool CopyBackup(OriginalFile& original, const std::filesystem::path& backup, MadeBackup& made,
                Reason& reason) {
    FileOps& ops = original.ops();
    Reason error;
    TemporaryFile copy(ops);
    // The copy carries the original's identity as the new file does; what
    // the system refuses to carry it refuses to both, and the new file's
    // result says so.
    const size_t chunk = size_t(std::min<uint64_t>(original.state().size, kCopyChunk)) + 1;
    uint64_t copied = 0;
    const auto fill = [&](Reason& failed) {
        return original.ReadInParts(
            chunk,
            [&](const uint8_t* data, size_t n, Reason& why) {
                return WriteAll(ops, copy.file, data, n, kCopyChunk, copy.path, why);
            },
            copied, failed);
    };
    FileState identity;
    if (!WriteTemporaryFile(ops, original.path(), original.handle(), copy, fill, identity, error))
        return Fail(reason, error);
    if (copied != original.state().size) return Fail(reason, ChangedDuringConversion(original.path()));

    FileHandle back;
    if (!ops.OpenToRead(copy.path, back, error)) return Fail(reason, error);
    const bool same = SameContent(ops, original.handle(), back, copied, error);
    Reason ignored;
    ops.Close(back, ignored);
    if (!same)
        return Fail(reason, error.empty() ? Reason(StatusCode::VerifyFailed, "kopia zapasowa " +
                                                                                 PathForMessage(backup) +
                                                                                 " różni się od oryginału")
                                          : error);

    switch (MoveWithoutReplacing(ops, copy.path, backup, error)) {
    case NoReplace::Done: break;
    case NoReplace::NameTaken: return Fail(reason, BackupTaken(backup));
    case NoReplace::Unsupported:
    case NoReplace::Failed: return Fail(reason, error);
    }
    copy.handedOver = true;
    made.path = backup;
    made.identity = identity;
    return true;
}

}  // namespace

// The backup name holds the original: a second name of the same file, or
// a checked copy where the file system has no links. Neither replaces
// anything that has the name: their refusal is the test.
bool MakeBackup(OriginalFile& original, const std::filesystem::path& backup, MadeBackup& made,
                Reason& reason) {
    FileOps& ops = original.ops();
    Reason error;
    switch (ops.Link(original.path(), backup, error)) {
    case NoReplace::Done: {
        // The name is linked, not the open file: should another file have
        // been put under the original's name meanwhile, the link is a
        // second name of that one, and no backup at all.
        FileState linked;
        if (ops.Examine(backup, false, &linked) != NameKind::Regular)
            return Fail(reason, ChangedDuringConversion(original.path()));
        made.path = backup;
        made.identity = linked;
        made.holdsOriginal = linked.SameFile(original.state());
        if (!made.holdsOriginal) return Fail(reason, ChangedDuringConversion(original.path()));
        return true;
    }
    case NoReplace::NameTaken: {
        // Taken since it was judged: judge again what now has the name.
        BackupJudgement now = JudgeBackupName(backup, original.state(), ops);
        if (now.adopted) return true;
        return Fail(reason, now.refusal.empty() ? BackupTaken(backup) : now.refusal);
    }
    case NoReplace::Unsupported: return CopyBackup(original, backup, made, reason);
    case NoReplace::Failed: break;
    }
    return Fail(reason, error);
}

BackupJudgement JudgeBackupName(const std::filesystem::path& backup, const FileState& original,
                                FileOps& ops) {
    BackupJudgement j;
    if (backup.filename().native().size() > ops.NameLimit(FolderOf(backup))) {
        j.refusal = Reason(StatusCode::TooLarge, "nazwa kopii zapasowej " + PathForMessage(backup) +
                                                     " jest za długa dla tego systemu plików");
        return j;
    }
    FileState st;
    switch (ops.Examine(backup, false, &st)) {
    case NameKind::Missing: j.free = true; break;
    case NameKind::Regular:
        // Only a second name of the very file being converted is the backup
        // a stopped conversion left; any other file is an earlier backup. A
        // link that looked like a file (under Wine) is a link.
        if (std::filesystem::path target; ops.LinkTarget(backup, target))
            j.refusal = BackupTaken(backup, " jako dowiązanie symboliczne");
        else if (st.SameFile(original) && st.links >= 2) j.adopted = true;
        else j.refusal = BackupTaken(backup);
        break;
    case NameKind::Link: j.refusal = BackupTaken(backup, " jako dowiązanie symboliczne"); break;
    case NameKind::Folder: j.refusal = BackupTaken(backup, " jako folder"); break;
    case NameKind::Other: j.refusal = BackupTaken(backup, " i nie jest zwykłym plikiem"); break;
    }
    return j;
}

bool LeftByStoppedCopy(OriginalFile& original, const std::filesystem::path& backup, FileState& copy) {
    FileOps& ops = original.ops();
    if (ops.Examine(backup, false, &copy) != NameKind::Regular || copy.SameFile(original.state()) ||
        copy.size != original.state().size)
        return false;
    // Its temporary file was taken away when the original was held, or lies
    // there still.
    std::vector<std::filesystem::path> names;
    if (!original.leftTemporary() &&
        (!ops.ListFolder(FolderOf(original.path()), names) ||
         std::none_of(names.begin(), names.end(),
                      [&](const std::filesystem::path& n) { return IsTemporaryNameOf(n, original.path()); })))
        return false;
    FileHandle file;
    Reason error;
    if (!ops.OpenToRead(backup, file, error)) return false;
    FileState opened;
    const bool same = ops.StateOf(file, opened, error) && opened == copy &&
                      SameContent(ops, original.handle(), file, copy.size, error);
    Reason ignored;
    ops.Close(file, ignored);
    return same;
}

}  // namespace qwz::replace
