#include "replace/SafeReplace.h"

#include "platform/Parallel.h"
#include "platform/PathNames.h"
#include "replace/CommitGroup.h"
#include "replace/ContentHash.h"

#include <algorithm>
#include <cstdint>

namespace qwz::replace {
namespace {

constexpr size_t kCopyChunk = size_t(1) << 20;
// A part of a made file from this size on is digested beside its write.
constexpr size_t kDigestBeside = size_t(1) << 20;
// The written bytes are sent on to the disk while more is made once this
// many are waiting: a call per part of a small file, whose flush is over
// at once anyway, costs more than it saves.
constexpr uint64_t kWritebackFrom = uint64_t(4) << 20;

bool Fail(Reason& reason, Reason text) {
    reason = std::move(text);
    return false;
}

// Whether the open file holds exactly `bytes`, read chunk by chunk; false
// with `error` set when a read fails.
bool SameAsMemory(FileOps& ops, FileHandle file, const std::vector<uint8_t>& bytes, Reason& error) {
    std::vector<uint8_t> chunk(std::min(bytes.size(), kCopyChunk) + 1);
    for (uint64_t offset = 0;;) {
        size_t got = 0;
        if (!ops.ReadAt(file, offset, chunk.data(), chunk.size(), got, error)) return false;
        if (got == 0) return offset == bytes.size();
        if (got > bytes.size() - offset ||
            !std::equal(chunk.begin(), chunk.begin() + long(got), bytes.begin() + long(offset)))
            return false;
        offset += got;
    }
}

// The open file read back: seen in place where the system can (`view`),
// else read whole into `back` (its memory used again when it is large
// enough). Tells whether it holds as many bytes as `written` digested, with
// the same digest; false with `error` set when a read fails.
bool ReadBackSame(FileOps& ops, FileHandle file, const ContentHash& written, FileView& view,
                  std::vector<uint8_t>& back, Reason& error) {
    const uint64_t size = written.Size();
    if (size > back.max_size() || size >= uint64_t(SIZE_MAX)) return false;
    FileState state;
    if (!ops.StateOf(file, state, error)) return false;
    if (state.size != size) return false;
    ContentHash read;
    if (size > 0 && ops.MapToRead(file, size, view)) {
        // Each piece is given back once digested: the check that follows
        // reads the file again a piece at a time.
        read.AddOnEveryCore(view.data(), view.size(), [&view](const uint8_t* data, size_t n) { view.LetGo(data, n); });
        return view.Intact() && read.Value() == written.Value();
    }
    // Memory too small is not grown: that would copy what it holds.
    if (back.capacity() <= size) std::vector<uint8_t>().swap(back);
    // A byte more, to see a file longer than written.
    if (!ReadStart(ops, file, size_t(size) + 1, back, error)) return false;
    if (back.size() != size) return false;
    read.AddOnEveryCore(back.data(), back.size());
    return read.Value() == written.Value();
}

// The temporary file as this replacement wrote it: its bytes (in memory,
// or for a made file their digest) and its state once flushed.
struct Written {
    const std::vector<uint8_t>* bytes = nullptr;
    ContentHash digest;
    FileState state;
};

// Thrown by the part writer of a made file when a write fails: the making
// stops there, and the reason is the write's.
struct PartNotWritten {};

// Writes the parts `make` hands over to the temporary file as they come,
// each digested into `written` (a large one on another core while it is
// written). `back` gets what make gives back: memory the read-back may use.
bool WriteMade(const FileMaker& make, const ReplaceOptions& options, TemporaryFile& temp, ContentHash& written,
               std::vector<uint8_t>& back, Reason& error, FileOps& ops) {
    uint64_t sent = 0;  // the bytes whose writing out has been started
    try {
        back = make([&](const uint8_t* data, size_t size) {
            const uint64_t offset = written.Size();
            bool wrote = false;
            ForEachInParallel(2, size >= kDigestBeside ? kParallelThreshold : 0, [&](size_t i) {
                if (i == 0) wrote = WriteAll(ops, temp.file, data, size, options.writeChunk, temp.path, error);
                else written.Add(data, size);
            });
            if (!wrote) throw PartNotWritten{};
            // The parts go to the disk while the next are made.
            if (offset + size - sent >= kWritebackFrom) {
                ops.StartWriteback(temp.file, sent, offset + size - sent);
                sent = offset + size;
            }
        });
    } catch (const PartNotWritten&) {
        return false;
    }
    return true;
}

// The new bytes complete on disk under a temporary name beside `target`,
// checked: the bytes in memory, or those `make` hands over, written,
// flushed unless `flush` is off (a group makes them durable together) and
// read back. `bytes` is null for a made file.
bool WriteTemporary(OriginalFile& original, const std::filesystem::path& target, const std::vector<uint8_t>* bytes,
                    const FileMaker* make, const ReplaceOptions& options, TemporaryFile& temp, Written& wrote,
                    bool flush, Reason& reason, FileOps& ops) {
    Reason error;
    wrote.bytes = bytes;
    ContentHash& written = wrote.digest;
    std::vector<uint8_t> back;
    const auto fill = [&](Reason& failed) {
        return bytes ? WriteAll(ops, temp.file, bytes->data(), bytes->size(), options.writeChunk, temp.path, failed)
                     : WriteMade(*make, options, temp, written, back, failed, ops);
    };
    if (!WriteTemporaryFile(ops, target, original.handle(), temp, fill, wrote.state, error, options.notCarried,
                            flush))
        return Fail(reason, error);

    // Read back from the disk: compared piece by piece with the bytes in
    // memory (a large file's check holds one piece of it, not a second
    // copy), or, for a made file, read whole and digested as what was
    // written was.
    FileHandle file;
    FileView view;
    error.clear();
    if (!ops.OpenToRead(temp.path, file, error)) return Fail(reason, error);
    const bool same =
        bytes ? SameAsMemory(ops, file, *bytes, error) : ReadBackSame(ops, file, written, view, back, error);
    Reason ignored;
    ops.Close(file, ignored);
    const Reason differs(StatusCode::VerifyFailed, "plik tymczasowy " + PathForMessage(temp.path) +
                                                       " różni się od danych, które zostały zapisane");
    if (!same) return Fail(reason, !error.empty() ? error : differs);
    if (options.digest) {
        if (bytes) {
            ContentHash digest;
            digest.AddOnEveryCore(bytes->data(), bytes->size());
            *options.digest = digest.Value();
        } else {
            *options.digest = written.Value();
        }
    }
    // What is on the disk is what was written: the check reads it in memory.
    if (options.verify) {
        const uint8_t* data = bytes ? bytes->data() : !view.empty() ? view.data() : back.data();
        const size_t size = bytes ? bytes->size() : !view.empty() ? view.size() : back.size();
        if (!options.verify(data, size, error)) return Fail(reason, error);
        // Cut by another program while it was checked: what was checked
        // was not the file.
        if (!view.Intact()) return Fail(reason, differs);
    }
    return true;
}

}  // namespace

bool CanReplace(OriginalFile& original, const std::filesystem::path& backup, Reason& reason,
                BackupJudgement* judged) {
    reason.clear();
    FileOps& ops = original.ops();
    const std::filesystem::path& target = original.path();
    if (ops.IsReadOnly(target))
        return Fail(reason, Reason(StatusCode::ReadOnly, "plik " + PathForMessage(target) + " jest tylko do odczytu"));
    if (ops.IsInUse(target, reason)) return false;
    // One that opens it later is seen at the last step.
    if (original.writers() == Writers::Present) return Fail(reason, OpenForWriting(target));
    if (backup.empty()) return true;
    BackupJudgement j = JudgeBackupName(backup, original.state(), ops);
    if (!j.free && !j.adopted && LeftByStoppedCopy(original, backup, j.copy)) {
        j.refusal.clear();
        j.adopted = j.leftCopy = true;
    }
    if (judged) *judged = j;
    return j.refusal.empty() || Fail(reason, j.refusal);
}

namespace {

// Whether the file at `path` is still the very file this replacement
// wrote: the same file with the same size and time of last change, open
// for writing by no program (where the system tells), with the same bytes.
bool StillAsWritten(FileOps& ops, const std::filesystem::path& path, const Written& wrote) {
    FileState now;
    if (ops.Examine(path, false, &now) != NameKind::Regular || !(now == wrote.state)) return false;
    FileHandle file;
    Reason error;
    if (!ops.OpenToRead(path, file, error)) return false;
    bool same = ops.StateOf(file, now, error) && now == wrote.state && ops.WatchWriters(file) != Writers::Present;
    {
        FileView view;
        std::vector<uint8_t> back;
        same = same && (wrote.bytes ? SameAsMemory(ops, file, *wrote.bytes, error)
                                    : ReadBackSame(ops, file, wrote.digest, view, back, error));
    }
    same = same && !ops.WriterCame(file) && ops.StateOf(file, now, error) && now == wrote.state;
    ops.Close(file, error);
    return same;
}

// `why`, and where the file at `from` is kept now that it is not removed:
// under a free name beside the original, else (a name too long) under a
// name aside, which no later run removes while it is the file's only one.
Reason KeptBeside(FileOps& ops, const std::filesystem::path& from, const std::filesystem::path& target, Reason why,
                  const std::string& label, const std::string& what) {
    std::filesystem::path kept = KeepBeside(ops, from, target, label);
    if (kept.empty()) {
        const std::filesystem::path aside = AsideNameBeside(target);
        Reason error;
        kept = !IsAsideNameOf(from, target) && MoveWithoutReplacing(ops, from, aside, error) == NoReplace::Done ? aside : from;
    }
    return Reason(StatusCode::Changed, why.str() + "; " + what + " jest teraz w pliku " + PathForMessage(kept));
}

// The original moved aside goes back under its name, which must be free;
// where it is taken (another program saved under it), the original stays
// beside: as its backup when that is a name of it, else under a free name.
// Where it cannot be moved, it stays aside, which the next run puts back.
Reason PutBack(FileOps& ops, const std::filesystem::path& aside, const std::filesystem::path& target,
               const std::filesystem::path& backup, Reason why) {
    Reason error;
    switch (MoveWithoutReplacing(ops, aside, target, error)) {
    case NoReplace::Done: return why;
    case NoReplace::NameTaken: break;
    default: return why + "; oryginał jest teraz w pliku " + PathForMessage(aside);
    }
    FileState held, kept;
    if (!backup.empty() && ops.Examine(aside, false, &held) == NameKind::Regular &&
        ops.Examine(backup, false, &kept) == NameKind::Regular && kept.SameFile(held) &&
        RemoveWithRetries(ops, aside, error))
        return why + "; oryginał jest teraz w pliku " + PathForMessage(backup);
    return KeptBeside(ops, aside, target, why, "oryginał", "oryginał");
}

// Where an open file cannot be replaced (Windows): the original, open and
// locked, is moved by its handle to a name of its own beside it, and the
// new file then takes the freed name by a move that refuses to replace. A
// program that saved under the name between the two keeps its save: the
// move fails and the original goes back (or stays beside). Where the
// system cannot move an open file, it is closed, its lock kept, and the
// new file moved over it after a last look at the name.
bool MoveInPlace(OriginalFile& original, TemporaryFile& temp, const std::filesystem::path& backup, Reason& reason) {
    FileOps& ops = original.ops();
    const std::filesystem::path& target = original.path();
    Reason error;
    std::filesystem::path aside;
    NoReplace moved = NoReplace::NameTaken;
    for (int attempt = 0; attempt < 16 && moved == NoReplace::NameTaken; ++attempt)
        moved = ops.RenameHeld(original.handle(), aside = AsideNameBeside(target), error);
    if (moved == NoReplace::Unsupported) {
        original.LetGoOfFile();
        if (!original.Unchanged(reason)) return false;
        if (!ops.RenameReplace(temp.path, target, error)) return Fail(reason, error);
        temp.handedOver = true;
        return true;
    }
    if (moved != NoReplace::Done) return Fail(reason, error);
    // What moved is the file that was read, unchanged: the name led to it
    // at the last look, and the move took the open file itself.
    FileState out;
    if (ops.Examine(aside, false, &out) != NameKind::Regular || !(out == original.state()))
        return Fail(reason, PutBack(ops, aside, target, backup, ChangedDuringConversion(target)));
    switch (ops.RenameNoReplace(temp.path, target, error)) {
    case NoReplace::Done:
        temp.handedOver = true;
        // The new name is on the disk before the name aside goes, so that
        // no power loss keeps the one gone without the other there. The
        // original is kept under the backup name where one was asked for;
        // a name of it that cannot be removed is a leftover like any.
        ops.SyncFolder(FolderOf(target), error);
        RemoveWithRetries(ops, aside, error);
        return true;
    case NoReplace::NameTaken: return Fail(reason, PutBack(ops, aside, target, backup, ChangedDuringConversion(target)));
    default: return Fail(reason, PutBack(ops, aside, target, backup, error));
    }
}

// The new file takes the original's name in one step. Where two names can
// be swapped, they are, and the file swapped out must be the very file
// that was read, unchanged, and not opened for writing meanwhile; if not,
// it is swapped back and nothing is replaced. The original's name then
// always holds one of the two files, and no program's save that came
// between the last look and the step is replaced unseen. What the swap
// back puts under the temporary name is removed only while it is the file
// written here: a save under the original's name, or writes into the new
// file there, that came between the two swaps are kept beside.
bool PutInPlace(OriginalFile& original, TemporaryFile& temp, const Written& wrote, const std::filesystem::path& backup,
                Reason& reason) {
    FileOps& ops = original.ops();
    const std::filesystem::path& target = original.path();
    Reason error;
    switch (ops.Exchange(temp.path, target, error)) {
    case NoReplace::Done: break;
    case NoReplace::Unsupported:
        if (!ops.CanReplaceOpenFile()) return MoveInPlace(original, temp, backup, reason);
        if (!ops.RenameReplace(temp.path, target, error)) return Fail(reason, error);
        temp.handedOver = true;
        return true;
    case NoReplace::NameTaken:
    case NoReplace::Failed: return Fail(reason, error);
    }
    // The temporary name now holds what had the original's name.
    FileState out;
    Reason why;
    if (ops.Examine(temp.path, false, &out) == NameKind::Regular && out == original.state() &&
        original.Unwritten(why)) {
        temp.handedOver = true;
        // The original is kept under the backup name where one was asked
        // for; a name of it that cannot be removed is a leftover like any.
        RemoveWithRetries(ops, temp.path, error);
        return true;
    }
    if (why.empty()) why = ChangedDuringConversion(target);
    if (ops.Exchange(temp.path, target, error) != NoReplace::Done) {
        // Both files are kept: the new one in place, the one swapped out
        // beside it.
        temp.handedOver = true;
        return Fail(reason, KeptBeside(ops, temp.path, target, ChangedDuringConversion(target), "nowszy", "jego treść"));
    }
    if (StillAsWritten(ops, temp.path, wrote)) return Fail(reason, why);
    temp.handedOver = true;
    return Fail(reason, KeptBeside(ops, temp.path, target, why, "nowszy", "plik zapisany pod jego nazwą w trakcie zamiany"));
}

// One file's replacement, written and checked, at its last steps: the
// backup name, then the last check and the new file in place.
class Pending final : public GroupMember {
public:
    Pending(OriginalFile& original, TemporaryFile& temp, const Written& wrote, const ReplaceOptions& options,
            bool makeBackup, MadeBackup& made)
        : original_(original), temp_(temp), wrote_(wrote), backup_(options.backup), makeBackup_(makeBackup),
          made_(made) {}

    const std::filesystem::path& NewFile() const override { return temp_.path; }
    uint64_t Size() const override { return wrote_.state.size; }
    std::filesystem::path Folder() const override { return FolderOf(original_.path()); }

    bool KeepOriginal() override {
        if (!makeBackup_) return false;
        Reason why;
        if (MakeBackup(original_, backup_, made_, why)) return true;
        Failed(why);
        return false;
    }

    void TakeName() override {
        // Nothing may have written the original, or put another file under
        // its name, since it was read.
        Reason why;
        if (!original_.Unchanged(why) || !original_.Unwritten(why) ||
            !PutInPlace(original_, temp_, wrote_, backup_, why))
            return Failed(why);
        made_.kept = true;
    }

private:
    void Failed(const Reason& why) {
        failed = !why.empty() ? why : ChangedDuringConversion(original_.path());
    }

    OriginalFile& original_;
    TemporaryFile& temp_;
    const Written& wrote_;
    const std::filesystem::path& backup_;
    const bool makeBackup_;
    MadeBackup& made_;
};

// Either the bytes in memory or the maker of the file.
bool Replace(OriginalFile& original, const std::vector<uint8_t>* bytes, const FileMaker* make,
             const ReplaceOptions& options, Reason& reason) {
    FileOps& ops = original.ops();
    const std::filesystem::path& target = original.path();
    BackupJudgement judged;
    if (!CanReplace(original, options.backup, reason, &judged)) return false;

    MadeBackup made(ops, target, original.state());
    if (judged.leftCopy) {
        // Taken over: removed again unless this conversion completes, as
        // its temporary file is (the next run would not know it).
        made.path = options.backup;
        made.identity = judged.copy;
    }
    // The stopped conversions' leftovers went when the file was held (Hold).
    // In a group, the new file is made durable with the group's.
    CommitGroup* group = CommitGroup::Current();
    TemporaryFile temp(ops);
    Written wrote;
    if (!WriteTemporary(original, target, bytes, make, options, temp, wrote, group == nullptr, reason, ops))
        return false;

    Pending pending(original, temp, wrote, options, !options.backup.empty() && judged.free, made);
    if (group) group->Commit(pending);
    else CommitTogether({&pending}, true, ops);
    if (!pending.failed.empty()) return Fail(reason, pending.failed);
    return true;
}

}  // namespace

bool ReplaceFileSafely(OriginalFile& original, const std::vector<uint8_t>& bytes, const ReplaceOptions& options,
                       Reason& reason) {
    return Replace(original, &bytes, nullptr, options, reason);
}

bool ReplaceFileSafely(OriginalFile& original, const FileMaker& make, const ReplaceOptions& options,
                       Reason& reason) {
    return Replace(original, nullptr, &make, options, reason);
}

bool WriteCheckedTemporary(OriginalFile& original, const std::filesystem::path& target, const FileMaker& make,
                           const ReplaceOptions& options, TemporaryFile& temp, Reason& reason) {
    Written wrote;
    return WriteTemporary(original, target, nullptr, &make, options, temp, wrote, true, reason, original.ops());
}

bool Hold(OriginalFile& original, const std::filesystem::path& path, bool write, Reason& reason) {
    if (!original.Open(path, reason)) return false;
    if (write && RemoveStaleTemporaries(path, original.ops())) original.NoteLeftTemporary();
    return true;
}

bool Replace(OriginalFile& original, const FileMaker& make, const ReplaceOptions& options, Reason& reason) {
    if (options.write) return ReplaceFileSafely(original, make, options, reason);
    make([](const uint8_t*, size_t) {});
    return CanReplace(original, options.backup, reason);
}

bool ReplaceFileSafely(const std::filesystem::path& target, const std::vector<uint8_t>& bytes,
                       const ReplaceOptions& options, Reason& reason, FileOps& ops) {
    OriginalFile original(ops);
    if (!Hold(original, target, true, reason)) return false;
    return ReplaceFileSafely(original, bytes, options, reason);
}

}  // namespace qwz::replace
