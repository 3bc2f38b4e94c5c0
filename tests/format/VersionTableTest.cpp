#include "format/VersionTable.h"

#include <gtest/gtest.h>

#include "support/Reported.h"

namespace qwz {
namespace {

// What a layout holds decides an automatic target: 202 takes at most 32767
// vertices and faces in a mesh and no extra-data blocks; 203 takes both.
TEST(VersionTable, ALayoutHoldsWhatItsFieldsCanStore) {
    const VersionLayout& v202 = *FindVersion(202);
    const VersionLayout& v203 = *FindVersion(203);
    DefinicjaObiektu def;
    def.AddMesh("a");
    def.Vertices[0].resize(32767);
    def.Faces[0].resize(32767);
    EXPECT_TRUE(Holds(v202, def, MeshesInMemory(def)));
    def.Faces[0].resize(32768);
    EXPECT_FALSE(Holds(v202, def, MeshesInMemory(def)));
    EXPECT_TRUE(Holds(v203, def, MeshesInMemory(def)));
    def.Faces[0].resize(1);
    def.Vertices[0].resize(32768);
    EXPECT_FALSE(Holds(v202, def, MeshesInMemory(def)));

    def.Vertices[0].resize(1);
    def.Containers.Add(TKontenerPtr(new TKontenerQwz));
    EXPECT_FALSE(Holds(v202, def, MeshesInMemory(def)));
    EXPECT_TRUE(Holds(v203, def, MeshesInMemory(def)));
}

}  // namespace
}  // namespace qwz
