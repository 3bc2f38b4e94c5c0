// Mesh group, version 204:
//   int32 M | M x mesh
//   mesh := name[32] | int32 attribute | int32 V | V x (float32 x, y, z)
//           | int32 F | F x u8 face flag | F x 4 indices of w bytes each
// w = IndexWidth(V); an index is its w lowest bytes, least significant
// first. Face corners are not stored: they are the vertices the indices
// name.
#include "format/MeshGroup204.h"

#include "bytes/LittleEndian.h"
#include "format/MeshPlaces.h"
#include "format/NameField.h"
#include "platform/LargeBuffer.h"
#include "platform/Parallel.h"

#include <algorithm>

namespace qwz {
namespace {

constexpr uint64_t kMeshMin = kNameFieldSize + 4 + 4 + 4;  // name, attribute, V, F
constexpr size_t kVertexSize = 12;

// Appends `count` faces whose indices are `w` bytes each. The list is
// sized first and filled through a pointer: appending face by face checks
// the room at every face and keeps the loop from being compiled tight.
template <unsigned w>
void ReadFaces(const uint8_t* flags, const uint8_t* indices, uint32_t count, vcF& faces) {
    const size_t first = faces.size();
    faces.resize(first + count);
    CfaceF* face = faces.data() + first;
    for (uint32_t j = 0; j < count; ++j, ++face) {
        face->flag = flags[j];
        for (int k = 0; k < 4; ++k, indices += w) face->indices[size_t(k)] = int32_t(le::Load(indices, w));
    }
}

// Reports every face index that names no vertex in a warning; the first
// of a saved file also in a box. A damaged mesh can hold thousands; a box
// each would hold a batch hostage.
void ReportBadIndices(const std::vector<std::vector<uint32_t>>& badIndices, const std::vector<uint32_t>& vertexCounts,
                      Warnings& warnings) {
    bool boxed = false;
    for (size_t i = 0; i < badIndices.size(); ++i)
        for (uint32_t index : badIndices[i]) {
            const std::string text = IndexMessage(index, vertexCounts[i]);
            warnings.push_back({Warning::Kind::BadFaceIndex, text, "indeks ściany " + text, !boxed});
            boxed = true;
        }
}

// Writes the flags and indices of `count` faces in one pass over them; an
// index that names no vertex is noted in `bad`.
template <unsigned w>
void WriteFaces(uint8_t* flags, uint8_t* p, const CfaceF* faces, size_t count, uint32_t v,
                std::vector<uint32_t>& bad) {
    for (const CfaceF* face = faces; face != faces + count; ++face) {
        *flags++ = face->flag;
        for (int k = 0; k < 4; ++k) {
            const uint32_t index = uint32_t(face->indices[k]);
            if (index >= v) bad.push_back(index);
            le::Store(p, index, w);
            p += w;
        }
    }
}

// Builds a mesh's lists from its place in the bytes; returns how many bytes
// from its first vertex on it takes.
struct Build204 {
    static constexpr size_t kVertexBytes = kVertexSize;
    size_t operator()(const MeshInFile& place, vcV& vertices, vcF& faces) const {
        Vertices(place, vertices);
        const unsigned w = IndexWidth(place);
        switch (w) {
        case 1: ReadFaces<1>(place.flags, place.indices, place.f, faces); break;
        case 2: ReadFaces<2>(place.flags, place.indices, place.f, faces); break;
        case 3: ReadFaces<3>(place.flags, place.indices, place.f, faces); break;
        default: ReadFaces<4>(place.flags, place.indices, place.f, faces); break;
        }
        return size_t(place.indices - place.vertices) + size_t(place.f) * 4 * w;
    }
    void Vertices(const MeshInFile& place, vcV& vertices) const {
        vertices.resize(place.v);
        CpunktF* vertex = vertices.data();
        const uint8_t* p = place.vertices;
        for (uint32_t k = 0; k < place.v; ++k, p += kVertexSize)
            vertex[k] = {le::LoadF32(p), le::LoadF32(p + 4), le::LoadF32(p + 8)};
    }
    unsigned IndexWidth(const MeshInFile& place) const { return qwz::IndexWidth(place.v); }
    bool Bounds(const MeshInFile&, const std::vector<uint8_t>&, uint32_t, VertexBounds&) const { return false; }
    const float* Int16Values() const { return nullptr; }
};

// Encodes mesh i into the room at `place`; an index that names no vertex is
// noted in `bad`.
void EncodeMesh(const MeshSource& meshes, size_t i, MeshScratch& scratch, const MeshRoom& place, ByteWriter& out,
                std::vector<uint32_t>& bad) {
    const MeshView mesh(meshes, i, scratch);
    const vcV& vertices = mesh.vertices();
    uint8_t* p = out.at(place.vertices);
    for (const CpunktF& vertex : vertices) {
        le::StoreF32(p, vertex.x);
        le::StoreF32(p + 4, vertex.y);
        le::StoreF32(p + 8, vertex.z);
        p += kVertexSize;
    }
    const vcF& faces = mesh.faces();
    const uint32_t v = uint32_t(vertices.size());
    uint8_t* flags = out.at(place.flags);
    uint8_t* indices = flags + faces.size();
    switch (IndexWidth(v)) {
    case 1: WriteFaces<1>(flags, indices, faces.data(), faces.size(), v, bad); break;
    case 2: WriteFaces<2>(flags, indices, faces.data(), faces.size(), v, bad); break;
    case 3: WriteFaces<3>(flags, indices, faces.data(), faces.size(), v, bad); break;
    default: WriteFaces<4>(flags, indices, faces.data(), faces.size(), v, bad); break;
    }
}

}  // namespace

unsigned IndexWidth(uint32_t vertexCount) {
    if (vertexCount <= 0xFFu) return 1;
    if (vertexCount <= 0xFFFFu) return 2;
    if (vertexCount <= 0xFFFFFFu) return 3;
    return 4;
}

std::string IndexMessage(uint32_t index, uint32_t vertexCount) {
    return std::to_string(index) + " >= " + std::to_string(vertexCount);
}

void ReadMeshGroup204(DefinicjaObiektu& def, ByteReader& in, const ReadOptions& options, ReadResult& result) {
    const bool build = options.meshes != ReadOptions::Meshes::NamesOnly;
    if (in.atEnd()) return;  // the data ends at the section boundary: no meshes
    // First the whole group is walked and every count checked against the
    // bytes; then the meshes, independent of each other, are built in
    // parallel from the places found.
    const uint32_t m = in.count32(kMeshMin, "liczba siatek");
    std::vector<MeshInFile> places;
    places.reserve(m);
    uint64_t cost = 0;
    const size_t first = def.Faces.size();  // the meshes are appended after any already there
    for (uint32_t i = 0; i < m; ++i) {
        def.AddMesh(ReadNameField(in, "nazwa siatki"));
        def.MeshAttributes.back() = in.i32("atrybut siatki");
        MeshInFile& place = places.emplace_back();
        place.v = in.count32(kVertexSize, "liczba wierzchołków siatki");
        place.vertices = in.take(size_t(place.v) * kVertexSize, "wierzchołki siatki");
        const unsigned w = IndexWidth(place.v);
        place.f = in.count32(1 + 4 * w, "liczba ścian siatki");
        place.flags = in.take(place.f, "znaczniki ścian siatki");
        place.indices = in.take(size_t(place.f) * 4 * w, "indeksy ścian siatki");
        cost += uint64_t(place.v) + place.f;
        if (!build) in.doneBehind();
    }
    if (!build) return;

    if (options.meshes == ReadOptions::Meshes::LeaveInBytes && first == 0) {
        result.meshes = std::make_shared<MeshesInFile<Build204>>(std::move(places), Build204{}, options.bytesRead);
        return;
    }
    platform::ForEachInParallel(m, cost, [&](size_t i) {
        const MeshInFile& place = places[i];
        const size_t bytes = Build204{}(place, def.Vertices[first + i], def.Faces[first + i]);
        in.done(place.vertices, bytes);
    });
}

void WriteMeshGroup204(const DefinicjaObiektu& def, const MeshSource& meshes, ByteWriter& out, Warnings& warnings) {
    const size_t m = def.Faces.size();
    if (def.Vertices.size() != m || def.MeshNames.size() != m || def.MeshAttributes.size() != m)
        throw FormatError(FormatError::Kind::Unwritable,
                          "listy nazw, atrybutów, wierzchołków i ścian siatek mają różne długości");
    std::vector<std::vector<uint32_t>> badIndices(m);
    // The counts before the meshes are written: a source may give them
    // back as they are.
    std::vector<uint32_t> vertexCounts(m);
    for (size_t i = 0; i < m; ++i) vertexCounts[i] = uint32_t(meshes.VertexCount(i));
    std::vector<MeshRoom> places(m);
    MeshScratch scratch;
    const auto encode = [&](size_t i) {
        EncodeMesh(meshes, i, scratch, places[i], out, badIndices[i]);
        meshes.Written(i);
    };

    // The fields around the vertices and faces, with room left for them;
    // the meshes are encoded into that room in parallel, a batch at a time.
    MeshBatch batch;
    const size_t batchBytes = MeshBatchBytes(MeshGroup204Size(def, meshes));
    // Everything before the meshes is final: a part held from the groups
    // does not stay beside the first batch.
    out.flush();
    out.i32(int32_t(m));
    for (size_t i = 0; i < m; ++i) {
        const uint32_t v = vertexCounts[i];
        const size_t f = meshes.FaceCount(i);
        const size_t meshBytes = size_t(v) * kVertexSize + f * (1 + 4 * IndexWidth(v));
        if (batch.Full(meshBytes, batchBytes)) {
            batch.Run(i, encode);
            out.flush();  // everything before this mesh is final
        }
        WriteNameField(out, def.MeshNames[i]);
        out.i32(def.MeshAttributes[i]);
        out.i32(int32_t(v));
        places[i].vertices = out.size();
        // The room's pages made present at once rather than met one by one.
        platform::AdviseLargeBuffer(out.spare(),
                                    std::min(size_t(v) * kVertexSize + 4 + f * (1 + 4 * IndexWidth(v)), out.spareSize()));
        out.grow(size_t(v) * kVertexSize);
        // All flags, then all indices.
        out.i32(int32_t(f));
        places[i].flags = out.size();
        out.grow(f * (1 + 4 * IndexWidth(v)));
        batch.cost += v + f;
        batch.bytes += meshBytes;
    }
    batch.Run(m, encode);
    out.flush();
    ReportBadIndices(badIndices, vertexCounts, warnings);
}

uint64_t MeshGroup204Size(const DefinicjaObiektu& def, const MeshSource& meshes) {
    uint64_t size = 4;
    for (size_t i = 0; i < def.Faces.size(); ++i) {
        const uint64_t v = i < def.Vertices.size() ? meshes.VertexCount(i) : 0;
        size += kMeshMin + v * kVertexSize + meshes.FaceCount(i) * (1 + 4 * IndexWidth(uint32_t(v)));
    }
    return size;
}

}  // namespace qwz
