#include "model/Definicjaobiektu.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qwz {
namespace {

uint32_t Bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

class OpaqueBlock : public TKontenerQwz {
public:
    explicit OpaqueBlock(int kind) { SetKind(EKontenerTyp(kind)); }
};

TEST(DefinicjaObiektu, ClearEmptiesListsResetsBoxAndKeepsContainersAndReference) {
    DefinicjaObiektu def;
    def.RefPoint[0] = 7;
    def.AddMesh("m");
    def.Vertices[0].push_back({1, 2, 3});
    def.Faces[0].push_back({});
    def.LineGroup().Resize(2);
    def.Lines[1].push_back({});
    def.PolyGroup().Resize(1);
    def.CircleGroup().Resize(1);
    def.ArcGroup().Resize(1);
    def.UVs.emplace_back();
    def.Containers.Add(TKontenerPtr(new OpaqueBlock(9)));

    def.Clear();

    EXPECT_TRUE(def.MeshNames.empty() && def.MeshAttributes.empty());
    EXPECT_TRUE(def.Vertices.empty() && def.Faces.empty() && def.UVs.empty());
    EXPECT_TRUE(def.LineNames.empty() && def.LineAttributes.empty() && def.Lines.empty());
    EXPECT_TRUE(def.PolyNames.empty() && def.Polys.empty());
    EXPECT_TRUE(def.CircleNames.empty() && def.Circles.empty());
    EXPECT_TRUE(def.ArcNames.empty() && def.Arcs.empty());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Bits(def.BoxMin[i]), 0x7E967699u);
        EXPECT_EQ(Bits(def.BoxMax[i]), 0xFE967699u);
    }
    EXPECT_EQ(def.RefPoint[0], 7.0f);
    EXPECT_EQ(def.Containers.KindCount(), 1u);
}

TEST(DefinicjaObiektu, AddMeshTwiceWithTheSameName) {
    DefinicjaObiektu def;
    def.AddMesh("a");
    def.AddMesh("a");
    ASSERT_EQ(def.MeshNames.size(), 2u);
    EXPECT_EQ(def.MeshNames[1], "a");
    EXPECT_EQ(def.MeshAttributes, (std::vector<int32_t>{-1, -1}));
    EXPECT_EQ(def.Vertices.size(), 2u);
    EXPECT_EQ(def.Faces.size(), 2u);
    EXPECT_TRUE(def.Vertices[1].empty() && def.Faces[1].empty());
}

TEST(DefinicjaObiektu, ResizingAGroupKeepsItsListsParallel) {
    DefinicjaObiektu def;
    auto group = def.ArcGroup();
    group.Resize(3);
    EXPECT_EQ(def.ArcNames.size(), 3u);
    EXPECT_EQ(def.ArcAttributes, (std::vector<int32_t>{0, 0, 0}));
    EXPECT_EQ(def.Arcs.size(), 3u);
    EXPECT_EQ(group.Count(), 3u);
}

TEST(ContainerMap, WalksKindsAscendingAndKeepsOrderWithinAKind) {
    TQwzKontMap map;
    TKontenerPtr b5(new OpaqueBlock(5)), b3a(new OpaqueBlock(3)), b1(new OpaqueBlock(1)),
        b3b(new OpaqueBlock(3)), b255(new OpaqueBlock(255)), b0(new OpaqueBlock(0));
    for (auto& b : {b5, b3a, b1, b3b, b255, b0}) map.Add(b);

    std::vector<TKontenerQwz*> walked;
    for (const auto& [kind, list] : map)
        for (const auto& block : list) walked.push_back(block.get());
    EXPECT_EQ(walked, (std::vector<TKontenerQwz*>{b0.get(), b1.get(), b3a.get(), b3b.get(),
                                                  b5.get(), b255.get()}));
    EXPECT_EQ(map.KindCount(), 5u);
}

TEST(ContainerBase, DefaultsAndKeepRule) {
    TKontenerQwz base;
    EXPECT_EQ(base.GetKind(), TKontenerQwz::ktNone);
    EXPECT_EQ(base.Size(), 0);
    std::vector<uint8_t> buf;
    ByteWriter out(buf);
    TQWZSaveParams params;
    EXPECT_FALSE(base.Write(out, params));
    params.KeepOtherExtra = false;
    EXPECT_FALSE(base.IsKept(params));
}

}  // namespace
}  // namespace qwz
