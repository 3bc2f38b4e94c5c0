#include "format/Version202.h"

#include "bytes/FormatError.h"
#include "format/Klasaqwz.h"
#include "platform/DebugOutput.h"
#include "support/Bytes.h"
#include "support/OldLayoutSamples.h"

#include <gtest/gtest.h>

#include "support/Reported.h"

#include <string>
#include <vector>

namespace qwz {
namespace {

using test::Bytes;

std::vector<uint8_t> Write202(KlasaQwz& doc, const TQWZSaveParams& params = {}) {
    std::vector<uint8_t> bytes;
    ByteWriter out(bytes);
    test::WriteReported(WriteVersion202, doc, out, params);
    return bytes;
}

std::string Refusal(KlasaQwz& doc) {
    std::vector<uint8_t> bytes;
    ByteWriter out(bytes);
    try {
        test::WriteReported(WriteVersion202, doc, out, TQWZSaveParams{});
    } catch (const FormatError& e) {
        EXPECT_EQ(e.kind(), FormatError::Kind::Unwritable);
        EXPECT_TRUE(bytes.empty());
        return e.what();
    }
    return "";
}

const Bytes kEmptyStart = Bytes()
    .magic(202).i16(0).i16(0).i16(0).i32(0).i32(0).i32(0).i32(0);

TEST(Version202, ExampleMeshByteForByte) {
    KlasaQwz doc;
    doc.VertexScale = 100.0f;
    DefinicjaObiektu& def = *doc.GetDefinition();
    def.AddMesh("M");
    def.Vertices[0] = {{0.5f, 1.0f, -0.25f}, {1.27f, 0, 0}};
    CfaceF face;
    face.flag = 3;
    face.indices = {0, 1, 1, 0};
    def.Faces[0] = {face};
    def.Containers.Add(test::OpaqueBlock(9, {1}));  // no tail in this layout

    const std::vector<uint8_t> bytes = Write202(doc);
    EXPECT_EQ(bytes, Bytes().raw(kEmptyStart)
        .f32(100.0f).f32(0).f32(0).f32(0)
        .u8(1)
        .name("M").i32(-1).zeros(57).i16(1).i16(1)
        .u16(2).i16(50).i16(100).i16(-25).i16(126).i16(0).i16(0)
        .u16(1).u8(3).u16(0).u16(1).u16(1).u16(0).vec());
    ASSERT_GT(bytes.size(), 42u);
    EXPECT_EQ(bytes[42], 1);  // the mesh count byte

    KlasaQwz back;
    back.LoadBytes(bytes.data(), bytes.size());
    EXPECT_TRUE(back.GetDefinition()->Containers.Empty());
    EXPECT_EQ(back.GetDefinition()->Faces[0][0].indices, (std::array<int32_t, 4>{0, 1, 1, 0}));
    EXPECT_NEAR(back.GetDefinition()->Vertices[0][1].x, 1.26f, 1e-6);
}

TEST(Version202, WithoutMeshesTheFileEndsAtTheCountByte) {
    KlasaQwz doc;
    EXPECT_EQ(Write202(doc), Bytes().raw(kEmptyStart).f32(0.1f).f32(0).f32(0).f32(0).u8(0).vec());
}

TEST(Version202, ReferencePointComesBackInTenths) {
    KlasaQwz doc;
    doc.RefPoint[0] = 12.34f;
    doc.RefPoint[1] = -0.75f;
    const std::vector<uint8_t> bytes = Write202(doc);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 4, bytes.begin() + 10),
              Bytes().i16(123).i16(-7).i16(0).vec());
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 30, bytes.begin() + 34), Bytes().f32(12.34f).vec());
    KlasaQwz back;
    back.LoadBytes(bytes.data(), bytes.size());
    EXPECT_EQ(back.RefPoint[0], 12.3f);
    EXPECT_EQ(back.GetDefinition()->RefPoint[0], 12.3f);
    EXPECT_EQ(back.RefTenths[0], 123);
    // written again, the tenths stay where they were
    const std::vector<uint8_t> again = Write202(back);
    EXPECT_EQ(std::vector<uint8_t>(again.begin() + 4, again.begin() + 10),
              Bytes().i16(123).i16(-7).i16(0).vec());
}

TEST(Version202, IndicesAreTwoBytesAndNotReported) {
    KlasaQwz doc;
    doc.VertexScale = 1.0f;
    DefinicjaObiektu& def = *doc.GetDefinition();
    def.AddMesh("M");
    def.Vertices[0].resize(3);
    CfaceF face;
    face.indices = {0, 300, 2, 65535};
    def.Faces[0] = {face};
    bool reported = false;
    platform::DebugSink previous = platform::SetDebugSink([&](std::string_view, bool) { reported = true; });
    const std::vector<uint8_t> bytes = Write202(doc);
    platform::SetDebugSink(previous);
    EXPECT_FALSE(reported);
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 8, bytes.end()),
              Bytes().u16(0).u8(0x2C).u8(0x01).u16(2).u16(65535).vec());
}

TEST(Version202, AMeshOf32767VerticesIsWrittenInFull) {
    KlasaQwz doc;
    doc.VertexScale = 1.0f;
    DefinicjaObiektu& def = *doc.GetDefinition();
    def.AddMesh("M");
    def.Vertices[0].resize(32767, CpunktF{1, 2, 3});
    const std::vector<uint8_t> bytes = Write202(doc);
    const size_t countAt = 43 + 32 + 4 + 61;
    EXPECT_EQ(bytes[countAt], 0xFF);
    EXPECT_EQ(bytes[countAt + 1], 0x7F);
    EXPECT_EQ(bytes.size(), countAt + 2 + 6 * 32767 + 2);
}

TEST(Version202, WhatTheLayoutCannotHoldIsRefusedBeforeWriting) {
    KlasaQwz many;
    for (int i = 0; i < 256; ++i) many.GetDefinition()->AddMesh("m");
    EXPECT_NE(Refusal(many).find("256 siatek"), std::string::npos);
    many.GetDefinition()->MeshNames.pop_back();
    many.GetDefinition()->MeshAttributes.pop_back();
    many.GetDefinition()->Vertices.pop_back();
    many.GetDefinition()->Faces.pop_back();
    EXPECT_EQ(Refusal(many), "");

    KlasaQwz large;
    large.GetDefinition()->AddMesh("duza");
    large.GetDefinition()->Vertices[0].resize(32768);
    EXPECT_NE(Refusal(large).find("duza"), std::string::npos);
    EXPECT_NE(Refusal(large).find("32768 wierzchołków"), std::string::npos);
    large.GetDefinition()->Vertices[0].resize(1);
    large.GetDefinition()->Faces[0].resize(32768);
    EXPECT_NE(Refusal(large).find("32768 ścian"), std::string::npos);
    large.GetDefinition()->Faces[0].resize(1);
    large.GetDefinition()->Faces[0][0].indices[0] = 65536;
    EXPECT_NE(Refusal(large).find("65536"), std::string::npos);
    large.GetDefinition()->Faces[0][0].indices[0] = -1;
    EXPECT_NE(Refusal(large).find("4294967295"), std::string::npos);

    KlasaQwz far;
    far.RefPoint[0] = -3277.0f;
    EXPECT_NE(Refusal(far).find("X"), std::string::npos);
}

TEST(Version202, RichSampleIsReadInFull) {
    const Bytes file = test::Rich202(0x5A, 0x99);
    KlasaQwz doc;
    ASSERT_EQ(doc.LoadBytes(file.vec().data(), file.size()), 202);
    const DefinicjaObiektu& def = *doc.GetDefinition();
    EXPECT_EQ(doc.RefPoint[1], -4.5f);
    EXPECT_EQ(doc.RefPoint[2], 0.6f);
    EXPECT_EQ(doc.VertexScale, 100.0f);
    EXPECT_EQ(def.LineNames[0], "linie");
    EXPECT_EQ(def.Lines[0][1].bytes[47], 0x12);
    ASSERT_EQ(def.MeshNames, (std::vector<std::string>{"siatka", "pusta"}));
    EXPECT_EQ(def.Vertices[0][4].z, -320.0f);
    EXPECT_EQ(def.Faces[0][2].indices, (std::array<int32_t, 4>{2, 3, 4, 0}));
    EXPECT_EQ(def.Corner(0, def.Faces[0][2], 2), def.Vertices[0][4]);

    // bytes after the last mesh are not read
    Bytes longer = test::Rich202();
    longer.u8(9).i32(1).u8(1);
    KlasaQwz extra;
    extra.LoadBytes(longer.vec().data(), longer.size());
    EXPECT_TRUE(extra.GetDefinition()->Containers.Empty());
}

}  // namespace
}  // namespace qwz
