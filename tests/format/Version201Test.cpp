#include "format/Version201.h"

#include "bytes/FormatError.h"
#include "format/Klasaqwz.h"
#include "support/Bytes.h"
#include "support/OldLayoutSamples.h"

#include <gtest/gtest.h>

#include <vector>

namespace qwz {
namespace {

using test::Bytes;

// Header with tenths (100, -50, 0), `skipped` records, vertex scale 10.
Bytes Start201(int32_t skipped) {
    Bytes b;
    b.magic(201).i16(100).i16(-50).i16(0).i32(skipped);
    for (int32_t i = 0; i < skipped; ++i) b.i16(i).i16(-i).fill(8, 0xEE);
    return b.f32(10.0f).f32(1.5f).f32(2.5f).f32(3.5f);
}

TEST(Version201, CornersAreShiftedByTheFileReferencePointWhichIsThenReset) {
    const Bytes file = Start201(2).u8(1)
        .name("M", 0x41).i32(5).fill(57, 0x99).i16(1).i16(1)
        .u16(2).i16(120).i16(30).i16(10).i16(-32768).i16(0).i16(0)
        .u16(2).u8(7).u8(8)
        .u16(0).u16(1).u16(1).u16(0)
        .u16(1).u16(1).u16(65535).u16(2);
    KlasaQwz doc;
    ASSERT_EQ(doc.LoadBytes(file.vec().data(), file.size()), 201);
    const DefinicjaObiektu& def = *doc.GetDefinition();
    EXPECT_EQ(doc.Version, 201);
    EXPECT_EQ(doc.VertexScale, 10.0f);
    ASSERT_EQ(def.MeshNames, std::vector<std::string>{"M"});
    EXPECT_EQ(def.MeshAttributes[0], 5);
    EXPECT_EQ(def.Vertices[0][0], (CpunktF{12.0f, 3.0f, 1.0f}));
    EXPECT_EQ(def.Vertices[0][1].x, -3276.8f);
    const CfaceF& face = def.Faces[0][0];
    EXPECT_EQ(def.Corner(0, face, 0), (CpunktF{2.0f, 8.0f, 1.0f}));
    EXPECT_EQ(def.Corner(0, face, 1).x, -3276.8f - 10.0f);
    EXPECT_EQ(face.flag, 7);
    EXPECT_EQ(def.Faces[0][1].flag, 8);
    // an index beyond the vertices: kept as read, its corner at zero
    EXPECT_EQ(def.Faces[0][1].indices, (std::array<int32_t, 4>{1, 1, 65535, 2}));
    EXPECT_EQ(def.Corner(0, def.Faces[0][1], 2), CpunktF{});
    EXPECT_EQ(def.Corner(0, def.Faces[0][1], 3), CpunktF{});
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(doc.RefPoint[i], 0.0f);
        EXPECT_EQ(doc.RefTenths[i], 0);
        EXPECT_EQ(def.RefPoint[i], 0.0f);
    }
    EXPECT_TRUE(def.CircleNames.empty());
    EXPECT_TRUE(def.Containers.Empty());
}

TEST(Version201, NoOrNegativeSkippedRecordsAndNoMeshes) {
    for (int32_t skipped : {0, -5}) {
        Bytes file;
        file.magic(201).i16(0).i16(0).i16(0).i32(skipped).f32(1000.0f).zeros(12).u8(0);
        KlasaQwz doc;
        ASSERT_EQ(doc.LoadBytes(file.vec().data(), file.size()), 201) << skipped;
        EXPECT_EQ(doc.VertexScale, 1000.0f);
        EXPECT_TRUE(doc.GetDefinition()->MeshNames.empty());
    }
    // an empty mesh, and bytes after the last mesh that are ignored
    const Bytes file = Start201(0).u8(1).name("E").i32(-3).zeros(61).u16(0).u16(0).fill(5, 0xAB);
    KlasaQwz doc;
    doc.LoadBytes(file.vec().data(), file.size());
    EXPECT_EQ(doc.GetDefinition()->MeshAttributes[0], -3);
    EXPECT_TRUE(doc.GetDefinition()->Vertices[0].empty());
}

TEST(Version201, AHugeSkippedListFailsAtOnce) {
    Bytes file;
    file.magic(201).i16(0).i16(0).i16(0).i32(0x7FFFFFFF).zeros(40);
    KlasaQwz doc;
    try {
        doc.LoadBytes(file.vec().data(), file.size());
        FAIL();
    } catch (const FormatError& e) {
        EXPECT_EQ(e.kind(), FormatError::Kind::Malformed);
    }
}

}  // namespace
}  // namespace qwz
