// Where one mesh's vertices and faces lie in a file's bytes. The mesh
// readers first walk a whole mesh group, noting these places and checking
// every count, then build the meshes, independent of each other, in
// parallel; the writers lay out and encode the meshes a batch at a time.
#pragma once

#include "bytes/LittleEndian.h"
#include "model/MeshSource.h"
#include "platform/Parallel.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qwz {

// A mesh in the bytes being read: its V vertices, F face flags and F x 4
// indices.
struct MeshInFile {
    const uint8_t* vertices = nullptr;
    uint32_t v = 0;
    const uint8_t* flags = nullptr;
    const uint8_t* indices = nullptr;
    uint32_t f = 0;
};

// Meshes left in the bytes being read: `build` makes one mesh's lists from
// its place, as the reader would have (build(place, vertices, faces)), or
// its vertices alone (build.Vertices(place, vertices), the place's v
// vertices of Builder::kVertexBytes each from place.vertices on), tells the
// width of its face indices in the file (build.IndexWidth(place)), measures
// its vertices where it can (build.Bounds, as MeshSource::Bounds) and gives
// the table its 16-bit vertices are read through, if any
// (build.Int16Values()). `bytesRead` is told the ranges read for the moment.
// Marks in `named` the vertices that `count` faces' indices of `W` bytes
// each name (MeshSource::MarkNamed).
template <unsigned W>
bool MarkNamedInFile(const uint8_t* indices, size_t count, size_t vertexCount, std::vector<uint8_t>& named) {
    named.assign(vertexCount, 0);
    bool origin = false;
    for (const uint8_t* p = indices; p != indices + 4 * W * count; p += W) {
        const uint32_t index = le::Load(p, W);
        if (index < vertexCount) named[index] = 1;
        else origin = true;
    }
    return origin;
}

template <class Builder>
class MeshesInFile final : public MeshSource {
public:
    MeshesInFile(std::vector<MeshInFile> places, Builder build, BytesRead bytesRead)
        : places_(std::move(places)), build_(std::move(build)), bytesRead_(std::move(bytesRead)) {}

    size_t Count() const override { return places_.size(); }
    size_t VertexCount(size_t m) const override { return places_[m].v; }
    size_t FaceCount(size_t m) const override { return places_[m].f; }
    const vcV* HeldVertices(size_t) const override { return nullptr; }
    const vcF* HeldFaces(size_t) const override { return nullptr; }
    void Build(size_t m, vcV& vertices, vcF& faces) const override {
        vertices.clear();
        faces.clear();
        build_(places_[m], vertices, faces);
    }
    using MeshSource::BuildVertices;
    void BuildVertices(size_t m, uint32_t first, uint32_t count, vcV& vertices) const override {
        vertices.clear();
        MeshInFile part = places_[m];
        part.vertices += Builder::kVertexBytes * first;
        part.v = count;
        build_.Vertices(part, vertices);
    }
    bool Faces(size_t m, FacesInFile& faces) const override {
        faces = {places_[m].flags, places_[m].indices, build_.IndexWidth(places_[m])};
        return true;
    }
    bool MarkNamed(size_t m, std::vector<uint8_t>& named, int64_t& firstIndex) const override {
        const MeshInFile& p = places_[m];
        const unsigned w = build_.IndexWidth(p);
        firstIndex = p.f > 0 ? int64_t(le::Load(p.indices, w)) : -1;
        switch (w) {
        case 1: return MarkNamedInFile<1>(p.indices, p.f, p.v, named);
        case 2: return MarkNamedInFile<2>(p.indices, p.f, p.v, named);
        case 3: return MarkNamedInFile<3>(p.indices, p.f, p.v, named);
        default: return MarkNamedInFile<4>(p.indices, p.f, p.v, named);
        }
    }
    bool Bounds(size_t m, const std::vector<uint8_t>& named, uint32_t first, VertexBounds& bounds) const override {
        return build_.Bounds(places_[m], named, first, bounds);
    }
    const float* Int16Values() const override { return build_.Int16Values(); }
    const uint8_t* Int16Vertices(size_t m) const override {
        return build_.Int16Values() ? places_[m].vertices : nullptr;
    }
    std::pair<const uint8_t*, size_t> Bytes(size_t m) const override {
        const MeshInFile& p = places_[m];
        const uint8_t* end = p.indices + size_t(p.f) * 4 * build_.IndexWidth(p);
        return {p.vertices, size_t(end - p.vertices)};
    }
    void Read(const uint8_t* bytes, size_t size) const override {
        if (bytesRead_) bytesRead_(bytes, size);
    }
    // Nothing of a mesh is held once it is written, and its bytes are not
    // read again.
    void Written(size_t m) const override { TellRead(m); }
    bool WrittenMeshesGoBack() const override { return true; }

private:
    std::vector<MeshInFile> places_;
    Builder build_;
    BytesRead bytesRead_;
};

// A mesh in the buffer being written: the offsets of the room left for its
// vertices and for its face flags (the indices follow the flags).
struct MeshRoom {
    size_t vertices = 0;
    size_t flags = 0;
};

// The mesh writers lay out room for the meshes and encode them a batch of
// about this many bytes at a time: the room is zero-filled as it is laid
// out, so laying out all of it first would make the whole new file present
// while every mesh is still in memory. A save that hands its file over a
// part at a time holds one batch of it, which is most of a conversion's own
// memory: a few meshes' worth is enough to keep every core busy and to
// write in parts large enough for the disk.
constexpr size_t kMeshBatchBytes = size_t(2) << 20;
// The batch for meshes of `total` bytes in all: an eighth of them, from
// 256 KB up to kMeshBatchBytes, so that a small file is not held whole
// either.
inline size_t MeshBatchBytes(uint64_t total) {
    return size_t(std::clamp<uint64_t>(total / 8, uint64_t(1) << 18, kMeshBatchBytes));
}

// Runs encode(m) in parallel for the meshes laid out since the last call,
// from `first` up to `end`; the batch's cost is the vertices and faces of its
// meshes. Then the next batch starts at `end`.
struct MeshBatch {
    size_t first = 0;
    uint64_t cost = 0;
    size_t bytes = 0;

    // Whether a mesh of `meshBytes` would take the batch past `batchBytes`:
    // then the batch is run before that mesh is laid out, so that the part
    // of the new file held is one batch, or one mesh larger than a batch.
    bool Full(size_t meshBytes, size_t batchBytes) const { return bytes > 0 && bytes + meshBytes > batchBytes; }

    template <class Encode>
    void Run(size_t end, const Encode& encode) {
        const size_t from = first;
        if (end > from) platform::ForEachInParallel(end - from, cost, [&](size_t k) { encode(from + k); });
        first = end;
        cost = 0;
        bytes = 0;
    }
};

}  // namespace qwz
