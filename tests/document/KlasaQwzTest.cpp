#include "document/Klasaqwz.h"
#include "support/Bytes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace qwz {
namespace {

using test::Bytes;
using test::TempDir;

TEST(KlasaQwz, NewDocumentDefaults) {
    KlasaQwz doc;
    EXPECT_EQ(doc.Version, 204);
    EXPECT_FALSE(doc.Loaded);
    EXPECT_EQ(doc.VertexScale, 0.1f);
    EXPECT_TRUE(doc.GetDefinition());
    doc.Definition.reset();
    EXPECT_TRUE(doc.GetDefinition());  // recreated on demand
}

TEST(KlasaQwz, HeaderProbeRefusesWhatIsNotAQwzFile) {
    TempDir dir;
    KlasaQwz doc;
    EXPECT_EQ(doc.ReadHeader(dir.path() / "missing.qwz"), -1);
    EXPECT_EQ(doc.ReadHeader(dir.path()), -1);  // a directory is not a file
    EXPECT_EQ(doc.ReadHeader(dir.write("short.qwz", Bytes().u8('Q').u8('W').u8('Z'))), -1);
    EXPECT_EQ(doc.ReadHeader(dir.write("qwa.qwz", Bytes().u8('Q').u8('W').u8('A').u8(204))), -1);
    EXPECT_EQ(doc.ReadHeader(dir.write("lower.qwz", Bytes().u8('q').u8('w').u8('z').u8(204))), -1);
    EXPECT_EQ(doc.Version, 204);
    EXPECT_EQ(doc.ReadHeader(dir.write("v7.qwz", Bytes().magic(7))), 7);
    EXPECT_EQ(doc.Version, 7);
}

TEST(KlasaQwz, LoadOfAFileWithoutMagicLeavesTheDocumentAlone) {
    TempDir dir;
    KlasaQwz doc;
    EXPECT_EQ(doc.Load(dir.write("bad.qwz", Bytes().u8('Q').u8('W').u8('X').u8(203))), 0);
    EXPECT_EQ(doc.Version, 204);
    EXPECT_FALSE(doc.Loaded);
    EXPECT_EQ(doc.Load(dir.path() / "missing.qwz"), 0);
}

TEST(KlasaQwz, UnknownVersionLoadsNoContentButCountsAsLoaded) {
    TempDir dir;
    KlasaQwz doc;
    EXPECT_EQ(doc.Load(dir.write("v205.qwz", Bytes().magic(205).zeros(40))), 205);
    EXPECT_TRUE(doc.Loaded);
    EXPECT_TRUE(doc.GetDefinition()->MeshNames.empty());
}

TEST(KlasaQwz, VersionAboveTheLimitIsNotLoaded) {
    TempDir dir;
    KlasaQwz doc;
    EXPECT_EQ(doc.Load(dir.write("v203.qwz", Bytes().magic(203)), 202), 0);
    EXPECT_EQ(doc.Version, 203);
    EXPECT_FALSE(doc.Loaded);
}

}  // namespace
}  // namespace qwz
