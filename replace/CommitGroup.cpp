#include "replace/CommitGroup.h"

#include <algorithm>
#include <exception>

namespace qwz::replace {
namespace {

thread_local CommitGroup* tCurrent = nullptr;
// Whether this thread holds a place to make a file (Begin, until it waits).
thread_local bool tMaking = false;

void AddOnce(std::vector<std::filesystem::path>& folders, std::filesystem::path folder) {
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(std::move(folder));
}

// A folder that cannot be synced leaves its names as they are, which is
// what a later flush by the system would give.
void SyncEach(const std::vector<std::filesystem::path>& folders, FileOps& ops) {
    Reason ignored;
    for (const std::filesystem::path& folder : folders) ops.SyncFolder(folder, ignored);
}

// Runs one member's step; what it throws fails that member only.
template <typename Step>
bool Guarded(GroupMember& member, const Step& step) {
    try {
        return step();
    } catch (const std::exception& e) {
        member.failed = Reason(StatusCode::Unexpected, std::string("nieoczekiwany błąd: ") + e.what());
    } catch (...) {
        member.failed = Reason(StatusCode::Unexpected, "nieoczekiwany błąd");
    }
    return false;
}

}  // namespace

void CommitTogether(const std::vector<GroupMember*>& members, bool durable, FileOps& ops) {
    if (!durable) {
        std::vector<std::filesystem::path> written;
        for (GroupMember* m : members) written.push_back(m->NewFile());
        Reason error;
        bool flushed = false;
        try {
            flushed = ops.FlushFiles(written, error);
        } catch (...) {
            error = Reason(StatusCode::Unexpected, "nieoczekiwany błąd");
        }
        if (!flushed) {
            for (GroupMember* m : members) m->failed = error;
            return;
        }
    }
    // The backups' names are durable before any original leaves its name.
    std::vector<std::filesystem::path> folders;
    for (GroupMember* m : members)
        if (Guarded(*m, [m] { return m->KeepOriginal(); })) AddOnce(folders, m->Folder());
    SyncEach(folders, ops);
    folders.clear();
    for (GroupMember* m : members) {
        if (!m->failed.empty()) continue;
        Guarded(*m, [m] {
            m->TakeName();
            return true;
        });
        if (m->failed.empty()) AddOnce(folders, m->Folder());
    }
    SyncEach(folders, ops);
}

CommitGroup::CommitGroup(size_t making, size_t threads, FileOps& ops, size_t most, uint64_t bytes,
                         std::chrono::milliseconds longest)
    : making_(std::max<size_t>(making, 1)),
      threads_(std::max<size_t>(threads, 1)),
      most_(std::max<size_t>(most, 1)),
      bytes_(bytes),
      longest_(longest),
      ops_(ops) {}

void CommitGroup::Reserve(bool more) {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [&] { return reserved_ < making_; });
    ++reserved_;
    more_ = more;
    cv_.notify_all();
}

void CommitGroup::Unreserve() {
    std::lock_guard<std::mutex> lock(mutex_);
    --reserved_;
    cv_.notify_all();
}

void CommitGroup::NoMore() {
    std::lock_guard<std::mutex> lock(mutex_);
    more_ = false;
    cv_.notify_all();
}

void CommitGroup::Begin() {
    std::lock_guard<std::mutex> lock(mutex_);
    tMaking = true;
    ++makingNow_;
}

void CommitGroup::End() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (tMaking) {
        --reserved_;
        --makingNow_;
    }
    tMaking = false;
    cv_.notify_all();
}

bool CommitGroup::Ready() const {
    if (committing_ || waiting_.empty()) return false;
    if (waiting_.size() >= most_ || waitingBytes_ >= bytes_) return true;
    // Every file begun waits or is done, and none can join them: the
    // run's threads all wait, or no other file begins.
    return reserved_ == 0 && (!more_ || waiting_.size() >= threads_);
}

void CommitGroup::Commit(GroupMember& member) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (tMaking) {
        --reserved_;
        --makingNow_;
    }
    tMaking = false;
    waiting_.push_back(&member);
    waitingBytes_ += member.Size();
    cv_.notify_all();
    const auto isDone = [&] { return std::find(done_.begin(), done_.end(), &member) != done_.end(); };
    for (;;) {
        // Woken when ready; after the longest wait, those waiting are
        // committed as they are unless every file reserved is being made
        // (a file made slowly joins them all the same).
        const bool ready = cv_.wait_for(lock, longest_, [&] { return isDone() || Ready(); });
        if (isDone()) {
            done_.erase(std::find(done_.begin(), done_.end(), &member));
            return;
        }
        if (committing_ || waiting_.empty() || (!ready && reserved_ != 0 && reserved_ == makingNow_)) continue;
        std::vector<GroupMember*> group;
        group.swap(waiting_);
        waitingBytes_ = 0;
        committing_ = true;
        lock.unlock();
        CommitTogether(group, false, ops_);
        lock.lock();
        committing_ = false;
        done_.insert(done_.end(), group.begin(), group.end());
        cv_.notify_all();
    }
}

CommitGroup::Scope::Scope(CommitGroup& group) : previous_(tCurrent) { tCurrent = &group; }
CommitGroup::Scope::~Scope() { tCurrent = previous_; }
CommitGroup* CommitGroup::Current() { return tCurrent; }

}  // namespace qwz::replace
