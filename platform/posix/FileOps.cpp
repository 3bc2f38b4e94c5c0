#include "platform/FileOps.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace qwz::platform {
namespace {

Reason StepFailure(const char* what, const std::filesystem::path& path) {
    unsigned long code = LastSystemError();
    return std::string(what) + " " + PathForMessage(path) + ": " + SystemReason(code);
}

FileState StateFrom(const struct stat& st) {
    FileState s;
    s.device = uint64_t(st.st_dev);
    s.file = uint64_t(st.st_ino);
    s.size = st.st_size > 0 ? uint64_t(st.st_size) : 0;
    s.modified = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.links = uint64_t(st.st_nlink);
    s.allocated = st.st_blocks > 0 ? uint64_t(st.st_blocks) * 512 : 0;
    return s;
}

NameKind KindOf(mode_t mode) {
    if (S_ISREG(mode)) return NameKind::Regular;
    if (S_ISLNK(mode)) return NameKind::Link;
    if (S_ISDIR(mode)) return NameKind::Folder;
    return NameKind::Other;
}

// What a folder's entry holds, a link not followed: from the entry itself
// where the file system says, else by asking.
NameKind EntryKind(DIR* dir, const dirent& entry) {
#ifdef DT_UNKNOWN
    switch (entry.d_type) {
    case DT_REG: return NameKind::Regular;
    case DT_DIR: return NameKind::Folder;
    case DT_LNK: return NameKind::Link;
    case DT_UNKNOWN: break;
    default: return NameKind::Other;
    }
#endif
    struct stat st {};
    if (::fstatat(::dirfd(dir), entry.d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) return NameKind::Missing;
    return KindOf(st.st_mode);
}

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif
#ifndef RENAME_EXCHANGE
#define RENAME_EXCHANGE (1 << 1)
#endif

// renameat2 with `flags` (RENAME_NOREPLACE, RENAME_EXCHANGE); ENOSYS where
// the system has no such call.
int RenameCall(const char* from, const char* to, unsigned flags) {
#if defined(__linux__)
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, flags);
#else
    (void)from, (void)to, (void)flags;
    errno = ENOSYS;
    return -1;
#endif
}

// A file's access control list, as the system keeps it in an extended
// attribute: a 4-byte version, then 8-byte entries of a 2-byte tag, 2-byte
// rights (rwx, as in a mode) and a 4-byte user or group number, each
// little-endian. With a list, a file's mode shows the list's mask as its
// group bits: the most any named user or group gets, not what the owning
// group gets, which is the list's own entry.
constexpr const char* kAccessList = "system.posix_acl_access";
constexpr unsigned kOwningGroupEntry = 0x04;

// Cuts the rights of the owning group's entry of `list` to `allowed` and
// returns them (7 when the list has no such entry).
unsigned CutOwningGroup(std::string& list, unsigned allowed) {
    unsigned rights = 7;
    for (size_t at = 4; at + 8 <= list.size(); at += 8) {
        const unsigned tag = uint8_t(list[at]) | unsigned(uint8_t(list[at + 1])) << 8;
        if (tag != kOwningGroupEntry) continue;
        rights = uint8_t(list[at + 2]) & allowed;
        list[at + 2] = char(rights);
        list[at + 3] = 0;
    }
    return rights;
}

// The names of an open file's extended attributes; none where its file
// system keeps none.
std::vector<std::string> AttributeNames(int fd) {
    for (;;) {
        const ssize_t size = ::flistxattr(fd, nullptr, 0);
        if (size <= 0) return {};
        std::string list(size_t(size), '\0');
        const ssize_t got = ::flistxattr(fd, list.data(), list.size());
        if (got < 0 && errno == ERANGE) continue;  // one was added meanwhile
        if (got < 0) return {};
        std::vector<std::string> names;
        for (size_t at = 0; at < size_t(got);) {
            const size_t end = list.find('\0', at);
            if (end == std::string::npos || end >= size_t(got)) break;
            if (end > at) names.push_back(list.substr(at, end - at));
            at = end + 1;
        }
        return names;
    }
}

// The value of an open file's extended attribute; false with errno set
// when it has none or it cannot be read.
bool AttributeValue(int fd, const std::string& name, std::string& value) {
    for (;;) {
        const ssize_t size = ::fgetxattr(fd, name.c_str(), nullptr, 0);
        if (size < 0) return false;
        value.assign(size_t(size), '\0');
        const ssize_t got = ::fgetxattr(fd, name.c_str(), value.data(), value.size());
        if (got < 0 && errno == ERANGE) continue;  // it grew meanwhile
        if (got < 0) return false;
        value.resize(size_t(got));
        return true;
    }
}

#if defined(F_SETLEASE) && defined(F_SETSIG)
// A program opening a leased file for writing waits until the lease is
// given up (or for the system's lease-break time). It is given up at once:
// the lease is there to tell that such a program came, which F_GETLEASE
// says from then on, not to hold the program up. fcntl may be called here.
void GiveUpLease(int, siginfo_t* info, void*) {
    const int saved = errno;
    if (info && info->si_fd >= 0) ::fcntl(info->si_fd, F_SETLEASE, F_UNLCK);
    errno = saved;
}

// The signal of a broken lease reaches GiveUpLease, unless the program
// has a handler of its own for it: then no lease is taken.
bool LeaseSignalReady() {
    static const bool ready = [] {
        struct sigaction now {};
        if (::sigaction(SIGIO, nullptr, &now) != 0) return false;
        if ((now.sa_flags & SA_SIGINFO) || (now.sa_handler != SIG_DFL && now.sa_handler != SIG_IGN)) return false;
        struct sigaction mine {};
        mine.sa_sigaction = GiveUpLease;
        mine.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&mine.sa_mask);
        return ::sigaction(SIGIO, &mine, nullptr) == 0;
    }();
    return ready;
}
#endif

class PosixFileOps final : public FileOps {
public:
    PosixFileOps() {
        // A file-size limit (ulimit -f, some quotas) would otherwise end the
        // process in the middle of a write and leave its temporary file
        // behind; ignored, the write fails with EFBIG and is reported.
        std::signal(SIGXFSZ, SIG_IGN);
    }

    NameKind Examine(const std::filesystem::path& path, bool follow, FileState* state) override {
        struct stat st {};
        if ((follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0)
            return NameKind::Missing;
        if (state) *state = StateFrom(st);
        return KindOf(st.st_mode);
    }

    bool LinkTarget(const std::filesystem::path& path, std::filesystem::path& target) override {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
        // The system's own resolution: ".." after a linked folder is the
        // folder it really is in.
        char* resolved = ::realpath(path.c_str(), nullptr);
        if (!resolved) return false;
        target = resolved;
        std::free(resolved);
        return true;
    }

    bool RealPath(const std::filesystem::path& path, std::filesystem::path& real) override {
        char* resolved = ::realpath(path.c_str(), nullptr);
        if (!resolved) return false;
        real = resolved;
        std::free(resolved);
        return true;
    }

    bool IsReadOnly(const std::filesystem::path& path) override {
        // The owner's write bit is what "read-only" means to a user; the
        // super-user would be let through by access(), so the bits decide.
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    }

    // Open files do not stop a rename here.
    bool IsInUse(const std::filesystem::path&, Reason&) override { return false; }

    size_t NameLimit(const std::filesystem::path& folder) override {
        long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
        return limit > 0 ? size_t(limit) : 255;
    }

    Reason WhyMissing(const std::filesystem::path& path) override {
        struct stat st {};
        // Found now: it was gone a moment ago.
        return ErrnoReason(::stat(path.c_str(), &st) == 0 ? ENOENT : errno);
    }

    bool ReadFolder(const std::filesystem::path& folder, std::vector<FolderEntry>& entries,
                    Reason& error) override {
        DIR* dir = ::opendir(folder.c_str());
        if (!dir) {
            error = ErrnoReason(errno);
            return false;
        }
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(dir);
            if (!entry) break;
            const std::string name = entry->d_name;
            if (name != "." && name != "..") entries.push_back({name, EntryKind(dir, *entry)});
        }
        const int code = errno;
        ::closedir(dir);
        if (code == 0) return true;
        error = ErrnoReason(code);
        return false;
    }

    bool OpenToRead(const std::filesystem::path& path, FileHandle& file, Reason& error) override {
        // Without O_NONBLOCK a FIFO put under the name would hold the open
        // until a writer came.
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd < 0) {
            // Said of the file the caller names already.
            error = "nie można otworzyć pliku: " + SystemReason(LastSystemError());
            return false;
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            error = Reason(StatusCode::NotRegularFile, "to nie jest zwykły plik");
            return false;
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        file.value = fd;
        return true;
    }

    LockResult TryLock(FileHandle file, FileLock&, Reason& error) override {
        // An advisory lock of the open file: every conversion asks for it;
        // two opens of one file exclude each other, even in one process.
        for (;;) {
            if (::flock(int(file.value), LOCK_EX | LOCK_NB) == 0) return LockResult::Locked;
            if (errno == EINTR) continue;
            if (errno == EWOULDBLOCK) return LockResult::Held;
            // File systems without locks (some network shares) convert
            // without one, as before there was a lock.
            if (errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOSYS) return LockResult::Locked;
            error = "nie można zablokować pliku: " + SystemReason(LastSystemError());
            return LockResult::Failed;
        }
    }

    Writers WatchWriters(FileHandle file) override {
#if defined(F_SETLEASE) && defined(F_SETSIG)
        // Only the file's owner (or the super-user) may lease it; elsewhere
        // (network file systems) the system says it cannot.
        const int fd = int(file.value);
        if (!LeaseSignalReady() || ::fcntl(fd, F_SETSIG, SIGIO) != 0) return Writers::Unknown;
        if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) return Writers::Watched;
        return errno == EAGAIN ? Writers::Present : Writers::Unknown;
#else
        (void)file;
        return Writers::Unknown;
#endif
    }

    bool WriterCame(FileHandle file) override {
#if defined(F_GETLEASE)
        return ::fcntl(int(file.value), F_GETLEASE) != F_RDLCK;
#else
        (void)file;
        return false;
#endif
    }

    bool StateOf(FileHandle file, FileState& state, Reason& error) override {
        struct stat st {};
        if (::fstat(int(file.value), &st) != 0) {
            error = "nie można odczytać stanu pliku: " + SystemReason(LastSystemError());
            return false;
        }
        state = StateFrom(st);
        return true;
    }

    bool ReadAt(FileHandle file, uint64_t offset, uint8_t* data, size_t size, size_t& got,
                Reason& error) override {
        for (;;) {
            ssize_t n = ::pread(int(file.value), data, size, off_t(offset));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                error = "błąd odczytu pliku: " + SystemReason(LastSystemError());
                return false;
            }
            got = size_t(n);
            return true;
        }
    }

    bool CreateNew(const std::filesystem::path& path, const std::filesystem::path&, FileHandle& file,
                   bool& exists, Reason& error) override {
        // Open to its creator alone until CarryIdentity gives it the rights
        // of the file it stands for.
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            exists = errno == EEXIST;
            error = StepFailure("nie można utworzyć pliku", path);
            return false;
        }
        exists = false;
        file.value = fd;
        return true;
    }

    // The new file is open to its creator alone until the last step, which
    // gives it the original's mode; each step before narrows or keeps.
    void CarryIdentity(FileHandle from, FileHandle to, std::vector<std::string>& notCarried) override {
        const int source = int(from.value), target = int(to.value);
        struct stat was {}, now {};
        if (!from.open() || ::fstat(source, &was) != 0 || ::fstat(target, &now) != 0) {
            notCarried.push_back("nie przeniesiono praw dostępu: " + SystemReason(LastSystemError()).str());
            return;
        }
        mode_t mode = was.st_mode & 07777;
        const unsigned others = mode & 07;

        // The group apart from the owner: a member of the file's group may
        // give it that group, only the super-user another owner. A group
        // that cannot be given leaves the file in ours, whose members get
        // no more than anyone else got.
        const bool group = was.st_gid == now.st_gid || ::fchown(target, uid_t(-1), was.st_gid) == 0;
        if (!group)
            notCarried.push_back("grupą pliku jest grupa użytkownika, który go przekonwertował, a nie grupa "
                                 "oryginału (nr " + std::to_string(was.st_gid) + ")");
        const bool owner = was.st_uid == now.st_uid || ::fchown(target, was.st_uid, gid_t(-1)) == 0;
        if (!owner)
            notCarried.push_back("właścicielem pliku jest użytkownik, który go przekonwertował, a nie właściciel "
                                 "oryginału (nr " + std::to_string(was.st_uid) + ")");

        std::string list;
        bool hasList = false;
        for (const std::string& name : AttributeNames(source)) {
            std::string value, already;
            if (!AttributeValue(source, name, value)) {
                if (errno != ENODATA) notCarried.push_back("nie przeniesiono atrybutu rozszerzonego " + name + ": " +
                                                           SystemReason(LastSystemError()).str());
                continue;
            }
            if (name == kAccessList) {
                list = std::move(value);
                hasList = true;
                continue;
            }
            // One the system gave the new file already (a security label)
            // needs no right to set.
            if (AttributeValue(target, name, already) && already == value) continue;
            if (::fsetxattr(target, name.c_str(), value.data(), value.size(), 0) != 0)
                notCarried.push_back("nie przeniesiono atrybutu rozszerzonego " + name + ": " +
                                     SystemReason(LastSystemError()).str());
        }

        // The access list before the mode: set after it, the list would
        // replace the mask the mode gives; the mode after it keeps the mask
        // the original shows as its group bits.
        bool listCarried = false;
        unsigned groupRights = (mode >> 3) & 07;
        if (hasList) {
            groupRights &= CutOwningGroup(list, group ? 07 : others);
            listCarried = ::fsetxattr(target, kAccessList, list.data(), list.size(), 0) == 0;
            if (!listCarried)
                notCarried.push_back("nie przeniesiono listy kontroli dostępu (ACL): " +
                                     SystemReason(LastSystemError()).str());
        } else {
            // One inherited from the folder would give what the original
            // does not; it is the new file's own, which its owner may drop.
            ::fremovexattr(target, kAccessList);
        }
        if (!listCarried) {
            if (!group) groupRights &= others;
            mode = (mode & ~mode_t(070)) | mode_t(groupRights << 3);
        }
        if (!group) mode &= ~mode_t(S_ISGID);
        if (!owner) mode &= ~mode_t(S_ISUID);
        if (::fchmod(target, mode) != 0)
            notCarried.push_back("nie przeniesiono praw dostępu: " + SystemReason(LastSystemError()).str());
    }

    bool Write(FileHandle file, const uint8_t* data, size_t size, size_t& written,
               Reason& error) override {
        for (;;) {
            ssize_t n = ::write(int(file.value), data, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                if (n == 0) errno = EIO;
                error = "nie można zapisać pliku: " + SystemReason(LastSystemError());
                return false;
            }
            written = size_t(n);
            return true;
        }
    }

    bool Flush(FileHandle file, Reason& error) override {
        if (::fsync(int(file.value)) == 0) return true;
        error = "nie można zapisać pliku na dysk: " + SystemReason(LastSystemError());
        return false;
    }

    bool MapToRead(FileHandle file, uint64_t size, FileView& view) override {
        return size <= SIZE_MAX && view.Map(file.value, size_t(size));
    }
#ifdef __linux__
    // One syncfs per file system, found from the files' folders: a single
    // call then makes a whole group's bytes durable, and its cost does not
    // grow with the number of files.
    bool FlushFiles(const std::vector<std::filesystem::path>& paths, Reason& error) override {
        std::vector<dev_t> synced;
        std::vector<std::filesystem::path> folders;
        for (const std::filesystem::path& path : paths) {
            std::filesystem::path folder = path.parent_path();
            if (folder.empty()) folder = ".";
            if (std::find(folders.begin(), folders.end(), folder) != folders.end()) continue;
            folders.push_back(folder);
            const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            struct stat st {};
            if (fd < 0 || ::fstat(fd, &st) != 0) {
                error = StepFailure("nie można otworzyć folderu", folder);
                if (fd >= 0) ::close(fd);
                return false;
            }
            bool ok = true;
            if (std::find(synced.begin(), synced.end(), st.st_dev) == synced.end()) {
                ok = ::syncfs(fd) == 0;
                if (!ok) error = StepFailure("nie można zapisać na dysk plików w folderze", folder);
                synced.push_back(st.st_dev);
            }
            ::close(fd);
            if (!ok) return false;
        }
        return true;
    }
#endif

    void StartWriteback(FileHandle file, uint64_t offset, uint64_t size) override {
#ifdef SYNC_FILE_RANGE_WRITE
        // Starts the writing out of those pages without waiting for it.
        ::sync_file_range(int(file.value), off_t(offset), off_t(size), SYNC_FILE_RANGE_WRITE);
#else
        (void)file;
        (void)offset;
        (void)size;
#endif
    }

    bool Close(FileHandle& file, Reason& error) override {
        int fd = int(file.value);
        file.value = -1;
        // A failed close must not be retried: the descriptor is gone.
        if (::close(fd) == 0) return true;
        error = "nie można zamknąć pliku: " + SystemReason(LastSystemError());
        return false;
    }

    NoReplace Link(const std::filesystem::path& existing, const std::filesystem::path& newName,
                   Reason& error) override {
        if (::link(existing.c_str(), newName.c_str()) == 0) return NoReplace::Done;
        int code = errno;
        error = StepFailure("nie można utworzyć kopii zapasowej", newName);
        switch (code) {
        case EEXIST: return NoReplace::NameTaken;
        // File systems without hard links (or that refuse them to this user)
        case EPERM: case EOPNOTSUPP: case ENOSYS: case EMLINK: case EXDEV:
            return NoReplace::Unsupported;
        default: return NoReplace::Failed;
        }
    }

    NoReplace RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                              Reason& error) override {
        if (RenameCall(from.c_str(), to.c_str(), RENAME_NOREPLACE) == 0) return NoReplace::Done;
        int code = errno;
        error = StepFailure("nie można zmienić nazwy pliku na", to);
        switch (code) {
        case EEXIST: return NoReplace::NameTaken;
        case EINVAL: case ENOSYS: case EOPNOTSUPP:
            error = Reason(StatusCode::SystemError,
                           "system plików nie pozwala bezpiecznie zachować kopii zapasowej " + PathForMessage(to));
            return NoReplace::Unsupported;
        default: return NoReplace::Failed;
        }
    }

    bool RenameReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                       Reason& error) override {
        if (::rename(from.c_str(), to.c_str()) == 0) return true;
        error = StepFailure("nie można zastąpić pliku", to);
        return false;
    }

    NoReplace Exchange(const std::filesystem::path& a, const std::filesystem::path& b,
                       Reason& error) override {
        if (RenameCall(a.c_str(), b.c_str(), RENAME_EXCHANGE) == 0) return NoReplace::Done;
        const int code = errno;
        error = StepFailure("nie można zastąpić pliku", b);
        return code == EINVAL || code == ENOSYS || code == EOPNOTSUPP ? NoReplace::Unsupported : NoReplace::Failed;
    }

    // mkdir never follows a link at the new name: it is taken.
    NoReplace CreateFolder(const std::filesystem::path& path, Reason& error) override {
        if (::mkdir(path.c_str(), 0777) == 0) return NoReplace::Done;
        const int code = errno;
        error = StepFailure("nie można utworzyć folderu", path);
        return code == EEXIST ? NoReplace::NameTaken : NoReplace::Failed;
    }

    bool SyncFolder(const std::filesystem::path& folder, Reason& error) override {
        int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            error = StepFailure("nie można otworzyć folderu", folder);
            return false;
        }
        bool ok = ::fsync(fd) == 0;
        if (!ok) error = StepFailure("nie można zapisać na dysk folderu", folder);
        ::close(fd);
        return ok;
    }

    bool Remove(const std::filesystem::path& path, Reason& error) override {
        if (::unlink(path.c_str()) == 0) return true;
        error = StepFailure("nie można usunąć pliku", path);
        return false;
    }
};

}  // namespace

FileOps& SystemFileOps() {
    static PosixFileOps ops;
    return ops;
}

}  // namespace qwz::platform
