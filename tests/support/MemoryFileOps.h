// A whole file system in memory for tests, behind the same FileOps as the
// system's own: folders, regular files, symbolic links, other entries (a
// FIFO), hard links, read-only marks and per-file conversion locks, with the
// answers and Polish reasons of the POSIX steps. Paths are '/'-separated;
// a relative path is taken from the root. It also records what is durable:
// the bytes of a file up to its last flush, and the names of a folder up to
// its last sync, so that a test can list every state a power loss could
// leave (StatesAfterPowerLoss). Safe to use from several threads at once.
#pragma once

#include "platform/FileOps.h"

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace qwz::test {

class MemoryFileOps final : public platform::FileOps {
public:
    using Path = std::filesystem::path;
    using Bytes = std::vector<uint8_t>;
    // A folder's content by name (UTF-8): a regular file's bytes as text, or
    // "@folder", "@link:TARGET", "@fifo"; Make also takes "@hard:NAME", a
    // second name of the file NAME beside it.
    using Folder = std::map<std::string, std::string>;

    MemoryFileOps();

    // What the file system can do.
    bool hardLinks = true;  // false: Link is Unsupported (FAT, some shares)
    bool exchange = true;   // false: Exchange is Unsupported
    bool renameHeld = false;  // true: as on Windows, RenameHeld moves an open file, none is replaced

    size_t nameLimit = 255;
    // Called after every step that changes the disk: a write, a flush, a
    // name made, moved or removed, a folder synced.
    std::function<void()> afterStep;

    // The test's own making and looking; all of it durable, no step counted.
    void MakeFolder(const Path& path);  // with every folder on its way
    // A regular file with these bytes (the folders on its way made); an
    // existing file is overwritten in place. Returns the path.
    Path Put(const Path& path, const Bytes& bytes);
    Path Put(const Path& path, const std::string& text) { return Put(path, Bytes(text.begin(), text.end())); }
    void MakeLink(const Path& target, const Path& link);
    void MakeFifo(const Path& path);
    void SetReadOnly(const Path& path, bool readOnly = true);
    // The file reads as its bytes and then zeros up to `size`, which take
    // no memory (a sparse file).
    void Grow(const Path& path, uint64_t size);
    void Make(const Path& folder, const Folder& content);
    // The bytes of the regular file at the path (links followed); empty
    // when there is none.
    Bytes Read(const Path& path) const;
    Folder Snapshot(const Path& folder) const;
    // Every state of a folder's regular files that a power loss now would
    // leave: its synced names with any of the name changes since in their
    // order, each file with the bytes it had at its last flush.
    std::vector<std::map<std::string, Bytes>> StatesAfterPowerLoss(const Path& folder) const;

    platform::NameKind Examine(const Path& path, bool follow, platform::FileState* state) override;
    Reason WhyMissing(const Path& path) override;
    bool LinkTarget(const Path& path, Path& target) override;
    bool IsReadOnly(const Path& path) override;
    bool IsInUse(const Path&, Reason&) override { return false; }
    size_t NameLimit(const Path&) override { return nameLimit; }
    bool ReadFolder(const Path& folder, std::vector<platform::FolderEntry>& entries,
                    Reason& error) override;
    bool OpenToRead(const Path& path, platform::FileHandle& file, Reason& error) override;
    platform::LockResult TryLock(platform::FileHandle file, platform::FileLock& lock,
                                 Reason& error) override;
    bool StateOf(platform::FileHandle file, platform::FileState& state, Reason& error) override;
    bool ReadAt(platform::FileHandle file, uint64_t offset, uint8_t* data, size_t size, size_t& got,
                Reason& error) override;
    bool CreateNew(const Path& path, const Path& like, platform::FileHandle& file, bool& exists,
                   Reason& error) override;
    bool Write(platform::FileHandle file, const uint8_t* data, size_t size, size_t& written,
               Reason& error) override;
    bool Flush(platform::FileHandle file, Reason& error) override;
    bool Close(platform::FileHandle& file, Reason& error) override;
    platform::NoReplace Link(const Path& existing, const Path& newName, Reason& error) override;
    platform::NoReplace RenameNoReplace(const Path& from, const Path& to, Reason& error) override;
    bool RenameReplace(const Path& from, const Path& to, Reason& error) override;
    platform::NoReplace Exchange(const Path& a, const Path& b, Reason& error) override;
    platform::NoReplace RenameHeld(platform::FileHandle file, const Path& to, Reason& error) override;
    bool CanReplaceOpenFile() const override { return !renameHeld; }
    bool SyncFolder(const Path& folder, Reason& error) override;
    bool Remove(const Path& path, Reason& error) override;

private:
    using Key = Path::string_type;
    struct Node {
        platform::NameKind kind = platform::NameKind::Regular;
        Bytes data, durable;     // a regular file's bytes, and those flushed
        uint64_t zerosTo = 0;    // the size it reads as, when beyond its bytes
        int64_t modified = 0;
        uint64_t names = 0;      // the names it has
        bool readOnly = false;
        intptr_t lockedBy = -1;  // the handle that holds its lock
        Path target;             // a link's
        std::map<Key, uint64_t> entries, synced;  // a folder's names, now and as synced
        uint64_t parent = 0;     // a folder's own folder and name there
        Key name;
    };
    struct Handle {
        uint64_t node;
        uint64_t position;
        bool write;
        Path path;  // the name it was opened by
    };
    // A name change in one folder: each name given the node (0: removed).
    struct NameChange {
        uint64_t folder;
        std::vector<std::pair<Key, uint64_t>> names;
    };
    // Where a path leads: the folder its last name is in, that name, and
    // what has it (0: nothing); `error` an errno value when the way there
    // failed (ENOENT with a folder: the name is free in it).
    struct Found {
        int error = 0;
        uint64_t folder = 0;
        Key name;
        uint64_t node = 0;
    };

    static Found Failed(int error);
    Found Resolve(const Path& path, bool follow) const;
    Found Walk(uint64_t from, const Path& path, bool follow, int& links) const;
    Found At(uint64_t node) const;
    Path PathOf(uint64_t folder) const;
    uint64_t NewNode(platform::NameKind kind);
    uint64_t MadeAt(const Path& path, platform::NameKind kind);  // for the test's own making
    const Node* NodeAt(const Path& path, bool follow) const;
    Handle* HandleOf(platform::FileHandle file);
    uint64_t SizeOf(const Node& node) const;
    platform::FileState StateOfNode(uint64_t id) const;
    void Rename(const std::vector<NameChange>& changes);
    void Step();
    Reason Refuse(const char* what, const Path& path, int code) const;
    bool NameTooLong(const Key& name) const { return name.size() > nameLimit; }

    std::map<uint64_t, Node> nodes_;
    std::map<intptr_t, Handle> handles_;
    std::vector<NameChange> unsynced_;
    uint64_t nextNode_ = 1;
    intptr_t nextHandle_ = 1;
    int64_t clock_ = 0;
    mutable std::recursive_mutex mutex_;
};

}  // namespace qwz::test
