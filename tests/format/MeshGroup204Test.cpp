#include "format/MeshGroup204.h"

#include "platform/DebugOutput.h"
#include "platform/MessageBox.h"
#include "support/Bytes.h"

#include <gtest/gtest.h>

#include "support/Reported.h"

namespace qwz {
namespace {

using test::Bytes;

std::vector<uint8_t> Write(const DefinicjaObiektu& def) {
    std::vector<uint8_t> out;
    ByteWriter w(out);
    test::WriteMeshes204(def, w);
    EXPECT_EQ(out.size(), test::Meshes204Size(def));
    return out;
}

void Read(DefinicjaObiektu& def, const std::vector<uint8_t>& bytes) {
    ByteReader in(bytes.data(), bytes.size());
    test::ReadMeshes204(def, in);
    EXPECT_TRUE(in.atEnd());
}

// One mesh of `v` vertices (vertex i at (i, 0, 0)) and the given faces.
void AddMesh(DefinicjaObiektu& def, const std::string& name, uint32_t v,
             std::vector<std::array<int32_t, 4>> faces) {
    def.AddMesh(name);
    def.Vertices.back().resize(v);
    for (uint32_t i = 0; i < v; ++i) def.Vertices.back()[i].x = float(i);
    for (const auto& indices : faces) {
        CfaceF face;
        face.indices = indices;
        face.flag = uint8_t(indices[0]);
        def.Faces.back().push_back(face);
    }
}

// Replaces the message box and the debug output for one test.
class Reports {
public:
    Reports() {
        boxes_ = platform::SetMessageSink(
            [this](const std::string& text, const std::string&, platform::MessageIcon) {
                shown.push_back(text);
            });
        debug_ = platform::SetDebugSink(
            [this](std::string_view text, bool) { debug.emplace_back(text); });
    }
    ~Reports() {
        platform::SetMessageSink(boxes_);
        platform::SetDebugSink(debug_);
    }
    std::vector<std::string> shown, debug;

private:
    platform::MessageSink boxes_;
    platform::DebugSink debug_;
};

TEST(MeshGroup204, IndexWidthFollowsTheVertexCountAlone) {
    const std::pair<uint32_t, unsigned> cases[] = {
        {0, 1}, {255, 1}, {256, 2}, {65535, 2}, {65536, 3},
        {16777215, 3}, {16777216, 4}, {0xFFFFFFFFu, 4}};
    for (auto [v, w] : cases) EXPECT_EQ(IndexWidth(v), w) << v;
}

TEST(MeshGroup204, IndicesAreStoredInTheWidthOfEachMesh) {
    DefinicjaObiektu def;
    AddMesh(def, "m255", 255, {{254, 0, 1, 2}});
    AddMesh(def, "m256", 256, {{255, 0, 1, 2}});  // 2 bytes though 255 fits in one
    AddMesh(def, "m65536", 65536, {{65535, 1, 2, 3}});
    const std::vector<uint8_t> bytes = Write(def);

    Bytes expected;
    expected.i32(3);
    for (uint32_t v : {255u, 256u, 65536u}) {
        expected.name(std::string("m").append(std::to_string(v))).i32(-1).i32(int32_t(v));
        for (uint32_t i = 0; i < v; ++i) expected.f32(float(i)).f32(0).f32(0);
        expected.i32(1);
        if (v == 255) expected.u8(254).u8(254).u8(0).u8(1).u8(2);
        if (v == 256) expected.u8(255).u16(255).u16(0).u16(1).u16(2);
        if (v == 65536) expected.u8(255).u24(65535).u24(1).u24(2).u24(3);
    }
    ASSERT_EQ(bytes, expected.vec());

    DefinicjaObiektu back;
    Read(back, bytes);
    EXPECT_EQ(back.MeshNames, def.MeshNames);
    EXPECT_EQ(back.MeshAttributes, def.MeshAttributes);
    EXPECT_EQ(back.Vertices, def.Vertices);
    ASSERT_EQ(back.Faces[2].size(), 1u);
    EXPECT_EQ(back.Faces[2][0].indices, (std::array<int32_t, 4>{65535, 1, 2, 3}));
    EXPECT_EQ(back.Corner(2, back.Faces[2][0], 0).x, 65535.0f);  // rebuilt from the vertices
    EXPECT_EQ(back.Faces[2][0].flag, 255);
}

TEST(MeshGroup204, WidthsAt65535And16777216Vertices) {
    // 2 bytes at 65535 vertices; 4 bytes at 16777216, and back.
    for (uint32_t v : {65535u, 16777216u}) {
        DefinicjaObiektu def;
        AddMesh(def, "duża", v, {{int32_t(v - 1), 0, 1, int32_t(v - 2)}});
        const std::vector<uint8_t> bytes = Write(def);
        const unsigned w = v == 65535u ? 2 : 4;
        ASSERT_EQ(bytes.size(), 4 + 44 + 12 * size_t(v) + 1 + 4 * w);
        Bytes indices;
        for (uint32_t index : {v - 1, 0u, 1u, v - 2}) {
            if (w == 2) indices.u16(index);
            else indices.u32(index);
        }
        EXPECT_TRUE(std::equal(indices.vec().begin(), indices.vec().end(),
                               bytes.end() - long(4 * w)))
            << v;
        DefinicjaObiektu back;
        Read(back, bytes);
        EXPECT_EQ(back.Faces[0][0].indices[0], int32_t(v - 1));
        EXPECT_EQ(back.Corner(0, back.Faces[0][0], 3).x, float(v - 2));
    }
}

TEST(MeshGroup204, EmptyMeshesAndRepeatedCorners) {
    DefinicjaObiektu def;
    AddMesh(def, "pusta", 0, {});
    AddMesh(def, "bez ścian", 2, {});
    AddMesh(def, "trójkąt", 3, {{0, 1, 2, 2}});
    const std::vector<uint8_t> bytes = Write(def);
    const std::vector<uint8_t> expected = Bytes()
        .i32(3)
        .name("pusta").i32(-1).i32(0).i32(0)  // 44 bytes
        .name("bez ścian").i32(-1).i32(2).f32(0).f32(0).f32(0).f32(1).f32(0).f32(0).i32(0)
        .name("trójkąt").i32(-1).i32(3).f32(0).f32(0).f32(0).f32(1).f32(0).f32(0)
        .f32(2).f32(0).f32(0).i32(1).u8(0).u8(0).u8(1).u8(2).u8(2);
    ASSERT_EQ(bytes, expected);
    DefinicjaObiektu back;
    Read(back, bytes);
    ASSERT_EQ(back.Faces.size(), 3u);
    EXPECT_TRUE(back.Faces[0].empty() && back.Vertices[0].empty());
    EXPECT_EQ(back.Corner(2, back.Faces[2][0], 2), back.Corner(2, back.Faces[2][0], 3));
    EXPECT_EQ(back.Corner(2, back.Faces[2][0], 2).x, 2.0f);
}

TEST(MeshGroup204, BadIndicesAreAllReportedButShownOncePerFile) {
    Reports reports;
    DefinicjaObiektu def;
    AddMesh(def, "a", 256, {{300, 0, 256, 1}});
    AddMesh(def, "b", 3, {{0, -1, 2, 7}});
    // The writer itself says nothing: each index comes back as a warning,
    // the first one of the call boxed.
    {
        std::vector<uint8_t> quiet;
        ByteWriter out(quiet);
        Warnings warnings;
        WriteMeshGroup204(def, MeshesInMemory(def), out, warnings);
        EXPECT_TRUE(reports.debug.empty() && reports.shown.empty());
        ASSERT_EQ(warnings.size(), 4u);
        for (size_t i = 0; i < warnings.size(); ++i) {
            EXPECT_EQ(warnings[i].kind, Warning::Kind::BadFaceIndex);
            EXPECT_EQ(warnings[i].boxed, i == 0);
            EXPECT_EQ(warnings[i].text, "indeks ściany " + warnings[i].debugLine);
        }
    }
    const std::vector<uint8_t> bytes = Write(def);
    EXPECT_EQ(reports.debug, (std::vector<std::string>{"300 >= 256", "256 >= 256",
                                                       "4294967295 >= 3", "7 >= 3"}));
    EXPECT_EQ(reports.shown, std::vector<std::string>{"300 >= 256"});
    // Still written in the mesh's width: 300 as 2C 01, -1 cut to FF.
    const size_t first = 4 + 44 + 12 * 256 + 1;
    EXPECT_EQ(bytes[first], 0x2C);
    EXPECT_EQ(bytes[first + 1], 0x01);
    EXPECT_EQ(bytes[bytes.size() - 3], 0xFF);

    // Read back: the index is kept and its corner stays at zero, so a
    // second save reports it again, once more in a box.
    DefinicjaObiektu back;
    Read(back, bytes);
    EXPECT_EQ(back.Faces[0][0].indices[0], 300);
    EXPECT_EQ(back.Corner(0, back.Faces[0][0], 0), CpunktF{});
    EXPECT_EQ(back.Faces[1][0].indices[1], 255);
    Write(back);
    EXPECT_EQ(reports.shown, (std::vector<std::string>{"300 >= 256", "300 >= 256"}));
}

TEST(MeshGroup204, CountsBeyondTheDataFailBeforeAnyMeshIsMade) {
    struct Case {
        std::vector<uint8_t> bytes;
        size_t offset;
        const char* field;
    };
    const std::vector<Case> cases = {
        {Bytes().i32(2).name("a").i32(0).i32(0).i32(0), 0, "liczba siatek"},
        {Bytes().i32(1).name("a").i32(0).i32(100000).i32(0), 40, "liczba wierzchołków siatki"},
        {Bytes().i32(1).name("a").i32(0).i32(0).i32(8).zeros(39), 44, "liczba ścian siatki"},
    };
    for (const Case& c : cases) {
        DefinicjaObiektu def;
        ByteReader in(c.bytes.data(), c.bytes.size());
        try {
            test::ReadMeshes204(def, in);
            ADD_FAILURE() << c.field;
        } catch (const FormatError& e) {
            EXPECT_EQ(e.kind(), FormatError::Kind::Malformed);
            EXPECT_EQ(e.offset(), c.offset);
            EXPECT_EQ(e.field(), c.field);
        }
    }
    DefinicjaObiektu def;
    ByteReader empty(nullptr, 0);
    test::ReadMeshes204(def, empty);  // data that ends where the group would start
    EXPECT_TRUE(def.MeshNames.empty());
}

// The group's meshes are appended after any the object already holds, each
// with its own attribute, vertices and faces.
TEST(MeshGroup204, MeshesReadIntoAnObjectThatHoldsSomeAreAppended) {
    DefinicjaObiektu source;
    AddMesh(source, "B", 3, {{0, 1, 2, 2}});
    source.MeshAttributes[0] = 9;
    const std::vector<uint8_t> bytes = Write(source);

    DefinicjaObiektu def;
    AddMesh(def, "A", 1, {});
    def.MeshAttributes[0] = 4;
    Read(def, bytes);
    ASSERT_EQ(def.MeshNames, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(def.MeshAttributes, (std::vector<int32_t>{4, 9}));
    EXPECT_EQ(def.Vertices[0].size(), 1u);
    ASSERT_EQ(def.Vertices[1].size(), 3u);
    EXPECT_EQ(def.Vertices[1][2].x, 2.0f);
    EXPECT_TRUE(def.Faces[0].empty());
    ASSERT_EQ(def.Faces[1].size(), 1u);
    EXPECT_EQ(def.Corner(1, def.Faces[1][0], 1).x, 1.0f);
}

}  // namespace
}  // namespace qwz
