// UV blocks with enough records that their groups are decoded and encoded
// on several threads: every record must land in its group's place.
#include "format/Kqwz_uv.h"

#include "support/Bytes.h"
#include "support/LargeMeshes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace qwz {
namespace {

using test::Bytes;

// Group sizes of 0 to 40,000 records, 244,000 in all.
const std::vector<uint32_t> kGroupSizes = {30000, 0, 40000, 1, 30000, 255, 40000, 30000, 33744, 40000};

// Every coordinate u = i / 65535 for a drawn i, so the 16-bit form keeps it.
TKQWZ_UV LargeBlock(TKontenerQwz::EKontenerTyp kind, uint64_t seed) {
    TKQWZ_UV block;
    block.SetKind(kind);
    block.ValueA = 0x01020304;
    block.ValueB = 0xA0B0C0D0;
    test::Lcg rng(seed);
    for (uint32_t n : kGroupSizes) {
        vcUV& group = block.Groups.emplace_back(n);
        for (CuvF& record : group)
            for (CuvF::Corner& corner : record.corners) {
                corner.u = float(rng.below(65536)) / 65535.0f;
                corner.v = float(rng.below(65536)) / 65535.0f;
            }
    }
    return block;
}

std::vector<uint8_t> Expected(const TKQWZ_UV& block) {
    size_t records = 0;
    for (const vcUV& group : block.Groups) records += group.size();
    const size_t recordSize = block.Compressed ? 16 : 32;
    Bytes b;
    b.u8(block.Compressed ? 1 : 5).i32(int32_t(4 + 4 * block.Groups.size() + recordSize * records));
    b.u32(block.ValueA).u32(block.ValueB).i32(int32_t(block.Groups.size()));
    for (const vcUV& group : block.Groups) {
        b.i32(int32_t(group.size()));
        for (const CuvF& record : group)
            for (const CuvF::Corner& corner : record.corners) {
                if (block.Compressed)
                    b.u16(unsigned(std::lround(double(corner.u) * 65535.0)))
                        .u16(unsigned(std::lround(double(corner.v) * 65535.0)));
                else
                    b.f32(corner.u).f32(corner.v);
            }
    }
    return b.vec();
}

TEST(LargeUvBlock, EveryRecordLandsInPlaceAndComesBack) {
    for (auto kind : {TKontenerQwz::ktUVFloat, TKontenerQwz::ktUV16}) {
        SCOPED_TRACE("kind " + std::to_string(int(kind)));
        TKQWZ_UV block = LargeBlock(kind, 21 + uint64_t(kind));
        const std::vector<uint8_t> expected = Expected(block);

        const std::vector<uint8_t> before(13, 0x77);
        std::vector<uint8_t> bytes = before;
        ByteWriter out(bytes);
        ASSERT_TRUE(block.Write(out, TQWZSaveParams{}));
        ASSERT_EQ(bytes.size(), before.size() + expected.size());
        EXPECT_TRUE(std::equal(before.begin(), before.end(), bytes.begin()));
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin() + long(before.size())))
            << "the block differs from its layout";

        // read after its kind byte
        TKQWZ_UV back;
        back.SetKind(kind);
        ByteReader in(bytes.data() + before.size() + 1, bytes.size() - before.size() - 1);
        ASSERT_TRUE(back.Read(in));
        EXPECT_TRUE(in.atEnd());
        EXPECT_EQ(back.ValueA, block.ValueA);
        EXPECT_EQ(back.ValueB, block.ValueB);
        ASSERT_EQ(back.Groups.size(), block.Groups.size());
        for (size_t g = 0; g < block.Groups.size(); ++g) {
            ASSERT_EQ(back.Groups[g].size(), block.Groups[g].size()) << "group " << g;
            if (block.Groups[g].empty()) continue;
            EXPECT_EQ(std::memcmp(back.Groups[g].data(), block.Groups[g].data(), block.Groups[g].size() * sizeof(CuvF)),
                      0)
                << "group " << g;
        }
    }
}

}  // namespace
}  // namespace qwz
