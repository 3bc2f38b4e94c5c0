#include "replace/ContentHash.h"

#include "platform/Parallel.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace qwz::replace {
namespace {

constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;

uint64_t Rotate(uint64_t v, int bits) { return (v << bits) | (v >> (64 - bits)); }

uint64_t Load64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];  // little-endian on every host
    return v;
}

uint64_t Mix(uint64_t lane, uint64_t word) { return Rotate(lane + word * kPrime2, 31) * kPrime1; }

}  // namespace

void ContentHash::Block::Add(const uint8_t* data, size_t size) {
    filled += size;
    if (pendingSize > 0) {
        const size_t take = std::min(sizeof pending - pendingSize, size);
        std::memcpy(pending + pendingSize, data, take);
        pendingSize += take;
        data += take;
        size -= take;
        if (pendingSize < sizeof pending) return;
        for (int i = 0; i < 4; ++i) lanes[i] = Mix(lanes[i], Load64(pending + 8 * i));
        pendingSize = 0;
    }
    for (; size >= sizeof pending; data += sizeof pending, size -= sizeof pending)
        for (int i = 0; i < 4; ++i) lanes[i] = Mix(lanes[i], Load64(data + 8 * i));
    std::memcpy(pending, data, size);
    pendingSize = size;
}

uint64_t ContentHash::Block::Digest() const {
    uint64_t h = filled * kPrime1;
    for (int i = 0; i < 4; ++i) h = Rotate(h ^ Mix(0, lanes[i]), 27) * kPrime1 + kPrime2;
    // The bytes that do not fill a stripe, one at a time.
    for (size_t i = 0; i < pendingSize; ++i) h = Rotate(h ^ (pending[i] * kPrime2), 11) * kPrime1;
    return h;
}

void ContentHash::Chain(uint64_t blockDigest) { chain_ = Rotate(chain_ ^ Mix(0, blockDigest), 29) * kPrime1 + kPrime2; }

void ContentHash::Add(const uint8_t* data, size_t size) { Add(data, size, false, {}); }

void ContentHash::AddOnEveryCore(const uint8_t* data, size_t size, const Digested& digested) {
    Add(data, size, true, digested);
}

void ContentHash::Add(const uint8_t* data, size_t size, bool everyCore, const Digested& digested) {
    size_ += size;
    while (size > 0) {
        const size_t whole = everyCore && block_.filled == 0 ? size / kBlock : 0;
        if (whole > 1) {
            std::vector<uint64_t> digests(whole);
            platform::ForEachInParallel(whole, uint64_t(whole) * platform::kParallelThreshold, [&](size_t b) {
                Block block;
                block.Add(data + b * kBlock, kBlock);
                digests[b] = block.Digest();
                if (digested) digested(data + b * kBlock, kBlock);
            });
            for (uint64_t digest : digests) Chain(digest);
            data += whole * kBlock;
            size -= whole * kBlock;
            continue;
        }
        const size_t take = std::min(size, kBlock - block_.filled);
        block_.Add(data, take);
        if (digested) digested(data, take);
        data += take;
        size -= take;
        if (block_.filled == kBlock) {
            Chain(block_.Digest());
            block_ = Block();
        }
    }
}

uint64_t ContentHash::Value() const {
    uint64_t h = chain_ ^ size_ * kPrime2;
    if (block_.filled > 0) h = Rotate(h ^ Mix(0, block_.Digest()), 29) * kPrime1 + kPrime2;
    h ^= h >> 33;
    h *= kPrime2;
    h ^= h >> 29;
    return h;
}

}  // namespace qwz::replace
