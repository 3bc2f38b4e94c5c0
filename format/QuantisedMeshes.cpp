#include "format/QuantisedMeshes.h"

#include "bytes/FormatError.h"
#include "bytes/LittleEndian.h"
#include "format/MeshPlaces.h"
#include "format/NameField.h"
#include "format/Quantise.h"
#include "platform/LargeBuffer.h"
#include "platform/Parallel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace qwz {

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

[[noreturn]] void IndexDoesNotFit(const DefinicjaObiektu& def, size_t m, size_t f, uint32_t index, unsigned width) {
    Unwritable(MeshLabel(def, m) + ": ściana " + std::to_string(f) + ", indeks " + std::to_string(index) +
               " nie mieści się w " + std::to_string(width) + " bajtach");
}

// Stores one index of face f in W bytes at p; an index that does not fit
// makes the mesh unwritable, one that names no vertex is noted in `bad`.
template <unsigned W>
inline void StoreIndex(uint8_t* p, uint32_t index, const DefinicjaObiektu& def, size_t m, size_t f,
                       uint32_t vertexCount, std::vector<uint32_t>* bad) {
    if (uint64_t(index) >> (8 * W)) IndexDoesNotFit(def, m, f, index, W);
    if (bad && index >= vertexCount) bad->push_back(index);
    le::Store(p, index, W);
}

// The flag of each face, and its four indices, W bytes each, in one pass
// over the faces of mesh m. An index wider than its field makes the mesh
// unwritable; with `badIndices`, every index not below the vertex count is
// also noted there, for the debug output.
template <unsigned W>
void StoreFaces(uint8_t* flags, uint8_t* p, const DefinicjaObiektu& def, size_t m, const vcF& list,
                uint32_t vertexCount, std::vector<uint32_t>* badIndices) {
    // The list's extent in locals: the byte stores below could otherwise
    // alias it and force a reload per face.
    const CfaceF* faces = list.data();
    const size_t count = list.size();
    for (size_t f = 0; f < count; ++f) {
        const CfaceF& face = faces[f];
        *flags++ = face.flag;
        for (int32_t signedIndex : face.indices) {
            StoreIndex<W>(p, uint32_t(signedIndex), def, m, f, vertexCount, badIndices);
            p += W;
        }
    }
}

// The same for the indices of `count` faces as the file holds them, `From`
// bytes each (the flags are copied by the caller), the first of them face
// `first` of the mesh: what StoreFaces writes for the faces built from them.
template <unsigned From, unsigned W>
void StoreFacesFromFile(uint8_t* p, const uint8_t* indices, size_t count, size_t first, const DefinicjaObiektu& def,
                        size_t m, uint32_t vertexCount, std::vector<uint32_t>* badIndices) {
    if constexpr (From == W) {
        std::memcpy(p, indices, 4 * W * count);
        if (badIndices)
            for (size_t i = 0; i < 4 * count; ++i)
                if (const uint32_t index = le::Load(indices + W * i, W); index >= vertexCount)
                    badIndices->push_back(index);
        return;
    }
    for (size_t f = 0; f < count; ++f)
        for (int k = 0; k < 4; ++k, indices += From, p += W)
            StoreIndex<W>(p, le::Load(indices, From), def, m, first + f, vertexCount, badIndices);
}

template <unsigned W>
void StoreFacesFromFile(uint8_t* p, const uint8_t* indices, unsigned width, size_t count, size_t first,
                        const DefinicjaObiektu& def, size_t m, uint32_t vertexCount, std::vector<uint32_t>* badIndices) {
    switch (width) {
    case 1: return StoreFacesFromFile<1, W>(p, indices, count, first, def, m, vertexCount, badIndices);
    case 2: return StoreFacesFromFile<2, W>(p, indices, count, first, def, m, vertexCount, badIndices);
    case 3: return StoreFacesFromFile<3, W>(p, indices, count, first, def, m, vertexCount, badIndices);
    default: return StoreFacesFromFile<4, W>(p, indices, count, first, def, m, vertexCount, badIndices);
    }
}

template <unsigned W>
void LoadFaces(const uint8_t* flags, const uint8_t* p, uint32_t count, vcF& faces) {
    faces.resize(count);
    CfaceF* face = faces.data();
    for (uint32_t j = 0; j < count; ++j, ++face) {
        face->flag = flags[j];
        for (int k = 0; k < 4; ++k, p += W) face->indices[size_t(k)] = int32_t(le::Load(p, W));
    }
}

// Every int16 a vertex coordinate can hold, dequantised at one scale, from
// -32768 on: a file with many vertices looks them up instead of dividing
// each. `ordered` when they never decrease and are all finite: then the
// smallest and largest value stored give the smallest and largest
// coordinate read.
struct DequantiseTable {
    std::vector<float> values;
    bool ordered = false;
};
constexpr uint64_t kTableWorthIt = 65536;  // vertices at which the table pays for itself

// Vertices built, and faces written, at a time by the writer, of a mesh left
// in the file's bytes.
constexpr size_t kVertexPart = 4096;
constexpr size_t kFacePart = 16384;

std::shared_ptr<const DequantiseTable> TableFor(float scale) {
    auto table = std::make_shared<DequantiseTable>();
    table->values.resize(65536);
    for (int32_t q = -32768; q <= 32767; ++q) table->values[size_t(q + 32768)] = Dequantise(q, scale);
    const auto finite = [](float v) { return std::isfinite(v); };
    table->ordered = std::is_sorted(table->values.begin(), table->values.end()) &&
                     std::all_of(table->values.begin(), table->values.end(), finite);
    return table;
}

// Builds a mesh's lists from its place in the bytes, dividing the vertices
// by the vertex scale; returns how many bytes from its first vertex on it
// takes.
struct QuantisedBuild {
    static constexpr size_t kVertexBytes = 6;
    float scale;
    unsigned indexWidth;
    std::shared_ptr<const DequantiseTable> table;  // none for a file with few vertices

    size_t operator()(const MeshInFile& place, vcV& vertices, vcF& faces) const {
        Vertices(place, vertices);
        platform::AdviseLargeBuffer(faces.data(), faces.capacity() * sizeof(CfaceF));
        if (indexWidth == 3) LoadFaces<3>(place.flags, place.indices, place.f, faces);
        else LoadFaces<2>(place.flags, place.indices, place.f, faces);
        return size_t(place.indices - place.vertices) + 4 * indexWidth * size_t(place.f);
    }
    unsigned IndexWidth(const MeshInFile&) const { return indexWidth; }
    const float* Int16Values() const { return table ? table->values.data() : nullptr; }
    bool Bounds(const MeshInFile& place, const std::vector<uint8_t>& named, uint32_t first,
                VertexBounds& bounds) const {
        if (!table || !table->ordered) return false;
        int named16[2][3] = {{32767, 32767, 32767}, {-32768, -32768, -32768}};
        int all16[2][3] = {{32767, 32767, 32767}, {-32768, -32768, -32768}};
        bool anyNamed = false;
        const uint8_t* p = place.vertices;
        for (uint32_t k = 0; k < place.v; ++k, p += 6) {
            const int q[3] = {int16_t(le::Load16(p)), int16_t(le::Load16(p + 2)), int16_t(le::Load16(p + 4))};
            for (int axis = 0; axis < 3; ++axis) {
                all16[0][axis] = std::min(all16[0][axis], q[axis]);
                all16[1][axis] = std::max(all16[1][axis], q[axis]);
            }
            if (!named[k]) continue;
            anyNamed = true;
            for (int axis = 0; axis < 3; ++axis) {
                named16[0][axis] = std::min(named16[0][axis], q[axis]);
                named16[1][axis] = std::max(named16[1][axis], q[axis]);
            }
        }
        const float* at = table->values.data() + 32768;
        bounds = VertexBounds();
        bounds.anyNamed = anyNamed;
        for (int axis = 0; axis < 3; ++axis) {
            bounds.namedLow[axis] = at[named16[0][axis]], bounds.namedHigh[axis] = at[named16[1][axis]];
            bounds.allLow[axis] = at[all16[0][axis]], bounds.allHigh[axis] = at[all16[1][axis]];
        }
        if (first < place.v) {
            const uint8_t* v = place.vertices + 6 * size_t(first);
            bounds.hasFirst = true;
            bounds.first = {at[int16_t(le::Load16(v))], at[int16_t(le::Load16(v + 2))], at[int16_t(le::Load16(v + 4))]};
        }
        return true;
    }
    void Vertices(const MeshInFile& place, vcV& vertices) const {
        vertices.resize(place.v);
        platform::AdviseLargeBuffer(vertices.data(), vertices.capacity() * sizeof(CpunktF));
        CpunktF* vertex = vertices.data();
        const uint8_t* p = place.vertices;
        if (table) {
            const float* at = table->values.data() + 32768;
            for (uint32_t k = 0; k < place.v; ++k, p += 6)
                vertex[k] = {at[int16_t(le::Load16(p))], at[int16_t(le::Load16(p + 2))], at[int16_t(le::Load16(p + 4))]};
        } else {
            for (uint32_t k = 0; k < place.v; ++k, p += 6)
                vertex[k] = {Dequantise(int16_t(le::Load16(p)), scale), Dequantise(int16_t(le::Load16(p + 2)), scale),
                             Dequantise(int16_t(le::Load16(p + 4)), scale)};
        }
    }
};

// What each 16-bit value read through `table` becomes when written again at
// a scale: the value QuantiseInt16 gives for the coordinate read, where it
// fits 16 bits, and how far the new file's reader finds it from the
// coordinate read. A mesh that holds a value that does not fit is written
// the long way, which names the vertex.
struct Requantise {
    int16_t to[65536];
    bool fits[65536];
    double change[65536];

    // Writes the `v` vertices at `from` as `to` gives them at `p`, raising
    // `largest` to the largest change among them; false, with `p` partly
    // written, when one does not fit.
    bool Vertices(const uint8_t* from, size_t v, uint8_t* p, double& largest) const {
        double most = 0;
        for (size_t i = 0; i < 3 * v; ++i, from += 2, p += 2) {
            const size_t q = size_t(int32_t(int16_t(le::Load16(from))) + 32768);
            if (!fits[q]) return false;
            le::Store16(p, uint16_t(to[q]));
            most = std::max(most, change[q]);
        }
        largest = std::max(largest, most);
        return true;
    }
};

// `values`: the 65536 values read, from -32768 on.
std::unique_ptr<const Requantise> RequantiseFor(const float* values, float scale) {
    auto requantise = std::make_unique<Requantise>();
    for (size_t q = 0; q < 65536; ++q) {
        const std::optional<int16_t> to = QuantiseInt16(values[q], scale);
        requantise->fits[q] = to.has_value();
        requantise->to[q] = to.value_or(0);
        requantise->change[q] = to ? std::fabs(double(Dequantise(*to, scale)) - double(values[q])) : 0.0;
    }
    return requantise;
}

// Encodes the meshes of one save into the room laid out for them, from any
// thread, each mesh checked as it is encoded, in the order a check before
// writing would take: its counts, its vertices, its indices. The first mesh
// that does not fit is the one named.
class QuantisedMeshWriter {
public:
    QuantisedMeshWriter(const DefinicjaObiektu& def, const MeshSource& meshes, ByteWriter& out,
                        const QuantisedMeshLayout& layout, float scale)
        : def_(def), meshes_(meshes), out_(out), layout_(layout), scale_(scale),
          badIndices_(def.MeshNames.size()), vertexCounts_(def.MeshNames.size()), rooms_(def.MeshNames.size()),
          changes_(def.MeshNames.size(), 0.0) {
        // The counts before the meshes are written: a source may give them
        // back as they are.
        uint64_t vertices = 0;
        for (size_t m = 0; m < vertexCounts_.size(); ++m) {
            vertexCounts_[m] = meshes.VertexCount(m);
            vertices += vertexCounts_[m];
        }
        // What the new file's reader makes of each stored value, looked up
        // rather than divided again when there are many.
        if (vertices >= kTableWorthIt) readBack_ = TableFor(scale);
        // Vertices of 16-bit values read through a table go over by a
        // second table: what each value read becomes when written at this
        // scale.
        if (const float* values = meshes.Int16Values()) requantise_ = RequantiseFor(values, scale);
    }

    size_t VertexCount(size_t m) const { return vertexCounts_[m]; }
    MeshRoom& Room(size_t m) { return rooms_[m]; }

    void Encode(size_t m) {
        // Faces left in the file's bytes are written from where they lie,
        // never built: the flags as they are, the indices as they are where
        // the widths agree.
        FacesInFile inFile;
        const bool carried = meshes_.Faces(m, inFile);
        const size_t v = vertexCounts_[m];
        uint8_t* p = out_.at(rooms_[m].vertices);
        // Checked in the order of a check before writing: the counts first.
        double& change = changes_[m];
        change = 0;
        const bool requantised = carried && requantise_ && v <= layout_.maxPerMesh &&
                                 meshes_.FaceCount(m) <= layout_.maxPerMesh &&
                                 requantise_->Vertices(meshes_.Int16Vertices(m), v, p, change);
        // A mesh left in the file's bytes has its vertices built a part at
        // a time; any other is seen whole.
        std::optional<MeshView> mesh;
        if (!carried) mesh.emplace(meshes_, m, scratch_);
        const size_t faceCount = carried ? meshes_.FaceCount(m) : mesh->faces().size();
        CheckCounts(m, v, faceCount);
        if (mesh) change = Quantise(m, mesh->vertices().data(), 0, v, p);
        else if (!requantised) change = QuantiseInParts(m, v, p);

        uint8_t* flags = out_.at(rooms_[m].flags);
        std::vector<uint32_t>* bad = layout_.reportBadIndices ? &badIndices_[m] : nullptr;
        if (carried) StoreFacesInParts(m, inFile, faceCount, uint32_t(v), flags, bad);
        else if (layout_.indexWidth == 3) StoreFaces<3>(flags, flags + faceCount, def_, m, mesh->faces(), uint32_t(v), bad);
        else StoreFaces<2>(flags, flags + faceCount, def_, m, mesh->faces(), uint32_t(v), bad);
        meshes_.Written(m);
    }

    // The largest change of a vertex coordinate over the meshes encoded.
    double LargestChange() const {
        double largest = 0;
        for (double change : changes_) largest = std::max(largest, change);
        return largest;
    }

    // Every face index that names no vertex, in mesh order.
    void Report(Warnings& warnings) const {
        for (size_t m = 0; m < badIndices_.size(); ++m)
            for (uint32_t index : badIndices_[m]) {
                const std::string text = std::to_string(index) + " >= " + std::to_string(vertexCounts_[m]);
                warnings.push_back({Warning::Kind::BadFaceIndex, text, "indeks ściany " + text, false});
            }
    }

private:
    void CheckCounts(size_t m, size_t v, size_t faceCount) const {
        if (v > layout_.maxPerMesh)
            Unwritable(MeshLabel(def_, m) + ": " + std::to_string(v) + " wierzchołków, a " + InVersion(layout_) +
                       " mieści najwyżej " + std::to_string(layout_.maxPerMesh));
        if (faceCount > layout_.maxPerMesh)
            Unwritable(MeshLabel(def_, m) + ": " + std::to_string(faceCount) + " ścian, a " + InVersion(layout_) +
                       " mieści najwyżej " + std::to_string(layout_.maxPerMesh));
    }

    // Vertices `first` on of mesh m, at `to`; returns the largest change of
    // a coordinate among them, as the new file's reader sees it.
    double Quantise(size_t m, const CpunktF* vertex, size_t first, size_t count, uint8_t* to) const {
        static const char* const kAxisNames[3] = {"X", "Y", "Z"};
        const float* readBack = readBack_ ? readBack_->values.data() + 32768 : nullptr;
        double largest = 0;
        for (size_t j = first; j < first + count; ++j, ++vertex, to += 6) {
            const float coords[3] = {vertex->x, vertex->y, vertex->z};
            for (int axis = 0; axis < 3; ++axis) {
                const std::optional<int16_t> q = QuantiseInt16(coords[axis], scale_);
                if (!q)
                    Unwritable(MeshLabel(def_, m) + ": wierzchołek " + std::to_string(j) + ", " + kAxisNames[axis] +
                               " = " + Number(coords[axis]) + " przy skali " + Number(scale_) +
                               " nie mieści się w 16 bitach");
                le::Store16(to + 2 * axis, uint16_t(*q));
                const float back = readBack ? readBack[*q] : Dequantise(*q, scale_);
                largest = std::max(largest, std::fabs(double(back) - double(coords[axis])));
            }
        }
        return largest;
    }

    // The vertices of a mesh left in the file's bytes, built a part at a
    // time.
    double QuantiseInParts(size_t m, size_t v, uint8_t* p) const {
        thread_local vcV part;
        double largest = 0;
        for (size_t first = 0; first < v; first += kVertexPart) {
            const size_t count = std::min(kVertexPart, v - first);
            meshes_.BuildVertices(m, uint32_t(first), uint32_t(count), part);
            largest = std::max(largest, Quantise(m, part.data(), first, count, p + 6 * first));
        }
        return largest;
    }

    // The faces of a mesh left in the file's bytes, written from where they
    // lie. Its bytes in the file are read here for the last time: they are
    // told read as the write gets past them, a part at a time, so that a
    // file held a piece at a time holds a part of the mesh rather than all
    // of it beside its room here.
    void StoreFacesInParts(size_t m, const FacesInFile& inFile, size_t faceCount, uint32_t v, uint8_t* flags,
                           std::vector<uint32_t>* bad) const {
        const uint8_t* told = meshes_.Bytes(m).first;
        const auto readUpTo = [&](const uint8_t* end) {
            meshes_.Read(told, size_t(end - told));
            told = end;
        };
        readUpTo(inFile.flags);  // the vertices
        std::memcpy(flags, inFile.flags, faceCount);
        const unsigned from = inFile.indexWidth, iw = unsigned(layout_.indexWidth);
        for (size_t first = 0; first < faceCount; first += kFacePart) {
            const size_t n = std::min(kFacePart, faceCount - first);
            const uint8_t* indices = inFile.indices + 4 * from * first;
            uint8_t* to = flags + faceCount + 4 * iw * first;
            if (iw == 3) StoreFacesFromFile<3>(to, indices, from, n, first, def_, m, v, bad);
            else StoreFacesFromFile<2>(to, indices, from, n, first, def_, m, v, bad);
            readUpTo(indices + 4 * from * n);
        }
    }

    const DefinicjaObiektu& def_;
    const MeshSource& meshes_;
    ByteWriter& out_;
    const QuantisedMeshLayout& layout_;
    const float scale_;
    std::vector<std::vector<uint32_t>> badIndices_;
    std::vector<size_t> vertexCounts_;
    std::vector<MeshRoom> rooms_;
    MeshScratch scratch_;
    std::unique_ptr<const Requantise> requantise_;
    std::shared_ptr<const DequantiseTable> readBack_;  // none for few vertices
    std::vector<double> changes_;  // per mesh, each written by the thread that encodes it
};

}  // namespace

void CheckQuantisedMeshes(const DocumentContent& doc, const QuantisedMeshLayout& layout) {
    const DefinicjaObiektu& def = *doc.Definition;
    const size_t meshes = def.MeshNames.size();
    if (def.MeshAttributes.size() != meshes || def.Vertices.size() != meshes || def.Faces.size() != meshes)
        Unwritable("listy siatek dokumentu mają różne długości");
    if (meshes > layout.maxMeshes)
        Unwritable(std::to_string(meshes) + " siatek, a " + InVersion(layout) + " mieści najwyżej " +
                   std::to_string(layout.maxMeshes));
}

uint64_t QuantisedMeshesSize(const DefinicjaObiektu& def, const MeshSource& meshes, const QuantisedMeshLayout& layout) {
    const uint64_t cw = uint64_t(layout.countWidth), iw = uint64_t(layout.indexWidth);
    uint64_t bytes = uint64_t(layout.meshCountWidth);
    for (size_t m = 0; m < def.MeshNames.size(); ++m) {
        bytes += kNameFieldSize + 4 + kMeshFillerSize + 2 * cw;
        if (m < def.Vertices.size()) bytes += 6 * uint64_t(meshes.VertexCount(m));
        if (m < def.Faces.size()) bytes += (1 + 4 * iw) * uint64_t(meshes.FaceCount(m));
    }
    return bytes;
}

double WriteQuantisedMeshes(const DocumentContent& doc, const MeshSource& meshes, ByteWriter& out,
                            const QuantisedMeshLayout& layout, Warnings& warnings) {
    const DefinicjaObiektu& def = *doc.Definition;
    const size_t count = def.MeshNames.size();
    const unsigned cw = unsigned(layout.countWidth), iw = unsigned(layout.indexWidth);
    QuantisedMeshWriter writer(def, meshes, out, layout, doc.VertexScale);

    // The fields around the vertices and faces, with room left for them;
    // the meshes are encoded into that room in parallel, a batch at a time.
    MeshBatch batch;
    const size_t batchBytes = MeshBatchBytes(QuantisedMeshesSize(def, meshes, layout));
    const auto encode = [&writer](size_t m) { writer.Encode(m); };
    // Everything before the meshes is final: a part held from the groups
    // does not stay beside the first batch.
    out.flush();
    out.le(count, size_t(layout.meshCountWidth));
    for (size_t m = 0; m < count; ++m) {
        const size_t v = writer.VertexCount(m), f = meshes.FaceCount(m);
        const size_t meshBytes = 6 * v + (1 + 4 * iw) * f;
        if (batch.Full(meshBytes, batchBytes)) {
            batch.Run(m, encode);
            out.flush();  // everything before this mesh is final
        }
        WriteNameField(out, def.MeshNames[m]);
        out.i32(def.MeshAttributes[m]);
        out.zeros(kMeaninglessFiller);
        out.i16(1);
        out.i16(1);
        out.le(v, cw);
        MeshRoom& room = writer.Room(m);
        room.vertices = out.size();
        // The room's pages made present at once rather than met one by one.
        platform::AdviseLargeBuffer(out.spare(), std::min(6 * v + cw + (1 + 4 * iw) * f, out.spareSize()));
        out.grow(6 * v);
        out.le(f, cw);
        room.flags = out.size();
        out.grow((1 + 4 * iw) * f);
        batch.cost += v + f;
        batch.bytes += meshBytes;
    }
    batch.Run(count, encode);
    out.flush();
    writer.Report(warnings);
    return writer.LargestChange();
}

void ReadQuantisedMeshes(DocumentContent& doc, ByteReader& in, const QuantisedMeshLayout& layout,
                         const ReadOptions& options, ReadResult& result, const float* cornerShift) {
    const bool namesOnly = options.meshes == ReadOptions::Meshes::NamesOnly;
    DefinicjaObiektu& def = *doc.GetDefinition();
    if (cornerShift) {
        def.CornersShifted = true;
        for (int axis = 0; axis < 3; ++axis) def.CornerShift[axis] = cornerShift[axis];
    }
    const float scale = doc.VertexScale;
    const unsigned cw = unsigned(layout.countWidth), iw = unsigned(layout.indexWidth);
    const size_t smallestMesh = kNameFieldSize + 4 + kMeshFillerSize + 2 * size_t(cw);
    size_t at = in.offset();
    const uint32_t meshes =
        in.fitCount(ReadCount(in, layout.meshCountWidth, "liczba siatek"), at, smallestMesh, "liczba siatek");

    // First the whole group is walked and every count checked against the
    // bytes; then the meshes, independent of each other, are built in
    // parallel from the places found.
    std::vector<MeshInFile> places;
    places.reserve(meshes);
    uint64_t cost = 0;
    const size_t first = def.Faces.size();  // the meshes are appended after any already there
    for (uint32_t m = 0; m < meshes; ++m) {
        def.AddMesh(ReadNameField(in, "nazwa siatki"));
        def.MeshAttributes.back() = in.i32("atrybut siatki");
        in.skip(kMeshFillerSize, "wypełnienie siatki");

        MeshInFile& place = places.emplace_back();
        at = in.offset();
        place.v = in.fitCount(ReadCount(in, cw, "liczba wierzchołków"), at, 6, "liczba wierzchołków");
        place.vertices = in.take(6 * size_t(place.v), "wierzchołki");
        at = in.offset();
        place.f = in.fitCount(ReadCount(in, cw, "liczba ścian"), at, 1 + 4 * iw, "liczba ścian");
        place.flags = in.take(place.f, "flagi ścian");
        place.indices = in.take(4 * iw * size_t(place.f), "indeksy ścian");
        cost += uint64_t(place.v) + place.f;
        if (namesOnly) in.doneBehind();
    }
    if (namesOnly) return;

    uint64_t vertices = 0;
    for (const MeshInFile& place : places) vertices += place.v;
    const QuantisedBuild build{scale, iw, vertices >= kTableWorthIt ? TableFor(scale) : nullptr};
    if (options.meshes == ReadOptions::Meshes::LeaveInBytes && first == 0) {
        result.meshes = std::make_shared<MeshesInFile<QuantisedBuild>>(std::move(places), build, options.bytesRead);
        return;
    }
    platform::ForEachInParallel(meshes, cost, [&](size_t m) {
        const MeshInFile& place = places[m];
        in.done(place.vertices, build(place, def.Vertices[first + m], def.Faces[first + m]));
    });
}

}  // namespace qwz
