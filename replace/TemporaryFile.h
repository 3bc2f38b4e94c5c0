// The temporary files of a replacement: the short names they take beside
// the user's file, which tell whose they are so that leftovers of a
// stopped conversion are found again, and the file itself, owned until it
// takes the user's name and removed on every other way out.
#pragma once

#include "bytes/StatusCode.h"
#include "replace/Seam.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace qwz::replace {

// The name of a temporary file beside `target`. It is short whatever the
// target's name (so that every name the file system takes can be
// converted), says whose it is ("~qwz-"), and carries a hash of the target's
// name, so that leftovers of that file's conversions are found again:
// "~qwz-<hash>-<tag>.tmp", both eight hexadecimal digits.
std::filesystem::path TemporaryNameBeside(const std::filesystem::path& target, uint32_t tag);

// "~qwz-<hash>-": how every temporary name of `target` begins.
std::filesystem::path::string_type TemporaryPrefix(const std::filesystem::path& target);

// Whether `name` is a temporary name that TemporaryNameBeside gives `target`.
bool IsTemporaryNameOf(const std::filesystem::path& name, const std::filesystem::path& target);

// The name the original itself is moved to for a moment where an open file
// cannot be replaced (Windows): "~qwz-<hash>-<tag>.org" beside `target`,
// with a fresh tag each call. Only the original ever has such a name, so a
// later run can tell it from a temporary file: it puts it back under the
// target's name when that name is empty, and never removes it while it is
// the file's only name.
std::filesystem::path AsideNameBeside(const std::filesystem::path& target);
bool IsAsideNameOf(const std::filesystem::path& name, const std::filesystem::path& target);

// The original that a conversion stopped between moving it aside and putting
// the new file under its name left beside `target` (the first found), or
// empty.
std::filesystem::path OriginalLeftAside(const std::filesystem::path& target, FileOps& ops);

// Gives the file at `from` the name `to` by steps that never replace what
// has `to`: a rename that refuses a taken name, or where the file system
// has none, a second name and then `from` removed, so that the file has a
// name at every moment. NameTaken: `to` is someone's. Done with `error` set:
// the file has its new name, and `from` still leads to it (it could not be
// removed). Every move of a user's file or a kept original to a free name
// takes this one road, in a conversion and in a restore alike.
NoReplace MoveWithoutReplacing(FileOps& ops, const std::filesystem::path& from, const std::filesystem::path& to,
                               Reason& error);

// Moves the file at `from` to the first free name of "NAME (LABEL).EXT",
// "NAME (LABEL 2).EXT", ... beside `file` (NAME.EXT), by steps that never
// replace anything, and returns that name; empty when none could be had.
// None of those names is a backup's name or a temporary file's.
std::filesystem::path KeepBeside(FileOps& ops, const std::filesystem::path& from, const std::filesystem::path& file,
                                 const std::string& label);
std::filesystem::path NameBeside(const std::filesystem::path& file, const std::string& label, int n);

// Removes the temporary files that conversions of `target` left behind when
// they were stopped (killed, or the machine went down) before they could
// clean up. Call it only while holding target's conversion lock: then no
// running conversion owns one of them. They only ever hold converted bytes.
// An original left aside (AsideNameBeside) goes when the file has another
// name (its backup); as its only name it is kept as "NAME (oryginał).EXT".
// Inside a LeftoverIndex::Scope the folder is not listed again: the index
// says which there are. Tells whether a temporary file of target was there.
bool RemoveStaleTemporaries(const std::filesystem::path& target, FileOps& ops = SystemFileOps());

// Removes a file, trying again a few times: a file just written can be
// held for a moment by a virus scanner or an indexer.
bool RemoveWithRetries(FileOps& ops, const std::filesystem::path& path, Reason& error);

// A temporary file, owned until it has taken the original's name: on every
// other way out it is closed and removed.
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

// Creates a new temporary file beside `target` under a name no other file
// has (a taken name is another try), and gives it what the system keeps of
// the open file `like` beside its bytes (FileOps::CarryIdentity); what it
// could not carry is added to `notCarried` where given.
bool CreateTemporary(FileOps& ops, const std::filesystem::path& target, FileHandle like, TemporaryFile& temp,
                     Reason& error, std::vector<std::string>* notCarried = nullptr);

// The one way a new file is written beside `target`, the converted file
// and a copied backup alike: created under a temporary name (CreateTemporary,
// carrying what the system keeps of `like`), filled by `fill` (false with
// its reason to stop), flushed to the disk unless `flush` is false (a
// group's files are made durable together: FlushFiles), its state then put
// in `flushed`, and closed. The caller then reads it back and gives it a
// name.
bool WriteTemporaryFile(FileOps& ops, const std::filesystem::path& target, FileHandle like, TemporaryFile& temp,
                        const std::function<bool(Reason& error)>& fill, FileState& flushed, Reason& error,
                        std::vector<std::string>* notCarried = nullptr, bool flush = true);

// Writes all of `size` bytes in writes of at most `chunk`, carrying on
// after short writes; `path` names the file in the reason of a failure.
bool WriteAll(FileOps& ops, FileHandle file, const uint8_t* data, size_t size, size_t chunk,
              const std::filesystem::path& path, Reason& error);

}  // namespace qwz::replace
