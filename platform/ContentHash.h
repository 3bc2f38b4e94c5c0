// A 64-bit digest of a stream of bytes, the same however the stream is cut
// into pieces: what the replacement writes is digested on its way to the
// disk and the file read back is digested again, so that the two are held
// against each other without keeping the new file in memory. Four
// independent lanes over 32-byte stripes keep it at memory speed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qwz::platform {

class ContentHash {
public:
    void Add(const uint8_t* data, size_t size);
    // The digest of everything added so far, and how many bytes that was.
    uint64_t Value() const;
    uint64_t Size() const { return size_; }

private:
    void Stripe(const uint8_t* p);

    uint64_t lanes_[4] = {0x9E3779B185EBCA87ull, 0xC2B2AE3D27D4EB4Full, 0x165667B19E3779F9ull,
                          0x85EBCA77C2B2AE63ull};
    uint8_t pending_[32] = {};
    size_t pendingSize_ = 0;
    uint64_t size_ = 0;
};

}  // namespace qwz::platform
