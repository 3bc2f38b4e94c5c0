// How the meshes of a document reach the downgrade preparation and the
// writers: a mesh source, handed to them beside the document. The meshes
// are either built in memory (the geometry object's own vertex and face
// lists, MeshesInMemory) or left in the bytes of the file they were read
// from (the readers' MeshesInFile, format/MeshPlaces.h), each built only
// when asked for, into lists the caller lends and uses again for the next
// mesh. A conversion asks for each mesh twice (the downgrade's measure,
// then the write), so it holds the meshes being worked on, never the whole
// document.
#pragma once

#include "model/Records.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace qwz {

class DefinicjaObiektu;

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

// Tells whoever holds a file's bytes that a range of them is read for the
// moment (they may give its memory back), from any thread.
using BytesRead = std::function<void(const uint8_t* bytes, size_t size)>;

// The meshes of one document, by position (mesh m is the geometry
// object's mesh m: its name and attribute stay there). Every call may come
// from several threads at once for different meshes.
class MeshSource {
public:
    virtual ~MeshSource() = default;
    // The meshes it answers for: every mesh of the document, or, for lists
    // of unequal lengths, the longer of the vertex and face lists.
    virtual size_t Count() const = 0;
    virtual size_t VertexCount(size_t m) const = 0;
    virtual size_t FaceCount(size_t m) const = 0;
    // Mesh m's own lists when they are held in memory; nullptr otherwise
    // (then Build makes them).
    virtual const vcV* HeldVertices(size_t m) const = 0;
    virtual const vcF* HeldFaces(size_t m) const = 0;
    // Builds mesh m's lists into `vertices` and `faces`, emptied first.
    virtual void Build(size_t m, vcV& vertices, vcF& faces) const = 0;
    // The same for the `count` vertices from `first` on alone (a part of a
    // large mesh at a time holds a part of it).
    virtual void BuildVertices(size_t m, uint32_t first, uint32_t count, vcV& vertices) const = 0;
    void BuildVertices(size_t m, vcV& vertices) const { BuildVertices(m, 0, uint32_t(VertexCount(m)), vertices); }
    // Where mesh m's faces lie, when a file holds them as FacesInFile says;
    // false otherwise.
    virtual bool Faces(size_t m, FacesInFile& faces) const = 0;
    // Marks in `named` (one byte per vertex of mesh m) the vertices that
    // its faces name; true when one names none (Corner gives the origin
    // for it). `firstIndex` gets the first face's first index (-1: no
    // face). Faces left in a file's bytes are read where they lie.
    virtual bool MarkNamed(size_t m, std::vector<uint8_t>& named, int64_t& firstIndex) const = 0;
    // Measures mesh m's vertices where they lie (`named`: a byte per vertex,
    // non-zero for those the faces name), when the file holds them so that
    // the bounds of the coordinates read are read from the bounds of the
    // coordinates stored; false otherwise: build the vertices and measure
    // those.
    virtual bool Bounds(size_t m, const std::vector<uint8_t>& named, uint32_t first, VertexBounds& bounds) const = 0;
    // Vertices a file holds as 16-bit values per coordinate, each read as
    // Int16Values()[value + 32768]: that table of 65536 floats, or nullptr
    // when the vertices are not read so; and where mesh m's 3 x V values
    // lie (little-endian).
    virtual const float* Int16Values() const { return nullptr; }
    virtual const uint8_t* Int16Vertices(size_t) const { return nullptr; }
    // The bytes mesh m lies in (empty for a mesh held in memory), and the
    // hook that is told when a range of them is read for the moment.
    virtual std::pair<const uint8_t*, size_t> Bytes(size_t) const { return {nullptr, 0}; }
    virtual void Read(const uint8_t*, size_t) const {}
    // Mesh m has been measured by the downgrade preparation; it will be
    // asked for once more, to be written.
    virtual void Measured(size_t m) const { TellRead(m); }
    // Mesh m has been written. A source for a save that is the document's
    // last use gives its memory back (WrittenMeshesGoBack).
    virtual void Written(size_t m) const = 0;
    // Whether Written gives memory back: then a writer does not make its
    // whole new file's room present at once, but meets it as the meshes'
    // memory is freed.
    virtual bool WrittenMeshesGoBack() const = 0;

protected:
    void TellRead(size_t m) const {
        const auto [bytes, size] = Bytes(m);
        if (bytes) Read(bytes, size);
    }
};

// The geometry object's own vertex and face lists. With `giveBack` each
// mesh's lists are emptied, and their memory given back, once it is
// written: for a save that is the document's last use.
class MeshesInMemory final : public MeshSource {
public:
    explicit MeshesInMemory(const DefinicjaObiektu& def, DefinicjaObiektu* giveBack = nullptr);

    size_t Count() const override;
    size_t VertexCount(size_t m) const override;
    size_t FaceCount(size_t m) const override;
    const vcV* HeldVertices(size_t m) const override;
    const vcF* HeldFaces(size_t m) const override;
    void Build(size_t m, vcV& vertices, vcF& faces) const override;
    void BuildVertices(size_t m, uint32_t first, uint32_t count, vcV& vertices) const override;
    bool Faces(size_t, FacesInFile&) const override { return false; }
    bool MarkNamed(size_t m, std::vector<uint8_t>& named, int64_t& firstIndex) const override;
    bool Bounds(size_t, const std::vector<uint8_t>&, uint32_t, VertexBounds&) const override { return false; }
    void Written(size_t m) const override;
    bool WrittenMeshesGoBack() const override { return giveBack_ != nullptr; }

private:
    const DefinicjaObiektu& def_;
    DefinicjaObiektu* giveBack_;
};

// Lists lent to MeshSource::Build, one pair per thread at work. Each
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

// Mesh m's vertex and face lists for as long as the view lives: those the
// source holds, or lists built into a pair taken from `scratch`.
class MeshView {
public:
    // `verticesOnly`: a mesh that is built has its vertices built and no
    // faces (they are read where they lie, MeshSource::Faces).
    MeshView(const MeshSource& meshes, size_t m, MeshScratch& scratch, bool verticesOnly = false);
    ~MeshView();
    MeshView(const MeshView&) = delete;
    MeshView& operator=(const MeshView&) = delete;

    const vcV& vertices() const { return *vertices_; }
    const vcF& faces() const { return *faces_; }

private:
    MeshScratch& scratch_;
    MeshScratch::Lists* lists_ = nullptr;
    const vcV* vertices_;
    const vcF* faces_;
};

}  // namespace qwz
