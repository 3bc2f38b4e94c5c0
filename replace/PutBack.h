// The restore's last step: a kept original put back under the user's name,
// by the same moves a conversion uses (MoveWithoutReplacing). Over the
// user's file in one step; into a free name by a move that refuses to
// replace; or, when the user's newer file is to be kept, that file first
// given a free name beside it ("NAME (nowszy).EXT", ...). Whatever fails,
// every file keeps a name. Both files are held (OriginalFile) and judged by
// the caller before this runs.
#pragma once

#include "bytes/StatusCode.h"
#include "replace/OriginalFile.h"
#include "replace/Seam.h"

#include <filesystem>

namespace qwz::replace {

// The two names of a put-back and what became of it.
struct PutBackResult {
    std::filesystem::path file;    // the user's name
    std::filesystem::path backup;  // the kept original's name
    std::filesystem::path kept;    // where the user's newer file went; empty: none was kept
    bool done = false;             // the original is back under the user's name
    Reason reason;                 // why not; for a done one, a note (often empty)
};

// The first name for a newer file beside `file` that nothing has now; empty
// when none is free.
std::filesystem::path FreeNewerName(const std::filesystem::path& file, FileOps& ops);
// Why a newer file could not be kept: no free name.
Reason NoNewerName(const std::filesystem::path& file);

// Puts the backup `backup` back under `file`: over the held user's file
// (`fileThere`), beside it when `keepNewer` (the user's file then gets a free
// newer name, in result.kept), or into the empty name. A record of an earlier
// release beside the backup goes once it is done.
PutBackResult PutBack(OriginalFile& held, OriginalFile& kept, const std::filesystem::path& file,
                      const std::filesystem::path& backup, bool fileThere, bool keepNewer, FileOps& ops);

// The backup is a second name of the held user's file itself (a conversion
// stopped before its new file took the name): the file is the original, and
// the extra name goes (when `write`), only while it still leads to that file.
PutBackResult DropSecondName(const OriginalFile& held, const std::filesystem::path& file,
                             const std::filesystem::path& backup, bool write, FileOps& ops);

// Why the backup name no longer leads to the file held under it.
Reason BackupChanged(const std::filesystem::path& backup);

}  // namespace qwz::replace
