#include "format/Klasaqwz.h"

#include "bytes/FormatError.h"
#include "format/VersionTable.h"
#include "support/Bytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace qwz {
namespace {

// A loaded document of `version` with one mesh of `vertices` vertices at
// (1, 2, 3) and `faces` faces using vertex 0.
void Fill(KlasaQwz& doc, int version, size_t vertices, size_t faces) {
    doc.Version = uint8_t(version);
    doc.Loaded = true;
    DefinicjaObiektu& def = *doc.GetDefinition();
    def.AddMesh("M");
    def.Vertices[0].assign(vertices, CpunktF{1, 2, 3});
    def.Faces[0].assign(faces, CfaceF{});
}

class OpaqueBlock : public TKontenerQwz {
public:
    OpaqueBlock() { kind_ = EKontenerTyp(9); }
    bool Write(ByteWriter& out, const TQWZSaveParams&) override {
        out.u8(9);
        out.i32(1);
        out.u8(0);
        return true;
    }
};

TEST(SaveDispatch, AutomaticTargetMovesTo203ForALargeMesh) {
    const TQWZSaveParams params;
    KlasaQwz large;
    Fill(large, 201, 32768, 1);
    std::vector<uint8_t> bytes = large.SaveBytes(0, params);
    EXPECT_EQ(bytes[3], 203);
    EXPECT_EQ(large.Version, 203);

    KlasaQwz fits;
    Fill(fits, 201, 32767, 32767);
    bytes = fits.SaveBytes(0, params);
    EXPECT_EQ(bytes[3], 202);
    EXPECT_EQ(fits.Version, 201);
    EXPECT_EQ(fits.VertexScale, 10000.0f);  // extent 3

    // an explicit 202 is never raised: the layout cannot hold the mesh
    KlasaQwz asked;
    Fill(asked, 201, 32768, 1);
    EXPECT_THROW(asked.SaveBytes(202, params), FormatError);
    EXPECT_EQ(asked.Version, 201);
}

TEST(SaveDispatch, AutomaticTargetMovesTo203ForExtraData) {
    KlasaQwz doc;
    Fill(doc, 202, 3, 1);
    doc.GetDefinition()->Containers.Add(TKontenerPtr(new OpaqueBlock));
    const std::vector<uint8_t> bytes = doc.SaveBytes(0, TQWZSaveParams{});
    EXPECT_EQ(bytes[3], 203);
    EXPECT_EQ(bytes.back(), 0);  // the block's last byte ends the file
    EXPECT_EQ(doc.Version, 203);
}

TEST(SaveDispatch, Target201IsWrittenAs202AndKeptInTheDocument) {
    KlasaQwz doc;
    Fill(doc, 203, 3, 1);
    std::vector<uint8_t> bytes = doc.SaveBytes(201, TQWZSaveParams{});
    EXPECT_EQ(bytes[3], 202);
    EXPECT_EQ(doc.Version, 201);
    // the target is one byte: 256 + 203 is 203
    bytes = doc.SaveBytes(256 + 203, TQWZSaveParams{});
    EXPECT_EQ(bytes[3], 203);
    EXPECT_EQ(doc.Version, 203);
}

// Each written version through the table: the file carries that version's
// byte and reads back as it, keeps the extra-data block exactly when the
// layout has the tail, and its vertices come back, which for 16-bit vertices
// needs the vertex scale chosen first (the document's own scale would lose
// them); a float layout leaves the scale alone.
TEST(SaveDispatch, EveryWrittenVersionIsWrittenInItsOwnLayout) {
    for (int version : WrittenVersions()) {
        SCOPED_TRACE(version);
        const VersionLayout& layout = *FindVersion(version);
        KlasaQwz doc;
        Fill(doc, 204, 3, 1);
        doc.VertexScale = 0.5f;
        doc.GetDefinition()->Containers.Add(TKontenerPtr(new OpaqueBlock));
        const std::vector<uint8_t> bytes = doc.SaveBytes(layout.version, TQWZSaveParams{});
        EXPECT_EQ(bytes[3], layout.version);
        EXPECT_EQ(doc.Version, layout.version);
        EXPECT_EQ(doc.VertexScale != 0.5f, layout.int16Vertices);
        KlasaQwz back;
        EXPECT_EQ(back.LoadBytes(bytes.data(), bytes.size()), layout.version);
        EXPECT_EQ(back.GetDefinition()->Containers.KindCount(), layout.extraTail ? 1u : 0u);
        EXPECT_EQ(back.GetDefinition()->Vertices[0][0], (CpunktF{1, 2, 3}));
    }
}

// Never written as another version: the document, and the loaded buffer the
// next file is written into, stay as they were.
TEST(SaveDispatch, ATargetAboveTheNewestWriterIsRefused) {
    KlasaQwz source;
    Fill(source, 204, 3, 1);
    const std::vector<uint8_t> file = source.SaveBytes(204, TQWZSaveParams{});
    for (int target : {205, 255, 256 + 205}) {
        SCOPED_TRACE(target);
        KlasaQwz doc;
        ASSERT_EQ(doc.LoadBuffer(std::vector<uint8_t>(file)), 204);
        const float scale = doc.VertexScale;
        try {
            doc.SaveBytes(target, TQWZSaveParams{});
            ADD_FAILURE() << "written";
        } catch (const FormatError& e) {
            EXPECT_EQ(e.kind(), FormatError::Kind::Unwritable);
            EXPECT_EQ(std::string(e.what()), "nieobsługiwana wersja docelowa " + std::to_string(target % 256) +
                                                 " (zapisywane: 202, 203, 204)");
        }
        EXPECT_EQ(doc.Version, 204);
        EXPECT_EQ(doc.VertexScale, scale);
        EXPECT_EQ(doc.SaveBytes(204, TQWZSaveParams{}), file);
    }
    // A document of an unknown version has no automatic target either.
    KlasaQwz unknown;
    const std::vector<uint8_t> v205 = test::Bytes().magic(205).zeros(40);
    ASSERT_EQ(unknown.LoadBytes(v205.data(), v205.size()), 205);
    EXPECT_THROW(unknown.SaveBytes(0, TQWZSaveParams{}), FormatError);
}

}  // namespace
}  // namespace qwz
