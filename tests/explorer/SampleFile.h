// A small version 204 file for the end-to-end runs of the program.
#pragma once

#include "support/Bytes.h"

#include <cstdint>
#include <vector>

namespace qwz::test {

// Header, a line group with one line "L", empty polyline, arc and mesh
// groups, no extra data.
inline std::vector<uint8_t> Version204File() {
    Bytes b;
    b.magic(204).f32(1.5f).f32(-2.0f).f32(0.25f);
    b.i32(0);                                         // circles and lights
    b.i32(1).name("L").i32(7).i32(1).fill(48, 0x11);  // lines
    b.i32(0).i32(0).i32(0);                           // polylines, arcs, meshes
    return b.vec();
}

}  // namespace qwz::test
