// Test-only QWZ files built byte by byte, and a check whether this build can
// read and write a layout yet.
#pragma once

#include "format/Klasaqwz.h"
#include "platform/DebugOutput.h"
#include "support/Bytes.h"

#include <exception>
#include <vector>

namespace qwz::test {

// A version 204 file with one line group (one 48-byte record) and one mesh
// of four vertices and `faces` faces (a few pages of them for thousands).
inline std::vector<uint8_t> Sample204(int faces = 1) {
    Bytes b;
    b.magic(204).f32(1.5f).f32(-2.25f).f32(0.5f);
    b.i32(0);                                   // circles and lights
    b.i32(1).name("Linie").i32(7).i32(1);       // one line group, one record
    for (int i = 0; i < 48; ++i) b.u8(uint8_t(i * 5 + 1));
    b.i32(0);                                   // polylines
    b.i32(0);                                   // arcs
    b.i32(1).name("Siatka").i32(-1);            // one mesh
    b.i32(4);
    const float v[4][3] = {{0, 0, 0}, {12.5f, 0, 0}, {12.5f, 3.25f, 0}, {0, 3.25f, -0.5f}};
    for (const auto& p : v) b.f32(p[0]).f32(p[1]).f32(p[2]);
    b.i32(faces);
    for (int f = 0; f < faces; ++f) {
        b.u8(uint8_t(f & 1));                   // the face's flag byte
        for (int k = 0; k < 4; ++k) b.u8(uint8_t((f + k) % 4));  // 1-byte indices (4 vertices)
    }
    return b.vec();
}

// An empty version 203 file: header in tenths, four empty groups, the scale
// block and no meshes.
inline std::vector<uint8_t> Empty203() {
    Bytes b;
    b.magic(203).i16(15).i16(-22).i16(5);
    b.i32(0).i32(0).i32(0).i32(0);
    b.f32(1.0f).f32(1.5f).f32(-2.25f).f32(0.5f);
    b.i32(0);
    return b.vec();
}

// An empty version 202 file: as 203 with a one-byte mesh count.
inline std::vector<uint8_t> Empty202() {
    Bytes b;
    b.magic(202).i16(15).i16(-22).i16(5);
    b.i32(0).i32(0).i32(0).i32(0);
    b.f32(1.0f).f32(1.5f).f32(-2.25f).f32(0.5f);
    b.u8(0);
    return b.vec();
}

// Whether this build reads `file` and can write its content as `writeAs`.
inline bool CanConvert(const std::vector<uint8_t>& file, int writeAs) {
    // The writers' own debug lines are not the test's business here.
    struct Quiet {
        platform::DebugSink previous = platform::SetDebugSink([](std::string_view, bool) {});
        ~Quiet() { platform::SetDebugSink(previous); }
    } quiet;
    try {
        KlasaQwz doc;
        if (doc.LoadBytes(file.data(), file.size()) == 0) return false;
        TQWZSaveParams params;
        doc.SaveBytes(writeAs, params);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// The version byte of a file, or -1.
inline int VersionOf(const std::vector<uint8_t>& file) {
    return file.size() >= 4 && file[0] == 'Q' && file[1] == 'W' && file[2] == 'Z' ? file[3] : -1;
}

}  // namespace qwz::test

#define QWZ_REQUIRE_LAYOUTS(file, writeAs)                                                    \
    do {                                                                                      \
        if (!::qwz::test::CanConvert(file, writeAs))                                          \
            GTEST_SKIP() << "this build cannot yet read this file and write version " << (writeAs); \
    } while (0)
