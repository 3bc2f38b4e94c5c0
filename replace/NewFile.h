// A new file under an output folder, made from a held original that stays
// exactly as it is: nothing is written beside the original, nothing there
// is locked by a file, removed or renamed.
//
// The new file appears whole or not at all: it is written to a temporary
// file in its own folder, flushed, read back and checked as a replacement's
// is (WriteCheckedTemporary), then named: by a move that refuses a taken
// name when the name was free, or by one step over the file there when
// that file is older than the original (or the caller forces it) and still
// the file that was judged. Nothing is written outside the output folder:
// the path below it is names only (no "..", no root), every folder on the
// way below it must be a real folder where it stands (not a link, nor a
// folder that the system shows in place of a link), and missing ones are
// made by a step that never follows a link at the name.
#pragma once

#include "replace/OriginalFile.h"
#include "replace/SafeReplace.h"

#include <filesystem>

namespace qwz::replace {

struct NewFileOptions {
    std::filesystem::path folder;    // the output folder; made (with the folders above it) when missing
    std::filesystem::path relative;  // the file's path below it
    bool write = true;               // false: a dry run: decided as a real run would, nothing written
    bool force = false;              // replace a file there even when it is not older than the original
    ReplaceOptions made;             // verify, writeChunk and notCarried of the written file
};

enum class NewFileDone {
    Written,    // the new file has the name (a dry run: would have)
    KeptNewer,  // a file there is not older than the original: left as it is
    Failed,     // nothing named; the reason says why
};

// Writes the file `make` makes at options.folder / options.relative, as
// described at the top; `reason` says why when it did not (KeptNewer: which
// file was kept).
NewFileDone WriteNewFile(OriginalFile& original, const FileMaker& make, const NewFileOptions& options,
                         Reason& reason);

}  // namespace qwz::replace
