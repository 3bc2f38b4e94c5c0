// Many files converted at once, for the front ends that take many (the
// window's batch, `qwz convert`): on every core, started in the order given
// so that progress can be shown file by file, each file's outcome kept in
// its place by the caller, so that reports read as if the files had been
// converted one after another.
#pragma once

#include "platform/FileOps.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

namespace qwz {

// A file this large or larger is converted with no other beside it: its
// meshes are already spread over every core, and several such files at once
// could need more memory than the machine has.
inline constexpr uint64_t kConvertAloneFrom = uint64_t(16) << 20;

// Calls convert(i) for every file, on up to one thread per processor.
// start(i) is called on the calling thread, in order, just before file i is
// started; false stops there and no later file is started. The conversions
// started here share one look per folder for leftover temporary files, and
// their replacements take their last steps in groups (replace::CommitGroup):
// a file's convert(i) returns once its group has put it in place, and a
// stop (start returning false) lets the files waiting complete first.
// The files' sizes are asked of `ops`.
// Returns the number of files started once all of them have returned. An
// exception from convert is rethrown here (that of the lowest file), after
// which no further file is started.
size_t ConvertEach(const std::vector<std::filesystem::path>& files, const std::function<bool(size_t)>& start,
                   const std::function<void(size_t)>& convert, platform::FileOps& ops = platform::SystemFileOps());
// The same on up to `threads` threads (0: one per processor).
size_t ConvertEach(const std::vector<std::filesystem::path>& files, size_t threads,
                   const std::function<bool(size_t)>& start, const std::function<void(size_t)>& convert,
                   platform::FileOps& ops = platform::SystemFileOps());

}  // namespace qwz
