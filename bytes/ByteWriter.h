// Appends little-endian fields to a byte buffer. Integers are built from
// shifts, so the host byte order never matters; each value is cut to the
// width of its field, as the layouts store them.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace qwz {

class ByteWriter {
public:
    explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}

    size_t size() const { return out_.size(); }
    void reserve(size_t n) { out_.reserve(n); }
    // A byte already appended, to fill in later; good until the next append.
    uint8_t* at(size_t offset) { return out_.data() + offset; }
    // The room reserved beyond what is written, as a byte range.
    uint8_t* spare() { return out_.data() + out_.size(); }
    size_t spareSize() const { return out_.capacity() - out_.size(); }

    void u8(uint32_t v) { out_.push_back(uint8_t(v)); }
    void u16(uint32_t v) { le(v, 2); }
    void u24(uint32_t v) { le(v, 3); }
    void u32(uint32_t v) { le(v, 4); }
    void i16(int32_t v) { le(uint32_t(v), 2); }
    void i32(int32_t v) { le(uint32_t(v), 4); }
    void f32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        le(bits, 4);
    }
    void f64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        le(bits, 8);
    }
    void bytes(const void* src, size_t n) {
        const uint8_t* p = static_cast<const uint8_t*>(src);
        out_.insert(out_.end(), p, p + n);
    }
    void zeros(size_t n) { out_.insert(out_.end(), n, uint8_t(0)); }
    // Appends n zero bytes and returns where they start, for encoding a run
    // of fields at once. The pointer is good until the next append.
    uint8_t* grow(size_t n) {
        const size_t at = out_.size();
        out_.resize(at + n);
        return out_.data() + at;
    }

    // Drops what was appended after the first `n` bytes.
    void truncate(size_t n) {
        if (n < out_.size()) out_.resize(n);
    }

    // The lowest `width` bytes of v (1 to 8), least significant first.
    void le(uint64_t v, size_t width) {
        uint8_t b[8];
        for (size_t i = 0; i < width; ++i) b[i] = uint8_t(v >> (8 * i));
        out_.insert(out_.end(), b, b + width);
    }

private:
    std::vector<uint8_t>& out_;
};

}  // namespace qwz
