// A file or its bytes into a document, with the one set of reasons that
// every front end gives for a file it cannot read: the conversion, `qwz
// check` and `qwz info`, the library and the window say the same of the
// same file.
#pragma once

#include "bytes/StatusCode.h"
#include "format/Klasaqwz.h"
#include "platform/FileOps.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qwz {

struct LoadResult {
    bool ok = false;
    StatusCode code = StatusCode::Readable;  // why not, for programs
    std::string reason;      // why the file cannot be read, in Polish
    bool noFile = false;     // no regular file at the name (missing, a FIFO, a device...):
                             // nothing was read, so nothing can be called damaged
    bool unread = false;     // a file whose bytes could not be read (no access, memory...)
    bool hasOffset = false;  // a damaged file: where, and what was being read
    size_t offset = 0;
    std::string field;
};

// Loads `bytes` into `doc`, which keeps them (LoadBuffer), read as
// `options` say; `read`, when given, gets the meshes left in the bytes and
// the readers' warnings. Refuses bytes that do not open with "QWZ", a
// version that is not read, and content the reader of the version finds
// damaged. Never throws.
LoadResult LoadQwzBytes(std::vector<uint8_t>&& bytes, KlasaQwz& doc, const ReadOptions& options = {},
                        ReadResult* read = nullptr);
// The same for bytes the document only reads from (LoadBytes): they must
// stay as they are while the document is used.
LoadResult LoadQwzView(const uint8_t* data, size_t size, KlasaQwz& doc, const ReadOptions& options = {},
                       ReadResult* read = nullptr);
// LoadQwzBytes on the whole file at `path`, read through `ops`; refuses
// first a name that holds no regular file, and a file that cannot be read.
LoadResult LoadQwzFile(const std::filesystem::path& path, KlasaQwz& doc, platform::FileOps& ops,
                       ReadResult* read = nullptr);

}  // namespace qwz
