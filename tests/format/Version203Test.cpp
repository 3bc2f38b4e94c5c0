#include "format/Version203.h"

#include "bytes/FormatError.h"
#include "format/Klasaqwz.h"
#include "platform/DebugOutput.h"
#include "support/Bytes.h"
#include "support/OldLayoutSamples.h"

#include <gtest/gtest.h>

#include "support/Reported.h"

#include <cmath>

#include <string>
#include <vector>

namespace qwz {
namespace {

using test::Bytes;

std::vector<uint8_t> Write203(KlasaQwz& doc, const TQWZSaveParams& params = {}) {
    std::vector<uint8_t> bytes;
    ByteWriter out(bytes);
    test::WriteReported(WriteVersion203, doc, out, params);
    return bytes;
}

// The mesh "M" of two vertices and one face (flag 3, indices 0 1 1 0).
void AddExampleMesh(KlasaQwz& doc) {
    DefinicjaObiektu& def = *doc.GetDefinition();
    def.AddMesh("M");
    def.Vertices[0] = {{0.5f, 1.0f, -0.25f}, {1.27f, 0, 0}};
    CfaceF face;
    face.flag = 3;
    face.indices = {0, 1, 1, 0};
    def.Faces[0] = {face};
}

// Collects the debug output while it lives.
struct DebugLines {
    std::vector<std::pair<std::string, bool>> lines;
    platform::DebugSink previous;
    DebugLines() {
        previous = platform::SetDebugSink(
            [this](std::string_view text, bool wide) { lines.emplace_back(std::string(text), wide); });
    }
    ~DebugLines() { platform::SetDebugSink(previous); }
};

TEST(Version203, ExampleMeshByteForByte) {
    KlasaQwz doc;
    doc.VertexScale = 100.0f;
    AddExampleMesh(doc);
    const std::vector<uint8_t> expected = Bytes()
        .magic(203).i16(0).i16(0).i16(0)
        .i32(0).i32(0).i32(0).i32(0)
        .f32(100.0f).f32(0).f32(0).f32(0)
        .i32(1)
        .name("M").i32(-1).zeros(57).i16(1).i16(1)
        .u24(2).i16(50).i16(100).i16(-25).i16(126).i16(0).i16(0)
        .u24(1).u8(3).u24(0).u24(1).u24(1).u24(0);
    const std::vector<uint8_t> bytes = Write203(doc);
    EXPECT_EQ(bytes, expected);
    // the scale block at 26 and the mesh group at 42, after four empty groups
    ASSERT_GE(bytes.size(), 46u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 26, bytes.begin() + 30), Bytes().f32(100.0f).vec());
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 42, bytes.begin() + 46), Bytes().i32(1).vec());

    KlasaQwz back;
    back.LoadBytes(bytes.data(), bytes.size());
    const DefinicjaObiektu& def = *back.GetDefinition();
    ASSERT_EQ(def.MeshNames, std::vector<std::string>{"M"});
    EXPECT_EQ(def.MeshAttributes[0], -1);
    ASSERT_EQ(def.Vertices[0].size(), 2u);
    EXPECT_NEAR(def.Vertices[0][1].x, 1.26f, 1e-6);
    EXPECT_NEAR(def.Vertices[0][0].z, -0.25f, 1e-6);
    ASSERT_EQ(def.Faces[0].size(), 1u);
    EXPECT_EQ(def.Faces[0][0].flag, 3);
    EXPECT_EQ(def.Faces[0][0].indices, (std::array<int32_t, 4>{0, 1, 1, 0}));
    EXPECT_EQ(def.Corner(0, def.Faces[0][0], 1), def.Vertices[0][1]);
    EXPECT_EQ(def.Corner(0, def.Faces[0][0], 3), def.Vertices[0][0]);
}

TEST(Version203, ReferencePointKeepsItsExactValueThroughTheScaleBlock) {
    KlasaQwz doc;
    doc.RefPoint[0] = 12.34f;
    doc.RefPoint[1] = -12.37f;
    const std::vector<uint8_t> bytes = Write203(doc);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 4, bytes.begin() + 10),
              Bytes().i16(123).i16(-123).i16(0).vec());
    KlasaQwz back;
    back.LoadBytes(bytes.data(), bytes.size());
    EXPECT_EQ(back.RefPoint[0], 12.34f);
    EXPECT_EQ(back.RefPoint[1], -12.37f);
    EXPECT_EQ(back.RefTenths[0], 123);
    EXPECT_EQ(back.GetDefinition()->RefPoint[0], 12.34f);
}

TEST(Version203, TailFollowsTheMeshesUnlessNoExtraDataIsKept) {
    KlasaQwz doc;
    doc.GetDefinition()->Containers.Add(test::OpaqueBlock(9, {1, 2, 3}));
    const std::vector<uint8_t> meshless = Bytes()
        .magic(203).i16(0).i16(0).i16(0).i32(0).i32(0).i32(0).i32(0)
        .f32(0.1f).f32(0).f32(0).f32(0).i32(0);
    EXPECT_EQ(Write203(doc), Bytes().raw(meshless).u8(9).i32(3).u8(1).u8(2).u8(3).vec());
    TQWZSaveParams none;
    none.KeepUV = none.KeepScalingZones = none.KeepOtherExtra = false;
    EXPECT_EQ(Write203(doc, none), meshless);
}

TEST(Version203, IndexNotBelowTheVertexCountIsReportedAndWritten) {
    KlasaQwz doc;
    doc.VertexScale = 100.0f;
    AddExampleMesh(doc);
    doc.GetDefinition()->Faces[0][0].indices = {0, 2, 1, 70000};
    DebugLines debug;
    const std::vector<uint8_t> bytes = Write203(doc);
    ASSERT_EQ(debug.lines.size(), 2u);
    EXPECT_EQ(debug.lines[0], std::make_pair(std::string("2 >= 2"), true));
    EXPECT_EQ(debug.lines[1], std::make_pair(std::string("70000 >= 2"), true));
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 12, bytes.end()),
              Bytes().u24(0).u24(2).u24(1).u24(70000).vec());

    // read back: the corners of the missing vertices stay at zero, the
    // indices stay as read
    KlasaQwz back;
    back.LoadBytes(bytes.data(), bytes.size());
    const CfaceF& face = back.GetDefinition()->Faces[0][0];
    EXPECT_EQ(face.indices, (std::array<int32_t, 4>{0, 2, 1, 70000}));
    EXPECT_EQ(back.GetDefinition()->Corner(0, face, 1), CpunktF{});
    EXPECT_EQ(back.GetDefinition()->Corner(0, face, 3), CpunktF{});
    EXPECT_EQ(back.GetDefinition()->Corner(0, face, 2), back.GetDefinition()->Vertices[0][1]);
}

// Nothing that does not fit its field is ever written: the writer refuses
// before its first byte and names what does not fit.
TEST(Version203, WhatTheLayoutCannotHoldIsRefusedBeforeWriting) {
    auto refusal = [](KlasaQwz& doc) -> std::string {
        std::vector<uint8_t> bytes;
        ByteWriter out(bytes);
        try {
            test::WriteReported(WriteVersion203, doc, out, TQWZSaveParams{});
        } catch (const FormatError& e) {
            EXPECT_EQ(e.kind(), FormatError::Kind::Unwritable);
            EXPECT_TRUE(bytes.empty());
            return e.what();
        }
        return "";
    };
    KlasaQwz far;
    far.RefPoint[2] = 3276.8f;
    EXPECT_NE(refusal(far).find("Z"), std::string::npos);

    KlasaQwz big;
    big.VertexScale = 100.0f;
    AddExampleMesh(big);
    big.GetDefinition()->Vertices[0][1].y = 400.0f;  // 40000 at scale 100
    EXPECT_NE(refusal(big).find("wierzchołek 1, Y = 400"), std::string::npos);
    big.GetDefinition()->Vertices[0][1].y = NAN;
    EXPECT_NE(refusal(big).find("wierzchołek 1"), std::string::npos);

    KlasaQwz wide;
    wide.VertexScale = 100.0f;
    AddExampleMesh(wide);
    wide.GetDefinition()->Faces[0][0].indices[2] = 16777216;
    EXPECT_NE(refusal(wide).find("16777216"), std::string::npos);
    wide.GetDefinition()->Faces[0][0].indices[2] = 16777215;
    EXPECT_EQ(refusal(wide), "");
}

TEST(Version203, RichSampleIsReadInFull) {
    const Bytes file = test::Rich203(0x5A, 0x99);
    KlasaQwz doc;
    ASSERT_EQ(doc.LoadBytes(file.vec().data(), file.size()), 203);
    const DefinicjaObiektu& def = *doc.GetDefinition();
    EXPECT_EQ(doc.RefTenths[1], -45);
    EXPECT_EQ(doc.RefPoint[0], 12.34f);
    EXPECT_EQ(doc.VertexScale, 100.0f);
    EXPECT_EQ(def.CircleNames, (std::vector<std::string>{"okrag", "swiatlo"}));
    EXPECT_EQ(def.PolyNames[0], "poli");
    ASSERT_EQ(def.Polys[0].size(), 2u);
    EXPECT_EQ(def.Polys[0][0].points[1].second, -0.5);
    EXPECT_EQ(def.ArcAttributes[0], 15);
    ASSERT_EQ(def.MeshNames, (std::vector<std::string>{"siatka", "pusta"}));
    EXPECT_EQ(def.MeshAttributes, (std::vector<int32_t>{7, -1}));
    ASSERT_EQ(def.Vertices[0].size(), 5u);
    EXPECT_EQ(def.Vertices[0][1].x, 50.0f);
    EXPECT_EQ(def.Vertices[0][2].x, -320.0f);
    ASSERT_EQ(def.Faces[0].size(), 3u);
    EXPECT_EQ(def.Faces[0][2].flag, 0xFF);
    EXPECT_EQ(def.Corner(0, def.Faces[0][1], 0), def.Corner(0, def.Faces[0][1], 1));  // vertex 4 twice
    EXPECT_TRUE(def.Vertices[1].empty());
    EXPECT_TRUE(def.Faces[1].empty());
    EXPECT_EQ(def.Containers.KindCount(), 4u);
}

TEST(Version203, CountsBeyondTheDataFailAtOnce) {
    const std::vector<uint8_t> file = Bytes()
        .magic(203).i16(0).i16(0).i16(0).i32(0).i32(0).i32(0).i32(0)
        .f32(1.0f).f32(0).f32(0).f32(0).i32(1)
        .name("M").i32(-1).zeros(61).u24(16777215).zeros(12);
    KlasaQwz doc;
    try {
        doc.LoadBytes(file.data(), file.size());
        FAIL() << "a vertex count beyond the data was accepted";
    } catch (const FormatError& e) {
        EXPECT_EQ(e.kind(), FormatError::Kind::Malformed);
        EXPECT_EQ(e.offset(), 42u + 4 + 32 + 4 + 61);  // where the count stands
    }
    const std::vector<uint8_t> many = Bytes()
        .magic(203).i16(0).i16(0).i16(0).i32(0).i32(0).i32(0).i32(0)
        .f32(1.0f).f32(0).f32(0).f32(0).i32(-1);
    EXPECT_THROW(doc.LoadBytes(many.data(), many.size()), FormatError);
}

}  // namespace
}  // namespace qwz
