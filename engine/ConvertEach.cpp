#include "engine/ConvertEach.h"

#include "platform/FileOps.h"
#include "platform/Parallel.h"
#include "replace/CommitGroup.h"
#include "replace/Leftovers.h"

#include <algorithm>

namespace qwz {

size_t ConvertEach(const std::vector<std::filesystem::path>& files, const std::function<bool(size_t)>& start,
                   const std::function<void(size_t)>& convert, platform::FileOps& ops) {
    return ConvertEach(files, 0, start, convert, ops);
}

size_t ConvertEach(const std::vector<std::filesystem::path>& files, size_t threads,
                   const std::function<bool(size_t)>& start, const std::function<void(size_t)>& convert,
                   platform::FileOps& ops) {
    replace::LeftoverIndex leftovers;
    // `threads` files are made at once; many more wait, written and
    // checked, for their group's last steps, each on a thread of its own:
    // a group, and the next one filling while it is committed.
    const size_t making = threads != 0 ? threads : platform::ProcessorCount();
    const size_t workers = std::min(files.size(), std::max(making, 2 * replace::CommitGroup::kMostFiles));
    replace::CommitGroup group(making, workers, ops);
    std::vector<char> single(files.size(), 0);
    const auto alone = [&](size_t i) {
        platform::FileState state;
        single[i] = ops.Examine(files[i], true, &state) == platform::NameKind::Regular &&
                    state.size >= kConvertAloneFrom;
        // The files waiting commit before it runs.
        if (single[i]) group.NoMore();
        return single[i] != 0;
    };
    const auto reserved = [&](size_t i) {
        group.Reserve(i + 1 < files.size() && !single[i]);
        if (start(i)) return true;
        group.Unreserve();
        group.NoMore();
        return false;
    };
    return platform::ForEachInOrder(files.size(), workers, reserved, alone, [&](size_t i) {
        replace::LeftoverIndex::Scope scope(leftovers);
        replace::CommitGroup::Scope grouped(group);
        struct Made {
            replace::CommitGroup& group;
            explicit Made(replace::CommitGroup& g) : group(g) { group.Begin(); }
            ~Made() { group.End(); }
            Made(const Made&) = delete;
            Made& operator=(const Made&) = delete;
        } made(group);
        convert(i);
    });
}

}  // namespace qwz
