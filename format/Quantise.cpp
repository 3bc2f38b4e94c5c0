#include "format/Quantise.h"

#include <cmath>

namespace qwz {
namespace {

constexpr float kTenthsScale = 10.0f;
// q / scale is already within one rounding of the wanted value, so a couple
// of steps always suffice for finite, non-zero scales; the bound only keeps
// a damaged scale (0, infinite, not a number) from looping.
constexpr int kMaxNudges = 8;

}  // namespace

// The nearest float32 gave back a smaller integer: step away from zero.
float DequantiseNudged(int32_t q, float scale, float nearest) {
    float v = nearest;
    const double wanted = double(q);
    for (int i = 0; i < kMaxNudges && std::isfinite(v) && QuantiseExact(v, scale) != wanted; ++i)
        v = std::nextafter(v, std::signbit(v) ? -INFINITY : INFINITY);
    return v;
}

std::optional<int16_t> ToTenths(float value) { return QuantiseInt16(value, kTenthsScale); }

float FromTenths(int16_t tenths) { return Dequantise(tenths, kTenthsScale); }

}  // namespace qwz
