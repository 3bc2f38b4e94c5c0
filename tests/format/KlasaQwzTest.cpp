#include "format/Klasaqwz.h"
#include "bytes/FormatError.h"
#include "platform/DebugOutput.h"
#include "support/Bytes.h"
#include "support/LargeMeshes.h"
#include "support/OldLayoutSamples.h"
#include "support/Reported.h"
#include "support/RichSample204.h"

#include <gtest/gtest.h>

namespace qwz {
namespace {

using test::Bytes;

TEST(KlasaQwz, NewDocumentDefaults) {
    KlasaQwz doc;
    EXPECT_EQ(doc.Version, 204);
    EXPECT_FALSE(doc.Loaded);
    EXPECT_EQ(doc.VertexScale, 0.1f);
    EXPECT_TRUE(doc.GetDefinition());
    doc.Definition.reset();
    EXPECT_TRUE(doc.GetDefinition());  // recreated on demand
}

// Bytes without the magic, in any case, leave the document as it was; a
// version that is not read loads no content but counts as loaded, and one
// above the limit asked for is not loaded.
TEST(KlasaQwz, TheHeaderDecidesWhatIsLoaded) {
    const std::vector<uint8_t> notQwz[] = {Bytes().u8('Q').u8('W').u8('Z'), Bytes().u8('Q').u8('W').u8('X').u8(203),
                                           Bytes().u8('q').u8('w').u8('z').u8(204)};
    for (const std::vector<uint8_t>& bytes : notQwz) {
        KlasaQwz doc;
        EXPECT_EQ(doc.LoadBytes(bytes.data(), bytes.size()), 0);
        EXPECT_EQ(doc.Version, 204);
        EXPECT_FALSE(doc.Loaded);
    }
    KlasaQwz unknown;
    const std::vector<uint8_t> v205 = Bytes().magic(205).zeros(40);
    EXPECT_EQ(unknown.LoadBytes(v205.data(), v205.size()), 205);
    EXPECT_TRUE(unknown.Loaded);
    EXPECT_TRUE(unknown.GetDefinition()->MeshNames.empty());
    KlasaQwz above;
    const std::vector<uint8_t> v203 = Bytes().magic(203);
    EXPECT_EQ(above.LoadBytes(v203.data(), v203.size(), 202), 0);
    EXPECT_EQ(above.Version, 203);
    EXPECT_FALSE(above.Loaded);
}

}  // namespace
}  // namespace qwz

namespace qwz {
namespace {

// The outcome of reading `bytes` one way: the version, or the error's text
// and offset.
template <class Read>
std::string Outcome(Read read) {
    try {
        return "version " + std::to_string(read());
    } catch (const FormatError& e) {
        return std::string(e.what()) + " @" + std::to_string(e.offset());
    }
}

// The walk that checks a written file accepts exactly what the load accepts,
// with the same error, for every cut of a rich file of every version; what
// it leaves is the meshes' names without their vertices and faces, and the
// extra-data blocks.
TEST(KlasaQwz, TheWalkAcceptsWhatTheLoadAcceptsWithTheSameError) {
    platform::DebugSink oldDebug = platform::SetDebugSink([](std::string_view, bool) {});
    const std::vector<std::vector<uint8_t>> files = {test::RichSample204().File(), test::Rich203(0x5A, 0xC3).vec(),
                                                     test::Rich202(0x5A, 0xC3).vec(), test::Rich201().vec()};
    for (const std::vector<uint8_t>& file : files) {
        for (size_t n = 0; n <= file.size(); ++n) {
            KlasaQwz loaded, walked;
            const std::string load = Outcome([&] { return loaded.LoadBytes(file.data(), n); });
            ASSERT_EQ(Outcome([&] { return walked.WalkBytes(file.data(), n); }), load)
                << "version " << int(file[3]) << " cut at " << n;
            if (n < file.size()) continue;
            const DefinicjaObiektu& def = *walked.GetDefinition();
            EXPECT_EQ(def.MeshNames, loaded.GetDefinition()->MeshNames);
            EXPECT_EQ(def.Containers.KindCount(), loaded.GetDefinition()->Containers.KindCount());
            EXPECT_EQ(def.Faces.size(), def.MeshNames.size());
            for (const vcF& faces : def.Faces) EXPECT_TRUE(faces.empty());
        }
    }
    // A large file walked while it gives back the pages walked past: the
    // same verdict and names as the load (a page given back before it was
    // walked would read as zeros).
    KlasaQwz large;
    large.VertexScale = 100.0f;
    test::AddMeshes(*large.GetDefinition(), test::kShapesFor202, 300.0f, 9);
    for (const int version : {204, 203, 202}) {
        std::vector<uint8_t> file = large.SaveBytes(version, TQWZSaveParams{});
        KlasaQwz loaded, walked;
        ASSERT_EQ(loaded.LoadBytes(file.data(), file.size()), version);
        ASSERT_EQ(walked.WalkBytes(file.data(), file.size(), true), version);
        EXPECT_EQ(walked.GetDefinition()->MeshNames, loaded.GetDefinition()->MeshNames) << version;
    }
    platform::SetDebugSink(oldDebug);
}

// A save that hands its file over a batch of meshes at a time, from meshes
// and records left in the bytes read (as a conversion's), gives the bytes of
// a whole save of the built document: batches of one mesh, a mesh larger
// than a batch, record lists carried and copied, for every layout written.
TEST(KlasaQwz, AStreamedSaveFromTheBytesReadGivesTheWholeSavesBytes) {
    platform::DebugSink oldDebug = platform::SetDebugSink([](std::string_view, bool) {});
    KlasaQwz source;
    DefinicjaObiektu& def = *source.GetDefinition();
    test::AddMeshes(def, test::kShapesFor202, 300.0f, 21);
    def.LineGroup().Resize(3);
    def.Lines[0].resize(9000);  // 432 KB: carried
    def.Lines[2].resize(5);
    for (size_t k = 0; k < def.Lines[0].size(); ++k) def.Lines[0][k].bytes[k % 48] = uint8_t(k);
    const std::vector<uint8_t> file = source.SaveBytes(204, TQWZSaveParams{});
    for (const int target : {204, 203, 202}) {
        KlasaQwz built;
        ASSERT_EQ(built.LoadBytes(file.data(), file.size()), 204);
        const std::vector<uint8_t> expected = built.SaveBytes(target, TQWZSaveParams{});

        KlasaQwz lazy;
        ReadResult left;
        ASSERT_EQ(lazy.LoadBytes(file.data(), file.size(), 0, test::LeaveInBytes(), &left), 204);
        ASSERT_TRUE(left.meshes);
        std::vector<uint8_t> streamed;
        size_t parts = 0;
        Warnings warnings;
        lazy.SaveStreamed(target, TQWZSaveParams{}, [&](const uint8_t* data, size_t size) {
            streamed.insert(streamed.end(), data, data + size);
            ++parts;
        }, *left.meshes, warnings);
        EXPECT_GT(parts, test::kShapesFor202.size()) << target;
        EXPECT_TRUE(streamed == expected) << target;
    }
    platform::SetDebugSink(oldDebug);
}

}  // namespace
}  // namespace qwz
