// A document loaded from a buffer it keeps writes its next file into that
// buffer's memory: the file must be the same as one written into fresh
// memory, whatever the loaded file held and however long it was, and also
// when the save gives the meshes back as they are written or builds them
// from the buffer only then.
#include "format/Klasaqwz.h"

#include "support/LargeMeshes.h"
#include "support/Reported.h"

#include <gtest/gtest.h>

#include <vector>

namespace qwz {
namespace {

std::vector<uint8_t> File204(const std::vector<test::MeshShape>& shapes, uint64_t seed) {
    KlasaQwz doc;
    test::AddMeshes(*doc.GetDefinition(), shapes, 300.0f, seed);
    return doc.SaveBytes(204, TQWZSaveParams{});
}

std::vector<uint8_t> ViaLoadBytes(const std::vector<uint8_t>& file, int target) {
    KlasaQwz doc;
    EXPECT_EQ(doc.LoadBytes(file.data(), file.size()), 204);
    return doc.SaveBytes(target, TQWZSaveParams{});
}

// Many vertices, few faces: the 203 file is about half the 204 one.
const std::vector<test::MeshShape> kVertexHeavy = {{60000, 1000}, {60000, 1000}, {60000, 1000}, {60000, 1000}};
// Few vertices, many faces: one-byte indices in 204, three in 203.
const std::vector<test::MeshShape> kFaceHeavy = {{200, 30000}, {200, 30000}, {200, 30000}, {200, 30000},
                                                  {200, 30000}, {200, 30000}, {200, 30000}, {200, 30000}};

TEST(LoadBuffer, TheNextFileIsTheSameAsFromFreshMemory) {
    const struct {
        const char* what;
        const std::vector<test::MeshShape>& shapes;
        int target;
    } cases[] = {
        {"larger source", kVertexHeavy, 203},
        {"smaller source", kFaceHeavy, 203},
        {"same size", kVertexHeavy, 204},
        {"smaller source, version 202", kFaceHeavy, 202},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<uint8_t> file = File204(c.shapes, 11);
        const std::vector<uint8_t> expected = ViaLoadBytes(file, c.target);
        ASSERT_GE(expected.size(), 4u);

        std::vector<uint8_t> source = file;
        const uint8_t* memory = source.data();
        KlasaQwz doc;
        ASSERT_EQ(doc.LoadBuffer(std::move(source)), 204);
        const std::vector<uint8_t> bytes = doc.SaveBytes(c.target, TQWZSaveParams{});
        EXPECT_EQ(bytes.size(), expected.size());
        EXPECT_TRUE(bytes == expected) << "the file differs from one written into fresh memory";
        if (expected.size() <= file.size()) {
            EXPECT_EQ(bytes.data(), memory) << "the loaded file's memory was not used";
        }
        if (c.target == 204) {
            EXPECT_TRUE(bytes == file);
        }

        // the buffer is used once; the next file comes from fresh memory
        EXPECT_TRUE(doc.SaveBytes(c.target, TQWZSaveParams{}) == expected);

        // a last save that gives each mesh back once written: the same
        // file, from a buffer whose decoded bytes were given back on loading
        KlasaQwz last;
        ASSERT_EQ(last.LoadBuffer(std::vector<uint8_t>(file)), 204);
        const size_t meshes = last.GetDefinition()->MeshNames.size();
        const MeshesInMemory givenBack(*last.GetDefinition(), last.GetDefinition().get());
        EXPECT_TRUE(last.SaveBytes(c.target, TQWZSaveParams{}, nullptr, &givenBack) == expected);
        const DefinicjaObiektu& def = *last.GetDefinition();
        EXPECT_EQ(def.MeshNames.size(), meshes);
        for (size_t m = 0; m < meshes; ++m) {
            EXPECT_TRUE(def.Vertices[m].empty() && def.Faces[m].empty()) << "mesh " << m << " kept";
        }

        // meshes left in the buffer, built by each save: the same file from
        // every save
        KlasaQwz lazy;
        ReadOptions leave;
        leave.meshes = ReadOptions::Meshes::LeaveInBytes;
        ReadResult left;
        ASSERT_EQ(lazy.LoadBuffer(std::vector<uint8_t>(file), 0, leave, &left), 204);
        ASSERT_TRUE(left.meshes);
        EXPECT_TRUE(lazy.SaveBytes(c.target, TQWZSaveParams{}, nullptr, left.meshes.get()) == expected);
        EXPECT_TRUE(lazy.SaveBytes(c.target, TQWZSaveParams{}, nullptr, left.meshes.get()) == expected);
    }
}

// A file that ends after its groups has no meshes to read from the
// buffer, but its records left there: a save must neither write over them
// nor free them by growing the buffer (a larger 203 file) before they are
// written.
TEST(LoadBuffer, RecordsLeftInTheBufferAreNotWrittenOver) {
    KlasaQwz source;
    DefinicjaObiektu& def = *source.GetDefinition();
    def.LineGroup().Resize(2);
    def.Lines[0].resize(40);
    for (size_t k = 0; k < 40; ++k) def.Lines[0][k].bytes[k] = uint8_t(k + 1);
    def.Lines[1].resize(1);
    std::vector<uint8_t> file = source.SaveBytes(204, TQWZSaveParams{});
    // Cut where the mesh group would start.
    file.resize(16 + 4 + 2 * 40 + 41 * 48 + 3 * 4);
    const std::vector<uint8_t> expected = ViaLoadBytes(file, 203);

    KlasaQwz lazy;
    ReadResult left;
    ASSERT_EQ(lazy.LoadBuffer(std::vector<uint8_t>(file), 0, test::LeaveInBytes(), &left), 204);
    ASSERT_FALSE(left.meshes);
    ASSERT_TRUE(lazy.GetDefinition()->RecordsInBytesLeft());
    EXPECT_TRUE(lazy.SaveBytes(203, TQWZSaveParams{}, nullptr, left.meshes.get()) == expected);
}

TEST(LoadBuffer, EachLoadReplacesTheKeptBuffer) {
    const std::vector<uint8_t> large = File204(kVertexHeavy, 12);
    const std::vector<uint8_t> small = File204({{300, 500}, {70000, 10}}, 13);
    const std::vector<uint8_t> expected = ViaLoadBytes(small, 203);

    KlasaQwz doc;
    ASSERT_EQ(doc.LoadBuffer(std::vector<uint8_t>(large)), 204);
    ASSERT_EQ(doc.LoadBuffer(std::vector<uint8_t>(small)), 204);
    EXPECT_TRUE(doc.SaveBytes(203, TQWZSaveParams{}) == expected);

    // a buffer that is no QWZ file loads nothing, and the file written after
    // it holds none of its bytes
    KlasaQwz other;
    ASSERT_EQ(other.LoadBytes(small.data(), small.size()), 204);
    EXPECT_EQ(other.LoadBuffer(std::vector<uint8_t>(large.size(), 0xEE)), 0);
    EXPECT_TRUE(other.SaveBytes(203, TQWZSaveParams{}) == expected);
}

}  // namespace
}  // namespace qwz
