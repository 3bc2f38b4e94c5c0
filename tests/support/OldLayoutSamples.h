// Test-only samples of the older layouts, built byte by byte.
#pragma once

#include "model/Kontenerqwz.h"
#include "support/Bytes.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace qwz::test {

// An opaque extra-data block that writes itself byte by byte.
class TestBlock : public TKontenerQwz {
public:
    TestBlock(int kind, std::vector<uint8_t> payload) : payload_(std::move(payload)) {
        kind_ = EKontenerTyp(kind);
    }
    bool Write(ByteWriter& out, const TQWZSaveParams& params) override {
        if (!IsKept(params)) return true;
        out.u8(uint32_t(kind_));
        out.i32(int32_t(payload_.size()));
        out.bytes(payload_.data(), payload_.size());
        return true;
    }

private:
    std::vector<uint8_t> payload_;
};

inline TKontenerPtr OpaqueBlock(int kind, std::vector<uint8_t> payload) {
    return TKontenerPtr(new TestBlock(kind, std::move(payload)));
}

// The four geometry groups with a few records of every kind; `pad` fills
// the bytes after each name's terminator.
inline Bytes& RichGroups(Bytes& b, uint8_t pad) {
    b.i32(2);  // circles and lights
    b.name("okrag", pad).i32(11).i32(1).fill(56, 0xC1);
    b.name("swiatlo", pad).i32(-12).i32(0);
    b.i32(1);  // lines
    b.name("linie", pad).i32(13).i32(2).fill(48, 0x11).fill(48, 0x12);
    b.i32(1);  // polylines
    b.name("poli", pad).i32(14).i32(2);
    b.i32(2).u8(0x5A).fill(24, 0x24).f64(1).f64(2).f64(3).f64(0.5).f64(-1).f64(-2).f64(-3).f64(-0.5);
    b.i32(0).u8(0x01).fill(24, 0x42);
    b.i32(1);  // arcs
    b.name("luki", pad).i32(15).i32(1).fill(72, 0xA7);
    return b;
}

// The mesh filler: 57 meaningless bytes, then int16 1 twice.
inline Bytes& Filler(Bytes& b, uint8_t junk) { return b.fill(57, junk).i16(1).i16(1); }

// Two meshes at vertex scale 100: "siatka" (attribute 7) with five vertices
// and three faces (one naming vertex 4 twice), and an empty "pusta". The
// largest corner coordinate, 320, makes the vertex-scale search pick 100
// again, so a rewrite keeps every stored integer.
// countWidth/indexWidth are 3 for version 203 and 2 for 202 and 201.
inline Bytes& RichMeshes(Bytes& b, int countWidth, uint8_t pad, uint8_t junk) {
    auto count = [&](unsigned v) -> Bytes& { return countWidth == 3 ? b.u24(v) : b.u16(v); };
    b.name("siatka", pad).i32(7);
    Filler(b, junk);
    count(5);
    b.i16(0).i16(0).i16(0);
    b.i16(5000).i16(-127).i16(7);
    b.i16(-32000).i16(31999).i16(1);
    b.i16(126).i16(-126).i16(31999);
    b.i16(-5).i16(3).i16(-32000);
    count(3);
    b.u8(3).u8(0).u8(0xFF);
    count(0); count(1); count(2); count(3);
    count(4); count(4); count(1); count(0);
    count(2); count(3); count(4); count(0);
    b.name("pusta", pad).i32(-1);
    Filler(b, junk);
    count(0);
    count(0);
    return b;
}

// An extra-data tail in the ascending kind order in which it is written: a
// scaling-zone block, a float UV block and two opaque blocks.
inline Bytes& RichTail(Bytes& b) {
    // scaling zones: two entries on axis 1, first flag 0
    b.u8(3).i32(55 + 16).i32(0);
    for (int v = 0; v < 6; ++v) b.f64(v * 1.5);
    b.u8(0).u8(0x82).f64(-1.0).f64(2.0).u8(0);
    // UV, float: size 4 + 4 x 1 group + 32 x 2 records
    b.u8(5).i32(4 + 4 + 64).u32(0xA1A2A3A4).u32(0xB1B2B3B4).i32(1).i32(2);
    for (int r = 0; r < 16; ++r) b.f32(float(r) / 16.0f);
    b.u8(9).i32(3).u8(1).u8(2).u8(3);
    return b.u8(200).i32(1).u8(0xEE);
}
constexpr size_t kRichTailBytes = (1 + 4 + 4 + 48 + 3 + 16) + (1 + 4 + 4 + 4 + 4 + 4 + 64) + 8 + 6;

inline Bytes Rich203(uint8_t pad = 0, uint8_t junk = 0) {
    Bytes b;
    b.magic(203).i16(123).i16(-45).i16(6);
    RichGroups(b, pad);
    b.f32(100.0f).f32(12.34f).f32(-4.5f).f32(0.6f);
    b.i32(2);
    RichMeshes(b, 3, pad, junk);
    return RichTail(b);
}

inline Bytes Rich202(uint8_t pad = 0, uint8_t junk = 0) {
    Bytes b;
    b.magic(202).i16(123).i16(-45).i16(6);
    RichGroups(b, pad);
    b.f32(100.0f).f32(12.3f).f32(-4.5f).f32(0.6f);
    b.u8(2);
    RichMeshes(b, 2, pad, junk);
    return b;
}

inline Bytes Rich201() {
    Bytes b;
    b.magic(201).i16(100).i16(-50).i16(0);
    b.i32(2).i16(1).i16(2).fill(8, 0x33).i16(3).i16(4).fill(8, 0x44);
    b.f32(100.0f).fill(12, 0x77);
    b.u8(2);
    RichMeshes(b, 2, 0x55, 0x66);
    return b;
}

// A version 202 or 201 file of meshes with these vertex counts (each
// vertex at the origin, one face on vertex 0): what those layouts store
// but their writer cannot hold above 32767.
inline std::vector<uint8_t> OldFileWithMeshes(int version, std::initializer_list<unsigned> vertexCounts) {
    Bytes b;
    if (version == 202) b.magic(202).i16(15).i16(-22).i16(5).i32(0).i32(0).i32(0).i32(0);
    else b.magic(201).i16(100).i16(-50).i16(0).i32(0);
    b.f32(10.0f).f32(1.5f).f32(-2.25f).f32(0.5f);
    b.u8(uint8_t(vertexCounts.size()));
    for (unsigned n : vertexCounts) {
        Filler(b.name("M" + std::to_string(n), 0).i32(1), 0).u16(uint16_t(n));
        for (unsigned v = 0; v < n; ++v) b.i16(0).i16(0).i16(0);
        b.u16(1).u8(0).u16(0).u16(0).u16(0).u16(0);
    }
    return b.vec();
}

}  // namespace qwz::test
