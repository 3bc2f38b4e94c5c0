// A 64-bit digest of a stream of bytes, the same however the stream is cut
// into pieces: what the replacement writes is digested on its way to the
// disk and the file read back is digested again, so that the two are held
// against each other without keeping the new file in memory. The stream is
// digested in blocks of 1 MiB, each with four independent lanes over
// 32-byte stripes, chained in order, so that whole blocks can be digested
// on several cores at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace qwz::replace {

class ContentHash {
public:
    static constexpr size_t kBlock = size_t(1) << 20;

    // What is told of each piece of the bytes once it is digested.
    using Digested = std::function<void(const uint8_t* data, size_t size)>;

    void Add(const uint8_t* data, size_t size);
    // Add, with the whole blocks among the bytes digested on every core;
    // `digested`, when given, is told of each piece once it is digested,
    // from any core and in any order.
    void AddOnEveryCore(const uint8_t* data, size_t size, const Digested& digested = {});
    // The digest of everything added so far, and how many bytes that was.
    uint64_t Value() const;
    uint64_t Size() const { return size_; }

private:
    struct Block {
        uint64_t lanes[4] = {0x9E3779B185EBCA87ull, 0xC2B2AE3D27D4EB4Full, 0x165667B19E3779F9ull,
                             0x85EBCA77C2B2AE63ull};
        uint8_t pending[32] = {};
        size_t pendingSize = 0;
        size_t filled = 0;

        void Add(const uint8_t* data, size_t size);
        uint64_t Digest() const;
    };

    void Add(const uint8_t* data, size_t size, bool everyCore, const Digested& digested);
    void Chain(uint64_t blockDigest);

    Block block_;
    uint64_t chain_ = 0x27D4EB2F165667C5ull;
    uint64_t size_ = 0;
};

}  // namespace qwz::replace
