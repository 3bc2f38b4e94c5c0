// The record of the files a watch has seen: each file's state (which file,
// its size, its time of last change) and since when it has had it. A file
// is looked at once its state has been still for the settle time; once its
// outcome is final for a state (converted, skipped, failed for good) it is
// not looked at again until the state changes, so that a file at the
// target, or a damaged one, is not reported again and again.
#pragma once

#include "platform/FileOps.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <vector>

namespace qwz::watch {

using TimePoint = std::chrono::steady_clock::time_point;

class Settling {
public:
    explicit Settling(std::chrono::milliseconds settle) : settle_(settle) {}

    // `path` has `state` at `now`. A new file, or a new state of a known
    // one, starts its settle time afresh. True when that happened.
    bool Seen(const std::filesystem::path& path, const platform::FileState& state, TimePoint now);
    // Nothing is at `path` any more: forgotten, and, for a folder, every
    // file under it.
    void Gone(const std::filesystem::path& path);
    // A folder read whole: the files under it that are not among `present`
    // are forgotten (their notices may have been lost).
    void Forget(const std::filesystem::path& folder, const std::vector<std::filesystem::path>& present);
    // Held by another program: looked at again after another settle time.
    void Retry(const std::filesystem::path& path, TimePoint now);
    // Done with while it has `state`.
    void Settled(const std::filesystem::path& path, const platform::FileState& state);

    // The files still for the settle time at `now` that wait to be looked
    // at, in path order.
    std::vector<std::filesystem::path> Due(TimePoint now) const;
    // When the next file falls due; none while none waits.
    std::optional<TimePoint> NextDue() const;

private:
    struct Record {
        platform::FileState state;
        TimePoint since;
        bool settled = false;
    };
    std::chrono::milliseconds settle_;
    std::map<std::filesystem::path, Record> files_;
};

}  // namespace qwz::watch
