// The document: one QWZ file in memory, its content (model/DocumentContent.h)
// with the load and save around it, which take the reader or writer of a
// version from the version table (format/VersionTable.h). It turns bytes into
// content and back; files are read and written by their callers, through
// the file operations (platform/FileOps.h).
#pragma once

#include "bytes/ByteWriter.h"
#include "format/ReadOptions.h"
#include "model/DocumentContent.h"
#include "model/MeshSource.h"
#include "model/Warnings.h"
#include "model/Qwzsaveparams.h"

#include <cstdint>
#include <vector>

namespace qwz {

class KlasaQwz : public DocumentContent {
public:
    // Hands a file's bytes to the reader of its version, read as `options`
    // say; `result`, when given, gets the meshes left in the bytes, which
    // must outlive whatever it gives, and the warnings. Returns 0 when
    // nothing was loaded (no magic, or a version above a non-zero
    // maxVersion), else the version byte. A damaged file throws FormatError;
    // a version that is not read loads no content.
    uint8_t LoadBytes(const uint8_t* data, size_t size, int maxVersion = 0, const ReadOptions& options = {},
                      ReadResult* result = nullptr);
    // LoadBytes on a buffer the document then keeps: the next SaveBytes
    // writes into its memory instead of asking the system for as much again
    // (for a large file, touching fresh memory costs as much as encoding).
    // Built meshes' and decoded UV records' bytes are given back to the
    // system as they are decoded: the buffer's content is not kept, only its
    // room. Meshes and records left in the bytes stay in the buffer, which
    // then holds them until the document goes.
    uint8_t LoadBuffer(std::vector<uint8_t>&& bytes, int maxVersion = 0, const ReadOptions& options = {},
                       ReadResult* result = nullptr);
    // Checks a file's bytes as LoadBytes reads them, every section walked
    // and every count held against the bytes, without building the meshes'
    // vertex and face lists or keeping the group and UV records
    // (ReadOptions::Meshes::NamesOnly): what it accepts, LoadBytes loads. Returns the version byte
    // (0: no magic); a damaged file throws FormatError. The content left is
    // for looking at, not for saving. `giveBack`: the bytes are not needed
    // after the walk, and the pages walked past are given back as it goes.
    uint8_t WalkBytes(const uint8_t* data, size_t size, bool giveBack = false, ReadResult* result = nullptr);

    // Encodes the document for `target` (its low 8 bits; 0 = the document's
    // own version, moved to the next writer when its layout cannot hold the
    // extra data or a mesh) and returns the bytes of the file, in the layout
    // WriterFor gives: a target below the oldest writer is written by it.
    // Layouts with 16-bit vertices run the downgrade preparation first.
    // Version then holds the version chosen. Throws FormatError when the
    // document does not fit the layout, or, with nothing changed, for a
    // target above the newest writer. The meshes come from `meshes` (the
    // geometry object's own lists when none is given); what the writer
    // reports is added to `warnings` when given.
    std::vector<uint8_t> SaveBytes(int target, const TQWZSaveParams& params, Warnings* warnings = nullptr,
                                   const MeshSource* meshes = nullptr);
    // SaveBytes handing the file's bytes to `sink` a part at a time as they
    // are made (a batch of meshes, at most a few tens of megabytes), never
    // the whole file at once. Returns the version byte written, which is the
    // writer's own (a target below the oldest writer is written by it, while
    // Version keeps the lower number). `maxVertexError`, when given, gets the
    // largest change of a vertex coordinate the save makes, as a reader of
    // the new file sees it (0 when the layout stores them as they are).
    int SaveStreamed(int target, const TQWZSaveParams& params, const ByteWriter::Sink& sink,
                      const MeshSource& meshes, Warnings& warnings, double* maxVertexError = nullptr);
    // The loaded file's buffer (empty when none is kept), for its owner to
    // use again once nothing reads from it any more: its memory is already
    // the process's. Its content is the loaded file's.
    std::vector<uint8_t> TakeBuffer();
private:
    // Returns the version byte written; `change` gets the writer's largest
    // change of a vertex coordinate.
    int Write(int target, const TQWZSaveParams& params, ByteWriter& out, const MeshSource& meshes,
               Warnings& warnings, double& change);
    uint8_t Read(const uint8_t* data, size_t size, int maxVersion, const ReadOptions& options, ReadResult* result);

    std::vector<uint8_t> spare_;  // a loaded file's buffer, for the next save to write into
};

}  // namespace qwz
