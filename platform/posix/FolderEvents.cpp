#include "platform/FolderEvents.h"

#include "platform/FileOps.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <map>
#include <poll.h>
#include <set>
#include <sys/inotify.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace qwz::platform {
namespace {

// What a watched folder tells: names made, written, closed after writing,
// moved in or out, removed, their times changed. A link at a folder's name
// is never watched through, and only folders are watched.
constexpr uint32_t kFolderMask = IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_MOVED_FROM | IN_MOVED_TO |
                                 IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF | IN_DONT_FOLLOW | IN_ONLYDIR |
                                 IN_EXCL_UNLINK;

class InotifyEvents : public FolderEvents {
public:
    explicit InotifyEvents(int fd) : fd_(fd) {}
    ~InotifyEvents() override { ::close(fd_); }
    InotifyEvents(const InotifyEvents&) = delete;
    InotifyEvents& operator=(const InotifyEvents&) = delete;

    bool Watch(const fs::path& root, Reason& reason) override {
        if (!Add(root, &reason, true)) return false;
        roots_.insert(root);
        failed_ = false;
        return AddBelow(root, &reason);
    }

    Result Wait(std::chrono::milliseconds timeout, std::vector<fs::path>& changed) override {
        if (failed_) return Result::Failed;
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(std::max<int64_t>(0, std::min<int64_t>(timeout.count(), INT_MAX))));
        if (ready < 0 && errno != EINTR) return Result::Failed;
        if (ready <= 0) return Result::TimedOut;
        bool overflowed = false;
        std::set<fs::path> seen(changed.begin(), changed.end());
        alignas(inotify_event) char buffer[64 * 1024];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0) return errno == EAGAIN || errno == EINTR ? Result::TimedOut : Result::Failed;
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + e->len);
            if (e->mask & IN_Q_OVERFLOW) {
                overflowed = true;
                continue;
            }
            Take(*e, changed, seen);
        }
        if (failed_) return Result::Failed;
        if (overflowed) return Result::Overflowed;
        return changed.empty() ? Result::TimedOut : Result::Changed;
    }

private:
    // False when the system refuses; a folder below a root that went away
    // meanwhile (or a link put in its place) is no refusal.
    bool Add(const fs::path& folder, Reason* reason, bool root = false) {
        const int wd = ::inotify_add_watch(fd_, folder.c_str(), kFolderMask);
        if (wd >= 0) {
            folders_[wd] = folder;
            return true;
        }
        if (!root && (errno == ENOENT || errno == ENOTDIR)) return true;
        if (reason)
            *reason = "nie można obserwować folderu " + PathForMessage(folder) + ": " + SystemReason(LastSystemError());
        return false;
    }

    // Every folder under `folder`, links not followed. False when the
    // system refuses one (too many watches): its notices would be missed.
    bool AddBelow(const fs::path& folder, Reason* reason) {
        std::error_code ec;
        for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
             !ec && it != end; it.increment(ec)) {
            if (it->is_symlink(ec) || !it->is_directory(ec)) continue;
            if (!Add(it->path(), reason)) return false;
        }
        return true;
    }

    // Stops watching `folder` and every folder under it (moved away).
    void Forget(const fs::path& folder) {
        for (auto it = folders_.begin(); it != folders_.end();) {
            const auto rel = it->second.lexically_relative(folder);
            if (!rel.empty() && *rel.begin() != "..") {
                ::inotify_rm_watch(fd_, it->first);
                it = folders_.erase(it);
            } else {
                ++it;
            }
        }
    }

    void Take(const inotify_event& e, std::vector<fs::path>& changed, std::set<fs::path>& seen) {
        const auto folder = folders_.find(e.wd);
        if (folder == folders_.end()) return;
        if (e.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
            // A watched root that went away ends the notices; a folder
            // under it is told by its parent.
            if (roots_.count(folder->second)) failed_ = true;
            if (e.mask & IN_IGNORED) folders_.erase(folder);
            return;
        }
        if (e.len == 0) return;
        const fs::path path = folder->second / e.name;
        if (e.mask & IN_ISDIR) {
            if (e.mask & IN_MOVED_FROM) Forget(path);
            if (e.mask & (IN_CREATE | IN_MOVED_TO)) {
                // Watched before the caller reads it: what arrives in it
                // from now on is told. Refused: the notices end here, and
                // the caller reads the folders on a timer instead.
                if (!Add(path, nullptr) || !AddBelow(path, nullptr)) failed_ = true;
            }
        }
        if (seen.insert(path).second) changed.push_back(path);
    }

    int fd_;
    std::map<int, fs::path> folders_;  // by watch descriptor
    std::set<fs::path> roots_;
    bool failed_ = false;
};

}  // namespace

std::unique_ptr<FolderEvents> SystemFolderEvents() {
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) return nullptr;
    return std::make_unique<InotifyEvents>(fd);
}

}  // namespace qwz::platform
