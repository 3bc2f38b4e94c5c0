// What a command that works through many files tells its caller while it
// runs, and asks it: each file's result as soon as it is known, the file
// being started (for a progress line), and whether to start another.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>

namespace qwz::cli {

template <class Entry>
struct FileHooks {
    // True: start no further file (those running finish).
    std::function<bool()> stop;
    // File `index` (1-based) of `count` is being started.
    std::function<void(size_t index, size_t count, const std::filesystem::path& path)> started;
    // An entry of the report, in the report's order, once it is complete.
    std::function<void(const Entry& entry)> done;
};

}  // namespace qwz::cli
