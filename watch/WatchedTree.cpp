#include "watch/WatchedTree.h"

#include "platform/PathNames.h"
#include "watch/WatchedNames.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace qwz::watch {

bool WatchedTree::Add(const fs::path& named, Reason& reason) {
    fs::path root = named.lexically_normal();
    if (!root.has_filename() && root.has_relative_path()) root = root.parent_path();
    fs::path real;
    if (ops_.Examine(root, true, nullptr) != platform::NameKind::Folder || !ops_.RealPath(root, real)) {
        reason = Reason(StatusCode::NotFound, "nie ma takiego folderu: " + platform::PathForMessage(named));
        return false;
    }
    roots_.push_back(root);
    real_.push_back(real);
    return true;
}

bool WatchedTree::Inside(const fs::path& path) const {
    for (size_t i = 0; i < roots_.size(); ++i) {
        if (!platform::IsWithin(path, roots_[i])) continue;
        fs::path real;
        if (!ops_.RealPath(path, real)) return false;
        const fs::path expected = (real_[i] / path.lexically_relative(roots_[i])).lexically_normal();
        if (real.lexically_normal() == expected) return true;
    }
    return false;
}

void WatchedTree::Scan(const fs::path& folder, const Found& found) const {
    std::vector<platform::FolderEntry> entries;
    Reason ignored;
    // A folder that cannot be read is read again at the next scan.
    ops_.ReadFolder(folder, entries, ignored);
    std::sort(entries.begin(), entries.end(),
              [](const platform::FolderEntry& a, const platform::FolderEntry& b) { return a.name < b.name; });
    for (const platform::FolderEntry& entry : entries) {
        const fs::path path = folder / entry.name;
        if (entry.kind == platform::NameKind::Folder) {
            if (Inside(path)) Scan(path, found);
        } else if (entry.kind == platform::NameKind::Regular && IsWatchedName(path)) {
            platform::FileState state;
            if (ops_.Examine(path, false, &state) == platform::NameKind::Regular) found(path, state);
        }
    }
}

}  // namespace qwz::watch
