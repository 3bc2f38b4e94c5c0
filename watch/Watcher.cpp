#include "watch/Watcher.h"

#include "engine/ConvertEach.h"
#include "watch/WatchedNames.h"

#include <algorithm>
#include <thread>

namespace fs = std::filesystem;

namespace qwz::watch {
namespace {

using platform::FolderEvents;
using platform::NameKind;

// Outcomes that say another program has the file now: it is tried again
// later, never reported as a failure.
bool HeldByAnother(StatusCode code) {
    return code == StatusCode::InUse || code == StatusCode::Locked || code == StatusCode::Changed;
}

// How long a round waits at most, so that a stop is seen at once.
constexpr std::chrono::milliseconds kMoment{500};

}  // namespace

Watcher::Watcher(WatchSettings settings, platform::FileOps& ops, std::unique_ptr<FolderEvents> events, Clock now,
                 WatchReport report)
    : settings_(std::move(settings)), ops_(ops), events_(std::move(events)), now_(std::move(now)),
      report_(std::move(report)), tree_(ops), settling_(settings_.settle) {}

bool Watcher::Start(Reason& reason) {
    for (const fs::path& folder : settings_.folders)
        if (!tree_.Add(folder, reason)) return false;
    if (settings_.pollOnly) events_.reset();
    // Watched before they are read: what arrives meanwhile is told.
    WatchAnew();
    ScanAll();
    return true;
}

void Watcher::WatchAnew() {
    if (!events_) return;
    for (const fs::path& root : tree_.roots()) {
        Reason why;
        if (!events_->Watch(root, why)) {
            // No notices there (a network share, too many watches): the
            // folders are read on the timer instead.
            events_.reset();
            return;
        }
    }
}

void Watcher::ScanAll() {
    for (const fs::path& root : tree_.roots()) {
        // What is no longer there is forgotten; the rest seen afresh.
        std::vector<fs::path> present;
        tree_.Scan(root, [&](const fs::path& path, const platform::FileState& state) {
            settling_.Seen(path, state, now_());
            present.push_back(path);
        });
        settling_.Forget(root, present);
    }
    nextScan_ = now_() + settings_.poll;
}

void Watcher::Look(const fs::path& path) {
    platform::FileState state;
    switch (ops_.Examine(path, false, &state)) {
    case NameKind::Regular:
        if (IsWatchedName(path)) settling_.Seen(path, state, now_());
        return;
    case NameKind::Folder:
        // A folder made or moved in: what it holds already is read here.
        if (tree_.Inside(path))
            tree_.Scan(path, [&](const fs::path& p, const platform::FileState& s) { settling_.Seen(p, s, now_()); });
        return;
    default:
        settling_.Gone(path);
        return;
    }
}

void Watcher::Step(std::chrono::milliseconds wait, const std::function<bool()>& stop) {
    if (events_) {
        std::vector<fs::path> changed;
        switch (events_->Wait(wait, changed)) {
        case FolderEvents::Result::Changed:
            for (const fs::path& path : changed) Look(path);
            break;
        case FolderEvents::Result::TimedOut: break;
        case FolderEvents::Result::Overflowed: ScanAll(); break;
        case FolderEvents::Result::Failed:
            WatchAnew();
            ScanAll();
            break;
        }
    } else if (now_() >= nextScan_) {
        ScanAll();
    }
    ConvertDue(stop);
}

std::chrono::milliseconds Watcher::Idle(std::chrono::milliseconds limit) const {
    const TimePoint now = now_();
    TimePoint until = now + limit;
    if (const std::optional<TimePoint> next = settling_.NextDue()) until = std::min(until, *next);
    if (!events_) until = std::min(until, nextScan_);
    return std::max(std::chrono::milliseconds(0), std::chrono::ceil<std::chrono::milliseconds>(until - now));
}

bool Watcher::HeldForWriting(const fs::path& path) {
    platform::FileHandle file;
    Reason error;
    // Windows refuses to open a file another program writes.
    if (!ops_.OpenToRead(path, file, error)) return error.code == StatusCode::InUse;
    const bool writing = ops_.WatchWriters(file) == platform::Writers::Present;
    ops_.Close(file, error);
    return writing;
}

void Watcher::ConvertDue(const std::function<bool()>& stop) {
    std::vector<fs::path> ready;
    std::vector<platform::FileState> states;
    const TimePoint now = now_();
    for (const fs::path& path : settling_.Due(now)) {
        platform::FileState state;
        if (ops_.Examine(path, false, &state) != NameKind::Regular) {
            settling_.Gone(path);
        } else if (settling_.Seen(path, state, now)) {
            // Changed since it was last seen: its settle time starts again.
        } else if (!tree_.Inside(path)) {
            // Reached through a link, or a folder on its way was swapped for
            // one: never touched.
            settling_.Settled(path, state);
        } else if (HeldForWriting(path)) {
            settling_.Retry(path, now);
        } else {
            ready.push_back(path);
            states.push_back(state);
        }
    }
    if (ready.empty()) return;
    ConvertEach(
        ready, settings_.jobs, [&stop](size_t) { return !stop(); },
        [&](size_t i) {
            const ConversionOutcome outcome = ConvertQwz(ready[i], settings_.request, ops_);
            std::lock_guard<std::mutex> lock(mutex_);
            Settle(ready[i], states[i], outcome);
        },
        ops_);
}

void Watcher::Settle(const fs::path& path, const platform::FileState& before, const ConversionOutcome& outcome) {
    switch (outcome.status) {
    case ConversionStatus::Converted: {
        report_(path, outcome);
        // The new file is seen as any other: at the target, it is then
        // skipped from its header and not told.
        platform::FileState after;
        if (ops_.Examine(path, false, &after) == NameKind::Regular) settling_.Seen(path, after, now_());
        else settling_.Gone(path);
        return;
    }
    case ConversionStatus::Skipped: settling_.Settled(path, before); return;
    case ConversionStatus::Failed: break;
    }
    if (outcome.code == StatusCode::NotFound) {
        settling_.Gone(path);
    } else if (HeldByAnother(outcome.code)) {
        settling_.Retry(path, now_());
    } else {
        report_(path, outcome);
        settling_.Settled(path, before);
    }
}

void RunWatch(Watcher& watcher, const std::function<bool()>& stop) {
    while (!stop()) {
        const std::chrono::milliseconds wait = watcher.Idle(kMoment);
        if (watcher.Polling()) {
            std::this_thread::sleep_for(wait);
            watcher.Step(std::chrono::milliseconds(0), stop);
        } else {
            watcher.Step(wait, stop);
        }
    }
}

}  // namespace qwz::watch
