#include "Generator.h"

#include "format/Kqwz_scaler.h"
#include "format/Kqwz_unknown.h"
#include "format/Kqwz_uv.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace qwz::bench {
namespace {

// A small deterministic generator (xorshift), so scenes repeat exactly.
class Random {
public:
    explicit Random(uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t Next() {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 7;
        s_ ^= s_ << 17;
        return s_;
    }
    double Unit() { return double(Next() >> 11) / double(1ull << 53); }
    uint32_t Below(uint32_t n) { return uint32_t(Next() % n); }

private:
    uint64_t s_;
};

template <size_t N>
void FillRecord(std::array<uint8_t, N>& bytes, Random& random) {
    // Doubles for coordinates and radii, then a colour and layer word.
    for (size_t at = 0; at + 8 <= N - 8; at += 8) {
        const double v = random.Unit() * 1000.0 - 500.0;
        std::memcpy(bytes.data() + at, &v, 8);
    }
    const uint64_t tail = random.Next();
    std::memcpy(bytes.data() + N - 8, &tail, 8);
}

std::string Name(const char* stem, uint32_t i) { return std::string(stem) + " " + std::to_string(i + 1); }

template <class Record>
void FillGroup(GeometryGroup<Record> group, const char* stem, uint32_t names, uint32_t records,
               Random& random) {
    group.Resize(names);
    for (uint32_t i = 0; i < names; ++i) {
        group.names[i] = Name(stem, i);
        group.attributes[i] = int32_t(random.Below(16));
    }
    for (uint32_t r = 0; r < records; ++r) {
        Record record;
        FillRecord(record.bytes, random);
        group.records[r % names].push_back(record);
    }
}

void AddGrid(DefinicjaObiektu& def, uint32_t columns, uint32_t rows, uint32_t index, Random& random) {
    def.AddMesh(Name("Siatka", index));
    def.MeshAttributes.back() = int32_t(index);
    vcV& vertices = def.Vertices.back();
    vertices.reserve(size_t(columns) * rows);
    const float originX = float(index) * 250.0f;
    for (uint32_t r = 0; r < rows; ++r)
        for (uint32_t c = 0; c < columns; ++c)
            vertices.push_back({originX + float(c) * 0.05f, float(r) * 0.05f,
                                float(std::sin(c * 0.01) * std::cos(r * 0.013) * 3.0 +
                                      random.Unit() * 0.01)});
    vcF& faces = def.Faces.back();
    faces.reserve(size_t(columns - 1) * (rows - 1));
    for (uint32_t r = 0; r + 1 < rows; ++r) {
        for (uint32_t c = 0; c + 1 < columns; ++c) {
            CfaceF face;
            const int32_t a = int32_t(r * columns + c);
            face.indices = {a, a + 1, a + int32_t(columns) + 1, a + int32_t(columns)};
            face.flag = uint8_t((r / 16 + c / 16) & 3);
            faces.push_back(face);
        }
    }
}

// UV records for the faces of one grid: the grid laid flat on the unit square.
vcUV GridUV(uint32_t columns, uint32_t rows) {
    vcUV uv;
    uv.reserve(size_t(columns - 1) * (rows - 1));
    const float du = 1.0f / float(columns - 1), dv = 1.0f / float(rows - 1);
    for (uint32_t r = 0; r + 1 < rows; ++r) {
        for (uint32_t c = 0; c + 1 < columns; ++c) {
            CuvF record;
            const float u = float(c) * du, v = float(r) * dv;
            record.corners = {{{u, v}, {u + du, v}, {u + du, v + dv}, {u, v + dv}}};
            uv.push_back(record);
        }
    }
    return uv;
}

}  // namespace

SceneSize LargeScene() {
    SceneSize size;
    size.grids = {{1100, 1000}, {800, 800}, {500, 600}, {250, 200}, {12, 10}};
    size.namesPerKind = 40;
    size.circles = 3000;
    size.lines = 8000;
    size.polylines = 2000;
    size.pointsPerPolyline = 40;
    size.arcs = 4000;
    size.uvMeshes = 3;
    size.zoneBlocks = 4;
    size.opaqueBytes = 64 * 1024;
    return size;
}

SceneSize SmallMeshScene() {
    SceneSize size = LargeScene();
    size.grids.assign(64, {181, 181});
    return size;
}

SceneSize SampleScene() {
    SceneSize size;
    size.grids = {{20, 16}, {9, 8}, {6, 5}};  // 320 vertices: 2-byte indices; the others 1 byte
    size.namesPerKind = 3;
    size.circles = 6;
    size.lines = 12;
    size.polylines = 4;
    size.pointsPerPolyline = 8;
    size.arcs = 5;
    size.uvMeshes = 2;
    size.zoneBlocks = 1;
    size.opaqueBytes = 96;
    return size;
}

SceneSize FolderFileScene() {
    SceneSize size = SampleScene();
    size.grids = {{60, 40}, {9, 8}, {6, 5}};  // 2400 vertices: 2-byte indices
    return size;
}

SceneSize ManyMeshScene(uint32_t meshes) {
    SceneSize size = SampleScene();
    size.grids.assign(meshes, {100, 100});
    return size;
}

SceneSize MeshCountScene(uint32_t meshes) {
    // LargeScene's records for its 64 meshes, in proportion.
    const SceneSize large = LargeScene();
    auto part = [meshes](uint32_t of64) { return std::max<uint32_t>(1, uint32_t(uint64_t(of64) * meshes / 64)); };
    SceneSize size = large;
    size.grids.assign(meshes, {181, 181});
    size.circles = part(large.circles);
    size.lines = part(large.lines);
    size.polylines = part(large.polylines);
    size.arcs = part(large.arcs);
    size.uvMeshes = std::max<uint32_t>(2, meshes / 2);
    size.floatUvMeshes = std::max<uint32_t>(1, meshes / 4);
    return size;
}

namespace {

// Little-endian appends, built with shifts.
void Put(std::vector<uint8_t>& out, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

void PutFloat(std::vector<uint8_t>& out, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    Put(out, bits, 4);
}

// Nearest integer, which must lie within the 16 bits of the layout.
int16_t Quantised(float coordinate, float scale) {
    const double q = std::nearbyint(double(coordinate) * double(scale));
    if (!(q >= -32768.0 && q <= 32767.0)) throw std::runtime_error("vertex does not fit version 201");
    return int16_t(q);
}

}  // namespace

std::vector<uint8_t> Version201Bytes(KlasaQwz& doc, uint32_t skippedRecords) {
    const DefinicjaObiektu& def = *doc.GetDefinition();
    const size_t meshes = def.Vertices.size();
    if (meshes > 255) throw std::runtime_error("version 201 holds at most 255 meshes");

    double extent = 0;
    for (const vcV& vertices : def.Vertices)
        for (const CpunktF& v : vertices)
            extent = std::max({extent, std::fabs(double(v.x)), std::fabs(double(v.y)), std::fabs(double(v.z))});
    float scale = 1.0f;
    while (extent * scale > 32000.0) scale = float(scale * 0.1);
    while (extent * scale * 10.0 <= 32000.0 && scale < 1e6f) scale = float(scale * 10.0);

    uint64_t bytes = 10 + 4 + 12 * uint64_t(skippedRecords) + 16 + 1;
    for (size_t m = 0; m < meshes; ++m)
        bytes += 32 + 4 + 61 + 2 + 6 * def.Vertices[m].size() + 2 + 9 * def.Faces[m].size();
    std::vector<uint8_t> out;
    out.reserve(size_t(bytes));

    out.insert(out.end(), {'Q', 'W', 'Z', 201});
    for (float coordinate : doc.RefPoint) {
        const double tenths = std::trunc(double(coordinate) * 10.0);
        if (!(tenths >= -32768.0 && tenths <= 32767.0))
            throw std::runtime_error("reference point does not fit version 201");
        Put(out, uint16_t(int16_t(tenths)), 2);
    }
    Put(out, skippedRecords, 4);
    Random random(201);
    for (uint32_t r = 0; r < skippedRecords; ++r) {
        Put(out, random.Below(1000), 2);
        Put(out, random.Below(1000), 2);
        Put(out, random.Next(), 8);
    }
    PutFloat(out, scale);
    for (float coordinate : doc.RefPoint) PutFloat(out, coordinate);

    Put(out, meshes, 1);
    for (size_t m = 0; m < meshes; ++m) {
        const vcV& vertices = def.Vertices[m];
        const vcF& faces = def.Faces[m];
        if (vertices.size() > 65535 || faces.size() > 65535)
            throw std::runtime_error("a mesh does not fit version 201");
        const std::string& name = def.MeshNames[m];
        for (size_t i = 0; i < 32; ++i) out.push_back(i < 31 && i < name.size() ? uint8_t(name[i]) : 0);
        Put(out, uint32_t(def.MeshAttributes[m]), 4);
        out.resize(out.size() + 57, 0);  // mesh filler: 57 meaningless bytes, int16 1, int16 1
        Put(out, 1, 2);
        Put(out, 1, 2);
        Put(out, vertices.size(), 2);
        for (const CpunktF& v : vertices)
            for (float c : {v.x, v.y, v.z}) Put(out, uint16_t(Quantised(c, scale)), 2);
        Put(out, faces.size(), 2);
        for (const CfaceF& face : faces) out.push_back(face.flag);
        for (const CfaceF& face : faces)
            for (int32_t index : face.indices) {
                if (uint32_t(index) > 65535) throw std::runtime_error("a face index does not fit version 201");
                Put(out, uint32_t(index), 2);
            }
    }
    return out;
}

void BuildScene(KlasaQwz& doc, const SceneSize& size) {
    Random random(204);
    DefinicjaObiektu& def = *doc.GetDefinition();
    def.Clear();
    doc.RefPoint[0] = 1250.5f;
    doc.RefPoint[1] = -310.25f;
    doc.RefPoint[2] = 12.0f;
    std::copy(doc.RefPoint, doc.RefPoint + 3, def.RefPoint);

    FillGroup(def.CircleGroup(), "Oprawa", size.namesPerKind, size.circles, random);
    FillGroup(def.LineGroup(), "Linia", size.namesPerKind, size.lines, random);
    FillGroup(def.ArcGroup(), "Luk", size.namesPerKind, size.arcs, random);
    def.PolyGroup().Resize(size.namesPerKind);
    for (uint32_t i = 0; i < size.namesPerKind; ++i) {
        def.PolyNames[i] = Name("Obrys", i);
        def.PolyAttributes[i] = int32_t(i % 5);
    }
    for (uint32_t p = 0; p < size.polylines; ++p) {
        CPoly poly;
        poly.flag = uint8_t(p & 1);
        for (uint8_t& b : poly.header) b = uint8_t(random.Next());
        const uint32_t points = 2 + random.Below(size.pointsPerPolyline - 1);
        for (uint32_t k = 0; k < points; ++k)
            poly.points.push_back({{random.Unit() * 100, random.Unit() * 100, 0}, random.Unit()});
        def.Polys[p % size.namesPerKind].push_back(std::move(poly));
    }

    for (uint32_t m = 0; m < size.grids.size(); ++m)
        AddGrid(def, size.grids[m].first, size.grids[m].second, m, random);

    // UV for the last meshes: float32 coordinates for the last
    // floatUvMeshes of them, 16-bit for the others, each block with a group
    // per mesh.
    const uint32_t meshes = uint32_t(size.grids.size());
    const uint32_t uvFrom = meshes - std::min(size.uvMeshes, meshes);
    for (int kind : {TKontenerQwz::ktUV16, TKontenerQwz::ktUVFloat}) {
        auto* uv = new TKQWZ_UV();
        uv->SetKind(TKontenerQwz::EKontenerTyp(kind));
        uv->ValueA = 0x00010002u;
        uv->ValueB = uint32_t(kind);
        for (uint32_t m = 0; m < meshes; ++m) {
            const uint32_t floats = std::min(size.floatUvMeshes, meshes - uvFrom);
            const bool covered = kind == TKontenerQwz::ktUV16 ? (m >= uvFrom && m + floats < meshes)
                                                              : (m + floats >= meshes);
            uv->Groups.push_back(covered ? GridUV(size.grids[m].first, size.grids[m].second)
                                         : vcUV{});
        }
        def.Containers.Add(TKontenerPtr(uv));
    }
    for (uint32_t z = 0; z < size.zoneBlocks; ++z) {
        auto* scaler = new TKQWZ_Scaler();
        for (int axis = 0; axis < 3; ++axis) {
            scaler->First[axis].value = -10.0 * (axis + 1) - z;
            scaler->Second[axis].value = 10.0 * (axis + 1) + z;
            const uint32_t zones = random.Below(6) + (axis == 1 ? 0 : 1);
            int32_t flag = int32_t(random.Below(2));
            for (uint32_t k = 0; k < zones; ++k, flag = 1 - flag)
                scaler->Zones[axis].push_back({-5.0 + 2.0 * k, flag});
        }
        def.Containers.Add(TKontenerPtr(scaler));
    }
    auto* opaque = new TKQWZ_Unknown();
    opaque->SetKind(TKontenerQwz::EKontenerTyp(9));
    opaque->Bytes.resize(size.opaqueBytes);
    for (uint8_t& b : opaque->Bytes) b = uint8_t(random.Next());
    def.Containers.Add(TKontenerPtr(opaque));
}

SceneCounts CountScene(KlasaQwz& doc) {
    const DefinicjaObiektu& def = *doc.GetDefinition();
    SceneCounts counts;
    counts.meshes = def.Vertices.size();
    for (const vcV& v : def.Vertices) counts.vertices += v.size();
    for (const vcF& f : def.Faces) counts.faces += f.size();
    for (const auto& l : def.Circles) counts.records += l.size();
    for (const auto& l : def.Lines) counts.records += l.size();
    for (const auto& l : def.Polys) counts.records += l.size();
    for (const auto& l : def.Arcs) counts.records += l.size();
    for (const auto& kind : def.Containers) counts.blocks += kind.second.size();
    return counts;
}

}  // namespace qwz::bench
