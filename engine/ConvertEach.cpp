#include "engine/ConvertEach.h"

#include "platform/FileOps.h"
#include "platform/Parallel.h"
#include "replace/Leftovers.h"

namespace qwz {

size_t ConvertEach(const std::vector<std::filesystem::path>& files, const std::function<bool(size_t)>& start,
                   const std::function<void(size_t)>& convert, platform::FileOps& ops) {
    return ConvertEach(files, 0, start, convert, ops);
}

size_t ConvertEach(const std::vector<std::filesystem::path>& files, size_t threads,
                   const std::function<bool(size_t)>& start, const std::function<void(size_t)>& convert,
                   platform::FileOps& ops) {
    replace::LeftoverIndex leftovers;
    const auto alone = [&files, &ops](size_t i) {
        platform::FileState state;
        return ops.Examine(files[i], true, &state) == platform::NameKind::Regular &&
               state.size >= kConvertAloneFrom;
    };
    return platform::ForEachInOrder(files.size(), threads != 0 ? threads : platform::ProcessorCount(), start, alone,
                                    [&](size_t i) {
                                        replace::LeftoverIndex::Scope scope(leftovers);
                                        convert(i);
                                    });
}

}  // namespace qwz
