#include "format/QuantisedMeshes.h"

#include "format/FormatError.h"
#include "format/NameField.h"
#include "format/Quantise.h"
#include "platform/DebugOutput.h"

#include <cstdio>
#include <string>

namespace qwz {

const QuantisedMeshLayout kMeshes203 = {203, 4, 3, 3, 0x7FFFFFFF, 16777215, true};
const QuantisedMeshLayout kMeshes202 = {202, 1, 2, 2, 255, 32767, false};

namespace {

constexpr size_t kMeaninglessFiller = 57;  // then int16 1, int16 1

[[noreturn]] void Unwritable(const std::string& what) {
    throw FormatError(FormatError::Kind::Unwritable, what);
}

// "siatka nr 3 (M)": names are 8-bit text of the file's code page, so any
// byte outside ASCII is shown as '?' to keep the message readable.
std::string MeshLabel(const DefinicjaObiektu& def, size_t m) {
    std::string name = def.MeshNames[m];
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '?';
    return "siatka nr " + std::to_string(m + 1) + " (" + name + ")";
}

std::string Number(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.9g", v);
    return text;
}

std::string InVersion(const QuantisedMeshLayout& layout) {
    return "wersja " + std::to_string(layout.version);
}

uint32_t ReadCount(ByteReader& in, int width, const char* field) {
    switch (width) {
    case 1: return in.u8(field);
    case 2: return in.u16(field);
    case 3: return in.u24(field);
    default: return in.u32(field);
    }
}

}  // namespace

void CheckQuantisedMeshes(const KlasaQwz& doc, const QuantisedMeshLayout& layout) {
    const DefinicjaObiektu& def = *doc.Definition;
    const size_t meshes = def.MeshNames.size();
    if (def.MeshAttributes.size() != meshes || def.Vertices.size() != meshes || def.Faces.size() != meshes)
        Unwritable("listy siatek dokumentu mają różne długości");
    if (meshes > layout.maxMeshes)
        Unwritable(std::to_string(meshes) + " siatek, a " + InVersion(layout) + " mieści najwyżej " +
                   std::to_string(layout.maxMeshes));

    const uint64_t indexLimit = uint64_t(1) << (8 * layout.indexWidth);
    const char* axisNames[3] = {"X", "Y", "Z"};
    for (size_t m = 0; m < meshes; ++m) {
        const vcV& vertices = def.Vertices[m];
        const vcF& faces = def.Faces[m];
        if (vertices.size() > layout.maxPerMesh)
            Unwritable(MeshLabel(def, m) + ": " + std::to_string(vertices.size()) + " wierzchołków, a " +
                       InVersion(layout) + " mieści najwyżej " + std::to_string(layout.maxPerMesh));
        if (faces.size() > layout.maxPerMesh)
            Unwritable(MeshLabel(def, m) + ": " + std::to_string(faces.size()) + " ścian, a " +
                       InVersion(layout) + " mieści najwyżej " + std::to_string(layout.maxPerMesh));
        for (size_t j = 0; j < vertices.size(); ++j) {
            const float coords[3] = {vertices[j].x, vertices[j].y, vertices[j].z};
            for (int axis = 0; axis < 3; ++axis)
                if (!QuantiseInt16(coords[axis], doc.VertexScale))
                    Unwritable(MeshLabel(def, m) + ": wierzchołek " + std::to_string(j) + ", " +
                               axisNames[axis] + " = " + Number(coords[axis]) + " przy skali " +
                               Number(doc.VertexScale) + " nie mieści się w 16 bitach");
        }
        for (size_t f = 0; f < faces.size(); ++f)
            for (int32_t index : faces[f].indices)
                if (uint32_t(index) >= indexLimit)
                    Unwritable(MeshLabel(def, m) + ": ściana " + std::to_string(f) + ", indeks " +
                               std::to_string(uint32_t(index)) + " nie mieści się w " +
                               std::to_string(layout.indexWidth) + " bajtach");
    }
}

void WriteQuantisedMeshes(const KlasaQwz& doc, ByteWriter& out, const QuantisedMeshLayout& layout) {
    const DefinicjaObiektu& def = *doc.Definition;
    const size_t meshes = def.MeshNames.size();
    size_t bytes = size_t(layout.meshCountWidth);
    for (size_t m = 0; m < meshes; ++m)
        bytes += kNameFieldSize + 4 + kMeshFillerSize + 2 * size_t(layout.countWidth) +
                 6 * def.Vertices[m].size() + (1 + 4 * size_t(layout.indexWidth)) * def.Faces[m].size();
    out.reserve(out.size() + bytes);

    out.le(meshes, size_t(layout.meshCountWidth));
    for (size_t m = 0; m < meshes; ++m) {
        const vcV& vertices = def.Vertices[m];
        const vcF& faces = def.Faces[m];
        WriteNameField(out, def.MeshNames[m]);
        out.i32(def.MeshAttributes[m]);
        out.zeros(kMeaninglessFiller);
        out.i16(1);
        out.i16(1);

        const uint32_t v = uint32_t(vertices.size());
        out.le(v, size_t(layout.countWidth));
        for (const CpunktF& p : vertices) {
            out.i16(*QuantiseInt16(p.x, doc.VertexScale));
            out.i16(*QuantiseInt16(p.y, doc.VertexScale));
            out.i16(*QuantiseInt16(p.z, doc.VertexScale));
        }
        out.le(faces.size(), size_t(layout.countWidth));
        for (const CfaceF& face : faces) out.u8(face.flag);
        for (const CfaceF& face : faces)
            for (int32_t index : face.indices) {
                if (layout.reportBadIndices && uint32_t(index) >= v)
                    platform::DebugOutputW(std::to_string(uint32_t(index)) + " >= " + std::to_string(v));
                out.le(uint32_t(index), size_t(layout.indexWidth));
            }
    }
}

void ReadQuantisedMeshes(KlasaQwz& doc, ByteReader& in, const QuantisedMeshLayout& layout,
                         const float* cornerShift) {
    DefinicjaObiektu& def = *doc.GetDefinition();
    const float scale = doc.VertexScale;
    const uint32_t meshes = ReadCount(in, layout.meshCountWidth, "liczba siatek");
    const size_t smallestMesh = kNameFieldSize + 4 + kMeshFillerSize + 2 * size_t(layout.countWidth);
    in.requireCount(meshes, smallestMesh, "liczba siatek");

    for (uint32_t m = 0; m < meshes; ++m) {
        def.AddMesh(ReadNameField(in, "nazwa siatki"));
        def.MeshAttributes[m] = in.i32("atrybut siatki");
        in.skip(kMeshFillerSize, "wypełnienie siatki");

        const uint32_t v = ReadCount(in, layout.countWidth, "liczba wierzchołków");
        in.requireCount(v, 6, "liczba wierzchołków");
        vcV& vertices = def.Vertices[m];
        vertices.resize(v);
        for (CpunktF& p : vertices) {
            p.x = Dequantise(in.i16("wierzchołek"), scale);
            p.y = Dequantise(in.i16("wierzchołek"), scale);
            p.z = Dequantise(in.i16("wierzchołek"), scale);
        }

        const uint32_t f = ReadCount(in, layout.countWidth, "liczba ścian");
        in.requireCount(f, 1 + 4 * uint64_t(layout.indexWidth), "liczba ścian");
        doc.FaceFlags.resize(f);
        if (f != 0) in.bytes(doc.FaceFlags.data(), f, "flagi ścian");
        vcF& faces = def.Faces[m];
        faces.assign(f, CfaceF{});
        for (uint32_t j = 0; j < f; ++j) {
            CfaceF& face = faces[j];
            face.flag = doc.FaceFlags[j];
            for (int k = 0; k < 4; ++k) {
                const uint32_t index = ReadCount(in, layout.indexWidth, "indeks ściany");
                face.indices[k] = int32_t(index);
                if (index >= v) continue;  // no such vertex: the corner stays at zero
                CpunktF corner = vertices[index];
                if (cornerShift) {
                    corner.x -= cornerShift[0];
                    corner.y -= cornerShift[1];
                    corner.z -= cornerShift[2];
                }
                face.corners[k] = corner;
            }
        }
    }
}

}  // namespace qwz
