#include "platform/SafeReplace.h"
#include "platform/SystemError.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qwz::platform {
namespace {

std::string Reason(const char* what, const std::filesystem::path& path) {
    unsigned long code = LastSystemError();
    return std::string(what) + " " + PathForMessage(path) + ": " + SystemReason(code);
}

// renameat2 with RENAME_NOREPLACE, through the system call where the C
// library has no wrapper for it.
int RenameNoReplaceCall(const char* from, const char* to) {
#if defined(__linux__)
#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
#else
    errno = ENOSYS;
    return -1;
#endif
}

class PosixFileOps final : public FileOps {
public:
    bool IsReadOnly(const std::filesystem::path& path) override {
        // The owner's write bit is what "read-only" means to a user; the
        // super-user would be let through by access(), so the bits decide.
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    }

    // Open files do not stop a rename here.
    bool IsInUse(const std::filesystem::path&, std::string&) override { return false; }

    bool CreateNew(const std::filesystem::path& path, const std::filesystem::path& like,
                   FileHandle& file, bool& exists, std::string& error) override {
        struct stat st {};
        mode_t mode = ::stat(like.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0666;
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0) {
            exists = errno == EEXIST;
            error = Reason("nie można utworzyć pliku tymczasowego", path);
            return false;
        }
        exists = false;
        // The new file keeps the original's access rights, whatever the umask,
        // and its owner where the system lets us (the super-user converting
        // someone else's file); where it does not, the file stays ours.
        if (::stat(like.c_str(), &st) == 0) {
            [[maybe_unused]] int ignored = ::fchown(fd, st.st_uid, st.st_gid);
        }
        ::fchmod(fd, mode);
        file.value = fd;
        return true;
    }

    bool Write(FileHandle file, const uint8_t* data, size_t size, size_t& written,
               std::string& error) override {
        for (;;) {
            ssize_t n = ::write(int(file.value), data, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                if (n == 0) errno = EIO;
                error = "nie można zapisać pliku tymczasowego: " + SystemReason(LastSystemError());
                return false;
            }
            written = size_t(n);
            return true;
        }
    }

    bool Flush(FileHandle file, std::string& error) override {
        if (::fsync(int(file.value)) == 0) return true;
        error = "nie można zapisać pliku tymczasowego na dysk: " + SystemReason(LastSystemError());
        return false;
    }

    bool Close(FileHandle& file, std::string& error) override {
        int fd = int(file.value);
        file.value = -1;
        // A failed close must not be retried: the descriptor is gone.
        if (::close(fd) == 0) return true;
        error = "nie można zamknąć pliku tymczasowego: " + SystemReason(LastSystemError());
        return false;
    }

    NoReplace Link(const std::filesystem::path& existing, const std::filesystem::path& newName,
                   std::string& error) override {
        if (::link(existing.c_str(), newName.c_str()) == 0) return NoReplace::Done;
        int code = errno;
        error = Reason("nie można utworzyć kopii zapasowej", newName);
        switch (code) {
        case EEXIST: return NoReplace::NameTaken;
        // File systems without hard links (or that refuse them to this user)
        case EPERM: case EOPNOTSUPP: case ENOSYS: case EMLINK: case EXDEV:
            return NoReplace::Unsupported;
        default: return NoReplace::Failed;
        }
    }

    NoReplace RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                              std::string& error) override {
        if (RenameNoReplaceCall(from.c_str(), to.c_str()) == 0) return NoReplace::Done;
        int code = errno;
        error = Reason("nie można zmienić nazwy pliku na", to);
        switch (code) {
        case EEXIST: return NoReplace::NameTaken;
        case EINVAL: case ENOSYS: case EOPNOTSUPP:
            error = "system plików nie pozwala bezpiecznie zachować kopii zapasowej " +
                    PathForMessage(to);
            return NoReplace::Unsupported;
        default: return NoReplace::Failed;
        }
    }

    bool RenameReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                       std::string& error) override {
        if (::rename(from.c_str(), to.c_str()) == 0) return true;
        error = Reason("nie można zastąpić pliku", to);
        return false;
    }

    bool SyncFolder(const std::filesystem::path& folder, std::string& error) override {
        int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            error = Reason("nie można otworzyć folderu", folder);
            return false;
        }
        bool ok = ::fsync(fd) == 0;
        if (!ok) error = Reason("nie można zapisać na dysk folderu", folder);
        ::close(fd);
        return ok;
    }

    bool Remove(const std::filesystem::path& path, std::string& error) override {
        if (::unlink(path.c_str()) == 0) return true;
        error = Reason("nie można usunąć pliku", path);
        return false;
    }
};

}  // namespace

FileOps& SystemFileOps() {
    static PosixFileOps ops;
    return ops;
}

}  // namespace qwz::platform
