// Rewrites between the layouts, and damaged input of the older layouts.
#include "bytes/FormatError.h"
#include "format/Klasaqwz.h"
#include "platform/DebugOutput.h"
#include "platform/MessageBox.h"
#include "support/Bytes.h"
#include "support/OldLayoutSamples.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace qwz {
namespace {

using test::Bytes;

std::vector<uint8_t> Rewrite(const std::vector<uint8_t>& file, int target, KlasaQwz* keep = nullptr) {
    KlasaQwz doc;
    EXPECT_NE(doc.LoadBytes(file.data(), file.size()), 0);
    std::vector<uint8_t> bytes = doc.SaveBytes(target, TQWZSaveParams{});
    if (keep) {
        keep->LoadBytes(bytes.data(), bytes.size());
    }
    return bytes;
}

// A version 204 file with every kind of content: the rich geometry groups,
// two meshes with float vertices and one-byte indices, and the rich
// extra-data tail.
Bytes Rich204() {
    Bytes b;
    b.magic(204).f32(12.34f).f32(-4.5f).f32(0.6f);
    test::RichGroups(b, 0);
    b.i32(2);
    b.name("siatka").i32(7).i32(4);
    b.f32(1.27f).f32(-1.27f).f32(0.001f);
    b.f32(250.5f).f32(-300.25f).f32(17.0f);
    b.f32(-0.5f).f32(12.5f).f32(99.99f);
    b.f32(3.0f).f32(0).f32(-3.0f);  // used by no face
    b.i32(2).u8(3).u8(0x80);
    b.u8(0).u8(1).u8(2).u8(2);
    b.u8(2).u8(1).u8(0).u8(9);  // 9: no such vertex
    b.name("pusta").i32(-1).i32(0).i32(0);
    return test::RichTail(b);
}

// Mesh names, attributes, face flags and indices.
void ExpectSameMeshes(const DefinicjaObiektu& a, const DefinicjaObiektu& b) {
    EXPECT_EQ(a.MeshNames, b.MeshNames);
    EXPECT_EQ(a.MeshAttributes, b.MeshAttributes);
    ASSERT_EQ(a.Faces.size(), b.Faces.size());
    for (size_t m = 0; m < a.Faces.size(); ++m) {
        ASSERT_EQ(a.Faces[m].size(), b.Faces[m].size());
        for (size_t f = 0; f < a.Faces[m].size(); ++f) {
            EXPECT_EQ(a.Faces[m][f].flag, b.Faces[m][f].flag);
            EXPECT_EQ(a.Faces[m][f].indices, b.Faces[m][f].indices);
        }
    }
}

// The four geometry groups of a file whose header takes `headerBytes`:
// every name, attribute and record.
std::vector<uint8_t> GroupsOf(const std::vector<uint8_t>& file, size_t headerBytes) {
    Bytes groups;
    test::RichGroups(groups, 0);
    return std::vector<uint8_t>(file.begin() + long(headerBytes),
                                file.begin() + long(headerBytes + groups.size()));
}

// Every vertex within one quantisation step of where it was.
void ExpectVerticesWithinAStep(const DefinicjaObiektu& a, const DefinicjaObiektu& b, float scale) {
    ASSERT_EQ(a.Vertices.size(), b.Vertices.size());
    const double step = 1.0 / double(scale);
    for (size_t m = 0; m < a.Vertices.size(); ++m) {
        ASSERT_EQ(a.Vertices[m].size(), b.Vertices[m].size());
        for (size_t v = 0; v < a.Vertices[m].size(); ++v) {
            EXPECT_LE(std::fabs(double(a.Vertices[m][v].x) - double(b.Vertices[m][v].x)), step);
            EXPECT_LE(std::fabs(double(a.Vertices[m][v].y) - double(b.Vertices[m][v].y)), step);
            EXPECT_LE(std::fabs(double(a.Vertices[m][v].z) - double(b.Vertices[m][v].z)), step);
        }
    }
}

// The bytes from the end of the mesh group of a version 204 file on.
std::vector<uint8_t> TailOf204(const std::vector<uint8_t>& file, size_t tailBytes) {
    return std::vector<uint8_t>(file.end() - long(tailBytes), file.end());
}

// The sample's face index 9 makes the version 204 writer report it; the
// reports are collected here instead of reaching a screen.
class OldLayoutsRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        messages_ = platform::SetMessageSink(
            [this](const std::string& text, const std::string&, platform::MessageIcon) { shown.push_back(text); });
        debug_ = platform::SetDebugSink([](std::string_view, bool) {});
    }
    void TearDown() override {
        platform::SetMessageSink(messages_);
        platform::SetDebugSink(debug_);
    }
    std::vector<std::string> shown;

private:
    platform::MessageSink messages_;
    platform::DebugSink debug_;
};

constexpr size_t kRich204TailBytes = test::kRichTailBytes;

TEST_F(OldLayoutsRoundTrip, From204Through203AndBack) {
    const Bytes original = Rich204();
    KlasaQwz source;
    source.LoadBytes(original.vec().data(), original.size());
    KlasaQwz mid;
    const std::vector<uint8_t> as203 = Rewrite(original, 203, &mid);
    EXPECT_EQ(as203[3], 203);
    EXPECT_EQ(mid.VertexScale, 100.0f);  // largest corner 300.25
    KlasaQwz back;
    const std::vector<uint8_t> as204 = Rewrite(as203, 204, &back);
    EXPECT_EQ(as204[3], 204);

    EXPECT_EQ(std::vector<uint8_t>(as204.begin(), as204.begin() + 16),
              std::vector<uint8_t>(original.vec().begin(), original.vec().begin() + 16));  // reference point
    EXPECT_EQ(GroupsOf(as204, 16), GroupsOf(original.vec(), 16));
    ExpectSameMeshes(*source.GetDefinition(), *back.GetDefinition());
    ExpectVerticesWithinAStep(*source.GetDefinition(), *back.GetDefinition(), 100.0f);
    EXPECT_EQ(TailOf204(as204, kRich204TailBytes), TailOf204(original.vec(), kRich204TailBytes));
    EXPECT_EQ(back.GetDefinition()->Containers.KindCount(), 4u);
}

TEST_F(OldLayoutsRoundTrip, From204Through202AndBack) {
    const Bytes original = Rich204();
    KlasaQwz source;
    source.LoadBytes(original.vec().data(), original.size());
    KlasaQwz mid;
    const std::vector<uint8_t> as202 = Rewrite(original, 202, &mid);
    EXPECT_EQ(as202[3], 202);
    KlasaQwz back;
    const std::vector<uint8_t> as204 = Rewrite(as202, 204, &back);

    EXPECT_EQ(GroupsOf(as204, 16), GroupsOf(original.vec(), 16));
    ExpectSameMeshes(*source.GetDefinition(), *back.GetDefinition());
    ExpectVerticesWithinAStep(*source.GetDefinition(), *back.GetDefinition(), 100.0f);
    EXPECT_EQ(back.RefPoint[0], 12.3f);  // tenths
    EXPECT_EQ(back.RefPoint[1], -4.5f);
    EXPECT_EQ(back.RefPoint[2], 0.6f);
    EXPECT_TRUE(back.GetDefinition()->Containers.Empty());  // no tail in 202
}

TEST_F(OldLayoutsRoundTrip, RewritingInTheSameLayoutChangesOnlyMeaninglessBytes) {
    EXPECT_EQ(Rewrite(test::Rich203(0x5A, 0x99), 203), test::Rich203().vec());
    EXPECT_EQ(Rewrite(test::Rich202(0x5A, 0x99), 202), test::Rich202().vec());
    // and again from what was written
    EXPECT_EQ(Rewrite(Rewrite(test::Rich203(), 203), 203), test::Rich203().vec());
}

TEST_F(OldLayoutsRoundTrip, From203To202KeepsEveryStoredInteger) {
    KlasaQwz from203;
    const Bytes file = test::Rich203();
    from203.LoadBytes(file.vec().data(), file.size());
    KlasaQwz as202;
    const std::vector<uint8_t> bytes = Rewrite(file, 202, &as202);
    EXPECT_EQ(as202.VertexScale, from203.VertexScale);
    EXPECT_EQ(as202.GetDefinition()->Vertices, from203.GetDefinition()->Vertices);
    EXPECT_EQ(GroupsOf(bytes, 10), GroupsOf(file.vec(), 10));
    ExpectSameMeshes(*from203.GetDefinition(), *as202.GetDefinition());
}

TEST_F(OldLayoutsRoundTrip, From201EveryWrittenVersionReadsBack) {
    const Bytes file = test::Rich201();
    for (int target : {202, 203, 204}) {
        KlasaQwz source;
        source.LoadBytes(file.vec().data(), file.size());
        KlasaQwz back;
        Rewrite(file, target, &back);
        ExpectSameMeshes(*source.GetDefinition(), *back.GetDefinition());
        for (int i = 0; i < 3; ++i) EXPECT_EQ(back.RefPoint[i], 0.0f) << target;
        // the vertices themselves were not shifted
        EXPECT_EQ(back.GetDefinition()->Vertices[0][1].x, 50.0f) << target;
    }
}

// Cut at every length: a clean format error before the extra-data tail,
// where every section is required; in the tail, whatever the blocks make of
// it (a complete load or a format error); never a crash or a read out of
// bounds.
void ExpectCleanCuts(const std::vector<uint8_t>& file, size_t tailFrom) {
    for (size_t n = 0; n < file.size(); ++n) {
        std::vector<uint8_t> cut(file.begin(), file.begin() + long(n));
        KlasaQwz doc;
        try {
            const uint8_t version = doc.LoadBytes(cut.data(), cut.size());
            EXPECT_TRUE(n < 4 ? version == 0 : n >= tailFrom) << "cut at " << n << " loaded";
        } catch (const FormatError& e) {
            if (n < tailFrom) {
                EXPECT_GE(n, 4u);
            }
            EXPECT_LE(e.offset(), n) << e.what();
        }
    }
    KlasaQwz whole;
    EXPECT_NE(whole.LoadBytes(file.data(), file.size()), 0);
}

TEST(OldLayoutsDamage, CutAtEveryLength) {
    ExpectCleanCuts(test::Rich201().vec(), test::Rich201().size());
    ExpectCleanCuts(test::Rich202().vec(), test::Rich202().size());
    const Bytes rich203 = test::Rich203();
    ExpectCleanCuts(rich203.vec(), rich203.size() - test::kRichTailBytes);
}

}  // namespace
}  // namespace qwz
