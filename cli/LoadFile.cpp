#include "cli/LoadFile.h"

namespace qwz::cli {

LoadOutcome LoadDocument(const std::filesystem::path& path, KlasaQwz& doc, platform::FileOps& ops) {
    LoadOutcome r;
    ReadResult read;
    static_cast<LoadResult&>(r) = LoadQwzFile(path, doc, ops, &read);
    // What the tail reader skipped, in the user's words.
    for (const Warning& w : read.warnings)
        if (w.kind == Warning::Kind::DamagedTail) r.notes.push_back(w.text);
    return r;
}

}  // namespace qwz::cli
