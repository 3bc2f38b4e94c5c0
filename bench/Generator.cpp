#include "Generator.h"

#include "format/Kqwz_scaler.h"
#include "format/Kqwz_unknown.h"
#include "format/Kqwz_uv.h"

#include <algorithm>
#include <cmath>

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
            for (int k = 0; k < 4; ++k) face.corners[k] = vertices[size_t(face.indices[k])];
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

    // UV for the smallest meshes: 16-bit coordinates for all but the last,
    // float32 for the last, each block with a group per mesh.
    const uint32_t meshes = uint32_t(size.grids.size());
    const uint32_t uvFrom = meshes - std::min(size.uvMeshes, meshes);
    for (int kind : {TKontenerQwz::ktUV16, TKontenerQwz::ktUVFloat}) {
        auto* uv = new TKQWZ_UV();
        uv->SetKind(TKontenerQwz::EKontenerTyp(kind));
        uv->ValueA = 0x00010002u;
        uv->ValueB = uint32_t(kind);
        for (uint32_t m = 0; m < meshes; ++m) {
            const bool covered = kind == TKontenerQwz::ktUV16 ? (m >= uvFrom && m + 1 < meshes)
                                                              : (m + 1 == meshes);
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
