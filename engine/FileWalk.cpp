#include "engine/FileWalk.h"

#include "platform/PathNames.h"
#include "replace/BackupName.h"

#include <algorithm>
#include <compare>
#include <set>

namespace fs = std::filesystem;

namespace qwz {
namespace {

using platform::AsciiLower;
using platform::FileOps;
using platform::NameKind;

// Where a file's name is: its folder (as the system tells one folder from
// another) and its name there, a link at the name followed to where it
// leads. Two spellings of one name compare equal; two hard links of one
// file are two names and do not.
struct NameKey {
    uint64_t device = 0, folder = 0;
    fs::path::string_type name;
    auto operator<=>(const NameKey&) const = default;
};

// The names already listed.
class Listed {
public:
    explicit Listed(FileOps& ops) : ops_(ops) {}

    // True the first time a name is met.
    bool First(const fs::path& path) { return keys_.insert(KeyOf(path)).second; }

private:
    NameKey KeyOf(const fs::path& named) {
        fs::path path = named, target;
        if (ops_.LinkTarget(path, target)) path = target;
        const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
        if (folder != folder_) {
            folder_ = folder;
            known_ = ops_.Examine(folder, true, &state_) == NameKind::Folder;
        }
        if (!known_) {
            // A folder the system will not describe: the spelling decides.
            std::error_code ec;
            return {0, 0, fs::absolute(path, ec).lexically_normal().native()};
        }
        return {state_.device, state_.file, path.filename().native()};
    }

    FileOps& ops_;
    std::set<NameKey> keys_;
    fs::path folder_;  // the folder of the last name, and what the system says of it
    platform::FileState state_;
    bool known_ = false;
};

Reason FolderReason(const Reason& why) { return "nie można odczytać folderu (" + why + ")"; }

// The *.qwz files of one folder and, when asked, of its sub-folders (links
// to folders are not followed, so no walk can loop). A folder that cannot be
// read is reported and the walk goes on with the others. Returns whether
// it has sub-folders.
bool WalkFolder(FileOps& ops, const fs::path& dir, bool recursive, const platform::FileState* leaveOut,
                std::vector<fs::path>& found, std::vector<WalkEntry>& unreadable) {
    std::vector<platform::FolderEntry> entries;
    Reason why;
    const bool read = ops.ReadFolder(dir, entries, why);
    std::vector<fs::path> subfolders;
    // A link the system shows as the folder it leads to (a host's link under
    // Wine) is told by where that folder really is.
    fs::path real, realSub;
    if (recursive && !ops.RealPath(dir, real)) real.clear();
    for (const platform::FolderEntry& entry : entries) {
        fs::path path = dir / entry.name;
        platform::FileState state;
        if (entry.kind == NameKind::Folder) {
            const bool link = !real.empty() && ops.RealPath(path, realSub) &&
                              !platform::SamePlace(realSub, real / entry.name);
            const bool output =
                leaveOut && ops.Examine(path, true, &state) == NameKind::Folder && state.SameFile(*leaveOut);
            if (!link && !output) subfolders.push_back(std::move(path));
        } else if (HasQwzExtension(path) &&
                   (entry.kind == NameKind::Regular ||
                    (entry.kind == NameKind::Link && ops.Examine(path, true, nullptr) == NameKind::Regular))) {
            found.push_back(std::move(path));
        }
    }
    if (!read) {
        const Reason reason = FolderReason(why);
        unreadable.push_back({dir, reason.str(), {}, false, reason.code});
    }
    if (recursive) {
        std::sort(subfolders.begin(), subfolders.end());
        for (const fs::path& sub : subfolders) WalkFolder(ops, sub, recursive, leaveOut, found, unreadable);
    }
    return !subfolders.empty();
}

// The entry of a path named that has nothing the walk can see.
WalkEntry NothingAt(FileOps& ops, const fs::path& arg) {
    const Reason system = ops.WhyMissing(arg);
    if (system.code == StatusCode::NotFound)
        return {arg, "nie ma takiego pliku ani folderu", {}, true, StatusCode::NotFound};
    const Reason why = "nie można odczytać ścieżki (" + system + ")";
    return {arg, why.str(), {}, false, why.code};
}

}  // namespace

bool HasQwzExtension(const fs::path& path) {
    return AsciiLower(path.extension().native()) == fs::path(".qwz").native();
}

std::vector<WalkEntry> CollectFiles(const std::vector<fs::path>& paths, bool recursive, FileOps& ops,
                                    const fs::path& leaveOut) {
    std::vector<WalkEntry> out;
    platform::FileState left;
    const bool leaving = !leaveOut.empty() && ops.Examine(leaveOut, true, &left) == NameKind::Folder;
    Listed listed(ops);
    auto add = [&](const fs::path& p, const fs::path& folder) {
        if (listed.First(p)) out.push_back({p, {}, folder});
    };
    for (const fs::path& arg : paths) {
        const NameKind kind = ops.Examine(arg, true, nullptr);
        if (kind == NameKind::Missing) {
            out.push_back(NothingAt(ops, arg));
            continue;
        }
        if (kind != NameKind::Folder) {
            add(arg, {});  // a file named by the user is taken whatever its extension
            continue;
        }
        std::vector<fs::path> found;
        std::vector<WalkEntry> unreadable;
        const bool subfolders = WalkFolder(ops, arg, recursive, leaving ? &left : nullptr, found, unreadable);
        // A folder with nothing to work on is most likely a wrong path:
        // said, rather than passed over in silence.
        if (found.empty() && unreadable.empty())
            out.push_back({arg,
                           std::string("folder nie zawiera plików *.qwz") +
                               (subfolders && !recursive ? " (podfoldery przeszukuje opcja --recursive)" : ""),
                           arg, false, StatusCode::NoQwzFiles});
        found = replace::WithoutKeptBackups(found);
        std::sort(found.begin(), found.end());
        for (const fs::path& p : found) {
            add(p, arg);
            if (out.back().path == p && !replace::BackupStem(p).empty()) out.back().keptBackup = true;
        }
        for (WalkEntry& e : unreadable) {
            e.folder = arg;
            out.push_back(std::move(e));
        }
    }
    return out;
}

ConversionOutcome KeptBackupSkip(const WalkEntry& entry, FileOps& ops) {
    ConversionOutcome r;
    r.status = ConversionStatus::Skipped;
    r.code = StatusCode::IsBackup;
    fs::path original = entry.path.filename();
    original.replace_filename(fs::path(replace::BackupStem(entry.path)) += ".qwz");
    r.reason = "to kopia zapasowa pliku " + platform::PathForMessage(original) +
               ", którego nie ma obok; zostaje bez zmian (przywraca ją polecenie qwz restore)";
    platform::FileState state;
    if (ops.Examine(entry.path, true, &state) == NameKind::Regular) r.sizeBefore = state.size;
    return r;
}

}  // namespace qwz
