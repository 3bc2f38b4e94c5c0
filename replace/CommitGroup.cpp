#include "replace/CommitGroup.h"

#include "platform/ConversionSlot.h"

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
    room_.wait(lock, [&] { return reserved_ < making_; });
    ++reserved_;
    more_ = more;
}

void CommitGroup::Unreserve() {
    std::lock_guard<std::mutex> lock(mutex_);
    --reserved_;
    room_.notify_one();
    watch_.notify_one();
}

void CommitGroup::NoMore() {
    std::lock_guard<std::mutex> lock(mutex_);
    more_ = false;
    watch_.notify_one();
}

void CommitGroup::Begin() {
    std::lock_guard<std::mutex> lock(mutex_);
    tMaking = true;
}

void CommitGroup::GiveBackPlace() {
    if (!tMaking) return;
    tMaking = false;
    --reserved_;
    room_.notify_one();
}

void CommitGroup::End() {
    std::lock_guard<std::mutex> lock(mutex_);
    GiveBackPlace();
    watch_.notify_one();
}

bool CommitGroup::Ready() const {
    if (!open_) return false;
    if (open_->members.size() >= most_ || open_->bytes >= bytes_) return true;
    // Every file begun waits or is done, and none can join them: the
    // run's threads all wait, or no other file begins.
    return reserved_ == 0 && (!more_ || open_->members.size() >= threads_);
}

void CommitGroup::Commit(GroupMember& member) {
    // A file waiting for its group makes nothing: its slot among the
    // machine's conversions goes to the next file, which the group may be
    // waiting for.
    if (platform::ConversionSlot* slot = platform::ConversionSlot::OnThisThread()) slot->Release();
    std::unique_lock<std::mutex> lock(mutex_);
    GiveBackPlace();
    if (!open_) open_ = std::make_shared<Batch>();
    const std::shared_ptr<Batch> batch = open_;
    batch->members.push_back(&member);
    batch->bytes += member.Size();
    // The first of a group watches for it to be ready and commits it; the
    // others wait for that.
    if (batch->members.size() > 1) {
        watch_.notify_one();
        batch->committed.wait(lock, [&] { return batch->done; });
        return;
    }
    // After the longest wait the group is committed as it is; files still
    // being made join the next.
    watch_.wait_for(lock, longest_, [&] { return Ready(); });
    // Later files make a new group, which may be committed beside this one.
    open_.reset();
    lock.unlock();
    CommitTogether(batch->members, false, ops_);
    lock.lock();
    batch->done = true;
    batch->committed.notify_all();
}

CommitGroup::Scope::Scope(CommitGroup& group) : previous_(tCurrent) { tCurrent = &group; }
CommitGroup::Scope::~Scope() { tCurrent = previous_; }
CommitGroup* CommitGroup::Current() { return tCurrent; }

}  // namespace qwz::replace
