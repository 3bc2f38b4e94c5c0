#include "platform/SafeReplace.h"
#include "platform/SystemError.h"

#include <windows.h>

namespace qwz::platform {
namespace {

std::string Reason(const char* what, const std::filesystem::path& path) {
    unsigned long code = LastSystemError();
    return std::string(what) + " " + PathForMessage(path) + ": " + SystemReason(code);
}

HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file.value); }

bool IsNameTaken(DWORD code) { return code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS; }

// Never ReplaceFileW: some implementations ignore its flags and can drop the
// original or write over a backup. Moves without MOVEFILE_REPLACE_EXISTING
// refuse a taken name; with it they replace in one step.
class Win32FileOps final : public FileOps {
public:
    bool IsReadOnly(const std::filesystem::path& path) override {
        DWORD attrs = GetFileAttributesW(path.c_str());
        return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY);
    }

    // Asking for the right to delete, while letting others read, write and
    // delete, fails exactly when someone holds the file without letting it be
    // deleted or renamed.
    bool IsInUse(const std::filesystem::path& path, std::string& reason) override {
        HANDLE h = CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            return false;
        }
        DWORD code = GetLastError();
        if (code != ERROR_SHARING_VIOLATION && code != ERROR_LOCK_VIOLATION) return false;
        reason = Reason("nie można zastąpić pliku", path);
        return true;
    }

    bool CreateNew(const std::filesystem::path& path, const std::filesystem::path&,
                   FileHandle& file, bool& exists, std::string& error) override {
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            exists = IsNameTaken(GetLastError());
            error = Reason("nie można utworzyć pliku tymczasowego", path);
            return false;
        }
        exists = false;
        file.value = reinterpret_cast<intptr_t>(h);
        return true;
    }

    bool Write(FileHandle file, const uint8_t* data, size_t size, size_t& written,
               std::string& error) override {
        DWORD n = 0;
        DWORD want = DWORD(std::min<size_t>(size, 1u << 30));
        if (!WriteFile(AsHandle(file), data, want, &n, nullptr) || n == 0) {
            if (n == 0 && GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_HANDLE_DISK_FULL);
            error = "nie można zapisać pliku tymczasowego: " + SystemReason(LastSystemError());
            return false;
        }
        written = n;
        return true;
    }

    bool Flush(FileHandle file, std::string& error) override {
        if (FlushFileBuffers(AsHandle(file))) return true;
        error = "nie można zapisać pliku tymczasowego na dysk: " + SystemReason(LastSystemError());
        return false;
    }

    bool Close(FileHandle& file, std::string& error) override {
        HANDLE h = AsHandle(file);
        file.value = -1;
        if (CloseHandle(h)) return true;
        error = "nie można zamknąć pliku tymczasowego: " + SystemReason(LastSystemError());
        return false;
    }

    NoReplace Link(const std::filesystem::path& existing, const std::filesystem::path& newName,
                   std::string& error) override {
        if (CreateHardLinkW(newName.c_str(), existing.c_str(), nullptr)) return NoReplace::Done;
        DWORD code = GetLastError();
        error = Reason("nie można utworzyć kopii zapasowej", newName);
        if (IsNameTaken(code)) return NoReplace::NameTaken;
        switch (code) {
        // File systems without hard links (FAT, some network shares)
        case ERROR_INVALID_FUNCTION: case ERROR_NOT_SUPPORTED: case ERROR_TOO_MANY_LINKS:
        case ERROR_NOT_SAME_DEVICE: case ERROR_INVALID_PARAMETER:
            return NoReplace::Unsupported;
        default: return NoReplace::Failed;
        }
    }

    NoReplace RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                              std::string& error) override {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return NoReplace::Done;
        DWORD code = GetLastError();
        error = Reason("nie można zmienić nazwy pliku na", to);
        return IsNameTaken(code) ? NoReplace::NameTaken : NoReplace::Failed;
    }

    bool RenameReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                       std::string& error) override {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        error = Reason("nie można zastąpić pliku", to);
        return false;
    }

    // MOVEFILE_WRITE_THROUGH has made the names durable already.
    bool SyncFolder(const std::filesystem::path&, std::string&) override { return true; }

    bool Remove(const std::filesystem::path& path, std::string& error) override {
        if (DeleteFileW(path.c_str())) return true;
        error = Reason("nie można usunąć pliku", path);
        return false;
    }
};

}  // namespace

FileOps& SystemFileOps() {
    static Win32FileOps ops;
    return ops;
}

}  // namespace qwz::platform
