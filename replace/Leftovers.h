// The leftover temporary files of many conversions in a few folders, looked
// for once per folder: the first conversion in a folder lists it, and every
// conversion then takes the names of its own file's leftovers from that
// list, so that what a file costs does not grow with its folder.
//
// The list of a folder is taken before any conversion that shares the index
// makes a temporary file there (each asks the index first, and waits while
// it lists), so it holds only what earlier runs left. A leftover made after
// the list was taken (by a program stopped meanwhile) is found by a later
// run instead.
#pragma once

#include "replace/Seam.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

namespace qwz::replace {

class LeftoverIndex {
public:
    LeftoverIndex() = default;
    LeftoverIndex(const LeftoverIndex&) = delete;
    LeftoverIndex& operator=(const LeftoverIndex&) = delete;

    // The temporary names of `target` in its folder (IsTemporaryNameOf and
    // IsAsideNameOf), full paths, each handed out once. Lists the folder
    // through `ops` at the first question about it.
    std::vector<std::filesystem::path> Take(const std::filesystem::path& target, FileOps& ops);

    // While a Scope lives, the conversions on its thread share `index`:
    // RemoveStaleTemporaries asks it instead of listing the folder.
    class Scope {
    public:
        explicit Scope(LeftoverIndex& index);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        LeftoverIndex* previous_;
    };
    // The index of the innermost Scope on this thread; nullptr: none.
    static LeftoverIndex* Current();

private:
    using NativeString = std::filesystem::path::string_type;
    // Per folder, the names that look like temporaries ("~qwz-…"), by the
    // prefix that carries their file's name hash.
    std::map<NativeString, std::map<NativeString, std::vector<std::filesystem::path>>> folders_;
    std::mutex mutex_;
};

}  // namespace qwz::replace
