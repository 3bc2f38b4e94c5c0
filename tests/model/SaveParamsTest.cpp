#include "model/Qwzsaveparams.h"

#include <gtest/gtest.h>

namespace qwz {
namespace {

TEST(SaveParams, TheDefaultsKeepEverythingAndSetNoTarget) {
    const TQWZSaveParams p;
    EXPECT_EQ(p.TargetVersion, 0);
    EXPECT_TRUE(p.KeepLines && p.KeepPolylines && p.KeepArcs && p.KeepCircles);
    EXPECT_TRUE(p.KeepUV && p.KeepScalingZones && p.KeepOtherExtra && p.KeepOriginal);
}

TEST(SaveParams, DerivedTests) {
    TQWZSaveParams p;
    p.KeepUV = false;
    EXPECT_TRUE(p.KeepsAnyExtra());
    EXPECT_FALSE(p.KeepsAllExtra());
    EXPECT_FALSE(p.KeepsEverything());

    TQWZSaveParams onlyOriginalOff;
    onlyOriginalOff.KeepOriginal = false;
    EXPECT_TRUE(onlyOriginalOff.KeepsEverything());

    TQWZSaveParams noExtra;
    noExtra.KeepUV = noExtra.KeepScalingZones = noExtra.KeepOtherExtra = false;
    EXPECT_FALSE(noExtra.KeepsAnyExtra());

    TQWZSaveParams noArcs;
    noArcs.KeepArcs = false;
    EXPECT_TRUE(noArcs.KeepsAllExtra());
    EXPECT_FALSE(noArcs.KeepsEverything());
}

}  // namespace
}  // namespace qwz
