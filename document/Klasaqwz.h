// The document: one QWZ file in memory, its content (model/DocumentContent.h)
// with the load and save around it, which take the reader or writer of a
// version from the version table (format/VersionTable.h).
#pragma once

#include "bytes/ByteWriter.h"
#include "model/DocumentContent.h"
#include "model/Qwzsaveparams.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace qwz {

class KlasaQwz : public DocumentContent {
public:
    // The file's version byte (0-255), also stored in Version; -1 when the
    // path is not a readable file of at least four bytes opening with "QWZ".
    int ReadHeader(const std::filesystem::path& path);

    // Reads the whole file and hands it to the reader of its version.
    // Returns 0 when nothing was loaded (no such file, no magic, or a version
    // above a non-zero maxVersion), else the version byte. A damaged file
    // throws FormatError; a version that is not read loads no content.
    uint8_t Load(const std::filesystem::path& path, int maxVersion = 0);
    // The same for a file's bytes already in memory.
    uint8_t LoadBytes(const uint8_t* data, size_t size, int maxVersion = 0);
    // LoadBytes on a buffer the document then keeps: the next SaveBytes
    // writes into its memory instead of asking the system for as much again
    // (for a large file, touching fresh memory costs as much as encoding).
    // The meshes' and UV records' bytes are given back to the system as
    // they are decoded: the buffer's content is not kept, only its room.
    // With MeshesOnDemand nothing is decoded or given back: the meshes and
    // UV records stay in the buffer until the save.
    uint8_t LoadBuffer(std::vector<uint8_t>&& bytes, int maxVersion = 0);
    // Checks a file's bytes as LoadBytes reads them, every section walked
    // and every count held against the bytes, without building the meshes'
    // vertex and face lists or the UV records: what it accepts, LoadBytes
    // loads. Returns the
    // version byte (0: no magic); a damaged file throws FormatError. The
    // content left is for looking at, not for saving. `giveBack`: the bytes
    // are not needed after the walk, and the pages walked past are given
    // back as it goes (ReleasePages).
    uint8_t WalkBytes(const uint8_t* data, size_t size, bool giveBack = false);

    // Encodes the document for `target` (its low 8 bits; 0 = the document's
    // own version, moved to the next writer when its layout cannot hold the
    // extra data or a mesh) and returns the bytes of the file, in the layout
    // WriterFor gives: a target below the oldest writer is written by it.
    // Layouts with 16-bit vertices run the downgrade preparation first.
    // Version then holds the version chosen. Throws FormatError when the
    // document does not fit the layout, or, with nothing changed, for a
    // target above the newest writer.
    std::vector<uint8_t> SaveBytes(int target, const TQWZSaveParams& params);
    // SaveBytes handing the file's bytes to `sink` a part at a time as they
    // are made (a batch of meshes, at most a few tens of megabytes), never
    // the whole file at once.
    void SaveStreamed(int target, const TQWZSaveParams& params, const ByteWriter::Sink& sink);
    // The loaded file's buffer once nothing reads from it any more (empty
    // otherwise), for its owner to use again: its memory is already the
    // process's. Its content is the loaded file's.
    std::vector<uint8_t> TakeBuffer();
    // SaveBytes with the process's save parameters, written to `path`
    // (created or overwritten). Throws when the file cannot be written.
    void Save(int target, const std::filesystem::path& path);

private:
    void Write(int target, const TQWZSaveParams& params, ByteWriter& out);
    uint8_t Read(const uint8_t* data, size_t size, int maxVersion, bool releaseDecoded);

    std::vector<uint8_t> spare_;  // a loaded file's buffer, for the next save to write into
};

}  // namespace qwz
