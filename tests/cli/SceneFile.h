// Version 204 files for the console tool's tests, built byte by byte with
// the test builder from a plain description, so that a test can compare what
// the tool reports with what it put in.
#pragma once

#include "support/Bytes.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qwz::test {

struct SceneGroup {
    std::string name;  // the file's 8-bit bytes
    int32_t attribute = 0;
    int records = 0;             // circles, lines, arcs
    std::vector<int> polylines;  // polylines: the point count of each
};

struct SceneMesh {
    std::string name;
    int32_t attribute = -1;
    std::vector<std::array<float, 3>> vertices;
    std::vector<std::array<int, 4>> faces;
};

struct SceneBlock {
    enum Type { UV, Zones, Other } type = Other;
    int kind = 9;      // Other: the kind byte
    int payload = 3;   // Other: bytes; UV: faces in its one group; Zones: entries on axis 0
};

struct Scene {
    float ref[3] = {0, 0, 0};
    std::vector<SceneGroup> circles, lines, polylines, arcs;
    std::vector<SceneMesh> meshes;
    std::vector<SceneBlock> tail;
};

inline void PutGroup(Bytes& b, const std::vector<SceneGroup>& groups, int recordSize) {
    b.i32(int32_t(groups.size()));
    for (const SceneGroup& g : groups) {
        b.name(g.name).i32(g.attribute);
        if (recordSize == 0) {  // polylines
            b.i32(int32_t(g.polylines.size()));
            for (int points : g.polylines) {
                b.i32(points).u8(0x11).fill(24, 0x22);
                for (int p = 0; p < points; ++p) b.f64(p).f64(p + 1).f64(p + 2).f64(0.5);
            }
        } else {
            b.i32(g.records);
            for (int r = 0; r < g.records; ++r) b.fill(size_t(recordSize), uint8_t(0x40 + r));
        }
    }
}

inline std::vector<uint8_t> BuildVersion204(const Scene& s) {
    Bytes b;
    b.magic(204).f32(s.ref[0]).f32(s.ref[1]).f32(s.ref[2]);
    PutGroup(b, s.circles, 56);
    PutGroup(b, s.lines, 48);
    PutGroup(b, s.polylines, 0);
    PutGroup(b, s.arcs, 72);
    b.i32(int32_t(s.meshes.size()));
    for (const SceneMesh& m : s.meshes) {
        b.name(m.name).i32(m.attribute).i32(int32_t(m.vertices.size()));
        for (const auto& v : m.vertices) b.f32(v[0]).f32(v[1]).f32(v[2]);
        b.i32(int32_t(m.faces.size()));
        for (size_t f = 0; f < m.faces.size(); ++f) b.u8(0);
        // Index width by vertex count; the test meshes stay below 65536.
        for (const auto& f : m.faces)
            for (int i : f) m.vertices.size() < 256 ? b.u8(unsigned(i)) : b.u16(unsigned(i));
    }
    for (const SceneBlock& t : s.tail) {
        switch (t.type) {
        case SceneBlock::UV:
            b.u8(5).i32(4 + 4 + 32 * t.payload).u32(0xA).u32(0xB).i32(1).i32(t.payload);
            for (int r = 0; r < t.payload * 8; ++r) b.f32(0.25f);
            break;
        case SceneBlock::Zones:
            b.u8(3).i32(55 + 8 * t.payload).i32(0);
            for (int a = 0; a < 6; ++a) b.f64(a);
            b.u8(unsigned(t.payload));
            for (int e = 0; e < t.payload; ++e) b.f64(e * 1.5);
            b.u8(0).u8(0);
            break;
        case SceneBlock::Other:
            b.u8(unsigned(t.kind)).i32(t.payload).fill(size_t(t.payload), 0x5A);
            break;
        }
    }
    return b.vec();
}

// A small scene with something of every kind.
inline Scene FullScene() {
    Scene s;
    s.ref[0] = 12.5f;
    s.ref[1] = -3.25f;
    s.ref[2] = 0.1f;
    s.circles = {{"Lampy", 7, 2, {}}};
    s.lines = {{"Osie", 1, 3, {}}, {"\x8C" "ciany", 2, 0, {}}};  // "Ściany" in code page 1250
    s.polylines = {{"Obrys", 3, 0, {4, 0}}};
    s.arcs = {{"\xA3uki", 4, 1, {}}};  // "Łuki"
    SceneMesh m;
    m.name = "Bry\xB3\xB9";  // "Bryłą"
    m.attribute = 11;
    m.vertices = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}, {0, 0, 5}};
    m.faces = {{0, 1, 2, 3}, {0, 1, 4, 4}};
    s.meshes = {m, SceneMesh{"Pusta", -1, {}, {}}};
    s.tail = {{SceneBlock::UV, 5, 2}, {SceneBlock::Zones, 3, 2}, {SceneBlock::Other, 9, 3},
              {SceneBlock::Other, 9, 1}};
    return s;
}

}  // namespace qwz::test
