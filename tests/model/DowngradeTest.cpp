#include "model/Downgrade.h"

#include "bytes/FormatError.h"
#include "format/Klasaqwz.h"
#include "support/Bytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace qwz {
namespace {

// A mesh with one vertex per value (x = value) and one face whose four
// corners are those vertices (the first four, repeated as needed).
void AddMeshSpanning(KlasaQwz& doc, std::initializer_list<float> values) {
    DefinicjaObiektu& def = *doc.GetDefinition();
    def.AddMesh("M");
    vcV& vertices = def.Vertices.back();
    for (float v : values) vertices.push_back({v, 0, 0});
    CfaceF face;
    for (int k = 0; k < 4; ++k) {
        const int i = int(k % vertices.size());
        face.indices[size_t(k)] = i;
    }
    def.Faces.back().push_back(face);
}

float ScaleFor(std::initializer_list<float> values) {
    KlasaQwz doc;
    doc.Loaded = true;
    AddMeshSpanning(doc, values);
    PrepareDowngrade(doc);
    return doc.VertexScale;
}

// A block that counts as UV for the keep flags.
class UvLike : public TKontenerQwz {
public:
    UvLike() { kind_ = ktUVFloat; }
    KeepMember KeptBy() const override { return &TQWZSaveParams::KeepUV; }
};
class ScalerLike : public TKontenerQwz {
public:
    ScalerLike() { kind_ = ktScaler; }
    KeepMember KeptBy() const override { return &TQWZSaveParams::KeepScalingZones; }
};

TEST(NeedsConversion, NewerThanTheTargetOrHoldingWhatIsDropped) {
    KlasaQwz doc;  // version 204
    TQWZSaveParams p;
    p.TargetVersion = 203;
    EXPECT_TRUE(NeedsConversion(doc, p));
    p.KeepLines = false;
    EXPECT_TRUE(NeedsConversion(doc, p));
    p = {};
    EXPECT_TRUE(NeedsConversion(doc, p));  // target 0: every loaded document
    p.TargetVersion = 204;
    EXPECT_FALSE(NeedsConversion(doc, p));

    DefinicjaObiektu& def = *doc.GetDefinition();
    def.ArcGroup().Resize(1);  // one arc group without records
    p.KeepArcs = false;
    EXPECT_TRUE(NeedsConversion(doc, p));
    p.KeepArcs = true;
    p.KeepLines = false;  // no line group to drop
    EXPECT_FALSE(NeedsConversion(doc, p));
    p.KeepLines = true;

    p.KeepScalingZones = false;  // empty container map
    EXPECT_FALSE(NeedsConversion(doc, p));
    p.KeepScalingZones = true;

    p.KeepUV = false;
    def.Containers.Add(TKontenerPtr(new ScalerLike));
    EXPECT_FALSE(NeedsConversion(doc, p));
    def.Containers.Add(TKontenerPtr(new UvLike));
    EXPECT_TRUE(NeedsConversion(doc, p));
    p.KeepUV = true;
    p.KeepOtherExtra = false;  // the blocks present are all kept
    EXPECT_FALSE(NeedsConversion(doc, p));
    def.Containers.Add(TKontenerPtr(new TKontenerQwz));  // the base answers KeepOtherExtra
    EXPECT_TRUE(NeedsConversion(doc, p));

    doc.Version = 202;
    p = {};
    p.TargetVersion = 203;
    EXPECT_FALSE(NeedsConversion(doc, p));  // older than the target, all kept
}

TEST(ScanExtent, MeasuresFaceCornersOnlyAndWidensTheBox) {
    KlasaQwz doc;
    AddMeshSpanning(doc, {-0.5f, 12.5f, 3.0f});
    DefinicjaObiektu& def = *doc.GetDefinition();
    def.Vertices[0].push_back({-900.0f, 900.0f, 0});  // used by no face
    def.Clear();  // box to +-1e38, lists empty
    AddMeshSpanning(doc, {-0.5f, 12.5f, 3.0f});
    const auto [lo, hi] = ScanExtent(doc);
    EXPECT_EQ(lo, -0.5);
    EXPECT_EQ(hi, 12.5);
    EXPECT_EQ(def.BoxMin[0], -0.5f);
    EXPECT_EQ(def.BoxMax[0], 12.5f);
    EXPECT_EQ(def.BoxMin[1], 0.0f);
    EXPECT_EQ(def.BoxMax[2], 0.0f);

    KlasaQwz empty;
    empty.GetDefinition()->AddMesh("no faces");
    const auto [lo2, hi2] = ScanExtent(empty);
    EXPECT_EQ(lo2, 10000000.0);
    EXPECT_EQ(hi2, -10000000.0);
}

TEST(PrepareDowngrade, ScaleBringsTheExtentBetween3200And32000) {
    EXPECT_EQ(ScaleFor({-0.5f, 12.5f}), 1000.0f);
    EXPECT_EQ(ScaleFor({0.0f, 3200.0f}), 10.0f);  // 32000 is not above 32000
    EXPECT_EQ(ScaleFor({32000.0f}), 1.0f);
    EXPECT_EQ(ScaleFor({32000.5f}), 0.1f);
    EXPECT_EQ(ScaleFor({50000.0f}), 0.1f);
    EXPECT_EQ(ScaleFor({-40000.0f, 10.0f}), 0.1f);
}

TEST(PrepareDowngrade, ScaleIsSteppedInFloat32) {
    // Three steps of 0.1 from 1.0, each rounded to float32.
    EXPECT_EQ(double(ScaleFor({10000000.0f})), 0.0009999999310821295);
}

TEST(PrepareDowngrade, MeshesWithoutFacesAreMeasuredByTheirVertices) {
    // With no face corner to measure, the scan's start values (10 000 000)
    // would give about 0.001 and quantise these vertices to zero.
    KlasaQwz doc;
    doc.Loaded = true;
    doc.GetDefinition()->AddMesh("no faces");
    doc.GetDefinition()->Vertices[0].push_back({1, 2, -12.5f});
    PrepareDowngrade(doc);
    EXPECT_EQ(doc.VertexScale, 1000.0f);
}

TEST(PrepareDowngrade, NothingToMeasureKeepsTheScale) {
    KlasaQwz doc;
    PrepareDowngrade(doc);
    EXPECT_EQ(doc.VertexScale, 0.1f);
    EXPECT_FALSE(doc.Loaded);
}

TEST(PrepareDowngrade, ADocumentNeverLoadedGetsAZeroReferencePoint) {
    KlasaQwz doc;
    doc.RefPoint[0] = 5.0f;
    doc.RefTenths[1] = 7;
    doc.GetDefinition()->RefPoint[2] = 3.0f;
    AddMeshSpanning(doc, {1.0f});
    PrepareDowngrade(doc);
    EXPECT_TRUE(doc.Loaded);
    EXPECT_EQ(doc.RefPoint[0], 0.0f);
    EXPECT_EQ(doc.RefTenths[1], 0);
    EXPECT_EQ(doc.GetDefinition()->RefPoint[2], 0.0f);

    KlasaQwz loaded;
    loaded.Loaded = true;
    loaded.RefPoint[0] = 5.0f;
    AddMeshSpanning(loaded, {1.0f});
    PrepareDowngrade(loaded);
    EXPECT_EQ(loaded.RefPoint[0], 5.0f);
}

// The extents that send the literal search round for ever, or give it
// nothing to measure, must still end with a scale that keeps every corner
// within 32000.
TEST(PrepareDowngrade, SearchAlwaysEnds) {
    // x0.1 lands just below 3200, x10 back just above 32000
    const float e = 320000032.0f;
    const float s = ScaleFor({e});
    EXPECT_LE(double(e) * double(s), 32000.0);
    EXPECT_GT(double(e) * double(float(double(s) * 10.0)), 32000.0);  // the larger such scale
    EXPECT_GT(double(e) * double(s), 3199.0);

    const float tiny = ScaleFor({1e-30f});
    EXPECT_GT(double(1e-30f) * double(tiny), 3200.0);
    EXPECT_LE(double(1e-30f) * double(tiny), 32000.0);
    const float huge = ScaleFor({1e30f});
    EXPECT_GT(double(1e30f) * double(huge), 3200.0);
    EXPECT_LE(double(1e30f) * double(huge), 32000.0);
    const float largest = ScaleFor({std::numeric_limits<float>::max()});
    EXPECT_LE(double(std::numeric_limits<float>::max()) * double(largest), 32000.0);
    EXPECT_GT(largest, 0.0f);
    // the smallest float32 above zero: the scale would have to leave float32
    const float least = ScaleFor({std::numeric_limits<float>::denorm_min()});
    EXPECT_TRUE(std::isfinite(least));
    EXPECT_GT(least, 1e37f);
}

TEST(PrepareDowngrade, AllCornersAtZeroMeasureTheVertices) {
    KlasaQwz doc;
    doc.Loaded = true;
    AddMeshSpanning(doc, {0.0f});
    doc.GetDefinition()->Vertices[0].push_back({0, -12.5f, 0});  // used by no face
    PrepareDowngrade(doc);
    EXPECT_EQ(doc.VertexScale, 1000.0f);

    EXPECT_EQ(ScaleFor({0.0f}), 10000.0f);  // nothing anywhere: extent 1
}

TEST(PrepareDowngrade, ACoordinateThatIsNotFiniteFailsTheSave) {
    KlasaQwz doc;
    doc.Loaded = true;
    AddMeshSpanning(doc, {1.0f, INFINITY});
    try {
        PrepareDowngrade(doc);
        FAIL() << "an infinite corner was accepted";
    } catch (const FormatError& e) {
        EXPECT_EQ(e.kind(), FormatError::Kind::Unwritable);
    }
    KlasaQwz atZero;
    atZero.Loaded = true;
    AddMeshSpanning(atZero, {0.0f});
    atZero.GetDefinition()->Vertices[0].push_back({0, -INFINITY, 0});
    EXPECT_THROW(PrepareDowngrade(atZero), FormatError);
}


// The vertex extent is measured four coordinates at a time with a scalar
// remainder: a value in any position of the run must count.
TEST(PrepareDowngrade, EveryVertexCoordinateCountsWhereverItLies) {
    auto prepared = [](size_t position, float value) {
        KlasaQwz doc;
        doc.Loaded = true;
        AddMeshSpanning(doc, {10.0f, -3.0f});  // corners alone give scale 1000
        vcV& vertices = doc.GetDefinition()->Vertices[0];
        vertices.resize(11, CpunktF{1.0f, -2.0f, 0.5f});  // 33 coordinates
        float* c = &vertices[position / 3].x + position % 3;
        *c = value;
        PrepareDowngrade(doc);
        return doc.VertexScale;
    };
    for (size_t position = 6; position < 33; ++position) {
        // 5000 x 1000 does not fit 16 bits: the scale steps down to 1.
        EXPECT_EQ(prepared(position, -5000.0f), 1.0f) << "position " << position;
        EXPECT_EQ(prepared(position, 5000.0f), 1.0f) << "position " << position;
        for (float bad : {NAN, INFINITY, -INFINITY}) {
            try {
                prepared(position, bad);
                ADD_FAILURE() << bad << " at position " << position << " was accepted";
            } catch (const FormatError& e) {
                EXPECT_EQ(e.kind(), FormatError::Kind::Unwritable);
            }
        }
    }
}

}  // namespace
}  // namespace qwz

namespace qwz {
namespace {

TEST(PrepareDowngrade, VerticesBeyondTheCornersStillFitTheSixteenBits) {
    // A version 201 file with its reference point at X = 3000: the vertex at
    // 3200 gives a face corner at 200 (scale 100 by the corners alone), and
    // 3200 x 100 does not fit 16 bits. The scale steps down to 10 instead of
    // the file being refused, and every stored integer comes back.
    const std::vector<uint8_t> file = test::Bytes()
        .magic(201).i16(30000).i16(0).i16(0).i32(0)
        .f32(10).zeros(12).u8(1)
        .name("hala").i32(3).zeros(57).i16(1).i16(1)
        .u16(2).i16(32000).i16(5).i16(-7).i16(31990).i16(0).i16(0)
        .u16(1).u8(0).u16(0).u16(1).u16(1).u16(0);
    KlasaQwz doc;
    ASSERT_EQ(doc.LoadBytes(file.data(), file.size()), 201);
    const std::vector<uint8_t> saved = doc.SaveBytes(202, TQWZSaveParams());
    EXPECT_EQ(doc.VertexScale, 10.0f);
    KlasaQwz back;
    ASSERT_EQ(back.LoadBytes(saved.data(), saved.size()), 202);
    const vcV& v = back.GetDefinition()->Vertices.at(0);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(int(std::trunc(double(v[0].x) * 10)), 32000);
    EXPECT_EQ(int(std::trunc(double(v[0].y) * 10)), 5);
    EXPECT_EQ(int(std::trunc(double(v[1].x) * 10)), 31990);

    // Where every vertex fits, the scale is the one the corners give.
    EXPECT_EQ(ScaleFor({-0.5f, 12.5f}), 1000.0f);
}

}  // namespace
}  // namespace qwz
