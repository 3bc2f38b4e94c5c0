// Mesh groups large enough that they are read and encoded on several
// threads: every field must land where a writer working mesh by mesh would
// put it, reports must come in mesh order, and a refusal must name the
// first mesh that does not fit and leave the buffer as it was.
#include "bytes/FormatError.h"
#include "format/Klasaqwz.h"
#include "format/MeshGroup204.h"
#include "format/Version202.h"
#include "format/Version203.h"
#include "platform/DebugOutput.h"
#include "platform/MessageBox.h"
#include "support/Bytes.h"
#include "support/LargeMeshes.h"

#include <gtest/gtest.h>

#include "support/Reported.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace qwz {
namespace {

using test::Bytes;

// Replaces the message box and the debug output while it lives.
class Reports {
public:
    Reports() {
        boxes_ = platform::SetMessageSink(
            [this](const std::string& text, const std::string&, platform::MessageIcon) { shown.push_back(text); });
        debug_ = platform::SetDebugSink([this](std::string_view text, bool) { debug.emplace_back(text); });
    }
    ~Reports() {
        platform::SetMessageSink(boxes_);
        platform::SetDebugSink(debug_);
    }
    Reports(const Reports&) = delete;
    Reports& operator=(const Reports&) = delete;
    std::vector<std::string> shown, debug;

private:
    platform::MessageSink boxes_;
    platform::DebugSink debug_;
};

Bytes& Put(Bytes& b, uint32_t v, unsigned width) {
    switch (width) {
    case 1: return b.u8(v);
    case 2: return b.u16(v);
    case 3: return b.u24(v);
    default: return b.u32(v);
    }
}

unsigned Width204(size_t vertexCount) {
    return vertexCount <= 0xFF ? 1 : vertexCount <= 0xFFFF ? 2 : vertexCount <= 0xFFFFFF ? 3 : 4;
}

// The stored integer of a coordinate: truncated toward zero at the scale.
int Quantum(float value, float scale) { return int(std::trunc(double(value) * double(scale))); }

bool SameBits(const CpunktF& a, const CpunktF& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The 204 mesh group of `def`, field by field.
std::vector<uint8_t> Expected204(const DefinicjaObiektu& def) {
    Bytes b;
    b.i32(int32_t(def.MeshNames.size()));
    for (size_t m = 0; m < def.MeshNames.size(); ++m) {
        const vcV& vertices = def.Vertices[m];
        const unsigned w = Width204(vertices.size());
        b.name(def.MeshNames[m]).i32(def.MeshAttributes[m]).i32(int32_t(vertices.size()));
        for (const CpunktF& v : vertices) b.f32(v.x).f32(v.y).f32(v.z);
        b.i32(int32_t(def.Faces[m].size()));
        for (const CfaceF& face : def.Faces[m]) b.u8(face.flag);
        for (const CfaceF& face : def.Faces[m])
            for (int32_t index : face.indices) Put(b, uint32_t(index), w);
    }
    return b.vec();
}

// A whole version 202 or 203 file of a document with meshes and nothing
// else, its reference point at the origin.
std::vector<uint8_t> ExpectedOld(const KlasaQwz& doc, unsigned version) {
    const DefinicjaObiektu& def = *doc.Definition;
    const unsigned w = version == 203 ? 3 : 2;
    const float scale = doc.VertexScale;
    Bytes b;
    b.magic(version).i16(0).i16(0).i16(0).i32(0).i32(0).i32(0).i32(0);
    b.f32(scale).f32(0).f32(0).f32(0);
    if (version == 203) b.i32(int32_t(def.MeshNames.size()));
    else b.u8(unsigned(def.MeshNames.size()));
    for (size_t m = 0; m < def.MeshNames.size(); ++m) {
        b.name(def.MeshNames[m]).i32(def.MeshAttributes[m]).zeros(57).i16(1).i16(1);
        Put(b, uint32_t(def.Vertices[m].size()), w);
        for (const CpunktF& v : def.Vertices[m])
            b.i16(Quantum(v.x, scale)).i16(Quantum(v.y, scale)).i16(Quantum(v.z, scale));
        Put(b, uint32_t(def.Faces[m].size()), w);
        for (const CfaceF& face : def.Faces[m]) b.u8(face.flag);
        for (const CfaceF& face : def.Faces[m])
            for (int32_t index : face.indices) Put(b, uint32_t(index), w);
    }
    return b.vec();
}

// The first difference between the names, attributes, flags and indices of
// two documents' meshes, or "" when there is none. Every corner of `back`
// must be the vertex its index names, or zero for an index that names none.
std::string MeshDifference(const DefinicjaObiektu& def, const DefinicjaObiektu& back) {
    if (back.MeshNames != def.MeshNames) return "names";
    if (back.MeshAttributes != def.MeshAttributes) return "attributes";
    if (back.Vertices.size() != def.Vertices.size() || back.Faces.size() != def.Faces.size()) return "lists";
    for (size_t m = 0; m < def.Faces.size(); ++m) {
        const std::string at = "mesh " + std::to_string(m);
        if (back.Vertices[m].size() != def.Vertices[m].size()) return at + " vertex count";
        if (back.Faces[m].size() != def.Faces[m].size()) return at + " face count";
        for (size_t f = 0; f < def.Faces[m].size(); ++f) {
            const CfaceF& face = back.Faces[m][f];
            if (face.flag != def.Faces[m][f].flag) return at + " face " + std::to_string(f) + " flag";
            if (face.indices != def.Faces[m][f].indices) return at + " face " + std::to_string(f) + " indices";
            for (size_t k = 0; k < 4; ++k) {
                const uint32_t index = uint32_t(face.indices[k]);
                const CpunktF named = index < back.Vertices[m].size() ? back.Vertices[m][index] : CpunktF{};
                if (!SameBits(back.Corner(m, face, int(k)), named))
                    return at + " face " + std::to_string(f) + " corner " + std::to_string(k);
            }
        }
    }
    return "";
}

DefinicjaObiektu& LargeGroup(DefinicjaObiektu& def) {
    test::AddMeshes(def, test::kLargeShapes, 1000.0f, 1);
    // values a float copy keeps but arithmetic would not
    def.Vertices[0][0] = {-0.0f, 1e-42f, std::nanf("0x2a")};
    def.Vertices[11][19999] = {INFINITY, -INFINITY, -0.0f};
    return def;
}

TEST(LargeMeshGroup204, EveryFieldLandsInPlaceAndComesBack) {
    DefinicjaObiektu def;
    LargeGroup(def);
    const std::vector<uint8_t> expected = Expected204(def);

    // appended after bytes already in the buffer
    const std::vector<uint8_t> before(37, 0x5A);
    std::vector<uint8_t> bytes = before;
    {
        Reports reports;
        ByteWriter out(bytes);
        test::WriteMeshes204(def, out);
        EXPECT_TRUE(reports.debug.empty());
        EXPECT_TRUE(reports.shown.empty());
    }
    ASSERT_EQ(bytes.size(), before.size() + expected.size());
    EXPECT_EQ(test::Meshes204Size(def), expected.size());
    EXPECT_TRUE(std::equal(before.begin(), before.end(), bytes.begin()));
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin() + long(before.size())))
        << "the mesh group differs from its layout";

    DefinicjaObiektu back;
    ByteReader in(bytes.data() + before.size(), bytes.size() - before.size());
    test::ReadMeshes204(back, in);
    EXPECT_TRUE(in.atEnd());
    EXPECT_EQ(MeshDifference(def, back), "");
    for (size_t m = 0; m < def.Vertices.size(); ++m)
        EXPECT_EQ(std::memcmp(back.Vertices[m].data(), def.Vertices[m].data(),
                              def.Vertices[m].size() * sizeof(CpunktF)),
                  0)
            << "vertices of mesh " << m;

    std::vector<uint8_t> again;
    ByteWriter out(again);
    test::WriteMeshes204(back, out);
    EXPECT_TRUE(again == expected) << "written again, the group is not the same";
}

// Bad indices in the last face of mesh 3 (70,000 vertices) and the first
// faces of mesh 4 (256 vertices), which is encoded alongside it: a report
// sent as soon as its index is met would come out of mesh order.
void SpoilIndices(DefinicjaObiektu& def, int32_t inMesh9) {
    def.Faces[1][19999].indices[1] = 255;  // 200 vertices
    def.Faces[3][19999].indices[3] = 70000;
    def.Faces[4][0].indices[0] = 256;
    def.Faces[4][1].indices[2] = 300;
    def.Faces[9][3].indices[0] = 20000;
    def.Faces[9][10000].indices[2] = inMesh9;
}

TEST(LargeMeshGroup204, BadIndicesAreReportedInMeshOrderAndShownOnce) {
    DefinicjaObiektu def;
    test::AddMeshes(def, test::kLargeShapes, 1000.0f, 2);
    SpoilIndices(def, 65535);
    const std::vector<std::string> lines = {"255 >= 200", "70000 >= 70000", "256 >= 256", "300 >= 256",
                                            "20000 >= 20000", "65535 >= 20000"};

    std::vector<uint8_t> first;
    for (int round = 0; round < 5; ++round) {
        Reports reports;
        std::vector<uint8_t> bytes;
        ByteWriter out(bytes);
        test::WriteMeshes204(def, out);
        ASSERT_EQ(reports.debug, lines) << "round " << round;
        ASSERT_EQ(reports.shown, std::vector<std::string>{"255 >= 200"}) << "round " << round;
        if (round == 0) first = bytes;
        else ASSERT_TRUE(bytes == first) << "round " << round;
    }

    // the indices are written as they are; their corners read back as zero
    DefinicjaObiektu back;
    ByteReader in(first.data(), first.size());
    test::ReadMeshes204(back, in);
    EXPECT_EQ(MeshDifference(def, back), "");
    EXPECT_EQ(back.Corner(9, back.Faces[9][10000], 2), CpunktF{});
}

using WriteFunction = test::Writer;

struct OldVersion {
    unsigned version;
    WriteFunction write;
    const std::vector<test::MeshShape>* shapes;
    uint32_t indexLimit;  // the first index the layout's field cannot hold
};

const OldVersion kOldVersions[] = {
    {203, WriteVersion203, &test::kLargeShapes, 1u << 24},
    {202, WriteVersion202, &test::kShapesFor202, 1u << 16},
};

// Coordinates within +-300 at scale 100: every one fits 16 bits.
void FillOld(KlasaQwz& doc, const OldVersion& layout, uint64_t seed) {
    doc.VertexScale = 100.0f;
    test::AddMeshes(*doc.GetDefinition(), *layout.shapes, 300.0f, seed);
}

TEST(LargeOldMeshGroups, EveryFieldLandsInPlaceAndComesBack) {
    for (const OldVersion& layout : kOldVersions) {
        SCOPED_TRACE("version " + std::to_string(layout.version));
        KlasaQwz doc;
        FillOld(doc, layout, 3);
        const DefinicjaObiektu& def = *doc.GetDefinition();
        const std::vector<uint8_t> expected = ExpectedOld(doc, layout.version);

        const std::vector<uint8_t> before(19, 0xC3);
        std::vector<uint8_t> bytes = before;
        ByteWriter out(bytes);
        test::WriteReported(layout.write, doc, out, TQWZSaveParams{});
        ASSERT_EQ(bytes.size(), before.size() + expected.size());
        EXPECT_TRUE(std::equal(before.begin(), before.end(), bytes.begin()));
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin() + long(before.size())))
            << "the file differs from its layout";
        bytes.erase(bytes.begin(), bytes.begin() + long(before.size()));

        KlasaQwz back;
        ASSERT_EQ(back.LoadBytes(bytes.data(), bytes.size()), layout.version);
        const DefinicjaObiektu& read = *back.GetDefinition();
        EXPECT_EQ(MeshDifference(def, read), "");
        // each coordinate comes back as a value that stores the same
        // integer, less than a quantum from where it was
        int wrong = 0;
        for (size_t m = 0; m < def.Vertices.size() && m < read.Vertices.size(); ++m)
            for (size_t j = 0; j < def.Vertices[m].size() && j < read.Vertices[m].size(); ++j) {
                const CpunktF& a = def.Vertices[m][j];
                const CpunktF& r = read.Vertices[m][j];
                for (auto [x, y] : {std::pair{a.x, r.x}, std::pair{a.y, r.y}, std::pair{a.z, r.z}})
                    if (Quantum(x, 100.0f) != Quantum(y, 100.0f) || std::fabs(x - y) >= 0.01f) {
                        if (++wrong <= 3) ADD_FAILURE() << "mesh " << m << " vertex " << j << ": " << x << " read as " << y;
                    }
            }
        EXPECT_EQ(wrong, 0);

        std::vector<uint8_t> again;
        ByteWriter out2(again);
        test::WriteReported(layout.write, back, out2, TQWZSaveParams{});
        EXPECT_TRUE(again == bytes) << "written again, the file is not the same";
    }
}

// A version 201 file holds the 202 mesh group after a shorter start; its
// corners come out shifted by its reference point (12.3, -4.5, 0.7).
TEST(LargeOldMeshGroups, CornersOf201AreShiftedByTheReferencePoint) {
    KlasaQwz doc;
    FillOld(doc, kOldVersions[1], 6);
    const std::vector<uint8_t> file202 = ExpectedOld(doc, 202);
    // the four empty groups of 202 (16 bytes at 10) become an empty list of
    // skipped records
    std::vector<uint8_t> bytes = Bytes().magic(201).i16(123).i16(-45).i16(7).i32(0).vec();
    bytes.insert(bytes.end(), file202.begin() + 26, file202.end());

    KlasaQwz back;
    ASSERT_EQ(back.LoadBytes(bytes.data(), bytes.size()), 201);
    const DefinicjaObiektu& def = *back.GetDefinition();
    ASSERT_EQ(def.Faces.size(), doc.GetDefinition()->Faces.size());
    const float shift[3] = {float(123 * 0.1), float(-45 * 0.1), float(7 * 0.1)};
    int wrong = 0;
    for (size_t m = 0; m < def.Faces.size(); ++m) {
        ASSERT_EQ(def.Faces[m].size(), doc.GetDefinition()->Faces[m].size());
        for (size_t f = 0; f < def.Faces[m].size(); ++f)
            for (size_t k = 0; k < 4; ++k) {
                const int32_t index = def.Faces[m][f].indices[k];
                ASSERT_EQ(index, doc.GetDefinition()->Faces[m][f].indices[k]);
                const CpunktF& v = def.Vertices[m][size_t(index)];
                const CpunktF shifted{v.x - shift[0], v.y - shift[1], v.z - shift[2]};
                if (!SameBits(def.Corner(m, def.Faces[m][f], int(k)), shifted) && ++wrong <= 3)
                    ADD_FAILURE() << "mesh " << m << " face " << f << " corner " << k;
            }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(LargeOldMeshGroups, BadIndicesOf203GoToTheDebugOutputInMeshOrder) {
    KlasaQwz doc;
    FillOld(doc, kOldVersions[0], 4);
    DefinicjaObiektu& def = *doc.GetDefinition();
    SpoilIndices(def, 16777215);
    const std::vector<std::string> lines = {"255 >= 200", "70000 >= 70000", "256 >= 256", "300 >= 256",
                                            "20000 >= 20000", "16777215 >= 20000"};
    for (int round = 0; round < 5; ++round) {
        Reports reports;
        std::vector<uint8_t> bytes;
        ByteWriter out(bytes);
        test::WriteReported(WriteVersion203, doc, out, TQWZSaveParams{});
        ASSERT_EQ(reports.debug, lines) << "round " << round;
        EXPECT_TRUE(reports.shown.empty());
    }
    // Loaded with its meshes left in the bytes and written again, its faces
    // go over as they lie: the same lines, the same bytes.
    std::vector<uint8_t> first;
    ByteWriter firstOut(first);
    test::WriteReported(WriteVersion203, doc, firstOut, TQWZSaveParams{});
    KlasaQwz lazy;
    ReadResult left;
    ASSERT_EQ(lazy.LoadBytes(first.data(), first.size(), 0, test::LeaveInBytes(), &left), 203);
    ASSERT_TRUE(left.meshes);
    Reports reports;
    std::vector<uint8_t> again;
    ByteWriter againOut(again);
    test::WriteReported(WriteVersion203, lazy, againOut, TQWZSaveParams{}, left.meshes.get());
    EXPECT_EQ(reports.debug, lines);
    EXPECT_TRUE(again == first);
}

// A mesh left in the file's bytes is refused where a built one is, in the
// same words: an index that a narrower layout cannot hold, a coordinate that
// does not fit at another scale.
TEST(LargeOldMeshGroups, MeshesLeftInTheBytesAreRefusedInTheSameWords) {
    KlasaQwz doc;
    FillOld(doc, kOldVersions[1], 5);
    doc.GetDefinition()->Faces[2][19999].indices[3] = 70000;  // three bytes, not two
    doc.GetDefinition()->Vertices[2][19999].x = 327.0f;  // the one coordinate beyond 300
    std::vector<uint8_t> file;
    {
        Reports quiet;
        ByteWriter out(file);
        test::WriteReported(WriteVersion203, doc, out, TQWZSaveParams{});
    }
    const struct {
        const char* what;
        WriteFunction write;
        float scale;
        std::string named;
    } cases[] = {
        {"to 202", WriteVersion202, 100.0f, "siatka nr 3 (mesh 2): ściana 19999, indeks 70000 "},
        {"at a scale too large", WriteVersion203, 1e6f, "siatka nr 1 (mesh 0): wierzchołek "},
        {"far into a mesh", WriteVersion203, 100.5f, "siatka nr 3 (mesh 2): wierzchołek 19999, X = 327 "},
    };
    for (const auto& c : cases) {
        std::string words[2];
        for (const bool lazy : {false, true}) {
            KlasaQwz back;
            ReadResult read;
            Reports quiet;
            ASSERT_EQ(back.LoadBytes(file.data(), file.size(), 0, lazy ? test::LeaveInBytes() : ReadOptions{}, &read),
                      203);
            ASSERT_EQ(bool(read.meshes), lazy);
            back.VertexScale = c.scale;
            std::vector<uint8_t> bytes;
            ByteWriter out(bytes);
            try {
                test::WriteReported(c.write, back, out, TQWZSaveParams{}, read.meshes.get());
            } catch (const FormatError& e) {
                words[lazy] = e.what();
            }
        }
        EXPECT_EQ(words[1], words[0]) << c.what;
        EXPECT_EQ(words[0].substr(0, c.named.size()), c.named) << c.what;
    }
}

// Two meshes that do not fit, the 3rd and the 9th ("siatka nr 3" and
// "siatka nr 9"): the 3rd is named every time, whichever is met first.
TEST(LargeOldMeshGroups, TheFirstMeshThatDoesNotFitIsNamedAndTheBufferIsLeftAsItWas) {
    struct Case {
        const char* what;
        std::function<void(DefinicjaObiektu&, uint32_t limit)> spoil;
        std::string named;  // expected at the start of the message; "#" stands for the index limit
        bool only202;
    };
    const Case cases[] = {
        {"vertices too large",
         [](DefinicjaObiektu& def, uint32_t) {
             def.Vertices[2][19999].y = 400.0f;
             def.Vertices[8][0].x = -400.0f;
         },
         "siatka nr 3 (mesh 2): wierzchołek 19999, Y = 400 ", false},
        {"indices too wide",
         [](DefinicjaObiektu& def, uint32_t limit) {
             def.Faces[2][19999].indices[3] = int32_t(limit);
             def.Faces[8][0].indices[0] = int32_t(limit + 1);
         },
         "siatka nr 3 (mesh 2): ściana 19999, indeks #", false},
        {"an index too wide, later a vertex too large",
         [](DefinicjaObiektu& def, uint32_t limit) {
             def.Faces[2][19999].indices[3] = int32_t(limit);
             def.Vertices[8][0].x = -400.0f;
         },
         "siatka nr 3 (mesh 2): ściana 19999, indeks #", false},
        {"in one mesh, vertices before indices",
         [](DefinicjaObiektu& def, uint32_t limit) {
             def.Faces[2][0].indices[0] = int32_t(limit);
             def.Vertices[2][19999].z = 400.0f;
             def.Faces[8][0].indices[0] = int32_t(limit);
         },
         "siatka nr 3 (mesh 2): wierzchołek 19999, Z = 400 ", false},
        {"too many faces",
         [](DefinicjaObiektu& def, uint32_t) {
             def.Faces[2].resize(32768);
             def.Vertices[8][0].x = -400.0f;
         },
         "siatka nr 3 (mesh 2): 32768 ścian", true},
        {"too many vertices",
         [](DefinicjaObiektu& def, uint32_t) {
             def.Vertices[2].resize(32768);
             def.Faces[8].resize(32768);
         },
         "siatka nr 3 (mesh 2): 32768 wierzchołków", true},
    };
    for (const OldVersion& layout : kOldVersions)
        for (const Case& c : cases) {
            if (c.only202 && layout.version != 202) continue;
            SCOPED_TRACE("version " + std::to_string(layout.version) + ", " + c.what);
            KlasaQwz doc;
            FillOld(doc, layout, 5);
            DefinicjaObiektu& def = *doc.GetDefinition();
            def.Faces[0][5].indices[1] = 20000;  // a report a finished write would have sent
            c.spoil(def, layout.indexLimit);
            std::string named = c.named;
            if (const size_t hash = named.find('#'); hash != std::string::npos)
                named.replace(hash, 1, std::to_string(layout.indexLimit));

            for (int round = 0; round < 6; ++round) {
                std::vector<uint8_t> bytes;
                if (round % 2) bytes.assign(1000, uint8_t(round));
                const std::vector<uint8_t> before = bytes;
                Reports reports;
                ByteWriter out(bytes);
                try {
                    test::WriteReported(layout.write, doc, out, TQWZSaveParams{});
                    ADD_FAILURE() << "written";
                } catch (const FormatError& e) {
                    EXPECT_EQ(e.kind(), FormatError::Kind::Unwritable);
                    ASSERT_EQ(std::string(e.what()).substr(0, named.size()), named)
                        << "round " << round << ": " << e.what();
                }
                EXPECT_TRUE(bytes == before) << "round " << round << ": the buffer was changed";
                EXPECT_TRUE(reports.debug.empty()) << reports.debug.front();
            }
        }
}

}  // namespace
}  // namespace qwz
