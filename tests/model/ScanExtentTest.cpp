// The corner scan and the vertex extent of documents large enough to be
// measured mesh by mesh on several threads: the results must be those of
// one pass over every corner in document order, a NaN in the very first
// corner included. Of a zero and a negative zero either may come out.
#include "bytes/FormatError.h"
#include "format/Klasaqwz.h"
#include "model/Downgrade.h"
#include "support/LargeMeshes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace qwz {
namespace {

using test::Lcg;

struct Extent {
    float smallest, largest;
    float boxMin[3], boxMax[3];
};

// One pass over every corner of every mesh, in order: the first corner sets
// the box; a coordinate moves a bound only when it compares beyond it.
Extent SinglePass(const DefinicjaObiektu& def) {
    Extent e{10000000.0f, -10000000.0f, {}, {}};
    for (int axis = 0; axis < 3; ++axis) {
        e.boxMin[axis] = def.BoxMin[axis];
        e.boxMax[axis] = def.BoxMax[axis];
    }
    bool first = true;
    for (size_t m = 0; m < def.Faces.size(); ++m)
        for (const CfaceF& face : def.Faces[m]) {
            if (first) {
                const CpunktF corner = def.Corner(m, face, 0);
                const float c[3] = {corner.x, corner.y, corner.z};
                for (int axis = 0; axis < 3; ++axis) e.boxMin[axis] = e.boxMax[axis] = c[axis];
                first = false;
            }
            for (int k = 0; k < 4; ++k) {
                const CpunktF corner = def.Corner(m, face, k);
                const float c[3] = {corner.x, corner.y, corner.z};
                for (int axis = 0; axis < 3; ++axis) {
                    if (c[axis] < e.smallest) e.smallest = c[axis];
                    if (c[axis] > e.largest) e.largest = c[axis];
                    if (c[axis] < e.boxMin[axis]) e.boxMin[axis] = c[axis];
                    if (c[axis] > e.boxMax[axis]) e.boxMax[axis] = c[axis];
                }
            }
        }
    return e;
}

// The value with its bits, and the zero its sign, when that is all that
// may differ.
std::string Shown(float v) {
    if (v == 0.0f) v = 0.0f;
    uint32_t b;
    std::memcpy(&b, &v, 4);
    char text[64];
    std::snprintf(text, sizeof text, "%g (%08x)", double(v), unsigned(b));
    return text;
}

// ScanExtent against the single pass (over `whole`'s corners, by default
// the document's own): the same bits, but for the sign of a zero.
void ExpectSinglePassResult(KlasaQwz& doc, KlasaQwz* whole = nullptr, const MeshSource* meshes = nullptr) {
    const Extent expected = SinglePass(*(whole ? whole : &doc)->GetDefinition());
    const auto [smallest, largest] = meshes ? ScanExtent(doc, *meshes) : ScanExtent(doc);
    const DefinicjaObiektu& def = *doc.GetDefinition();
    EXPECT_EQ(Shown(float(smallest)), Shown(expected.smallest)) << "smallest";
    EXPECT_EQ(Shown(float(largest)), Shown(expected.largest)) << "largest";
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(Shown(def.BoxMin[axis]), Shown(expected.boxMin[axis])) << "box min, axis " << axis;
        EXPECT_EQ(Shown(def.BoxMax[axis]), Shown(expected.boxMax[axis])) << "box max, axis " << axis;
    }
}

// Meshes with the given face counts, each face with four vertices of its
// own (one vertex in a mesh without faces); every corner coordinate is
// drawn by draw(rng, mesh). The box starts at -5..5.
using Draw = std::function<float(Lcg&, size_t mesh)>;
void Fill(KlasaQwz& doc, const std::vector<uint32_t>& faceCounts, uint64_t seed, const Draw& draw) {
    DefinicjaObiektu& def = *doc.GetDefinition();
    Lcg rng(seed);
    for (size_t m = 0; m < faceCounts.size(); ++m) {
        def.AddMesh("M");
        vcV& vertices = def.Vertices.back();
        if (faceCounts[m] == 0) vertices.resize(1);
        def.Faces.back().resize(faceCounts[m]);
        for (CfaceF& face : def.Faces.back())
            for (int32_t& index : face.indices) {
                index = int32_t(vertices.size());
                vertices.push_back({draw(rng, m), draw(rng, m), draw(rng, m)});
            }
    }
    for (int axis = 0; axis < 3; ++axis) {
        def.BoxMin[axis] = -5.0f;
        def.BoxMax[axis] = 5.0f;
    }
}

const std::vector<uint32_t> kTwelve(12, 20000);

TEST(ScanExtent, LargeDocumentsGiveWhatOnePassGives) {
    // Faces that share vertices, name some beyond the mesh's vertices (the
    // origin), and a version 201 file's corner shift.
    using Rework = std::function<void(DefinicjaObiektu&, Lcg&)>;
    const Rework shareAndStray = [](DefinicjaObiektu& def, Lcg& r) {
        for (size_t m = 0; m < def.Faces.size(); ++m)
            for (CfaceF& face : def.Faces[m])
                for (int32_t& index : face.indices) {
                    const uint32_t pick = r.below(4000);
                    if (pick == 0) index = pick % 2 ? -1 : int32_t(def.Vertices[m].size() + r.below(9));
                    else if (pick < 1000) index = int32_t(r.below(uint32_t(def.Vertices[m].size())));
                }
    };
    const struct {
        const char* what;
        std::vector<uint32_t> faces;
        Draw draw;
        Rework rework = nullptr;
    } cases[] = {
        {"finite", kTwelve, [](Lcg& r, size_t) { return r.within(1000.0f); }},
        {"NaN here and there", kTwelve,
         [](Lcg& r, size_t) { return r.below(300) == 0 ? NAN : r.within(1000.0f); }},
        // zeros of both signs are the smallest values; none in the first
        // meshes
        {"zeros smallest", kTwelve,
         [](Lcg& r, size_t m) {
             const uint32_t pick = m < 3 ? 2 : r.below(100000);
             return pick == 0 ? 0.0f : pick == 1 ? -0.0f : 1.0f + r.within(0.5f);
         }},
        {"zeros largest", kTwelve,
         [](Lcg& r, size_t m) {
             const uint32_t pick = m < 4 ? 2 : r.below(50000);
             return pick == 0 ? -0.0f : pick == 1 ? 0.0f : -1.0f + r.within(0.5f);
         }},
        // beyond the scan's start values, which then stay
        {"all above ten million", kTwelve, [](Lcg& r, size_t) { return 2e7f + r.within(5e6f); }},
        {"all below minus ten million", kTwelve, [](Lcg& r, size_t) { return -2e7f + r.within(5e6f); }},
        {"empty meshes in front and between", {0, 0, 0, 30000, 0, 30000, 30000, 0, 30000, 30000, 30000, 0},
         [](Lcg& r, size_t) { return r.below(1000) == 0 ? NAN : r.within(10.0f); }},
        {"infinities", kTwelve,
         [](Lcg& r, size_t) {
             const uint32_t pick = r.below(200000);
             return pick == 0 ? INFINITY : pick == 1 ? -INFINITY : r.within(1.0f);
         }},
        {"shared vertices, indices beyond them", kTwelve, [](Lcg& r, size_t) { return 0.5f + r.within(100.0f); },
         shareAndStray},
        {"the same, all above the origin", kTwelve, [](Lcg& r, size_t) { return 50.0f + r.within(40.0f); },
         shareAndStray},
        {"vertices no face names, beyond the corners", kTwelve, [](Lcg& r, size_t) { return r.within(100.0f); },
         [](DefinicjaObiektu& def, Lcg&) {
             for (size_t m = 0; m < def.Faces.size(); ++m) {
                 int32_t& index = def.Faces[m][0].indices[0];
                 def.Vertices[m][size_t(index)] = {-900.0f, 900.0f, -900.0f};
                 index = def.Faces[m][0].indices[1];
             }
         }},
        {"corners shifted", kTwelve, [](Lcg& r, size_t) { return r.within(1000.0f); },
         [&](DefinicjaObiektu& def, Lcg& r) {
             def.CornersShifted = true;
             def.CornerShift[0] = 10.5f, def.CornerShift[1] = -3.25f, def.CornerShift[2] = 1e-3f;
             shareAndStray(def, r);
         }},
    };
    for (const auto& c : cases)
        for (uint64_t seed : {1, 2}) {
            SCOPED_TRACE(std::string(c.what) + ", seed " + std::to_string(seed));
            KlasaQwz doc;
            Fill(doc, c.faces, seed, c.draw);
            Lcg rng(seed);
            if (c.rework) c.rework(*doc.GetDefinition(), rng);
            ExpectSinglePassResult(doc);

            // Written as 203 (when it can be) and read back with its meshes
            // left in the bytes, it measures as read back whole does.
            std::vector<uint8_t> bytes;
            try {
                bytes = doc.SaveBytes(203, TQWZSaveParams{});
            } catch (const FormatError&) {
                continue;  // a coordinate that is not finite
            }
            KlasaQwz whole, lazy;
            ReadOptions leave;
            leave.meshes = ReadOptions::Meshes::LeaveInBytes;
            ReadResult left;
            ASSERT_EQ(whole.LoadBytes(bytes.data(), bytes.size()), 203);
            ASSERT_EQ(lazy.LoadBytes(bytes.data(), bytes.size(), 0, leave, &left), 203);
            ASSERT_TRUE(left.meshes);
            ExpectSinglePassResult(lazy, &whole, left.meshes.get());
            // and is written again as the same bytes, also when the meshes
            // built in memory are given back as they are written
            const MeshesInMemory givenBack(*whole.GetDefinition(), whole.GetDefinition().get());
            EXPECT_TRUE(lazy.SaveBytes(203, TQWZSaveParams{}, nullptr, left.meshes.get()) ==
                        whole.SaveBytes(203, TQWZSaveParams{}, nullptr, &givenBack));
        }
}

TEST(ScanExtent, TheVeryFirstCornerSetsTheBoxWhateverItHolds) {
    for (size_t emptyInFront : {0, 1, 5}) {
        SCOPED_TRACE(std::to_string(emptyInFront) + " meshes without faces in front");
        std::vector<uint32_t> faces(emptyInFront, 0);
        faces.insert(faces.end(), kTwelve.begin(), kTwelve.end());
        KlasaQwz doc;
        Fill(doc, faces, 7, [](Lcg& r, size_t) { return r.within(100.0f); });
        DefinicjaObiektu& def = *doc.GetDefinition();
        const CfaceF& face = def.Faces[emptyInFront][0];
        def.Vertices[emptyInFront][size_t(face.indices[0])] = {NAN, -0.0f, 150.0f};
        def.Vertices[emptyInFront][size_t(face.indices[1])].x = -150.0f;
        ExpectSinglePassResult(doc);
        // the NaN holds its axis of the box; the other axes are measured
        EXPECT_TRUE(std::isnan(def.BoxMin[0]) && std::isnan(def.BoxMax[0]));
        EXPECT_EQ(def.BoxMax[2], 150.0f);
    }
}

TEST(ScanExtent, ADocumentWithoutFacesKeepsItsBox) {
    KlasaQwz doc;
    Fill(doc, std::vector<uint32_t>(12, 0), 1, [](Lcg& r, size_t) { return r.within(1.0f); });
    for (vcV& vertices : doc.GetDefinition()->Vertices) vertices.resize(20000);  // work enough for threads
    ExpectSinglePassResult(doc);
    EXPECT_EQ(doc.GetDefinition()->BoxMin[1], -5.0f);
}

// Corners within +-30 give the scale 1000; a vertex no face uses, at 50 in
// the 11th mesh, would not fit at that scale and takes it down to 100.
TEST(ScanExtent, EveryMeshsVerticesBoundTheScale) {
    auto prepared = [](float farVertex) {
        KlasaQwz doc;
        doc.Loaded = true;
        test::AddMeshes(*doc.GetDefinition(), test::kLargeShapes, 30.0f, 8);
        doc.GetDefinition()->Vertices[10].push_back({0.0f, farVertex, 0.0f});
        PrepareDowngrade(doc);
        return doc.VertexScale;
    };
    EXPECT_EQ(prepared(29.0f), 1000.0f);
    EXPECT_EQ(prepared(-50.0f), 100.0f);
    EXPECT_EQ(prepared(500.0f), 10.0f);

    KlasaQwz doc;
    doc.Loaded = true;
    test::AddMeshes(*doc.GetDefinition(), test::kLargeShapes, 30.0f, 8);
    doc.GetDefinition()->Vertices[10].push_back({0.0f, 0.0f, INFINITY});
    try {
        PrepareDowngrade(doc);
        ADD_FAILURE() << "a vertex that is not finite was accepted";
    } catch (const FormatError& e) {
        EXPECT_EQ(e.kind(), FormatError::Kind::Unwritable);
    }
}

}  // namespace
}  // namespace qwz
