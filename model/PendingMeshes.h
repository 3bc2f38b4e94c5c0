// Meshes left in the bytes of the file they were read from. The reader has
// walked the mesh group, checked every count against the bytes and noted
// where each mesh lies; a mesh's vertex and face lists are built only when
// they are asked for, into lists the caller lends and uses again for the
// next mesh. A conversion asks for each mesh twice (the downgrade's measure,
// then the write), so it holds the meshes being worked on, never the whole
// document, and meets no fresh memory for them.
#pragma once

#include "model/Records.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace qwz {

// A mesh's faces as a file holds them: a flag byte per face, then four
// indices per face of `indexWidth` bytes each, little-endian. The writers of
// the quantised layouts lay faces out the same way, so faces whose index
// width the written layout shares go to the new file as they lie.
struct FacesInFile {
    const uint8_t* flags = nullptr;
    const uint8_t* indices = nullptr;
    unsigned indexWidth = 0;
};

// A mesh's vertices measured where they lie, per axis: the smallest and
// largest coordinate of the vertices a mark names (`named`), and of all
// vertices; and the vertex `first` names.
struct VertexBounds {
    bool anyNamed = false;
    float namedLow[3] = {}, namedHigh[3] = {};
    float allLow[3] = {}, allHigh[3] = {};
    bool hasFirst = false;
    CpunktF first;
};

class PendingMeshes {
public:
    virtual ~PendingMeshes() = default;
    virtual size_t Count() const = 0;
    virtual uint32_t VertexCount(size_t m) const = 0;
    virtual uint32_t FaceCount(size_t m) const = 0;
    // Builds mesh m's lists into `vertices` and `faces`, emptied first. May
    // be called from several threads at once for different meshes.
    virtual void Build(size_t m, vcV& vertices, vcF& faces) const = 0;
    // The same for the `count` vertices from `first` on alone (a part of a
    // large mesh at a time holds a part of it).
    virtual void BuildVertices(size_t m, uint32_t first, uint32_t count, vcV& vertices) const = 0;
    void BuildVertices(size_t m, vcV& vertices) const { BuildVertices(m, 0, VertexCount(m), vertices); }
    // Where mesh m's faces lie, when the file holds them as FacesInFile
    // says; false otherwise.
    virtual bool Faces(size_t m, FacesInFile& faces) const = 0;
    // Measures mesh m's vertices where they lie (`named`: a byte per vertex,
    // non-zero for those the faces name), when the file holds them so that
    // the bounds of the coordinates read are read from the bounds of the
    // coordinates stored; false otherwise: build the vertices and measure
    // those.
    virtual bool Bounds(size_t m, const std::vector<uint8_t>& named, uint32_t first, VertexBounds& bounds) const = 0;
    // The bytes mesh m lies in, from its first vertex to its last face
    // index.
    virtual std::pair<const uint8_t*, size_t> Bytes(size_t m) const = 0;
};

// Lists lent to PendingMeshes::Build, one pair per thread at work. Each
// thread takes a pair for one mesh and gives it back after; the pairs keep
// their memory from mesh to mesh.
class MeshScratch {
public:
    struct Lists {
        vcV vertices;
        vcF faces;
    };

    Lists* Take() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (free_.empty()) {
            all_.emplace_back(new Lists);
            return all_.back().get();
        }
        Lists* lists = free_.back();
        free_.pop_back();
        return lists;
    }
    void Give(Lists* lists) {
        std::lock_guard<std::mutex> lock(mutex_);
        free_.push_back(lists);
    }

private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<Lists>> all_;
    std::vector<Lists*> free_;
};

}  // namespace qwz
