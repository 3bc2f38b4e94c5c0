// A bounds-checked little-endian cursor over bytes in memory. Every read
// names the field it reads; a read past the end throws FormatError
// (Truncated) naming that field and the offset where it starts.
#pragma once

#include "bytes/FormatError.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace qwz {

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : begin_(data), p_(data), end_(data + size), behind_(data) {}

    size_t offset() const { return size_t(p_ - begin_); }
    // The byte at the cursor, where the next read starts.
    const uint8_t* here() const { return p_; }
    size_t remaining() const { return size_t(end_ - p_); }
    bool atEnd() const { return p_ == end_; }

    // For bytes the reader's owner no longer needs once decoded: `release`
    // is then called on each range handed to done(). Without it (bytes the
    // caller keeps), done() does nothing.
    using Release = void (*)(void* data, size_t bytes);
    void releaseWith(Release release) { release_ = release; }
    // The bytes [data, data + n) of this reader are decoded and never read again.
    void done(const uint8_t* data, size_t n) const {
        if (release_) release_(const_cast<uint8_t*>(data), n);
    }
    // Every byte before the cursor is done with (a walk that never comes
    // back): done() for those it was not yet called on by this, once they
    // make a piece worth giving back.
    void doneBehind() {
        if (!release_ || size_t(p_ - behind_) < kBehindPiece) return;
        done(behind_, size_t(p_ - behind_));
        behind_ = p_;
    }

    uint8_t u8(const char* field) { need(1, field); return *p_++; }
    uint16_t u16(const char* field) { return uint16_t(le(2, field)); }
    uint32_t u24(const char* field) { return uint32_t(le(3, field)); }
    uint32_t u32(const char* field) { return uint32_t(le(4, field)); }
    int16_t i16(const char* field) { return int16_t(uint16_t(le(2, field))); }
    int32_t i32(const char* field) { return int32_t(uint32_t(le(4, field))); }
    float f32(const char* field) {
        uint32_t bits = u32(field);
        float v;
        std::memcpy(&v, &bits, 4);
        return v;
    }
    double f64(const char* field) {
        uint64_t bits = le(8, field);
        double v;
        std::memcpy(&v, &bits, 8);
        return v;
    }
    void bytes(void* dst, size_t n, const char* field) {
        need(n, field);
        std::memcpy(dst, p_, n);
        p_ += n;
    }
    void skip(size_t n, const char* field) { need(n, field); p_ += n; }
    // The next n bytes in place, for decoding a run of fields at once.
    const uint8_t* take(size_t n, const char* field) {
        need(n, field);
        const uint8_t* start = p_;
        p_ += n;
        return start;
    }

    // An int32 count of items that take at least `minBytes` each. Throws
    // Malformed naming the count's own offset when it is negative or the
    // items cannot fit in what remains after it.
    uint32_t count32(uint64_t minBytes, const char* field) {
        const size_t at = offset();
        return fitCount(i32(field), at, minBytes, field);
    }
    // The same check for a count already read at offset `at`.
    uint32_t fitCount(int64_t n, size_t at, uint64_t minBytes, const char* field) const {
        if (n < 0 || (minBytes != 0 && uint64_t(n) > remaining() / minBytes))
            throw FormatError(FormatError::Kind::Malformed, at, field);
        return uint32_t(n);
    }

    // Before anything is allocated for `count` items of at least `minBytes`
    // each: throws Malformed when they cannot fit in what remains.
    void requireCount(uint64_t count, uint64_t minBytes, const char* field) const {
        if (minBytes != 0 && count > remaining() / minBytes)
            throw FormatError(FormatError::Kind::Malformed, offset(), field);
    }

private:
    static constexpr size_t kBehindPiece = size_t(256) << 10;

    void need(size_t n, const char* field) const {
        if (remaining() < n) throw FormatError(FormatError::Kind::Truncated, offset(), field);
    }
    uint64_t le(size_t n, const char* field) {
        need(n, field);
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i) v |= uint64_t(p_[i]) << (8 * i);
        p_ += n;
        return v;
    }

    const uint8_t* begin_;
    const uint8_t* p_;
    const uint8_t* end_;
    const uint8_t* behind_;  // where doneBehind() got to
    Release release_ = nullptr;
};

}  // namespace qwz
