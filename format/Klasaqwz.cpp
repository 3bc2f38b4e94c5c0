#include "format/Klasaqwz.h"

#include "bytes/ByteReader.h"
#include "bytes/ByteWriter.h"
#include "format/MeshPlaces.h"
#include "format/VersionTable.h"
#include "model/Downgrade.h"
#include "platform/LargeBuffer.h"

#include <cstring>
#include <utility>

namespace qwz {
namespace {

constexpr size_t kHeaderSize = 4;  // "QWZ" and the version byte

bool HasMagic(const uint8_t* data, size_t size) {
    return size >= kHeaderSize && std::memcmp(data, "QWZ", 3) == 0;
}

}  // namespace

uint8_t KlasaQwz::LoadBuffer(std::vector<uint8_t>&& bytes, int maxVersion, const ReadOptions& options,
                             ReadResult* result) {
    spare_.clear();
    spare_.shrink_to_fit();
    // Bytes whose meshes are left in them are all kept until the save,
    // which is their last use: their memory is then taken back (TakeBuffer)
    // while it is still the process's.
    ReadOptions read = options;
    read.giveBack = options.meshes != ReadOptions::Meshes::LeaveInBytes;
    const uint8_t loaded = Read(bytes.data(), bytes.size(), maxVersion, read, result);
    spare_ = std::move(bytes);
    return loaded;
}

uint8_t KlasaQwz::WalkBytes(const uint8_t* data, size_t size, bool giveBack, ReadResult* result) {
    ReadOptions walk;
    walk.meshes = ReadOptions::Meshes::NamesOnly;
    walk.giveBack = giveBack;
    return Read(data, size, 0, walk, result);
}

uint8_t KlasaQwz::LoadBytes(const uint8_t* data, size_t size, int maxVersion, const ReadOptions& options,
                            ReadResult* result) {
    return Read(data, size, maxVersion, options, result);
}

uint8_t KlasaQwz::Read(const uint8_t* data, size_t size, int maxVersion, const ReadOptions& options,
                       ReadResult* result) {
    if (!HasMagic(data, size)) return 0;
    Version = data[3];
    if (maxVersion != 0 && maxVersion < int(Version)) return 0;
    ByteReader in(data, size);
    if (options.giveBack) in.releaseWith(&platform::ReleasePages);
    // An unknown version loads no content.
    ReadResult ignored;
    if (const VersionLayout* layout = FindVersion(Version); layout && layout->read)
        layout->read(*this, in, options, result ? *result : ignored);
    Loaded = true;
    return Version;
}

int KlasaQwz::Write(int target, const TQWZSaveParams& params, ByteWriter& out, const MeshSource& meshes,
                     Warnings& warnings, double& change) {
    const uint8_t requested = uint8_t(target);  // the target is one byte
    int v = requested != 0 ? requested : Version;
    const VersionLayout* layout = &WriterFor(v);  // refuses before anything changes
    if (layout->int16Vertices) PrepareDowngrade(*this, meshes);
    // An automatic target moves to the next writer for what its layout
    // cannot hold; an explicit one is never raised.
    if (requested == 0 && !Holds(*layout, *GetDefinition(), meshes)) {
        if (const VersionLayout* next = NextWriter(*layout)) {
            layout = next;
            v = next->version;
        }
    }
    change = layout->write(*this, out, params, meshes, warnings);
    Version = uint8_t(v);
    return layout->version;
}

std::vector<uint8_t> KlasaQwz::SaveBytes(int target, const TQWZSaveParams& params, Warnings* warnings,
                                         const MeshSource* meshes) {
    // The loaded file's buffer, when there is one, holds the new file: its
    // memory is already the process's. Not while meshes or records are read
    // from it.
    std::vector<uint8_t> bytes;
    if (!meshes && !GetDefinition()->RecordsInBytesLeft()) {
        bytes = std::move(spare_);
        spare_ = {};
        bytes.clear();
    }
    ByteWriter out(bytes);
    Warnings ignored;
    const MeshesInMemory held(*GetDefinition());
    double change = 0;
    Write(target, params, out, meshes ? *meshes : held, warnings ? *warnings : ignored, change);
    return bytes;
}

int KlasaQwz::SaveStreamed(int target, const TQWZSaveParams& params, const ByteWriter::Sink& sink,
                            const MeshSource& meshes, Warnings& warnings, double* maxVertexError) {
    // Room for a batch of meshes and then some, so that the part being made
    // is not moved as it grows.
    std::vector<uint8_t> stage;
    stage.reserve(kMeshBatchBytes + kMeshBatchBytes / 4);
    ByteWriter out(stage, sink);
    double change = 0;
    const int written = Write(target, params, out, meshes, warnings, change);
    out.flush();
    if (maxVertexError) *maxVertexError = change;
    return written;
}

std::vector<uint8_t> KlasaQwz::TakeBuffer() { return std::exchange(spare_, {}); }

}  // namespace qwz
