#pragma once

#include "replace/CommitGroup.h"
#include "replace/SafeReplace.h"

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace qwz::test {

// Replaces each of `targets` by `bytes` with options(i) as a batch does:
// each on a thread of its own, their last steps taken together as one
// group. Returns each one's reason, empty where it was replaced.
inline std::vector<Reason> ReplaceTogether(const std::vector<std::filesystem::path>& targets,
                                           const std::vector<uint8_t>& bytes,
                                           const std::function<replace::ReplaceOptions(size_t)>& options,
                                           platform::FileOps& ops) {
    const size_t n = targets.size();
    replace::CommitGroup group(n, n, ops, n, replace::CommitGroup::kMostBytes, std::chrono::minutes(10));
    std::vector<Reason> reasons(n);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < n; ++i) {
        group.Reserve(i + 1 < n);
        threads.emplace_back([&, i] {
            replace::CommitGroup::Scope scope(group);
            group.Begin();
            Reason reason;
            if (!replace::ReplaceFileSafely(targets[i], bytes, options(i), reason, ops))
                reasons[i] = !reason.empty() ? reason : Reason(StatusCode::Unexpected, "niezastąpiony, bez powodu");
            group.End();
        });
    }
    for (std::thread& t : threads) t.join();
    return reasons;
}

}  // namespace qwz::test
