#include "watch/Settling.h"

#include "platform/PathNames.h"

#include <algorithm>
#include <iterator>
#include <set>

namespace fs = std::filesystem;

namespace qwz::watch {

bool Settling::Seen(const fs::path& path, const platform::FileState& state, TimePoint now) {
    const auto [it, added] = files_.try_emplace(path, Record{state, now, false});
    if (added) return true;
    if (it->second.state == state) return false;
    it->second = Record{state, now, false};
    return true;
}

void Settling::Gone(const fs::path& path) {
    // A folder's files follow it in path order, one after another.
    auto it = files_.lower_bound(path);
    while (it != files_.end() && platform::IsWithin(it->first, path)) it = files_.erase(it);
}

void Settling::Forget(const fs::path& folder, const std::vector<fs::path>& present) {
    const std::set<fs::path> kept(present.begin(), present.end());
    for (auto it = files_.lower_bound(folder); it != files_.end() && platform::IsWithin(it->first, folder);)
        it = kept.count(it->first) ? std::next(it) : files_.erase(it);
}

void Settling::Retry(const fs::path& path, TimePoint now) {
    if (const auto it = files_.find(path); it != files_.end()) it->second.since = now;
}

void Settling::Settled(const fs::path& path, const platform::FileState& state) {
    files_[path] = Record{state, {}, true};
}

std::vector<fs::path> Settling::Due(TimePoint now) const {
    std::vector<fs::path> due;
    for (const auto& [path, record] : files_)
        if (!record.settled && now - record.since >= settle_) due.push_back(path);
    return due;
}

std::optional<TimePoint> Settling::NextDue() const {
    std::optional<TimePoint> next;
    for (const auto& [path, record] : files_)
        if (!record.settled && (!next || record.since + settle_ < *next)) next = record.since + settle_;
    return next;
}

}  // namespace qwz::watch
