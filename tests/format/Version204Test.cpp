#include "format/Version204.h"

#include "format/Klasaqwz.h"
#include "format/ExtraTail.h"
#include "platform/DebugOutput.h"
#include "support/Bytes.h"
#include "support/DebugLines.h"
#include "support/RichSample204.h"

#include <gtest/gtest.h>

#include "support/Reported.h"

#include <atomic>
#include <cstdlib>
#include <new>

// The largest single allocation while tracking is on, so a test can show
// that a damaged count allocates nothing for it.
static std::atomic<bool> g_trackAllocations{false};
static std::atomic<size_t> g_largestAllocation{0};

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"  // both sides are replaced here
#endif

// The replacements stay out of line: inlined into a caller, GCC sees malloc
// from operator new meet operator delete, or operator new's memory meet
// free(), and warns of a mismatch (-Wmismatched-new-delete) although the
// pair matches.
[[gnu::noinline]] void* operator new(size_t n) {
    if (g_trackAllocations && n > g_largestAllocation) g_largestAllocation = n;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace qwz {
namespace {

using test::Bytes;
using test::DebugLines;
using test::RichSample204;

std::vector<uint8_t> Save(KlasaQwz& doc, const TQWZSaveParams& params = {}) {
    std::vector<uint8_t> bytes;
    ByteWriter out(bytes);
    test::WriteReported(WriteVersion204, doc, out, params);
    return bytes;
}

TEST(Version204, EmptyDocumentIsThe36ByteFileAndItsDebugLineComesFirst) {
    DebugLines debug;
    KlasaQwz doc;
    const std::vector<uint8_t> expected = Bytes().magic(204).zeros(12).zeros(5 * 4);
    EXPECT_EQ(Save(doc), expected);
    ASSERT_EQ(debug.lines.size(), 1u);
    EXPECT_EQ(debug.lines[0], "F: 0, V: 0, Names: 0, Kol: 0");

    KlasaQwz back;
    ASSERT_EQ(back.LoadBytes(expected.data(), expected.size()), 204);
    EXPECT_TRUE(back.GetDefinition()->MeshNames.empty());
    EXPECT_TRUE(back.GetDefinition()->Containers.Empty());
}

TEST(Version204, ReaderSetsReferencePointTenthsAndVertexScale) {
    RichSample204 sample;
    const std::vector<uint8_t> file = sample.File();
    KlasaQwz doc;
    ASSERT_EQ(doc.LoadBytes(file.data(), file.size()), 204);
    EXPECT_EQ(doc.RefPoint[0], 12.37f);
    EXPECT_EQ(doc.RefPoint[1], -12.37f);
    EXPECT_EQ(doc.GetDefinition()->RefPoint[2], 0.04f);
    EXPECT_EQ(doc.RefTenths[0], 123);
    EXPECT_EQ(doc.RefTenths[1], -123);
    EXPECT_EQ(doc.RefTenths[2], 0);
    EXPECT_EQ(doc.VertexScale, 1.0f);
    EXPECT_EQ(ReferenceTenths(3276.75f), 32767);
    EXPECT_EQ(ReferenceTenths(-3276.75f), -32767);
    EXPECT_EQ(ReferenceTenths(3276.8f), -32768);  // the low 16 bits of 32768
    EXPECT_EQ(ReferenceTenths(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(ReferenceTenths(1e30f), 0);
}

TEST(Version204, RichFileRoundTripsByteForByteWithEveryFlagOn) {
    RichSample204 sample;
    const std::vector<uint8_t> file = sample.File();
    KlasaQwz doc;
    doc.LoadBytes(file.data(), file.size());
    const DefinicjaObiektu& def = *doc.GetDefinition();
    EXPECT_EQ(def.CircleNames, (std::vector<std::string>{"okręgi", ""}));
    EXPECT_EQ(def.Polys[0][0].points.size(), 2u);
    EXPECT_EQ(def.Polys[0][0].points[1].second, -7.0);
    EXPECT_EQ(def.MeshNames, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(def.Containers.KindCount(), 4u);

    DebugLines debug;
    EXPECT_EQ(Save(doc), file);
    EXPECT_EQ(debug.lines, std::vector<std::string>{"F: 3, V: 3, Names: 3, Kol: 3"});

    // A document read from an older version is written as 204 all the same.
    doc.Version = 201;
    EXPECT_EQ(Save(doc)[3], 204);
}

TEST(Version204, EachFlagOffDropsExactlyItsContent) {
    RichSample204 s;
    const std::vector<uint8_t> file = s.File();
    KlasaQwz doc;
    doc.LoadBytes(file.data(), file.size());
    DebugLines debug;
    const Bytes none = Bytes().i32(0);
    auto build = [&](const Bytes& c, const Bytes& l, const Bytes& p, const Bytes& a,
                     std::vector<uint8_t> tail) {
        return Bytes().raw(s.header).raw(c).raw(l).raw(p).raw(a).raw(s.meshes).raw(tail).vec();
    };
    const auto tail = [](std::initializer_list<const Bytes*> blocks) {
        Bytes b;
        for (const Bytes* block : blocks) b.raw(*block);
        return b.vec();
    };

    struct Case {
        const char* flag;
        bool TQWZSaveParams::*member;
        std::vector<uint8_t> expected;
    };
    const std::vector<Case> cases = {
        {"KeepCircles", &TQWZSaveParams::KeepCircles, build(none, s.lines, s.polys, s.arcs, s.Tail())},
        {"KeepLines", &TQWZSaveParams::KeepLines, build(s.circles, none, s.polys, s.arcs, s.Tail())},
        {"KeepPolylines", &TQWZSaveParams::KeepPolylines, build(s.circles, s.lines, none, s.arcs, s.Tail())},
        {"KeepArcs", &TQWZSaveParams::KeepArcs, build(s.circles, s.lines, s.polys, none, s.Tail())},
        {"KeepUV", &TQWZSaveParams::KeepUV,
         build(s.circles, s.lines, s.polys, s.arcs, tail({&s.scaler, &s.opaque}))},
        {"KeepScalingZones", &TQWZSaveParams::KeepScalingZones,
         build(s.circles, s.lines, s.polys, s.arcs, tail({&s.uv16, &s.uvFloat, &s.opaque}))},
        {"KeepOtherExtra", &TQWZSaveParams::KeepOtherExtra,
         build(s.circles, s.lines, s.polys, s.arcs, tail({&s.uv16, &s.scaler, &s.uvFloat}))},
        {"KeepOriginal", &TQWZSaveParams::KeepOriginal, file},
    };
    for (const Case& c : cases) {
        TQWZSaveParams params;
        params.*c.member = false;
        EXPECT_EQ(Save(doc, params), c.expected) << c.flag;
    }

    TQWZSaveParams noExtra;
    noExtra.KeepUV = noExtra.KeepScalingZones = noExtra.KeepOtherExtra = false;
    EXPECT_EQ(Save(doc, noExtra), build(s.circles, s.lines, s.polys, s.arcs, {}));
}

TEST(Version204, TruncationAtEveryOffsetLoadsCleanlyAtASectionBoundaryOrFails) {
    RichSample204 s;
    const std::vector<uint8_t> file = s.File();
    // Where the file may end and still load, with the blocks read by then.
    std::map<size_t, size_t> boundaries;
    size_t at = s.header.size();
    boundaries[at] = 0;
    for (const Bytes* section : {&s.circles, &s.lines, &s.polys, &s.arcs, &s.meshes})
        boundaries[at += section->size()] = 0;
    const size_t tailStart = at;
    size_t blocks = 0;
    for (const Bytes* block : {&s.uv16, &s.scaler, &s.uvFloat, &s.opaque})
        boundaries[at += block->size()] = ++blocks;
    ASSERT_EQ(at, file.size());

    DebugLines debug;  // the reader never speaks: damaged blocks come back as warnings
    size_t tailLoads = 0, tailErrors = 0, damaged = 0;
    for (size_t cut = 0; cut <= file.size(); ++cut) {
        KlasaQwz doc;
        bool loaded = false;
        try {
            ReadResult read;
            loaded = doc.LoadBytes(file.data(), cut, 0, {}, &read) == 204;
            for (const Warning& w : read.warnings) damaged += w.kind == Warning::Kind::DamagedTail;
        } catch (const FormatError& e) {
            EXPECT_LE(e.offset(), cut) << cut;
            EXPECT_FALSE(e.field().empty());
            tailErrors += cut > tailStart;
        }
        const auto boundary = boundaries.find(cut);
        if (cut < 4) {
            EXPECT_FALSE(loaded) << cut;  // not a QWZ file: nothing loads
        } else if (boundary != boundaries.end()) {
            ASSERT_TRUE(loaded) << "cut at " << cut;
            size_t held = 0;
            for (const auto& kind : doc.GetDefinition()->Containers) held += kind.second.size();
            EXPECT_EQ(held, boundary->second) << cut;
        } else if (cut < tailStart) {
            EXPECT_FALSE(loaded) << "cut inside a section at " << cut;
        } else if (loaded) {
            // Inside a block: the load may end the tail before that block
            // (it failed its own checks), keeping every earlier block.
            size_t held = 0;
            for (const auto& kind : doc.GetDefinition()->Containers) held += kind.second.size();
            EXPECT_EQ(held, std::prev(boundaries.upper_bound(cut))->second) << cut;
            ++tailLoads;
        }
    }
    // Both outcomes occur inside blocks: a cut in a block's own fields drops
    // the block, a cut among its records or zone values is an error.
    EXPECT_GT(tailLoads, 0u);
    EXPECT_GT(tailErrors, 0u);
    EXPECT_GT(damaged, 0u);
    EXPECT_TRUE(debug.lines.empty());
}

TEST(Version204, CountBeyondTheDataFailsAtOnceWithoutAllocating) {
    // 40 bytes: header, then a circle group that claims 2^31 - 1 names.
    const std::vector<uint8_t> file = Bytes().magic(204).zeros(12).i32(0x7FFFFFFF).zeros(20);
    ASSERT_EQ(file.size(), 40u);
    KlasaQwz doc;
    g_largestAllocation = 0;
    g_trackAllocations = true;
    try {
        doc.LoadBytes(file.data(), file.size());
        ADD_FAILURE() << "loaded";
    } catch (const FormatError& e) {
        EXPECT_EQ(e.kind(), FormatError::Kind::Malformed);
        EXPECT_EQ(e.offset(), 16u);
        EXPECT_EQ(e.field(), "liczba nazw okręgów i świateł");
    }
    g_trackAllocations = false;
    EXPECT_LT(g_largestAllocation.load(), 4096u);
    EXPECT_TRUE(doc.GetDefinition()->CircleNames.empty());

    // A negative count is no count either.
    const std::vector<uint8_t> negative = Bytes().magic(204).zeros(12).zeros(16).i32(-1);
    EXPECT_THROW(doc.LoadBytes(negative.data(), negative.size()), FormatError);
}


}  // namespace
}  // namespace qwz

namespace qwz {
namespace {

// A document the layout cannot hold (mesh lists of different lengths) is
// refused, and the buffer it was to be appended to keeps exactly what it had.
TEST(Version204, ARefusedDocumentLeavesTheBufferAsItWas) {
    KlasaQwz doc;
    DefinicjaObiektu& def = *doc.GetDefinition();
    def.AddMesh("A");
    def.Vertices[0] = {{1, 2, 3}, {4, 5, 6}};
    def.MeshAttributes.push_back(7);  // one attribute too many
    std::vector<uint8_t> bytes = {1, 2, 3};
    ByteWriter out(bytes);
    try {
        test::WriteReported(WriteVersion204, doc, out, TQWZSaveParams{});
        FAIL() << "lists of different lengths were written";
    } catch (const FormatError& e) {
        EXPECT_EQ(e.kind(), FormatError::Kind::Unwritable);
    }
    EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3}));
}

}  // namespace
}  // namespace qwz
