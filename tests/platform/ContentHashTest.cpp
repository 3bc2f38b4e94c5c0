// The digest that holds a file read back against what was written: the same
// however the stream is cut into parts, different for any changed byte or
// length.
#include "platform/ContentHash.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace qwz::platform {
namespace {

uint64_t Digest(const std::vector<uint8_t>& bytes, size_t part) {
    ContentHash hash;
    for (size_t at = 0; at < bytes.size(); at += part) hash.Add(bytes.data() + at, std::min(part, bytes.size() - at));
    return hash.Value();
}

TEST(ContentHash, TheSameWhateverThePartsAndDifferentForAnyChange) {
    std::set<uint64_t> seen;
    for (size_t size : {0, 1, 31, 32, 33, 95, 200}) {
        SCOPED_TRACE(size);
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(i * 37 + 11);
        const uint64_t whole = Digest(bytes, size + 1);
        for (size_t part : {1, 5, 7, 31, 32, 33, 64}) EXPECT_EQ(Digest(bytes, part), whole) << "parts of " << part;
        EXPECT_TRUE(seen.insert(whole).second) << "another length gave the same digest";
        for (size_t i = 0; i < size; i += 13) {
            std::vector<uint8_t> changed = bytes;
            changed[i] ^= 0x80;
            EXPECT_NE(Digest(changed, 7), whole) << "byte " << i << " changed";
        }
    }
}

}  // namespace
}  // namespace qwz::platform
