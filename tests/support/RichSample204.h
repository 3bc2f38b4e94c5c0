// A version 204 file with something in every section, built byte by byte
// section by section, so that a test can assemble the file any flag should
// give. Blocks are in ascending kind order and name fields are padded with
// zeros, so a reader and writer must give these bytes back exactly.
#pragma once

#include "support/Bytes.h"

#include <cstdint>
#include <vector>

namespace qwz::test {

struct RichSample204 {
    Bytes header, circles, lines, polys, arcs, meshes;
    Bytes uv16, scaler, uvFloat, opaque;  // tail blocks, kinds 1, 3, 5, 9

    RichSample204() {
        header.magic(204).f32(12.37f).f32(-12.37f).f32(0.04f);

        circles.i32(2);
        circles.name("okręgi").i32(7).i32(2);
        for (int r = 0; r < 2; ++r)
            for (int b = 0; b < 56; ++b) circles.u8(r * 100 + b);
        circles.name("").i32(-1).i32(0);

        lines.i32(1).name("linie").i32(3).i32(1);
        for (int b = 0; b < 48; ++b) lines.u8(0xF0 - b);

        polys.i32(1).name("polilinie").i32(5).i32(2);
        polys.i32(2).u8(0x11);
        for (int b = 0; b < 24; ++b) polys.u8(b + 1);
        polys.f64(1.5).f64(-2.5).f64(3.25).f64(0.125);
        polys.f64(4).f64(5).f64(6).f64(-7);
        polys.i32(0).u8(0x22).fill(24, 0xAB);  // a polyline with no points

        arcs.i32(1).name("łuki").i32(9).i32(1);
        for (int b = 0; b < 72; ++b) arcs.u8(b * 3);

        meshes.i32(3);
        // 3 vertices: 1-byte indices; the second face names vertex 2 twice.
        meshes.name("a").i32(11).i32(3);
        meshes.f32(0).f32(0).f32(0).f32(1).f32(0).f32(0).f32(0).f32(1).f32(0.5f);
        meshes.i32(2).u8(1).u8(0);
        meshes.u8(0).u8(1).u8(2).u8(2).u8(2).u8(1).u8(0).u8(1);
        // 300 vertices: 2-byte indices.
        meshes.name("b").i32(-1).i32(300);
        for (int v = 0; v < 300; ++v) meshes.f32(float(v)).f32(-float(v)).f32(0.25f * float(v));
        meshes.i32(1).u8(7).u16(299).u16(0).u16(256).u16(1);
        // No vertices and no faces: 44 bytes.
        meshes.name("c").i32(0).i32(0).i32(0);

        uv16.u8(1).i32(4 + 4 * 1 + 16 * 1).u32(0xA1A2A3A4).u32(0xB1B2B3B4).i32(1);
        uv16.i32(1).u16(0).u16(65535).u16(32768).u16(1).u16(2).u16(3).u16(40000).u16(9);

        scaler.u8(3).i32(55 + 8 * 4).i32(0);
        scaler.f64(1).f64(2).f64(3).f64(4).f64(5).f64(6);
        scaler.u8(0x83).f64(0.1).f64(0.2).f64(0.3);  // flags 0, 1, 0
        scaler.u8(0);
        scaler.u8(0x01).f64(9.5);  // flag 1

        uvFloat.u8(5).i32(4 + 4 * 2 + 32 * 2).u32(1).u32(2).i32(2);
        uvFloat.i32(2);
        for (int k = 0; k < 16; ++k) uvFloat.f32(0.0625f * float(k));
        uvFloat.i32(0);

        opaque.u8(9).i32(5).u8(1).u8(2).u8(3).u8(4).u8(5);
    }

    // The whole file.
    std::vector<uint8_t> File() const {
        return Bytes().raw(header).raw(circles).raw(lines).raw(polys).raw(arcs).raw(meshes)
            .raw(Tail()).vec();
    }
    std::vector<uint8_t> Tail() const {
        return Bytes().raw(uv16).raw(scaler).raw(uvFloat).raw(opaque).vec();
    }
};

}  // namespace qwz::test
