// Appends little-endian fields to a byte buffer. Integers are built from
// shifts, so the host byte order never matters; each value is cut to the
// width of its field, as the layouts store them.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace qwz {

class ByteWriter {
public:
    // What takes the finished front of the bytes written, in order.
    using Sink = std::function<void(const uint8_t* data, size_t size)>;

    explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}
    // A writer whose buffer holds only what is written since the last
    // flush(): each flush hands it to `sink` and starts the buffer again in
    // the same memory. Offsets still count from the first byte written.
    ByteWriter(std::vector<uint8_t>& out, Sink sink) : out_(out), sink_(std::move(sink)) { out_.clear(); }

    // Bytes written in all, flushed ones included.
    size_t size() const { return base_ + out_.size(); }
    // Room for the bytes up to offset n; a writer with a sink holds only a
    // part of them at a time and takes room as it goes.
    void reserve(size_t n) {
        if (!sink_) out_.reserve(n);
    }
    // A byte appended since the last flush, to fill in later; good until the
    // next append.
    uint8_t* at(size_t offset) { return out_.data() + (offset - base_); }
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
    // Appends bytes that stay where they are until written: a writer with a
    // sink hands them to it directly, without a copy.
    void carry(const uint8_t* src, size_t n) {
        if (!sink_) return bytes(src, n);
        flush();
        if (n > 0) sink_(src, n);
        base_ += n;
    }
    void zeros(size_t n) { out_.insert(out_.end(), n, uint8_t(0)); }
    // Appends n zero bytes and returns where they start, for encoding a run
    // of fields at once. The pointer is good until the next append.
    uint8_t* grow(size_t n) {
        const size_t at = out_.size();
        out_.resize(at + n);
        return out_.data() + at;
    }

    // Drops what was appended after the first `n` bytes (what was flushed
    // is the sink's and stays there).
    void truncate(size_t n) {
        const size_t keep = n > base_ ? n - base_ : 0;
        if (keep < out_.size()) out_.resize(keep);
    }

    // Every byte written so far is final: a writer with a sink hands them
    // to it. Nothing without one.
    void flush() {
        if (!sink_ || out_.empty()) return;
        sink_(out_.data(), out_.size());
        base_ += out_.size();
        out_.clear();
    }

    // flush() once the bytes held reach `n`: a writer with a sink then holds
    // about that much at most, however much is written.
    void flushPast(size_t n) {
        if (sink_ && out_.size() >= n) flush();
    }

    // The lowest `width` bytes of v (1 to 8), least significant first.
    void le(uint64_t v, size_t width) {
        uint8_t b[8];
        for (size_t i = 0; i < width; ++i) b[i] = uint8_t(v >> (8 * i));
        out_.insert(out_.end(), b, b + width);
    }

private:
    std::vector<uint8_t>& out_;
    Sink sink_;
    size_t base_ = 0;  // bytes handed to the sink
};

}  // namespace qwz
