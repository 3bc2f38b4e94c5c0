// Little-endian values at a byte pointer, built with shifts so that the
// host byte order never matters. For runs of fields decoded or encoded in
// place (after ByteReader::take or ByteWriter::grow).
#pragma once

#include <cstdint>
#include <cstring>

namespace qwz::le {

inline uint32_t Load(const uint8_t* p, unsigned width) {
    uint32_t v = 0;
    for (unsigned i = 0; i < width; ++i) v |= uint32_t(p[i]) << (8 * i);
    return v;
}
inline uint32_t Load32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint64_t Load64(const uint8_t* p) { return Load32(p) | uint64_t(Load32(p + 4)) << 32; }
inline uint16_t Load16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline float LoadF32(const uint8_t* p) {
    const uint32_t bits = Load32(p);
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}
inline double LoadF64(const uint8_t* p) {
    const uint64_t bits = Load64(p);
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}

inline void Store(uint8_t* p, uint32_t v, unsigned width) {
    for (unsigned i = 0; i < width; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline void Store32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
inline void Store64(uint8_t* p, uint64_t v) {
    Store32(p, uint32_t(v));
    Store32(p + 4, uint32_t(v >> 32));
}
inline void Store16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void StoreF32(uint8_t* p, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    Store32(p, bits);
}
inline void StoreF64(uint8_t* p, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    Store64(p, bits);
}

}  // namespace qwz::le
