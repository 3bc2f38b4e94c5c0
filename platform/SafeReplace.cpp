#include "platform/SafeReplace.h"

#include "platform/ContentHash.h"
#include "platform/Leftovers.h"
#include "platform/Parallel.h"
#include "platform/PathNames.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <thread>

namespace qwz::platform {
namespace {

constexpr int kTemporaryNameAttempts = 16;
constexpr int kRemoveAttempts = 3;
constexpr size_t kCopyChunk = size_t(1) << 20;
// A part of a made file from this size on is digested beside its write.
constexpr size_t kDigestBeside = size_t(1) << 20;

uint32_t NextTag() {
    static std::atomic<uint32_t> counter{0};
    static const uint32_t seed = [] {
        std::random_device rd;
        return uint32_t(rd()) ^
               uint32_t(std::chrono::steady_clock::now().time_since_epoch().count());
    }();
    return seed + 0x9E3779B9u * ++counter;
}

using NativeString = std::filesystem::path::string_type;
using NativeChar = NativeString::value_type;

// FNV-1a over the name's code units. Windows names differ in letter case
// only when they are the same file, so there the ASCII letters are folded.
uint32_t NameHash(const std::filesystem::path& target) {
    uint32_t h = 2166136261u;
    const NativeString name = target.filename().native();
    for (NativeChar c : name) {
#ifdef _WIN32
        if (c >= NativeChar('A') && c <= NativeChar('Z')) c = NativeChar(c - 'A' + 'a');
#endif
        for (size_t byte = 0; byte < sizeof c; ++byte) {
            h ^= uint32_t((uint64_t(c) >> (8 * byte)) & 0xFF);
            h *= 16777619u;
        }
    }
    return h;
}

std::string Hex8(uint32_t v) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", unsigned(v));
    return hex;
}

// A file just written can be held for a moment by a virus scanner or an
// indexer; a few tries keep it from being left behind.
bool RemoveWithRetries(FileOps& ops, const std::filesystem::path& path, Reason& error) {
    for (int attempt = 1;; ++attempt) {
        if (ops.Remove(path, error)) return true;
        if (attempt == kRemoveAttempts) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Owns the temporary file until it has taken the original's name: on every
// other way out it closes and removes it.
class TemporaryFile {
public:
    explicit TemporaryFile(FileOps& ops) : ops_(ops) {}
    ~TemporaryFile() {
        Reason ignored;
        if (file.open()) ops_.Close(file, ignored);
        if (!path.empty() && !handedOver) RemoveWithRetries(ops_, path, ignored);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    std::filesystem::path path;
    FileHandle file;
    bool handedOver = false;

private:
    FileOps& ops_;
};

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

// Creates a new temporary file beside `target` under a name no other file
// has (a taken name is another try), with the target's access rights.
bool CreateTemporary(FileOps& ops, const std::filesystem::path& target, TemporaryFile& temp,
                     Reason& error) {
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        std::filesystem::path candidate = TemporaryNameBeside(target, NextTag());
        bool exists = false;
        if (ops.CreateNew(candidate, target, temp.file, exists, error)) {
            temp.path = candidate;
            return true;
        }
        if (!exists) return false;
    }
    return false;
}

bool Fail(Reason& reason, Reason text) {
    reason = std::move(text);
    return false;
}

// Writes all of `size` bytes, carrying on after short writes.
bool WriteAll(FileOps& ops, FileHandle file, const uint8_t* data, size_t size, size_t chunk,
              const std::filesystem::path& path, Reason& error) {
    chunk = std::max<size_t>(chunk, 1);
    for (size_t done = 0; done < size;) {
        size_t written = 0;
        const size_t want = std::min(chunk, size - done);
        if (!ops.Write(file, data + done, want, written, error)) return false;
        if (written == 0 || written > want) {
            error = Reason(StatusCode::IoError, "nie można zapisać pliku " + PathForMessage(path));
            return false;
        }
        done += written;
    }
    return true;
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

// Thrown by the part writer of a made file when a write fails: the making
// stops there, and the reason is the write's.
struct PartNotWritten {};

// The new bytes complete on disk under a temporary name, checked: the bytes
// in memory, or those `make` hands over, written, flushed and read back.
// `bytes` is null for a made file.
bool WriteTemporary(const std::filesystem::path& target, const std::vector<uint8_t>* bytes, const FileMaker* make,
                    const ReplaceOptions& options, TemporaryFile& temp, Reason& reason, FileOps& ops) {
    Reason error;
    if (!CreateTemporary(ops, target, temp, error)) return Fail(reason, error);

    ContentHash written;
    std::vector<uint8_t> back;
    if (bytes) {
        if (!WriteAll(ops, temp.file, bytes->data(), bytes->size(), options.writeChunk, temp.path, error))
            return Fail(reason, error);
    } else {
        try {
            back = (*make)([&](const uint8_t* data, size_t size) {
                // A large part is digested on another core while it is
                // written.
                const uint64_t offset = written.Size();
                bool wrote = false;
                ForEachInParallel(2, size >= kDigestBeside ? kParallelThreshold : 0, [&](size_t i) {
                    if (i == 0) wrote = WriteAll(ops, temp.file, data, size, options.writeChunk, temp.path, error);
                    else written.Add(data, size);
                });
                if (!wrote) throw PartNotWritten{};
                // The part goes to the disk while the next is made.
                ops.StartWriteback(temp.file, offset, size);
            });
        } catch (const PartNotWritten&) {
            return Fail(reason, error);
        }
    }
    if (!ops.Flush(temp.file, error)) return Fail(reason, error);
    if (!ops.Close(temp.file, error)) return Fail(reason, error);

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
    if (!CreateTemporary(ops, original.path(), copy, error)) return Fail(reason, error);
    FileState identity;
    if (!ops.StateOf(copy.file, identity, error)) return Fail(reason, error);

    std::vector<uint8_t> chunk(size_t(std::min<uint64_t>(original.state().size, kCopyChunk)) + 1);
    uint64_t copied = 0;
    for (;;) {
        size_t got = 0;
        if (!ops.ReadAt(original.handle(), copied, chunk.data(), chunk.size(), got, error))
            return Fail(reason, error);
        if (got == 0) break;
        if (!WriteAll(ops, copy.file, chunk.data(), got, kCopyChunk, copy.path, error))
            return Fail(reason, error);
        copied += got;
    }
    if (copied != original.state().size) return Fail(reason, ChangedDuringConversion(original.path()));
    if (!ops.Flush(copy.file, error)) return Fail(reason, error);
    if (!ops.Close(copy.file, error)) return Fail(reason, error);

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

    switch (ops.RenameNoReplace(copy.path, backup, error)) {
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

}  // namespace

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

std::filesystem::path TemporaryNameBeside(const std::filesystem::path& target, uint32_t tag) {
    const std::string name = "~qwz-" + Hex8(NameHash(target)) + "-" + Hex8(tag) + ".tmp";
    return target.parent_path() / std::filesystem::path(name);
}

NativeString TemporaryPrefix(const std::filesystem::path& target) {
    return std::filesystem::path("~qwz-" + Hex8(NameHash(target)) + "-").native();
}

bool IsTemporaryNameOf(const std::filesystem::path& name, const std::filesystem::path& target) {
    // Native strings: no conversion that could fail on a name the locale
    // cannot spell.
    const NativeString n = name.filename().native();
    const NativeString prefix = TemporaryPrefix(target);
    const NativeString tmp = std::filesystem::path(".tmp").native();
    if (n.size() != prefix.size() + 8 + tmp.size() || n.compare(0, prefix.size(), prefix) != 0 ||
        n.compare(prefix.size() + 8, tmp.size(), tmp) != 0)
        return false;
    return std::all_of(n.begin() + long(prefix.size()), n.begin() + long(prefix.size()) + 8,
                       [](NativeChar c) {
                           return (c >= NativeChar('0') && c <= NativeChar('9')) ||
                                  (c >= NativeChar('a') && c <= NativeChar('f'));
                       });
}

void RemoveStaleTemporaries(const std::filesystem::path& target, FileOps& ops) {
    std::vector<std::filesystem::path> paths;
    if (LeftoverIndex* index = LeftoverIndex::Current()) {
        paths = index->Take(target, ops);
    } else {
        std::vector<std::filesystem::path> names;
        if (!ops.ListFolder(FolderOf(target), names)) return;
        for (const std::filesystem::path& name : names)
            if (IsTemporaryNameOf(name, target)) paths.push_back(target.parent_path() / name);
    }
    for (const std::filesystem::path& path : paths) {
        Reason ignored;
        if (ops.Examine(path, false, nullptr) == NameKind::Regular) ops.Remove(path, ignored);
    }
}

namespace {

// Whether the file at the backup name is a complete copy of the original
// that a conversion of it left when it was stopped between its backup copy
// and its last step: the same bytes, and a temporary file of the
// original's beside it. Fills `copy` with the backup's state.
bool LeftByStoppedCopy(OriginalFile& original, const std::filesystem::path& backup, FileState& copy) {
    FileOps& ops = original.ops();
    if (ops.Examine(backup, false, &copy) != NameKind::Regular || copy.SameFile(original.state()) ||
        copy.size != original.state().size)
        return false;
    std::vector<std::filesystem::path> names;
    if (!ops.ListFolder(FolderOf(original.path()), names) ||
        std::none_of(names.begin(), names.end(),
                     [&](const std::filesystem::path& n) { return IsTemporaryNameOf(n, original.path()); }))
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

// The new file takes the original's name in one step. Where two names can
// be swapped, they are, and the file swapped out must be the very file
// that was read, unchanged, and not opened for writing meanwhile; if not,
// it is swapped back and nothing is replaced. The original's name then
// always holds one of the two files, and no program's save that came
// between the last look and the step is replaced unseen.
bool PutInPlace(OriginalFile& original, TemporaryFile& temp, Reason& reason) {
    FileOps& ops = original.ops();
    const std::filesystem::path& target = original.path();
    Reason error;
    switch (ops.Exchange(temp.path, target, error)) {
    case NoReplace::Done: break;
    case NoReplace::Unsupported:
        if (!ops.CanReplaceOpenFile()) {
            // Closed to be replaced, its lock kept: no other conversion
            // starts before this one ends. A last look at the name sees
            // what another program did with the file up to that moment.
            original.LetGoOfFile();
            if (!original.Unchanged(reason)) return false;
        }
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
    if (ops.Exchange(temp.path, target, error) != NoReplace::Done) {
        // Both files are kept: the new one in place, the one swapped out
        // under the temporary name.
        temp.handedOver = true;
        return Fail(reason, ChangedDuringConversion(target) + "; jego treść jest teraz w pliku " +
                                PathForMessage(temp.path));
    }
    return Fail(reason, why.empty() ? ChangedDuringConversion(target) : why);
}

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
    RemoveStaleTemporaries(target, ops);
    TemporaryFile temp(ops);
    if (!WriteTemporary(target, bytes, make, options, temp, reason, ops)) return false;

    Reason ignored;
    if (!options.backup.empty() && judged.free) {
        if (!MakeBackup(original, options.backup, made, reason)) return false;
        // The backup is on the disk before the original's name changes, so
        // that no power loss can keep the one without the other.
        ops.SyncFolder(FolderOf(target), ignored);
    }

    // Nothing may have written the original, or put another file under its
    // name, since it was read.
    if (!original.Unchanged(reason) || !original.Unwritten(reason)) return false;
    if (!PutInPlace(original, temp, reason)) return false;
    made.kept = true;

    // The new names are in place; a folder that cannot be synced leaves them
    // as they are, which is what a later flush by the system would give.
    ops.SyncFolder(FolderOf(target), ignored);
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

bool ReplaceFileSafely(const std::filesystem::path& target, const std::vector<uint8_t>& bytes,
                       const ReplaceOptions& options, Reason& reason, FileOps& ops) {
    OriginalFile original(ops);
    if (!original.Open(target, reason)) return false;
    return ReplaceFileSafely(original, bytes, options, reason);
}

}  // namespace qwz::platform
