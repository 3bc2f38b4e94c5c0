// The folders a watch keeps converted, as the system really has them. A
// watch often runs for colleagues in folders others can write, so it never
// goes through a link: folders are read without following links, and a
// name counts as inside only when its real path is its folder's real path
// followed by the very names that lead to it (a link on the way, or a
// folder swapped for one meanwhile, makes it outside).
#pragma once

#include "bytes/StatusCode.h"
#include "platform/FileOps.h"

#include <filesystem>
#include <functional>
#include <vector>

namespace qwz::watch {

class WatchedTree {
public:
    explicit WatchedTree(platform::FileOps& ops) : ops_(ops) {}

    // Adds a folder to keep. False with the reason when it is no folder.
    bool Add(const std::filesystem::path& root, Reason& reason);
    const std::vector<std::filesystem::path>& roots() const { return roots_; }

    // Whether `path`, a name under one of the folders, really lies there.
    bool Inside(const std::filesystem::path& path) const;

    // Calls found(path, state) for each file under `folder` (itself inside)
    // whose name the watch converts; sub-folders are read too, those
    // outside (through a link) never.
    using Found = std::function<void(const std::filesystem::path&, const platform::FileState&)>;
    void Scan(const std::filesystem::path& folder, const Found& found) const;

private:
    platform::FileOps& ops_;
    std::vector<std::filesystem::path> roots_;  // as named, without a trailing separator
    std::vector<std::filesystem::path> real_;   // where each really is
};

}  // namespace qwz::watch
