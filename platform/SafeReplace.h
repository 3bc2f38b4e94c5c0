// Replacing a user's file without ever losing it.
//
// The new bytes go to a temporary file beside the original (created
// exclusively, written, flushed, closed, read back and verified); then the
// original gets its backup name without replacing anything that already has
// that name; then the temporary file takes the original's name in one step.
// Any failure removes the temporary file and puts back whatever was moved,
// so the original stays byte for byte as it was.
//
// Every file-system step goes through FileOps, so a test can make each one
// fail in turn.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace qwz::platform {

// An open file of FileOps: a descriptor on POSIX, a HANDLE on Windows.
struct FileHandle {
    intptr_t value = -1;
    bool open() const { return value != -1; }
};

// The outcome of a step that refuses to replace an existing name.
enum class NoReplace {
    Done,         // the new name now points at the file
    NameTaken,    // something already has the new name; nothing changed
    Unsupported,  // the file system cannot do this kind of step
    Failed,       // another error; nothing changed
};

// The file-system steps of a safe replacement. Each fills `error` with a
// short Polish reason (the step, the file and the system's reason) when it
// fails.
class FileOps {
public:
    virtual ~FileOps() = default;

    // Whether the user marked the file read-only (a read-only original is
    // refused, never fought).
    virtual bool IsReadOnly(const std::filesystem::path& path) = 0;
    // Whether another program holds the file so that it cannot be renamed or
    // replaced now (Windows share modes); `reason` says so. A file in that
    // state could not lose its backup name again once it had one.
    virtual bool IsInUse(const std::filesystem::path& path, std::string& reason) = 0;
    // Creates a new file that must not exist yet, for writing, with the
    // access rights of `like` where the system has them. `exists` tells a
    // taken name apart from other failures.
    virtual bool CreateNew(const std::filesystem::path& path, const std::filesystem::path& like,
                           FileHandle& file, bool& exists, std::string& error) = 0;
    // Writes some of the bytes (at least one on success); `written` says how
    // many.
    virtual bool Write(FileHandle file, const uint8_t* data, size_t size, size_t& written,
                       std::string& error) = 0;
    // Forces the written bytes to the disk.
    virtual bool Flush(FileHandle file, std::string& error) = 0;
    // Closes the file; the handle is invalid afterwards even on failure.
    virtual bool Close(FileHandle& file, std::string& error) = 0;
    // Reads a whole file back (through the platform's whole-file read).
    virtual bool ReadAll(const std::filesystem::path& path, std::vector<uint8_t>& out,
                         std::string& error);
    // A second name for an existing file (a hard link).
    virtual NoReplace Link(const std::filesystem::path& existing,
                           const std::filesystem::path& newName, std::string& error) = 0;
    // Moves a file to a name that must be free.
    virtual NoReplace RenameNoReplace(const std::filesystem::path& from,
                                      const std::filesystem::path& to, std::string& error) = 0;
    // Moves a file over another in one step (the target may exist).
    virtual bool RenameReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                               std::string& error) = 0;
    // Makes the names in a folder durable (POSIX); nothing to do on Windows.
    virtual bool SyncFolder(const std::filesystem::path& folder, std::string& error) = 0;
    // Removes a file.
    virtual bool Remove(const std::filesystem::path& path, std::string& error) = 0;
};

// The operating system's own file system.
FileOps& SystemFileOps();

struct ReplaceOptions {
    // Where the original is kept; empty: the original is not kept.
    std::filesystem::path backup;
    // Checks the file's bytes once they have been read back from the
    // temporary file and found equal to what was written (it is handed the
    // copy in memory); returns false with a reason to stop.
    std::function<bool(const std::vector<uint8_t>& written, std::string& reason)> verify;
    // Largest single write; tests make it small to get several writes.
    size_t writeChunk = size_t(1) << 20;
};

// Replaces the file at `target` by `bytes` as described at the top. Returns
// false with a short Polish reason when it did not happen; the original is
// then as it was and no temporary file is left. True means the new file is in
// place and, when asked, the original is under options.backup.
bool ReplaceFileSafely(const std::filesystem::path& target, const std::vector<uint8_t>& bytes,
                       const ReplaceOptions& options, std::string& reason,
                       FileOps& ops = SystemFileOps());

// The name of a temporary file beside `target` ("<name>.<tag>.tmp").
std::filesystem::path TemporaryNameBeside(const std::filesystem::path& target, uint32_t tag);

// Whether `name` is a temporary name that TemporaryNameBeside gives `target`.
bool IsTemporaryNameOf(const std::filesystem::path& name, const std::filesystem::path& target);

// Removes the temporary files a conversion of `target` left behind when it
// was stopped (killed, or the machine went down) before it could clean up.
// They only ever hold converted bytes: the original never leaves its name
// until the last step. A conversion running at the same moment in another
// process then fails cleanly at its final rename.
void RemoveStaleTemporaries(const std::filesystem::path& target);

// Whether two names lead to the same file.
bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// A file's path as text for a user's message (UTF-8).
std::string PathForMessage(const std::filesystem::path& path);

}  // namespace qwz::platform
