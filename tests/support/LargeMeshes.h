// Test-only: documents with enough vertices and faces that their meshes are
// read, measured and encoded on several threads, filled from a fixed-seed
// generator so every run and platform sees the same document.
#pragma once

#include "model/Definicjaobiektu.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qwz::test {

// A 64-bit linear congruential generator; 31 bits per draw.
class Lcg {
public:
    explicit Lcg(uint64_t seed) : state_(seed ^ 0x9E3779B97F4A7C15ull) { next(); }
    uint32_t next() {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return uint32_t(state_ >> 33);
    }
    // 0 <= result < n
    uint32_t below(uint32_t n) { return uint32_t((uint64_t(next()) * n) >> 31); }
    // -range < result < range
    float within(float range) { return (float(next()) / 1073741824.0f - 1.0f) * range; }

private:
    uint64_t state_;
};

struct MeshShape {
    uint32_t vertices;
    uint32_t faces;
};

// Twelve meshes of 20,000 faces; the vertex counts give every index width
// below four bytes in the 204 layout (200: 1 byte, 256 and 65535: 2,
// 65536 and 70000: 3).
inline const std::vector<MeshShape> kLargeShapes = {
    {20000, 20000}, {200, 20000},   {20000, 20000}, {70000, 20000}, {256, 20000},   {20000, 20000},
    {65535, 20000}, {20000, 20000}, {65536, 20000}, {20000, 20000}, {1000, 20000},  {20000, 20000}};

// The same within what version 202 holds: at most 32767 vertices and faces.
inline const std::vector<MeshShape> kShapesFor202 = {
    {20000, 20000}, {200, 20000},   {20000, 20000}, {32767, 20000}, {256, 20000},   {20000, 20000},
    {300, 20000},   {20000, 20000}, {1000, 20000},  {20000, 20000}, {255, 20000},   {20000, 20000}};

// Appends one mesh per shape, named "mesh N" with attribute 7N - 3. Vertex
// coordinates lie within (-range, range); flags and indices are drawn at
// random and every index names a vertex. The first face names the last
// vertex, the last face the first, so each index field is used up to its width.
inline void AddMeshes(DefinicjaObiektu& def, const std::vector<MeshShape>& shapes, float range,
                      uint64_t seed) {
    Lcg rng(seed);
    for (const MeshShape& shape : shapes) {
        const int32_t n = int32_t(def.MeshNames.size());
        def.AddMesh("mesh " + std::to_string(n));
        def.MeshAttributes.back() = 7 * n - 3;
        vcV& vertices = def.Vertices.back();
        vertices.resize(shape.vertices);
        for (CpunktF& v : vertices) v = {rng.within(range), rng.within(range), rng.within(range)};
        vcF& faces = def.Faces.back();
        faces.resize(shape.faces);
        for (CfaceF& face : faces) {
            face.flag = uint8_t(rng.next());
            for (size_t k = 0; k < 4; ++k) face.indices[k] = int32_t(rng.below(shape.vertices));
        }
        if (!faces.empty()) {
            faces.front().indices[0] = int32_t(shape.vertices - 1);
            faces.back().indices[3] = 0;
        }
    }
}

}  // namespace qwz::test
