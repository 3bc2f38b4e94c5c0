#include "engine/FileWalk.h"

#include "engine/BackupName.h"
#include "platform/PathNames.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <set>

namespace fs = std::filesystem;

namespace qwz {
namespace {

using platform::AsciiLower;

// A key by which two spellings of the same file compare equal.
fs::path Identity(const fs::path& p) {
    std::error_code ec;
    fs::path c = fs::weakly_canonical(p, ec);
    return ec ? fs::absolute(p, ec) : c;
}

platform::Reason FolderReason(const std::error_code& ec) {
    return "nie można odczytać folderu (" + platform::SystemReason(ec) + ")";
}

// The *.qwz files of one folder and, when asked, of its sub-folders (links
// to folders are not followed, so no walk can loop). A folder that cannot be
// read is reported and the walk goes on with the others. Returns whether
// it has sub-folders.
bool WalkFolder(const fs::path& dir, bool recursive, std::vector<fs::path>& found,
                std::vector<WalkEntry>& unreadable) {
    std::error_code ec;
    std::vector<fs::path> subfolders;
    fs::directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        if (it->is_symlink(typeEc) && it->is_directory(typeEc)) continue;
        if (it->is_directory(typeEc)) {
            subfolders.push_back(it->path());
        } else if (it->is_regular_file(typeEc) && HasQwzExtension(it->path())) {
            found.push_back(it->path());
        }
    }
    if (ec) {
        const platform::Reason why = FolderReason(ec);
        unreadable.push_back({dir, why.str(), {}, false, why.code});
    }
    if (recursive) {
        std::sort(subfolders.begin(), subfolders.end());
        for (const fs::path& sub : subfolders) WalkFolder(sub, recursive, found, unreadable);
    }
    return !subfolders.empty();
}

}  // namespace

bool HasQwzExtension(const fs::path& path) {
    return AsciiLower(path.extension().native()) == fs::path(".qwz").native();
}

std::vector<WalkEntry> CollectFiles(const std::vector<fs::path>& paths, bool recursive) {
    std::vector<WalkEntry> out;
    std::set<fs::path> seen;
    auto add = [&](const fs::path& p, const fs::path& folder) {
        if (seen.insert(Identity(p)).second) out.push_back({p, {}, folder});
    };
    for (const fs::path& arg : paths) {
        std::error_code ec;
        fs::file_status st = fs::status(arg, ec);
        if (!fs::exists(st)) {
            // A name that is not there is not an error of fs::status on
            // POSIX; under mingw-w64 it is ENOENT.
            const bool missing = !ec || ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory;
            const platform::Reason why =
                missing ? platform::Reason(platform::StatusCode::NotFound, "nie ma takiego pliku ani folderu")
                        : "nie można odczytać ścieżki (" + platform::SystemReason(ec) + ")";
            out.push_back({arg, why.str(), {}, missing, why.code});
            continue;
        }
        if (!fs::is_directory(st)) {
            add(arg, {});  // a file named by the user is taken whatever its extension
            continue;
        }
        std::vector<fs::path> found;
        std::vector<WalkEntry> unreadable;
        const bool subfolders = WalkFolder(arg, recursive, found, unreadable);
        // A folder with nothing to work on is most likely a wrong path:
        // said, rather than passed over in silence.
        if (found.empty() && unreadable.empty())
            out.push_back({arg,
                           std::string("folder nie zawiera plików *.qwz") +
                               (subfolders && !recursive ? " (podfoldery przeszukuje opcja --recursive)" : ""),
                           arg, false, platform::StatusCode::NoQwzFiles});
        found = WithoutKeptBackups(found);
        std::sort(found.begin(), found.end());
        for (const fs::path& p : found) {
            add(p, arg);
            if (out.back().path == p && !BackupStem(p).empty()) out.back().keptBackup = true;
        }
        for (WalkEntry& e : unreadable) {
            e.folder = arg;
            out.push_back(std::move(e));
        }
    }
    return out;
}

ConversionOutcome KeptBackupSkip(const WalkEntry& entry) {
    ConversionOutcome r;
    r.status = ConversionStatus::Skipped;
    r.code = platform::StatusCode::IsBackup;
    fs::path original = entry.path.filename();
    original.replace_filename(fs::path(BackupStem(entry.path)) += ".qwz");
    r.reason = "to kopia zapasowa pliku " + platform::PathForMessage(original) +
               ", którego nie ma obok; zostaje bez zmian (przywraca ją polecenie qwz restore)";
    std::error_code ec;
    const uintmax_t size = fs::file_size(entry.path, ec);
    if (!ec) r.sizeBefore = size;
    return r;
}

}  // namespace qwz
