// Pages given back from the middle of a buffer: only whole pages inside the
// range go, every byte around them stays, and the buffer takes new bytes
// everywhere afterwards. (The platforms built for have 4 KB pages.)
#include "platform/LargeBuffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace qwz {
namespace {

constexpr size_t kPage = 4096;

uint8_t Pattern(size_t i) { return uint8_t(i * 7 + 3); }

TEST(ReleasePages, OnlyWholePagesInsideTheRangeGoAndTheBufferStaysWritable) {
    const struct {
        size_t from, bytes;
    } cases[] = {
        {1000, size_t(3) << 20},    // starts and ends inside a page
        {0, size_t(2) << 20},       // from the buffer's start
        {5, size_t(100) << 10},     // too small to be worth giving back
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from);
        std::vector<uint8_t> buffer(size_t(4) << 20);
        for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = Pattern(i);
        platform::ReleasePages(buffer.data() + c.from, c.bytes);

        // Kept: everything outside the range, the partial pages at its ends,
        // and all of a range too small to be worth giving back.
        const bool small = c.bytes < (size_t(256) << 10);
        const uintptr_t start = uintptr_t(buffer.data() + c.from);
        const size_t headKept = (kPage - start % kPage) % kPage;
        const size_t tailKept = (start + c.bytes) % kPage;
        size_t changed = 0;
        for (size_t i = 0; i < buffer.size(); ++i) {
            const bool given = !small && i >= c.from + headKept && i < c.from + c.bytes - tailKept;
            if (!given && buffer[i] != Pattern(i)) ++changed;
        }
        EXPECT_EQ(changed, 0u) << "bytes that were to be kept changed";

        for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = uint8_t(Pattern(i) ^ 0x5A);
        size_t wrong = 0;
        for (size_t i = 0; i < buffer.size(); ++i) wrong += buffer[i] != uint8_t(Pattern(i) ^ 0x5A);
        EXPECT_EQ(wrong, 0u) << "the buffer does not hold what is written after the release";
    }
}

}  // namespace
}  // namespace qwz
