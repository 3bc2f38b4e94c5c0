#include "platform/FileOps.h"
#include "platform/SystemError.h"

#include <windows.h>

#include <aclapi.h>
#include <cstring>

#include <cwchar>
#include <string>
#include <vector>

namespace qwz::platform {
namespace {

Reason StepFailure(const char* what, const std::filesystem::path& path) {
    unsigned long code = LastSystemError();
    return std::string(what) + " " + PathForMessage(path) + ": " + SystemReason(code);
}

HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file.value); }

bool IsNameTaken(DWORD code) { return code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS; }

// The conversion lock is one byte far past the end of any file: locking it
// excludes a second conversion without keeping anyone from reading the file.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFF0;

// The byte lock ends when the file is closed, and the file has to be closed
// before it can be replaced. A named mutex of the file (its volume and
// index, whatever name it is reached by) outlasts that: a conversion holds
// both, and the mutex until its replacement is done. The system gives a
// mutex whose holder ended up to the next one that asks.
HANDLE TakeFileMutex(const BY_HANDLE_FILE_INFORMATION& info, bool& held) {
    wchar_t name[80];
    for (const wchar_t* space : {L"Global\\", L"Local\\"}) {
        swprintf(name, sizeof name / sizeof *name, L"%lsqwz-conversion-%08lx-%08lx%08lx", space,
                 info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow);
        HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
        if (!mutex) {
            // Made by another user's conversion, which holds it or waits.
            if (GetLastError() == ERROR_ACCESS_DENIED) {
                held = true;
                return nullptr;
            }
            continue;
        }
        const DWORD got = WaitForSingleObject(mutex, 0);
        if (got == WAIT_OBJECT_0 || got == WAIT_ABANDONED) return mutex;
        CloseHandle(mutex);
        held = got == WAIT_TIMEOUT;
        return nullptr;
    }
    return nullptr;
}

FileState StateFrom(const BY_HANDLE_FILE_INFORMATION& info) {
    FileState s;
    s.device = info.dwVolumeSerialNumber;
    s.file = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    s.size = (uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    s.modified = int64_t((uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32) |
                         info.ftLastWriteTime.dwLowDateTime);
    s.links = info.nNumberOfLinks;
    return s;
}

// The path the system resolved an open file or folder to, without the
// \\?\ prefix; empty when it cannot tell.
std::wstring FinalName(HANDLE h) {
    std::wstring final(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, final.data(), DWORD(final.size()), FILE_NAME_NORMALIZED);
    if (n >= final.size()) {
        final.resize(n + 1);
        n = GetFinalPathNameByHandleW(h, final.data(), DWORD(final.size()), FILE_NAME_NORMALIZED);
    }
    if (n == 0 || n >= final.size()) return {};
    final.resize(n);
    if (final.rfind(L"\\\\?\\UNC\\", 0) == 0) final = L"\\\\" + final.substr(8);
    else if (final.rfind(L"\\\\?\\", 0) == 0) final = final.substr(4);
    return final;
}

// Never ReplaceFileW: some implementations ignore its flags and can drop the
// original or write over a backup. Moves without MOVEFILE_REPLACE_EXISTING
// refuse a taken name; with it they replace in one step.
class Win32FileOps final : public FileOps {
public:
    NameKind Examine(const std::filesystem::path& path, bool follow, FileState* state) override {
        const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
        HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, flags, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            // A name that exists but cannot be opened (held without sharing)
            // is still there: its attributes tell what it is.
            DWORD attrs = GetFileAttributesW(path.c_str());
            if (attrs == INVALID_FILE_ATTRIBUTES) return NameKind::Missing;
            if (attrs & FILE_ATTRIBUTE_DIRECTORY) return NameKind::Folder;
            if (!follow && (attrs & FILE_ATTRIBUTE_REPARSE_POINT)) return NameKind::Link;
            return NameKind::Other;
        }
        BY_HANDLE_FILE_INFORMATION info{};
        const bool ok = GetFileInformationByHandle(h, &info);
        const DWORD type = GetFileType(h);
        CloseHandle(h);
        if (!ok) return NameKind::Other;
        if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (state) *state = StateFrom(info);
            return NameKind::Folder;
        }
        if (!follow && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) return NameKind::Link;
        if (type != FILE_TYPE_DISK) return NameKind::Other;
        if (state) *state = StateFrom(info);
        return NameKind::Regular;
    }

    // A link is a reparse point here; a link of the host system under Wine
    // looks like the file it leads to, but the file's own final name is
    // the one it has where it really is.
    bool LinkTarget(const std::filesystem::path& path, std::filesystem::path& target) override {
        std::filesystem::path final;
        if (!RealPath(path, final)) return false;
        const std::wstring named = path.filename().native(), real = final.filename().native();
        const bool sameName = CompareStringOrdinal(named.c_str(), int(named.size()), real.c_str(), int(real.size()),
                                                   TRUE) == CSTR_EQUAL;
        if (sameName && Examine(path, false, nullptr) != NameKind::Link) return false;
        target = final;
        return true;
    }

    bool IsReadOnly(const std::filesystem::path& path) override {
        DWORD attrs = GetFileAttributesW(path.c_str());
        return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY);
    }

    // Asking for the right to delete, while letting others read, write and
    // delete, fails exactly when someone holds the file without letting it be
    // deleted or renamed.
    bool IsInUse(const std::filesystem::path& path, Reason& reason) override {
        HANDLE h = CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            return false;
        }
        DWORD code = GetLastError();
        if (code != ERROR_SHARING_VIOLATION && code != ERROR_LOCK_VIOLATION) return false;
        reason = StepFailure("nie można zastąpić pliku", path);
        return true;
    }

    size_t NameLimit(const std::filesystem::path& folder) override {
        std::error_code ec;
        std::filesystem::path root = std::filesystem::absolute(folder, ec).root_path();
        DWORD limit = 0;
        if (!ec && GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, &limit, nullptr, nullptr, 0) &&
            limit > 0)
            return limit;
        return 255;
    }

    Reason WhyMissing(const std::filesystem::path& path) override {
        DWORD code = GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES ? GetLastError()
                                                                                : ERROR_FILE_NOT_FOUND;
        const Reason why = SystemReason(code);
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_INVALID_NAME ||
                       code == ERROR_DIRECTORY
                   ? Reason(StatusCode::NotFound, why.str())
                   : why;
    }

    // A symbolic link or a junction is a link here; other reparse points
    // (files of cloud storage, deduplicated files) are what they hold.
    bool ReadFolder(const std::filesystem::path& folder, std::vector<FolderEntry>& entries,
                    Reason& error) override {
        WIN32_FIND_DATAW data{};
        HANDLE find = FindFirstFileW((folder / L"*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) {
            const DWORD code = GetLastError();
            if (code == ERROR_FILE_NOT_FOUND) return true;
            error = SystemReason(code);
            return false;
        }
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const DWORD attrs = data.dwFileAttributes;
            const bool link = (attrs & FILE_ATTRIBUTE_REPARSE_POINT) &&
                              (data.dwReserved0 == IO_REPARSE_TAG_SYMLINK ||
                               data.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT);
            const NameKind kind = link                                 ? NameKind::Link
                                  : (attrs & FILE_ATTRIBUTE_DIRECTORY) ? NameKind::Folder
                                                                       : NameKind::Regular;
            entries.push_back({name, kind});
        } while (FindNextFileW(find, &data));
        const DWORD code = GetLastError();
        FindClose(find);
        if (code == ERROR_NO_MORE_FILES) return true;
        error = SystemReason(code);
        return false;
    }

    // Others may read the file and rename or delete it, but not write it
    // while it is converted: a program that starts saving it meanwhile is
    // refused by the system, and one that holds it open for writing keeps
    // it from being opened here.
    bool OpenToRead(const std::filesystem::path& path, FileHandle& file, Reason& error) override {
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            // Said of the file the caller names already.
            error = "nie można otworzyć pliku: " + SystemReason(LastSystemError());
            return false;
        }
        if (GetFileType(h) != FILE_TYPE_DISK) {
            CloseHandle(h);
            error = Reason(StatusCode::NotRegularFile, "to nie jest zwykły plik");
            return false;
        }
        file.value = reinterpret_cast<intptr_t>(h);
        return true;
    }

    LockResult TryLock(FileHandle file, FileLock& lock, Reason& error) override {
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(AsHandle(file), &info)) {
            error = "nie można zablokować pliku: " + SystemReason(LastSystemError());
            return LockResult::Failed;
        }
        bool held = false;
        HANDLE mutex = TakeFileMutex(info, held);
        if (held) return LockResult::Held;
        OVERLAPPED at{};
        at.OffsetHigh = kLockOffsetHigh;
        LockResult result = LockResult::Locked;
        if (!LockFileEx(AsHandle(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
            const DWORD code = GetLastError();
            if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING) {
                result = LockResult::Held;
            } else if (code != ERROR_NOT_SUPPORTED && code != ERROR_INVALID_FUNCTION) {
                // File systems without locks convert without one.
                error = "nie można zablokować pliku: " + SystemReason(code);
                result = LockResult::Failed;
            }
        }
        if (result != LockResult::Locked) {
            if (mutex) {
                ReleaseMutex(mutex);
                CloseHandle(mutex);
            }
            return result;
        }
        lock.value = mutex ? reinterpret_cast<intptr_t>(mutex) : -1;
        return LockResult::Locked;
    }

    void Unlock(FileLock& lock) override {
        if (lock.value == -1) return;
        HANDLE mutex = reinterpret_cast<HANDLE>(lock.value);
        lock.value = -1;
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }

    bool StateOf(FileHandle file, FileState& state, Reason& error) override {
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(AsHandle(file), &info)) {
            error = "nie można odczytać stanu pliku: " + SystemReason(LastSystemError());
            return false;
        }
        state = StateFrom(info);
        // What the disk holds of it is asked only of an open file: that is
        // where it counts (how a view of the file is counted against memory).
        FILE_STANDARD_INFO standard{};
        if (GetFileInformationByHandleEx(AsHandle(file), FileStandardInfo, &standard, sizeof standard))
            state.allocated = uint64_t(standard.AllocationSize.QuadPart);
        return true;
    }

    bool ReadAt(FileHandle file, uint64_t offset, uint8_t* data, size_t size, size_t& got,
                Reason& error) override {
        OVERLAPPED at{};
        at.Offset = DWORD(offset);
        at.OffsetHigh = DWORD(offset >> 32);
        DWORD n = 0;
        const DWORD want = DWORD(std::min<size_t>(size, 1u << 30));
        if (!ReadFile(AsHandle(file), data, want, &n, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF) {
                got = 0;
                return true;
            }
            error = "błąd odczytu pliku: " + SystemReason(LastSystemError());
            return false;
        }
        got = n;
        return true;
    }

    bool CreateNew(const std::filesystem::path& path, const std::filesystem::path&,
                   FileHandle& file, bool& exists, Reason& error) override {
        // WRITE_DAC: CarryIdentity gives it the original's access list.
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | WRITE_DAC, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            exists = IsNameTaken(GetLastError());
            error = StepFailure("nie można utworzyć pliku", path);
            return false;
        }
        exists = false;
        file.value = reinterpret_cast<intptr_t>(h);
        return true;
    }

    // Set on the new file itself, before it takes the name: ReplaceFileW,
    // which would carry them, is not used (see above).
    void CarryIdentity(FileHandle from, FileHandle to, std::vector<std::string>& notCarried) override {
        constexpr DWORD kCarried = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                   FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        BY_HANDLE_FILE_INFORMATION info{};
        FILE_BASIC_INFO basic{};  // times left as they are
        if (GetFileInformationByHandle(AsHandle(from), &info)) {
            basic.FileAttributes = info.dwFileAttributes & kCarried;
            if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        }
        if (basic.FileAttributes == 0 ||
            !SetFileInformationByHandle(AsHandle(to), FileBasicInfo, &basic, sizeof basic))
            notCarried.push_back("nie przeniesiono atrybutów pliku (ukryty, systemowy, archiwalny, nieindeksowany): " +
                                 SystemReason(LastSystemError()).str());

        // The access list as it is, inherited entries inherited again from
        // the same folder unless the original's list is protected from them.
        PACL list = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        DWORD code = GetSecurityInfo(AsHandle(from), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                     &list, nullptr, &descriptor);
        if (code == ERROR_SUCCESS) {
            SECURITY_DESCRIPTOR_CONTROL control = 0;
            DWORD revision = 0;
            GetSecurityDescriptorControl(descriptor, &control, &revision);
            const SECURITY_INFORMATION what =
                DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                           : UNPROTECTED_DACL_SECURITY_INFORMATION);
            code = SetSecurityInfo(AsHandle(to), SE_FILE_OBJECT, what, nullptr, nullptr, list, nullptr);
            LocalFree(descriptor);
        }
        // A file system without access lists (FAT) keeps none to carry.
        if (code != ERROR_SUCCESS && code != ERROR_NOT_SUPPORTED && code != ERROR_INVALID_FUNCTION)
            notCarried.push_back("nie przeniesiono listy kontroli dostępu: " + SystemReason(code).str());
    }

    bool Write(FileHandle file, const uint8_t* data, size_t size, size_t& written,
               Reason& error) override {
        DWORD n = 0;
        DWORD want = DWORD(std::min<size_t>(size, 1u << 30));
        if (!WriteFile(AsHandle(file), data, want, &n, nullptr) || n == 0) {
            if (n == 0 && GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_HANDLE_DISK_FULL);
            error = "nie można zapisać pliku: " + SystemReason(LastSystemError());
            return false;
        }
        written = n;
        return true;
    }

    bool Flush(FileHandle file, Reason& error) override {
        if (FlushFileBuffers(AsHandle(file))) return true;
        error = "nie można zapisać pliku na dysk: " + SystemReason(LastSystemError());
        return false;
    }

    // Windows has no call for a whole volume that a user may make: each
    // file is opened for writing, which a flush asks, and flushed.
    bool FlushFiles(const std::vector<std::filesystem::path>& paths, Reason& error) override {
        for (const std::filesystem::path& path : paths) {
            HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h == INVALID_HANDLE_VALUE) {
                error = StepFailure("nie można otworzyć pliku", path);
                return false;
            }
            const bool flushed = FlushFileBuffers(h);
            if (!flushed) error = "nie można zapisać pliku na dysk: " + SystemReason(LastSystemError());
            CloseHandle(h);
            if (!flushed) return false;
        }
        return true;
    }

    bool MapToRead(FileHandle file, uint64_t size, FileView& view) override {
        return size <= SIZE_MAX && view.Map(file.value, size_t(size));
    }

    bool Close(FileHandle& file, Reason& error) override {
        HANDLE h = AsHandle(file);
        file.value = -1;
        if (CloseHandle(h)) return true;
        error = "nie można zamknąć pliku: " + SystemReason(LastSystemError());
        return false;
    }

    NoReplace Link(const std::filesystem::path& existing, const std::filesystem::path& newName,
                   Reason& error) override {
        if (CreateHardLinkW(newName.c_str(), existing.c_str(), nullptr)) return NoReplace::Done;
        DWORD code = GetLastError();
        error = StepFailure("nie można utworzyć kopii zapasowej", newName);
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
                              Reason& error) override {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return NoReplace::Done;
        DWORD code = GetLastError();
        error = StepFailure("nie można zmienić nazwy pliku na", to);
        return IsNameTaken(code) ? NoReplace::NameTaken : NoReplace::Failed;
    }

    // A file that someone has open (a virus scanner, a preview, another
    // conversion looking at it) cannot be replaced: such a hold lasts a
    // moment, so a few tries are made.
    bool RenameReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                       Reason& error) override {
        for (int attempt = 1;; ++attempt) {
            if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                return true;
            const DWORD code = GetLastError();
            if (attempt == 5 || (code != ERROR_ACCESS_DENIED && code != ERROR_SHARING_VIOLATION)) break;
            Sleep(20);
        }
        error = StepFailure("nie można zastąpić pliku", to);
        return false;
    }

    // A second handle of the same open file (never of whatever its name
    // leads to by now) with the right to rename it; the file's other
    // handles let it be renamed. A holder that does not is a sharing
    // violation, as for a move by name.
    NoReplace RenameHeld(FileHandle file, const std::filesystem::path& to, Reason& error) override {
        HANDLE h = ReOpenFile(AsHandle(file), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD code = GetLastError();
            error = StepFailure("nie można zmienić nazwy pliku na", to);
            return code == ERROR_INVALID_PARAMETER || code == ERROR_NOT_SUPPORTED || code == ERROR_CALL_NOT_IMPLEMENTED
                       ? NoReplace::Unsupported
                       : NoReplace::Failed;
        }
        std::error_code ec;
        const std::wstring name = std::filesystem::absolute(to, ec).native();
        std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFO) + (name.size() + 1) * sizeof(wchar_t));
        auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
        info->ReplaceIfExists = FALSE;
        info->RootDirectory = nullptr;
        info->FileNameLength = DWORD(name.size() * sizeof(wchar_t));
        std::memcpy(info->FileName, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
        const bool renamed =
            !ec && SetFileInformationByHandle(h, FileRenameInfo, info, DWORD(buffer.size()));
        const DWORD code = renamed ? ERROR_SUCCESS : ec ? ERROR_INVALID_NAME : GetLastError();
        CloseHandle(h);
        if (renamed) return NoReplace::Done;
        SetLastError(code);
        error = StepFailure("nie można zmienić nazwy pliku na", to);
        return IsNameTaken(code) ? NoReplace::NameTaken : NoReplace::Failed;
    }

    // CreateDirectoryW makes no folder where any name is, a link included.
    NoReplace CreateFolder(const std::filesystem::path& path, Reason& error) override {
        if (CreateDirectoryW(path.c_str(), nullptr)) return NoReplace::Done;
        const DWORD code = GetLastError();
        error = StepFailure("nie można utworzyć folderu", path);
        return IsNameTaken(code) ? NoReplace::NameTaken : NoReplace::Failed;
    }

    bool RealPath(const std::filesystem::path& path, std::filesystem::path& real) override {
        HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        const std::wstring final = FinalName(h);
        CloseHandle(h);
        if (final.empty()) return false;
        real = final;
        return true;
    }

    // MOVEFILE_WRITE_THROUGH has made the names durable already.
    bool SyncFolder(const std::filesystem::path&, Reason&) override { return true; }

    bool Remove(const std::filesystem::path& path, Reason& error) override {
        if (DeleteFileW(path.c_str())) return true;
        error = StepFailure("nie można usunąć pliku", path);
        return false;
    }

    // A file open here cannot be replaced by a rename.
    bool CanReplaceOpenFile() const override { return false; }
};

}  // namespace

FileOps& SystemFileOps() {
    static Win32FileOps ops;
    return ops;
}

}  // namespace qwz::platform
