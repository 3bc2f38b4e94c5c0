#include "platform/FolderEvents.h"

#include "platform/FileOps.h"
#include "platform/SystemError.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>

namespace qwz::platform {
namespace {

// What a watch is told of: names made, removed or renamed (files and
// folders), and writes (size, time of last write).
constexpr DWORD kNotices = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_SIZE |
                           FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_CREATION;
// The notices read at once; a network share takes at most 64 KB.
constexpr DWORD kBufferBytes = 64 * 1024;
// WaitForMultipleObjects waits for at most this many handles.
constexpr size_t kMostRoots = MAXIMUM_WAIT_OBJECTS;

// One watched folder with its whole subtree: its handle, opened for
// overlapped reads of its notices, and the read under way. Kept in one
// place in memory while a read is under way: the system writes into it.
struct Root {
    std::filesystem::path path;
    HANDLE folder = INVALID_HANDLE_VALUE;
    HANDLE ready = nullptr;  // set when the read under way completes
    OVERLAPPED read{};
    DWORD buffer[kBufferBytes / sizeof(DWORD)] = {};  // the notices are DWORD-aligned
    bool pending = false;

    Root() = default;
    Root(const Root&) = delete;
    Root& operator=(const Root&) = delete;
    ~Root() {
        if (pending) {
            CancelIoEx(folder, &read);
            DWORD ignored = 0;
            GetOverlappedResult(folder, &read, &ignored, TRUE);
        }
        if (folder != INVALID_HANDLE_VALUE) CloseHandle(folder);
        if (ready) CloseHandle(ready);
    }

    // Asks for the next notices. False with the system's error when it
    // refuses (the folder went away).
    bool Start(DWORD& error) {
        ResetEvent(ready);
        read = OVERLAPPED{};
        read.hEvent = ready;
        // Every folder below is watched through this one handle; the system
        // does not go through links and junctions to other folders.
        if (!ReadDirectoryChangesW(folder, buffer, sizeof buffer, TRUE, kNotices, nullptr, &read, nullptr)) {
            error = GetLastError();
            pending = false;
            return false;
        }
        pending = true;
        return true;
    }
};

class WindowsFolderEvents final : public FolderEvents {
public:
    bool Watch(const std::filesystem::path& root, Reason& reason) override {
        if (roots_.size() >= kMostRoots) {
            reason = Reason(StatusCode::SystemError, "za dużo obserwowanych folderów naraz (najwyżej " +
                                                         std::to_string(kMostRoots) + ")");
            return false;
        }
        auto watched = std::make_unique<Root>();
        watched->path = root;
        // The folder's handle must not keep others from renaming or
        // removing what is in it, nor the folder itself.
        watched->folder = CreateFileW(root.c_str(), FILE_LIST_DIRECTORY,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
        DWORD error = 0;
        if (watched->folder == INVALID_HANDLE_VALUE) error = GetLastError();
        if (!error && !(watched->ready = CreateEventW(nullptr, TRUE, FALSE, nullptr))) error = GetLastError();
        if (!error) watched->Start(error);
        if (error) {
            reason = "nie da się obserwować folderu " + PathForMessage(root) + ": " + SystemReason(error);
            return false;
        }
        roots_.push_back(std::move(watched));
        return true;
    }

    Result Wait(std::chrono::milliseconds timeout, std::vector<std::filesystem::path>& changed) override {
        std::vector<HANDLE> ready;
        for (const auto& root : roots_)
            if (root->pending) ready.push_back(root->ready);
        const DWORD wait = DWORD(std::clamp<long long>(timeout.count(), 0, INFINITE - 1));
        if (ready.empty()) {
            Sleep(wait);
            return lost_ ? Result::Failed : Result::TimedOut;
        }
        const DWORD woke = WaitForMultipleObjects(DWORD(ready.size()), ready.data(), FALSE, wait);
        if (woke == WAIT_TIMEOUT) return Result::TimedOut;
        if (woke == WAIT_FAILED) return Result::Failed;

        // Every read that has completed is taken, not only the one that
        // woke the wait, so that no root waits behind a busy one.
        bool overflowed = false;
        bool failed = false;
        std::set<std::filesystem::path> seen;
        for (const auto& root : roots_) {
            if (!root->pending || WaitForSingleObject(root->ready, 0) != WAIT_OBJECT_0) continue;
            DWORD bytes = 0;
            DWORD error = 0;
            root->pending = false;
            if (!GetOverlappedResult(root->folder, &root->read, &bytes, FALSE)) error = GetLastError();
            if (error == ERROR_NOTIFY_ENUM_DIR || (!error && bytes == 0)) {
                // More happened than the buffer held: the notices are lost.
                overflowed = true;
            } else if (error) {
                failed = true;
            } else {
                Collect(*root, bytes, changed, seen);
            }
            // A root whose folder went away gives no notices any more; the
            // caller reads the folders again and watches anew.
            if (!root->Start(error)) failed = lost_ = true;
        }
        if (failed) return Result::Failed;
        if (overflowed) return Result::Overflowed;
        return seen.empty() ? Result::TimedOut : Result::Changed;
    }

private:
    // Appends the full path of each name the completed read tells of, once.
    static void Collect(const Root& root, DWORD bytes, std::vector<std::filesystem::path>& changed,
                        std::set<std::filesystem::path>& seen) {
        const auto* at = reinterpret_cast<const BYTE*>(root.buffer);
        const BYTE* end = at + std::min<DWORD>(bytes, sizeof root.buffer);
        while (at + sizeof(FILE_NOTIFY_INFORMATION) <= end) {
            const auto* notice = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(at);
            const size_t units = notice->FileNameLength / sizeof(WCHAR);
            if (reinterpret_cast<const BYTE*>(notice->FileName) + notice->FileNameLength > end) break;
            std::filesystem::path name = root.path / std::wstring(notice->FileName, units);
            if (seen.insert(name).second) changed.push_back(std::move(name));
            if (notice->NextEntryOffset == 0) break;
            at += notice->NextEntryOffset;
        }
    }

    std::vector<std::unique_ptr<Root>> roots_;
    bool lost_ = false;  // a root's notices stopped
};

}  // namespace

std::unique_ptr<FolderEvents> SystemFolderEvents() { return std::make_unique<WindowsFolderEvents>(); }

}  // namespace qwz::platform
