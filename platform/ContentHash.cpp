#include "platform/ContentHash.h"

#include <algorithm>
#include <cstring>

namespace qwz::platform {
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

void ContentHash::Stripe(const uint8_t* p) {
    for (int i = 0; i < 4; ++i) lanes_[i] = Mix(lanes_[i], Load64(p + 8 * i));
}

void ContentHash::Add(const uint8_t* data, size_t size) {
    size_ += size;
    if (pendingSize_ > 0) {
        const size_t take = std::min(sizeof pending_ - pendingSize_, size);
        std::memcpy(pending_ + pendingSize_, data, take);
        pendingSize_ += take;
        data += take;
        size -= take;
        if (pendingSize_ < sizeof pending_) return;
        Stripe(pending_);
        pendingSize_ = 0;
    }
    for (; size >= sizeof pending_; data += sizeof pending_, size -= sizeof pending_) Stripe(data);
    std::memcpy(pending_, data, size);
    pendingSize_ = size;
}

uint64_t ContentHash::Value() const {
    uint64_t h = size_ * kPrime1;
    for (int i = 0; i < 4; ++i) h = Rotate(h ^ Mix(0, lanes_[i]), 27) * kPrime1 + kPrime2;
    // The bytes that do not fill a stripe, one at a time.
    for (size_t i = 0; i < pendingSize_; ++i) h = Rotate(h ^ (pending_[i] * kPrime2), 11) * kPrime1;
    h ^= h >> 33;
    h *= kPrime2;
    h ^= h >> 29;
    return h;
}

}  // namespace qwz::platform
