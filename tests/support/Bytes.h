// Test-only byte builder for QWZ files. It shares no code with the format
// writers, so a fault in a writer cannot hide behind the same fault here.
// Usage: Bytes().magic(204).f32(0).f32(0).f32(0).i32(0)...
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace qwz::test {

class Bytes {
public:
    Bytes& u8(unsigned v) { data_.push_back(uint8_t(v)); return *this; }
    Bytes& u16(unsigned v) { return put(v, 2); }
    Bytes& u24(unsigned v) { return put(v, 3); }
    Bytes& u32(uint32_t v) { return put(v, 4); }
    Bytes& i16(int v) { return put(uint16_t(int16_t(v)), 2); }
    Bytes& i32(int32_t v) { return put(uint32_t(v), 4); }
    Bytes& f32(float v) {
        uint32_t b;
        std::memcpy(&b, &v, 4);
        return put(b, 4);
    }
    Bytes& f64(double v) {
        uint64_t b;
        std::memcpy(&b, &v, 8);
        return put(b, 8);
    }
    Bytes& raw(const std::vector<uint8_t>& b) {
        data_.insert(data_.end(), b.begin(), b.end());
        return *this;
    }
    Bytes& fill(size_t n, uint8_t value) {
        data_.insert(data_.end(), n, value);
        return *this;
    }
    Bytes& zeros(size_t n) { return fill(n, 0); }
    // "QWZ" and the version byte.
    Bytes& magic(unsigned version) { return u8('Q').u8('W').u8('Z').u8(version); }
    // A 32-byte name field; `pad` fills the bytes after the terminator.
    Bytes& name(const std::string& s, uint8_t pad = 0) {
        size_t n = s.size() < 31 ? s.size() : 31;
        data_.insert(data_.end(), s.begin(), s.begin() + long(n));
        data_.push_back(0);
        return fill(31 - n, pad);
    }

    size_t size() const { return data_.size(); }
    const std::vector<uint8_t>& vec() const { return data_; }
    operator const std::vector<uint8_t>&() const { return data_; }

private:
    Bytes& put(uint64_t v, int width) {
        for (int i = 0; i < width; ++i) data_.push_back(uint8_t(v >> (8 * i)));
        return *this;
    }
    std::vector<uint8_t> data_;
};

}  // namespace qwz::test
