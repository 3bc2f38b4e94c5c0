// The user's file while it is converted: open, locked against a second
// conversion of it, and its state taken when it was read, so that the
// replacement can tell whether anything changed it in the meantime.
#pragma once

#include "replace/Seam.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace qwz::replace {

// How long a conversion waits for another conversion of the same file
// before it gives up.
inline constexpr std::chrono::milliseconds kLockWait{2000};

class OriginalFile {
public:
    explicit OriginalFile(FileOps& ops = SystemFileOps()) : ops_(ops) {}
    ~OriginalFile();
    OriginalFile(const OriginalFile&) = delete;
    OriginalFile& operator=(const OriginalFile&) = delete;

    // Opens the file at `path` and takes its conversion lock, waiting up to
    // `wait` for a conversion that holds it. Once the lock is taken, the
    // name must still lead to the locked file (a conversion that held it
    // may have replaced it meanwhile; then the new file is opened instead).
    // An empty name gets back the original that a conversion stopped while
    // it was aside left beside it (OriginalLeftAside).
    // False with a Polish reason when the file is missing, not a regular
    // file, cannot be opened or stays locked.
    bool Open(const std::filesystem::path& path, Reason& reason,
              std::chrono::milliseconds wait = kLockWait);

    // Reads the whole file through the open handle and takes its state.
    // Refuses up front a file that cannot fit in memory, and a file that
    // changed while it was read.
    bool Read(std::vector<uint8_t>& out, Reason& reason);

    // Hands the file's bytes, from the start, to `part` a piece of at most
    // `chunk` bytes at a time, read through the open handle, until the end
    // or until `part` returns false (it sets `reason` then). Returns the
    // bytes handed over; false with the read's reason when a read fails.
    bool ReadInParts(size_t chunk, const std::function<bool(const uint8_t*, size_t, Reason&)>& part,
                     uint64_t& handed, Reason& reason);

    // Sees the whole file in place (FileView) where the system can, and
    // takes its state, with the refusals of Read. True with `view` empty
    // when the file cannot be seen in place: Read it instead. Another
    // program may still change what the view shows: after using it, ask
    // view.Intact() and Unchanged().
    bool See(FileView& view, Reason& reason);

    // Whether the file at the name is still the one that was read, unchanged
    // (asked of the name alone once the file is let go). False with a reason
    // when it is not.
    bool Unchanged(Reason& reason);

    // Whether no other program has had the file open for writing since it
    // was opened, where the system can tell (see FileOps::WatchWriters).
    // False with a reason when one has.
    bool Unwritten(Reason& reason);

    // Closes the file but keeps its lock, for a system where an open file
    // cannot be replaced: its replacement still happens under the lock.
    void LetGoOfFile();

    // Closes the file and ends the lock.
    void Close();

    const std::filesystem::path& path() const { return path_; }
    FileHandle handle() const { return file_; }
    const FileState& state() const { return state_; }
    // What the system said of writers when the file was opened.
    Writers writers() const { return writers_; }
    // Whether a stopped conversion's temporary file lay beside the file
    // when it was held (and was taken away then: Hold).
    bool leftTemporary() const { return leftTemporary_; }
    void NoteLeftTemporary() { leftTemporary_ = true; }
    FileOps& ops() const { return ops_; }

private:
    FileOps& ops_;
    std::filesystem::path path_;
    FileHandle file_;
    FileLock lock_;
    FileState state_;
    Writers writers_ = Writers::Unknown;
    bool leftTemporary_ = false;
};

// The text that says another program opened a file for writing while it
// was converted.
Reason OpenForWriting(const std::filesystem::path& path);

// The text that says a file changed while it was converted.
Reason ChangedDuringConversion(const std::filesystem::path& path);

}  // namespace qwz::replace
