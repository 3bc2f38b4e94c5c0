#include "watch/WatchedNames.h"

#include "engine/FileWalk.h"
#include "replace/BackupName.h"

namespace qwz::watch {

bool IsWatchedName(const std::filesystem::path& path) {
    const std::filesystem::path::string_type name = path.filename().native();
    if (name.empty() || !HasQwzExtension(path)) return false;
    // "~$hala.qwz", "~hala.qwz", "~qwz-…": working copies and locks of a
    // save under way; ".~lock.hala.qwz#"-style and hidden names likewise.
    if (name[0] == '~' || name[0] == '.') return false;
    return replace::BackupStem(path).empty();
}

}  // namespace qwz::watch
