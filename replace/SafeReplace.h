// Replacing a user's file without ever losing it.
//
// The original is held open and locked for the whole conversion
// (OriginalFile). The new bytes go to a temporary file beside it (created
// exclusively, written, flushed, closed, read back and verified); then the
// backup name is made to hold the original without replacing anything that
// already has that name (a second name for the same file, or a checked copy
// where the file system has no links), and is made durable; then, if the
// original is still the file that was read, unchanged, and no other program
// opened it for writing meanwhile (where the system tells), the temporary
// file takes its name in one step: a swap of the two names where the system
// has one, checked after it and undone when what was swapped out is not the
// file that was read. Where an open file cannot be replaced (Windows), the
// original, still open and locked, is moved aside by its handle and the new
// file moved into the freed name by a step that refuses to replace. At every
// moment the user's name, or a clearly named file beside it, holds each of
// the user's complete files. Any failure removes what this replacement made
// (its temporary file, its backup) and nothing else: a file another program
// saved or wrote while the names changed is kept beside the original.
// Replacements on a thread of a batch (CommitGroup::Current) leave their
// flush and the steps after the read-back to their group, which takes them
// for many files at once with the same guarantees (CommitGroup).
#pragma once

#include "replace/BackupCopy.h"
#include "replace/OriginalFile.h"
#include "replace/Seam.h"
#include "replace/TemporaryFile.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace qwz::replace {

struct ReplaceOptions {
    // False: a dry run (Replace), which writes nothing.
    bool write = true;
    // Where the original is kept; empty: the original is not kept.
    std::filesystem::path backup;
    // Checks the file's bytes once they have been read back from the
    // temporary file and found equal to what was written (it is handed the
    // copy in memory, or for a made file the bytes read back, or seen in
    // place); returns false with a reason to stop. A made file's bytes are
    // not read after the check, which may give their pages back; the copy
    // in memory is the caller's and stays as it is.
    std::function<bool(const uint8_t* written, size_t size, Reason& reason)> verify;
    // Largest single write; tests make it small to get several writes.
    // Writes of 1 and 2 MB were measured at a quarter of the speed of 4 MB
    // and more into a Linux page cache (ext4), 8 MB as fast as any.
    size_t writeChunk = size_t(8) << 20;
    // When given, gets the digest (ContentHash) of the new file's bytes once
    // they have been read back and found as written.
    uint64_t* digest = nullptr;
    // When given, gets what the new file could not be given of what the
    // system keeps of the original beside its bytes (its owner, an extended
    // attribute: FileOps::CarryIdentity), one Polish phrase each.
    std::vector<std::string>* notCarried = nullptr;
};

// Replaces the held original by `bytes` as described at the top. Returns
// false with a short Polish reason when it did not happen; the original is
// then as it was and nothing this replacement made is left. True means the
// new file is in place and, when asked, the original is under
// options.backup. The original stays open (and locked) until its owner
// closes it. The original is held by Hold, which takes away what stopped
// runs left beside it.
bool ReplaceFileSafely(OriginalFile& original, const std::vector<uint8_t>& bytes,
                       const ReplaceOptions& options, Reason& reason);

// Makes a new file a part at a time: hands its bytes, in order, to `part`,
// and returns memory of the process's that the read-back may use (its
// content does not matter; empty for none). Making stops when `part` or the
// maker throws; what the maker throws leaves ReplaceFileSafely as it is.
using FilePart = std::function<void(const uint8_t* data, size_t size)>;
using FileMaker = std::function<std::vector<uint8_t>(const FilePart& part)>;

// ReplaceFileSafely with the new file made while it is written: the file
// never has to be whole in memory. Written bytes are digested on their way;
// the read-back (the file seen in place where the system can, else read
// into memory) must give as many bytes with the same digest, and is what
// options.verify is handed.
bool ReplaceFileSafely(OriginalFile& original, const FileMaker& make, const ReplaceOptions& options,
                       Reason& reason);

// The first step of ReplaceFileSafely with a made file, for a new file
// elsewhere: written to a temporary file beside `target` (carrying what the
// system keeps of the held original), flushed, read back, found as written
// and checked by options.verify. `temp` owns it until it is given a name.
bool WriteCheckedTemporary(OriginalFile& original, const std::filesystem::path& target, const FileMaker& make,
                           const ReplaceOptions& options, TemporaryFile& temp, Reason& reason);

// What ReplaceFileSafely refuses before it writes anything: a read-only
// original, one that another program holds (Windows) or has open for
// writing (Linux), and a backup name that is taken (`backup` empty: none is
// kept). A backup name that holds a copy of the original with the same
// bytes, beside a temporary file of the original's, is what a conversion
// stopped between its backup copy and its last step left (on a file system
// without links): it is taken over as this conversion's backup, and removed
// again should this one not complete. A dry run asks this to decide as the
// real conversion would.
bool CanReplace(OriginalFile& original, const std::filesystem::path& backup, Reason& reason,
                BackupJudgement* judged = nullptr);

// The same for a file that is held here first (Hold).
bool ReplaceFileSafely(const std::filesystem::path& target, const std::vector<uint8_t>& bytes,
                       const ReplaceOptions& options, Reason& reason,
                       FileOps& ops = SystemFileOps());

// The engine's two steps. Hold: the user's file opened and locked for a
// conversion or a restore (OriginalFile::Open; the lock lasts until
// `original` is closed) and, when the run is to write, what stopped runs on
// it left beside it removed under that lock (RemoveStaleTemporaries),
// whether or not the file is rewritten after all.
bool Hold(OriginalFile& original, const std::filesystem::path& path, bool write, Reason& reason);

// Replace: with options.write, the file `make` makes takes the held
// original's place (ReplaceFileSafely); without, the file is made and
// thrown away, and what the replacement would refuse before writing is
// asked (CanReplace), so that a dry run decides as the real run would.
bool Replace(OriginalFile& original, const FileMaker& make, const ReplaceOptions& options, Reason& reason);

}  // namespace qwz::replace
