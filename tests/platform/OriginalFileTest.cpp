// The original is read whole, a large one in two halves at once: every byte
// must land where it belongs, the halves' seam included.
#include "platform/OriginalFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <vector>

namespace qwz::platform {
namespace {

TEST(OriginalFile, ReadsEveryByteOfSmallAndLargeFiles) {
    for (size_t size : {size_t(0), size_t(5000), (size_t(70) << 20) + 12345}) {
        SCOPED_TRACE(size);
        test::TempDir dir;
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t((i * 2654435761u) >> 13);
        const std::filesystem::path path = dir.write("scene.qwz", bytes);
        OriginalFile original;
        std::string reason;
        ASSERT_TRUE(original.Open(path, reason)) << reason;
        std::vector<uint8_t> read;
        ASSERT_TRUE(original.Read(read, reason)) << reason;
        EXPECT_EQ(read.size(), size);
        EXPECT_TRUE(read == bytes);
        EXPECT_EQ(original.state().size, size);
    }
}

}  // namespace
}  // namespace qwz::platform
