// The file-system steps of a conversion: reading and holding the user's
// file, writing new files, and giving them names. Everything a conversion
// does to the disk goes through one FileOps, so a test can make any step
// fail, pause between steps, or run the whole conversion on a file system
// of its own that loses what was not yet flushed.
#pragma once

#include "bytes/StatusCode.h"
#include "platform/FileView.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qwz::platform {

// A file's path as text for a user's message (UTF-8, in double quotes).
std::string PathForMessage(const std::filesystem::path& path);

// An open file of FileOps: a descriptor on POSIX, a HANDLE on Windows.
struct FileHandle {
    intptr_t value = -1;
    bool open() const { return value != -1; }
};

// Which file (or folder) a name leads to and the state of its content. Two
// states are equal when they describe the same file with the same size and
// the same time of last change; the link count is not part of that.
struct FileState {
    uint64_t device = 0;    // st_dev; the volume's serial number
    uint64_t file = 0;      // st_ino; the file index
    uint64_t size = 0;
    int64_t modified = 0;   // in the system's own units
    uint64_t links = 0;     // names the file has
    // Bytes the disk holds of it (st_blocks; Windows: its allocation size),
    // fewer than its size where it has holes; 0 where not known.
    uint64_t allocated = 0;

    bool SameFile(const FileState& o) const { return device == o.device && file == o.file; }
    bool operator==(const FileState& o) const {
        return SameFile(o) && size == o.size && modified == o.modified;
    }
};

// What a name holds.
enum class NameKind {
    Missing,  // nothing
    Regular,  // a regular file
    Link,     // a symbolic link (only when the link is not followed)
    Folder,
    Other,    // a FIFO, a device, a socket
};

// A name in a folder and what it holds, a symbolic link there told as Link
// (Missing: the name went away while the folder was read).
struct FolderEntry {
    std::filesystem::path name;  // the file name only
    NameKind kind = NameKind::Other;
};

// The outcome of a step that refuses to replace an existing name.
enum class NoReplace {
    Done,         // the new name now points at the file
    NameTaken,    // something already has the new name; nothing changed
    Unsupported,  // the file system cannot do this kind of step
    Failed,       // another error; nothing changed
};

// The outcome of trying to take the conversion lock of a file.
enum class LockResult {
    Locked,  // this conversion holds it until Unlock
    Held,    // another conversion holds it
    Failed,
};

// The conversion lock of a file as TryLock took it. Where the lock is the
// open file's own (POSIX), it needs nothing here and ends when the file is
// closed, which is never before the replacement there. Where a file must be
// closed to be replaced (Windows), the lock lives apart from it and ends
// only at Unlock, so that the replacement happens under it.
struct FileLock {
    intptr_t value = -1;
};

// Whether another program opens the held file for writing.
enum class Writers {
    Unknown,  // the system cannot tell (or does not let this user ask)
    Watched,  // none has it open for writing now; one that opens it is seen
    Present,  // one has it open for writing already
};

// Every step fills `error` with a short Polish reason (the step, the file
// and the system's reason) when it fails.
class FileOps {
public:
    virtual ~FileOps() = default;

    // What `path` holds; `follow` follows a symbolic link at the name.
    // `state` is filled for a regular file and a folder.
    virtual NameKind Examine(const std::filesystem::path& path, bool follow, FileState* state) = 0;
    // Why Examine(path, true) found nothing there: the system's reason
    // alone, with the code NotFound when nothing has the name or a folder
    // on its way is missing (other codes: a loop of links, no right to
    // look).
    virtual Reason WhyMissing(const std::filesystem::path& path) {
        (void)path;
        return Reason(StatusCode::NotFound, "plik lub folder nie istnieje");
    }
    // When the name itself is a symbolic link, the path of what it leads
    // to in the end (absolute); false when it is none, or leads nowhere.
    // Under Wine a link of the host system is seen only this way.
    virtual bool LinkTarget(const std::filesystem::path& path, std::filesystem::path& target) {
        (void)path;
        (void)target;
        return false;
    }
    // The path a name really leads to, every link on its way followed
    // (absolute; on Windows as the system names the file, without its
    // long-path prefix). False when nothing is there or the system cannot
    // say. Under Wine a link of the host system shows only here.
    virtual bool RealPath(const std::filesystem::path& path, std::filesystem::path& real) {
        (void)path;
        (void)real;
        return false;
    }
    // Whether the user marked the file read-only (a read-only original is
    // refused, never fought).
    virtual bool IsReadOnly(const std::filesystem::path& path) = 0;
    // Whether another program holds the file so that it cannot be renamed or
    // replaced now (Windows share modes); `reason` says so.
    virtual bool IsInUse(const std::filesystem::path& path, Reason& reason) = 0;
    // The longest file name the folder's file system takes, in the units of
    // the system's own names (bytes; UTF-16 units on Windows).
    virtual size_t NameLimit(const std::filesystem::path& folder) = 0;
    // The entries of a folder with what each holds, in no particular
    // order; false when it cannot be read, with the system's reason alone
    // in `error` (the entries read before a failure are kept).
    virtual bool ReadFolder(const std::filesystem::path& folder, std::vector<FolderEntry>& entries,
                            Reason& error) = 0;
    // The names of the entries of a folder (file names only); false when it
    // cannot be read.
    bool ListFolder(const std::filesystem::path& folder, std::vector<std::filesystem::path>& names);

    // Opens a regular file for reading; anything else at the name (a
    // folder, a FIFO, a device) is refused without waiting on it. While the
    // file is open, other programs may read it but not write it where the
    // system can enforce that (Windows).
    virtual bool OpenToRead(const std::filesystem::path& path, FileHandle& file,
                            Reason& error) = 0;
    // Takes the conversion lock of an open file without waiting, into
    // `lock` (see FileLock).
    virtual LockResult TryLock(FileHandle file, FileLock& lock, Reason& error) = 0;
    // Ends a lock that TryLock took (and nothing where the lock ends with
    // the file).
    virtual void Unlock(FileLock& lock) { lock.value = -1; }
    // Starts watching for other programs that open the file for writing
    // (Linux: a read lease, which the system refuses while one has the file
    // open for writing and breaks when one opens it).
    virtual Writers WatchWriters(FileHandle file) {
        (void)file;
        return Writers::Unknown;
    }
    // Whether a program opened the watched file for writing since
    // WatchWriters said Watched.
    virtual bool WriterCame(FileHandle file) {
        (void)file;
        return false;
    }
    // The state of an open file.
    virtual bool StateOf(FileHandle file, FileState& state, Reason& error) = 0;
    // Reads up to `size` bytes at `offset`; `got` is 0 at the end of the file.
    virtual bool ReadAt(FileHandle file, uint64_t offset, uint8_t* data, size_t size, size_t& got,
                        Reason& error) = 0;

    // Sees the first `size` bytes of an open file in place (FileView), where
    // the system can and the file takes it; false: read the file instead.
    virtual bool MapToRead(FileHandle file, uint64_t size, FileView& view) {
        (void)file;
        (void)size;
        (void)view;
        return false;
    }

    // Creates a new file that must not exist yet, for writing, to stand for
    // `like`. Where the system has access rights, no one but its creator has
    // any on it until CarryIdentity gives it those of the file it stands
    // for. `exists` tells a taken name apart from other failures.
    virtual bool CreateNew(const std::filesystem::path& path, const std::filesystem::path& like,
                           FileHandle& file, bool& exists, Reason& error) = 0;
    // Gives the new file `to` what the system keeps of `from` beside its
    // bytes: POSIX its permission bits, group, owner, extended attributes
    // and access control list; Windows its attributes (hidden, system,
    // archive, not indexed) and the access list of its security descriptor.
    // At no moment does anyone have more rights on `to` than on `from`.
    // What the system refuses to carry (an owner without the privilege to
    // give it, an attribute this user may not set) is added to `notCarried`,
    // one Polish phrase each.
    virtual void CarryIdentity(FileHandle from, FileHandle to, std::vector<std::string>& notCarried) {
        (void)from;
        (void)to;
        (void)notCarried;
    }
    // Writes some of the bytes (at least one on success); `written` says how
    // many.
    virtual bool Write(FileHandle file, const uint8_t* data, size_t size, size_t& written,
                       Reason& error) = 0;
    // Forces the written bytes to the disk.
    virtual bool Flush(FileHandle file, Reason& error) = 0;
    // Forces to the disk the bytes of every closed file named, written
    // earlier without a Flush: one call per file system where the system
    // has one (Linux: syncfs, which also waits for every other write on
    // it), else a Flush of each. False with the first failure's reason:
    // then none of them counts as on the disk.
    virtual bool FlushFiles(const std::vector<std::filesystem::path>& paths, Reason& error);
    // A hint that the bytes just written at [offset, offset + size) may go
    // to the disk now, while more is being made, so that the Flush at the
    // end has less left to do (Linux). Nothing is promised by it; nothing
    // happens where the system has no such call.
    virtual void StartWriteback(FileHandle file, uint64_t offset, uint64_t size) {
        (void)file;
        (void)offset;
        (void)size;
    }
    // Closes the file; the handle is invalid afterwards even on failure.
    virtual bool Close(FileHandle& file, Reason& error) = 0;
    // Reads a whole file (OpenToRead, ReadAt, Close).
    virtual bool ReadAll(const std::filesystem::path& path, std::vector<uint8_t>& out,
                         Reason& error);

    // A second name for an existing file (a hard link); never replaces.
    virtual NoReplace Link(const std::filesystem::path& existing,
                           const std::filesystem::path& newName, Reason& error) = 0;
    // Moves a file to a name that must be free.
    virtual NoReplace RenameNoReplace(const std::filesystem::path& from,
                                      const std::filesystem::path& to, Reason& error) = 0;
    // Moves a file over another in one step (the target may exist).
    virtual bool RenameReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                               Reason& error) = 0;
    // Swaps the files of two names in one step (Linux); Unsupported where
    // the system or the file system cannot, and nothing changed.
    virtual NoReplace Exchange(const std::filesystem::path& a, const std::filesystem::path& b,
                               Reason& error) {
        (void)a;
        (void)b;
        (void)error;
        return NoReplace::Unsupported;
    }
    // Moves the open file `file` itself (not whatever its name leads to by
    // now) to the name `to`, which must be free; the file stays open.
    // Unsupported where the system cannot (POSIX: Exchange does the job
    // there), and nothing changed.
    virtual NoReplace RenameHeld(FileHandle file, const std::filesystem::path& to, Reason& error) {
        (void)file;
        (void)to;
        (void)error;
        return NoReplace::Unsupported;
    }
    // Makes a new folder at `path`; a link or anything else already there
    // is never followed or replaced (NameTaken). Unsupported where this
    // FileOps makes no folders.
    virtual NoReplace CreateFolder(const std::filesystem::path& path, Reason& error) {
        (void)path;
        error = Reason(StatusCode::SystemError, "nie można utworzyć folderu " + PathForMessage(path));
        return NoReplace::Unsupported;
    }
    // Makes the names in a folder durable (POSIX); nothing to do on Windows.
    virtual bool SyncFolder(const std::filesystem::path& folder, Reason& error) = 0;
    // Removes a file.
    virtual bool Remove(const std::filesystem::path& path, Reason& error) = 0;
    // Whether a file can be replaced by a rename while it is open here
    // (POSIX); where it cannot (Windows), the original is moved aside by
    // RenameHeld, or else closed just before the final rename, its lock
    // kept.
    virtual bool CanReplaceOpenFile() const { return true; }
};

// Reads up to `n` bytes from the start of an open file into `out`, which
// ends up as long as what was read.
bool ReadStart(FileOps& ops, FileHandle file, size_t n, std::vector<uint8_t>& out, Reason& error);

// The operating system's own file system.
FileOps& SystemFileOps();

}  // namespace qwz::platform
