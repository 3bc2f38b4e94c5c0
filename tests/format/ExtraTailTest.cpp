#include "format/ExtraTail.h"

#include "format/Kqwz_scaler.h"
#include "format/Kqwz_unknown.h"
#include "format/Kqwz_uv.h"
#include "platform/DebugOutput.h"
#include "support/Bytes.h"
#include "support/DebugLines.h"

#include <gtest/gtest.h>

namespace qwz {
namespace {

using test::Bytes;
using test::DebugLines;

Warnings Read(DefinicjaObiektu& def, const std::vector<uint8_t>& bytes) {
    ByteReader in(bytes.data(), bytes.size());
    Warnings warnings;
    ReadExtraTail(def, in, UvRecords::Decode, warnings);
    return warnings;
}

std::vector<uint8_t> Write(const DefinicjaObiektu& def, const TQWZSaveParams& params = {}) {
    std::vector<uint8_t> out;
    ByteWriter w(out);
    WriteExtraTail(def, w, params);
    return out;
}

std::vector<int> Kinds(const DefinicjaObiektu& def) {
    std::vector<int> kinds;
    for (const auto& [kind, blocks] : def.Containers)
        for (size_t i = 0; i < blocks.size(); ++i) kinds.push_back(kind);
    return kinds;
}

const Bytes kUvFloat = Bytes().u8(5).i32(4 + 4 + 32).u32(0xDEADBEEF).u32(7).i32(1).i32(1)
    .f32(0.25f).f32(0.5f).f32(-1).f32(2).u32(0x7FC00001).f32(0).f32(1e-30f).f32(3);
const Bytes kScalerEmpty = Bytes().u8(3).i32(55).i32(0).f64(1).f64(2).f64(3).f64(4).f64(5)
    .f64(6).u8(0).u8(0).u8(0);
const Bytes kOpaque9 = Bytes().u8(9).i32(3).u8(0xAA).u8(0xBB).u8(0xCC);
const Bytes kUv16 = Bytes().u8(1).i32(4 + 4 + 16).u32(1).u32(2).i32(1).i32(1)
    .u16(32768).u16(0).u16(65535).u16(1).u16(2).u16(3).u16(4).u16(5);

TEST(ExtraTail, BlocksAreWrittenInAscendingKindOrder) {
    DefinicjaObiektu def;
    Read(def, Bytes().raw(kUvFloat).raw(kScalerEmpty).raw(kOpaque9).raw(kUv16));
    EXPECT_EQ(Kinds(def), (std::vector<int>{1, 3, 5, 9}));
    // Each block comes back with its bytes, kind 5 floats to the bit (a NaN too).
    EXPECT_EQ(Write(def), Bytes().raw(kUv16).raw(kScalerEmpty).raw(kUvFloat).raw(kOpaque9).vec());
    EXPECT_EQ(kScalerEmpty.size(), 60u);  // an empty scaling-zone block, kind byte included
}

TEST(ExtraTail, EachBlockFollowsItsFlagAndNoFlagWritesNothing) {
    DefinicjaObiektu def;
    Read(def, Bytes().raw(kUvFloat).raw(kScalerEmpty).raw(kOpaque9).raw(kUv16));
    TQWZSaveParams params;
    params.KeepUV = false;  // UV blocks were still read in full: the later ones are there
    EXPECT_EQ(Write(def, params), Bytes().raw(kScalerEmpty).raw(kOpaque9).vec());
    params.KeepScalingZones = false;
    EXPECT_EQ(Write(def, params), kOpaque9.vec());
    params.KeepOtherExtra = false;
    EXPECT_TRUE(Write(def, params).empty());
}

TEST(ExtraTail, OpaqueKindsAtBothEndsAreCarriedThrough) {
    const Bytes tail = Bytes().u8(255).i32(1).u8(0x42).u8(0).i32(2).u8(1).u8(2);
    DefinicjaObiektu def;
    Read(def, tail);
    EXPECT_EQ(Kinds(def), (std::vector<int>{0, 255}));
    EXPECT_EQ(Write(def), Bytes().u8(0).i32(2).u8(1).u8(2).u8(255).i32(1).u8(0x42).vec());
}

TEST(ExtraTail, SixteenBitUvCoordinates) {
    EXPECT_EQ(UvToFraction(0.5f), 32768);  // 0.5 x 65535 + 0.5 = 32768
    EXPECT_EQ(UvToFraction(0.0f), 0);
    EXPECT_EQ(UvToFraction(1.0f), 65535);
    EXPECT_EQ(UvToFraction(2.0f), uint16_t(131070));  // low 16 bits of what does not fit
    EXPECT_EQ(UvToFraction(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(UvToFraction(1e30f), 0);
    for (uint32_t u = 0; u <= 65535; ++u)
        ASSERT_EQ(UvToFraction(UvFromFraction(uint16_t(u))), u) << u;

    DefinicjaObiektu def;
    Read(def, kUv16);
    const auto& uv = dynamic_cast<const TKQWZ_UV&>(*def.Containers.begin()->second[0]);
    EXPECT_TRUE(uv.Compressed);
    EXPECT_EQ(uv.Groups[0][0].corners[0].u, 32768.0f / 65535.0f);
    EXPECT_EQ(uv.Groups[0][0].corners[1].u, 1.0f);

    TKQWZ_UV block;
    block.SetKind(TKontenerQwz::ktUV16);
    block.Groups = {{CuvF{}}, {}};
    block.Groups[0][0].corners[2].v = 0.5f;
    std::vector<uint8_t> out;
    ByteWriter w(out);
    ASSERT_TRUE(block.Write(w, {}));
    EXPECT_EQ(out, Bytes().u8(1).i32(4 + 8 + 16).zeros(8).i32(2).i32(1).zeros(10).u16(32768)
                       .zeros(4).i32(0).vec());
    EXPECT_EQ(block.Size(), 28);
}

TEST(ExtraTail, ZoneListsStoreTheirFirstFlagInTheHeader) {
    const Bytes block = Bytes().u8(3).i32(55 + 8 * 4).i32(0).zeros(48)
        .u8(0x83).f64(1).f64(2).f64(3).u8(0).u8(0x01).f64(4);
    DefinicjaObiektu def;
    Read(def, block);
    const auto& scaler = dynamic_cast<const TKQWZ_Scaler&>(*def.Containers.begin()->second[0]);
    ASSERT_EQ(scaler.Zones[0].size(), 3u);
    EXPECT_EQ(scaler.Zones[0][0].flag, 0);
    EXPECT_EQ(scaler.Zones[0][1].flag, 1);
    EXPECT_EQ(scaler.Zones[0][2].flag, 0);
    EXPECT_EQ(scaler.Zones[0][2].value, 3.0);
    EXPECT_EQ(scaler.Zones[2][0].flag, 1);
    EXPECT_EQ(Write(def), block.vec());

    // More zones than the header can count are refused before any byte.
    TKQWZ_Scaler tooMany;
    tooMany.Zones[1].resize(128);
    std::vector<uint8_t> out;
    ByteWriter w(out);
    EXPECT_THROW(tooMany.Write(w, {}), FormatError);
    EXPECT_TRUE(out.empty());
}

TEST(ExtraTail, ABlockThatFailsItsChecksEndsTheTailAndIsNamed) {
    struct Case {
        const char* what;
        Bytes damaged;
        bool cut;  // cut short: the data ends inside it
    };
    const std::vector<Case> cases = {
        {"opaque size 0", Bytes().u8(9).i32(0).u8(1), false},
        {"opaque size beyond the data", Bytes().u8(9).i32(1000).u8(1), false},
        {"opaque negative size", Bytes().u8(200).i32(-4).zeros(8), false},
        {"UV without groups", Bytes().u8(5).i32(4).u32(0).u32(0).i32(0).raw(kOpaque9), false},
        {"UV cut in its values", Bytes().u8(1).i32(4).u32(0).u16(0), true},
        {"scaler cut in an axis value", Bytes().u8(3).i32(55).i32(0).zeros(40), true},
        {"scaler without its last header", Bytes().u8(3).i32(55).i32(0).zeros(48).u8(0).u8(0), true},
        {"opaque cut in its size", Bytes().u8(77).u16(1), true},
    };
    for (const Case& c : cases) {
        DebugLines debug;
        DefinicjaObiektu def;
        Bytes bytes = Bytes().raw(kOpaque9).raw(c.damaged);
        if (!c.cut) bytes.raw(kUv16);  // lost with the damaged block
        Warnings warnings;
        EXPECT_NO_THROW(warnings = Read(def, bytes)) << c.what;
        EXPECT_EQ(Kinds(def), std::vector<int>{9}) << c.what;  // the block before it stays
        // The reader says nothing itself: the warning carries the
        // programs' debug line and, for a conversion to refuse the file and
        // `qwz check` to report, what was skipped.
        EXPECT_TRUE(debug.lines.empty()) << c.what;
        ASSERT_EQ(warnings.size(), 1u) << c.what;
        EXPECT_EQ(warnings[0].kind, Warning::Kind::DamagedTail);
        EXPECT_EQ(warnings[0].debugLine, "QWZ: uszkodzony blok dodatkowych danych rodzaju " +
                                             std::to_string(c.damaged.vec()[0]) +
                                             " na bajcie 8; plik nie zostanie przekonwertowany")
            << c.what;
        EXPECT_EQ(warnings[0].text, "uszkodzony blok dodatkowych danych na bajcie 8; nie odczytano " +
                                        std::to_string(bytes.size() - 8) + " bajtów do końca pliku")
            << c.what;
        EXPECT_FALSE(warnings[0].boxed);
    }
    DefinicjaObiektu whole;
    EXPECT_TRUE(Read(whole, Bytes().raw(kOpaque9).raw(kUv16)).empty());
}

TEST(ExtraTail, ABlockCutShortInItsRecordsIsAnError) {
    const std::vector<Bytes> cases = {
        Bytes().u8(5).i32(40).u32(0).u32(0).i32(1).i32(1).zeros(31),       // UV record
        Bytes().u8(5).i32(40).u32(0).u32(0).i32(2).i32(0),                 // second group count
        Bytes().u8(3).i32(63).i32(0).zeros(48).u8(0x02).f64(1).u8(0x7F),   // zone values
        Bytes().u8(1).i32(4).u32(0).u32(0).i32(0x40000000).zeros(16),      // group count
    };
    for (const Bytes& c : cases) {
        DefinicjaObiektu def;
        EXPECT_THROW(Read(def, c), FormatError) << int(c.vec()[0]);
    }
}

}  // namespace
}  // namespace qwz
