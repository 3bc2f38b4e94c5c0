// Mesh group, version 204:
//   int32 M | M x mesh
//   mesh := name[32] | int32 attribute | int32 V | V x (float32 x, y, z)
//           | int32 F | F x u8 face flag | F x 4 indices of w bytes each
// w = IndexWidth(V); an index is its w lowest bytes, least significant
// first. Face corners are not stored: the reader rebuilds them from the
// vertices the indices name.
#include "format/MeshGroup204.h"

#include "format/LittleEndian.h"
#include "format/NameField.h"
#include "platform/DebugOutput.h"
#include "platform/LargeBuffer.h"
#include "platform/MessageBox.h"

#include <algorithm>
#include <span>

namespace qwz {
namespace {

constexpr uint64_t kMeshMin = kNameFieldSize + 4 + 4 + 4;  // name, attribute, V, F
constexpr size_t kVertexSize = 12;

// Appends `count` faces whose indices are `w` bytes each, each face built
// in one pass (the face list is large: no zero-filled resize first).
template <unsigned w>
void ReadFaces(const uint8_t* flags, const uint8_t* indices, uint32_t count, const vcV& vertices,
               vcF& faces) {
    const uint32_t v = uint32_t(vertices.size());
    faces.reserve(faces.size() + count);
    platform::AdviseLargeBuffer(faces.data(), faces.capacity() * sizeof(CfaceF));
    for (uint32_t j = 0; j < count; ++j) {
        CfaceF& face = faces.emplace_back();
        face.flag = flags[j];
        for (int k = 0; k < 4; ++k) {
            const uint32_t index = le::Load(indices, w);
            indices += w;
            face.indices[k] = int32_t(index);
            // An index that names no vertex keeps a zero corner.
            if (index < v) face.corners[k] = vertices[index];
        }
    }
}

// Reports one face index that names no vertex: every one on the debug
// output, the first of a saved file also in a message box. A damaged mesh
// can hold thousands; a box each would hold a batch hostage.
class BadIndexReport {
public:
    void operator()(uint32_t index, uint32_t vertexCount) {
        const std::string text = IndexMessage(index, vertexCount);
        platform::DebugOutputW(text);
        if (!shown_) {
            shown_ = true;
            platform::ShowMessage(text, "Velmora QWZ Downgrader", platform::MessageIcon::Warning);
        }
    }

private:
    bool shown_ = false;
};

// Writes the flags and indices of `count` faces in one pass over them.
template <unsigned w>
void WriteFaces(uint8_t* flags, uint8_t* p, const CfaceF* faces, size_t count, uint32_t v,
                BadIndexReport& report) {
    for (const CfaceF* face = faces; face != faces + count; ++face) {
        *flags++ = face->flag;
        for (int k = 0; k < 4; ++k) {
            const uint32_t index = uint32_t(face->indices[k]);
            if (index >= v) report(index, v);
            le::Store(p, index, w);
            p += w;
        }
    }
}

// Items per appended run: a run's zero fill and its encoding meet in the
// cache rather than in memory.
constexpr size_t kRun = 4096;

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

void ReadMeshGroup204(DefinicjaObiektu& def, ByteReader& in) {
    if (in.atEnd()) return;  // the data ends at the section boundary: no meshes
    const uint32_t m = in.count32(kMeshMin, "liczba siatek");
    for (uint32_t i = 0; i < m; ++i) {
        def.AddMesh(ReadNameField(in, "nazwa siatki"));
        def.MeshAttributes.back() = in.i32("atrybut siatki");

        const uint32_t v = in.count32(kVertexSize, "liczba wierzchołków siatki");
        vcV& vertices = def.Vertices.back();
        const uint8_t* p = in.take(size_t(v) * kVertexSize, "wierzchołki siatki");
        vertices.reserve(v);
        platform::AdviseLargeBuffer(vertices.data(), vertices.capacity() * sizeof(CpunktF));
        for (uint32_t k = 0; k < v; ++k, p += kVertexSize)
            vertices.push_back({le::LoadF32(p), le::LoadF32(p + 4), le::LoadF32(p + 8)});

        const unsigned w = IndexWidth(v);
        const uint32_t f = in.count32(1 + 4 * w, "liczba ścian siatki");
        const uint8_t* flags = in.take(f, "znaczniki ścian siatki");
        const uint8_t* indices = in.take(size_t(f) * 4 * w, "indeksy ścian siatki");
        vcF& faces = def.Faces.back();
        switch (w) {
        case 1: ReadFaces<1>(flags, indices, f, vertices, faces); break;
        case 2: ReadFaces<2>(flags, indices, f, vertices, faces); break;
        case 3: ReadFaces<3>(flags, indices, f, vertices, faces); break;
        default: ReadFaces<4>(flags, indices, f, vertices, faces); break;
        }
    }
}

void WriteMeshGroup204(const DefinicjaObiektu& def, ByteWriter& out) {
    const size_t m = def.Faces.size();
    if (def.Vertices.size() != m || def.MeshNames.size() != m || def.MeshAttributes.size() != m)
        throw FormatError(FormatError::Kind::Unwritable,
                          "listy nazw, atrybutów, wierzchołków i ścian siatek mają różne długości");
    BadIndexReport report;
    out.i32(int32_t(m));
    for (size_t i = 0; i < m; ++i) {
        WriteNameField(out, def.MeshNames[i]);
        out.i32(def.MeshAttributes[i]);

        const vcV& vertices = def.Vertices[i];
        const uint32_t v = uint32_t(vertices.size());
        out.i32(int32_t(v));
        for (size_t k = 0; k < v; k += kRun) {
            const size_t n = std::min(kRun, v - k);
            uint8_t* p = out.grow(n * kVertexSize);
            for (const CpunktF& vertex : std::span(vertices).subspan(k, n)) {
                le::StoreF32(p, vertex.x);
                le::StoreF32(p + 4, vertex.y);
                le::StoreF32(p + 8, vertex.z);
                p += kVertexSize;
            }
        }

        // All flags, then all indices: the flags are filled in as the runs
        // of indices are appended.
        const vcF& faces = def.Faces[i];
        out.i32(int32_t(faces.size()));
        const unsigned w = IndexWidth(v);
        const size_t flagsAt = out.size();
        out.grow(faces.size());
        for (size_t j = 0; j < faces.size(); j += kRun) {
            const size_t n = std::min(kRun, faces.size() - j);
            uint8_t* indices = out.grow(n * 4 * w);
            uint8_t* flags = out.at(flagsAt + j);
            switch (w) {
            case 1: WriteFaces<1>(flags, indices, &faces[j], n, v, report); break;
            case 2: WriteFaces<2>(flags, indices, &faces[j], n, v, report); break;
            case 3: WriteFaces<3>(flags, indices, &faces[j], n, v, report); break;
            default: WriteFaces<4>(flags, indices, &faces[j], n, v, report); break;
            }
        }
    }
}

uint64_t MeshGroup204Size(const DefinicjaObiektu& def) {
    uint64_t size = 4;
    for (size_t i = 0; i < def.Faces.size(); ++i) {
        const uint64_t v = i < def.Vertices.size() ? def.Vertices[i].size() : 0;
        size += kMeshMin + v * kVertexSize + def.Faces[i].size() * (1 + 4 * IndexWidth(uint32_t(v)));
    }
    return size;
}

}  // namespace qwz
