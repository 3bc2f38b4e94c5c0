// From the paths a user named (on the command line, or dropped on the
// window) to the files to work on: files as given, folders by their *.qwz
// files (any letter case), sub-folders only when asked.
#pragma once

#include "bytes/StatusCode.h"
#include "engine/Conversion.h"
#include "platform/FileOps.h"

#include <filesystem>
#include <string>
#include <vector>

namespace qwz {

struct WalkEntry {
    std::filesystem::path path;
    std::string error;             // non-empty: the path cannot be used (the reason, in Polish)
    std::filesystem::path folder;  // the folder named through which it was found; empty: named itself
    bool missing = false;          // a path named that nothing has (`error` says so)
    StatusCode code = StatusCode::Readable;  // with `error`: what it is, for programs
    bool keptBackup = false;       // a NAME_org.qwz found in a folder: an original a conversion kept
};

// The extension is ".qwz" in any letter case.
bool HasQwzExtension(const std::filesystem::path& path);

// Files in command-line order; each folder's files sorted by path. A file
// reached twice is listed once. In a folder every "NAME_org.qwz" (any
// letter case) is the original an earlier conversion kept: beside its
// "NAME.qwz" it is not listed; without it, it is listed as `keptBackup`,
// which a conversion reports as a skip (KeptBackupSkip) and `restore` puts
// back. A file named is listed as it is. A path that does not exist, a
// folder that cannot be read, and a folder named that holds no *.qwz file
// (none of its sub-folders either, when they are walked) are listed with
// their reasons. A symbolic link to a file stands for that file, here as
// in a conversion and a restore: a folder's links to files are listed (the
// file a link and its target lead to is listed once, where the system
// shows links), links to folders are not followed. Two hard links of a
// file are two names, each listed. Everything is seen through `ops`.
// The folder `leaveOut` (an output folder inside a tree walked) is never
// walked, so that a run does not take what it writes for its sources.
std::vector<WalkEntry> CollectFiles(const std::vector<std::filesystem::path>& paths, bool recursive,
                                    platform::FileOps& ops = platform::SystemFileOps(),
                                    const std::filesystem::path& leaveOut = {});

// What a conversion makes of an entry marked `keptBackup`: skipped, with
// the reason, the file untouched. Converting it would keep it again as
// NAME_org_org.qwz; it is the original of a file no longer there.
ConversionOutcome KeptBackupSkip(const WalkEntry& entry, platform::FileOps& ops = platform::SystemFileOps());

}  // namespace qwz
