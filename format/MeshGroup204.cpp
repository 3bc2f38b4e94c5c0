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
#include "platform/MessageBox.h"

namespace qwz {
namespace {

constexpr uint64_t kMeshMin = kNameFieldSize + 4 + 4 + 4;  // name, attribute, V, F
constexpr size_t kVertexSize = 12;

// Decodes the faces of one mesh; the indices are `w` bytes each.
template <unsigned w>
void ReadFaces(const uint8_t* flags, const uint8_t* indices, const vcV& vertices, vcF& faces) {
    const uint32_t v = uint32_t(vertices.size());
    for (CfaceF& face : faces) {
        face.flag = *flags++;
        for (int k = 0; k < 4; ++k) {
            const uint32_t index = le::Load(indices, w);
            indices += w;
            face.indices[k] = int32_t(index);
            // An index that names no vertex keeps a zero corner.
            face.corners[k] = index < v ? vertices[index] : CpunktF{};
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

template <unsigned w>
void WriteIndices(uint8_t* p, const vcF& faces, uint32_t v, BadIndexReport& report) {
    for (const CfaceF& face : faces) {
        for (int k = 0; k < 4; ++k) {
            const uint32_t index = uint32_t(face.indices[k]);
            if (index >= v) report(index, v);
            le::Store(p, index, w);
            p += w;
        }
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

void ReadMeshGroup204(DefinicjaObiektu& def, ByteReader& in) {
    if (in.atEnd()) return;  // the data ends at the section boundary: no meshes
    const uint32_t m = in.count32(kMeshMin, "liczba siatek");
    for (uint32_t i = 0; i < m; ++i) {
        def.AddMesh(ReadNameField(in, "nazwa siatki"));
        def.MeshAttributes.back() = in.i32("atrybut siatki");

        const uint32_t v = in.count32(kVertexSize, "liczba wierzchołków siatki");
        vcV& vertices = def.Vertices.back();
        vertices.resize(v);
        const uint8_t* p = in.take(size_t(v) * kVertexSize, "wierzchołki siatki");
        for (CpunktF& vertex : vertices) {
            vertex.x = le::LoadF32(p);
            vertex.y = le::LoadF32(p + 4);
            vertex.z = le::LoadF32(p + 8);
            p += kVertexSize;
        }

        const unsigned w = IndexWidth(v);
        const uint32_t f = in.count32(1 + 4 * w, "liczba ścian siatki");
        const uint8_t* flags = in.take(f, "znaczniki ścian siatki");
        const uint8_t* indices = in.take(size_t(f) * 4 * w, "indeksy ścian siatki");
        vcF& faces = def.Faces.back();
        faces.resize(f);
        switch (w) {
        case 1: ReadFaces<1>(flags, indices, vertices, faces); break;
        case 2: ReadFaces<2>(flags, indices, vertices, faces); break;
        case 3: ReadFaces<3>(flags, indices, vertices, faces); break;
        default: ReadFaces<4>(flags, indices, vertices, faces); break;
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
        uint8_t* p = out.grow(size_t(v) * kVertexSize);
        for (const CpunktF& vertex : vertices) {
            le::StoreF32(p, vertex.x);
            le::StoreF32(p + 4, vertex.y);
            le::StoreF32(p + 8, vertex.z);
            p += kVertexSize;
        }

        const vcF& faces = def.Faces[i];
        out.i32(int32_t(faces.size()));
        uint8_t* flags = out.grow(faces.size());
        for (const CfaceF& face : faces) *flags++ = face.flag;

        const unsigned w = IndexWidth(v);
        uint8_t* indices = out.grow(faces.size() * 4 * w);
        switch (w) {
        case 1: WriteIndices<1>(indices, faces, v, report); break;
        case 2: WriteIndices<2>(indices, faces, v, report); break;
        case 3: WriteIndices<3>(indices, faces, v, report); break;
        default: WriteIndices<4>(indices, faces, v, report); break;
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
