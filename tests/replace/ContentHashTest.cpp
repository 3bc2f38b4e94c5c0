// The digest that holds a file read back against what was written: the same
// however the stream is cut into parts and whether whole blocks are digested
// on several cores (each byte then told digested once), different for any
// changed byte or length.
#include "replace/ContentHash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <vector>

namespace qwz::replace {
namespace {

// On every core, each byte must be told digested exactly once.
uint64_t Digest(const std::vector<uint8_t>& bytes, size_t part, bool everyCore = false) {
    ContentHash hash;
    std::vector<uint8_t> told(bytes.size());
    std::mutex mutex;
    const auto digested = [&](const uint8_t* data, size_t n) {
        std::lock_guard<std::mutex> lock(mutex);
        for (size_t i = size_t(data - bytes.data()); i < size_t(data - bytes.data()) + n; ++i) ++told[i];
    };
    for (size_t at = 0; at < bytes.size(); at += part) {
        const size_t n = std::min(part, bytes.size() - at);
        if (everyCore) hash.AddOnEveryCore(bytes.data() + at, n, digested);
        else hash.Add(bytes.data() + at, n);
    }
    if (everyCore) {
        EXPECT_EQ(std::count(told.begin(), told.end(), 1), std::ptrdiff_t(bytes.size())) << "parts of " << part;
    }
    return hash.Value();
}

TEST(ContentHash, TheSameWhateverThePartsAndDifferentForAnyChange) {
    std::set<uint64_t> seen;
    constexpr size_t kBlock = ContentHash::kBlock;
    for (size_t size : {size_t(0), size_t(1), size_t(31), size_t(32), size_t(33), size_t(95), size_t(200),
                        6 * kBlock + 77}) {
        SCOPED_TRACE(size);
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(i * 37 + 11);
        const uint64_t whole = Digest(bytes, size + 1);
        for (size_t part : {size_t(1), size_t(5), size_t(7), size_t(31), size_t(32), size_t(33), size_t(64),
                            kBlock - 3, kBlock, 4 * kBlock + 1}) {
            if (size > kBlock && part < 1000) continue;  // a million calls prove nothing more
            EXPECT_EQ(Digest(bytes, part), whole) << "parts of " << part;
            EXPECT_EQ(Digest(bytes, part, true), whole) << "parts of " << part << ", on every core";
        }
        EXPECT_TRUE(seen.insert(whole).second) << "another length gave the same digest";
        for (size_t i = 0; i < size; i += size > kBlock ? kBlock / 2 + 1 : 13) {
            std::vector<uint8_t> changed = bytes;
            changed[i] ^= 0x80;
            EXPECT_NE(Digest(changed, size > kBlock ? size : 7, true), whole) << "byte " << i << " changed";
        }
    }
}

}  // namespace
}  // namespace qwz::replace
