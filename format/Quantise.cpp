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

double QuantiseExact(double value, double scale) {
    return std::trunc(value * scale);
}

std::optional<int16_t> QuantiseInt16(float value, float scale) {
    const double q = QuantiseExact(value, scale);
    if (!(q >= -32768.0 && q <= 32767.0)) return std::nullopt;  // also NaN
    return int16_t(q);
}

float Dequantise(int32_t q, float scale) {
    float v = float(double(q) / double(scale));
    const double wanted = double(q);
    for (int i = 0; i < kMaxNudges && std::isfinite(v) && QuantiseExact(v, scale) != wanted; ++i)
        v = std::nextafter(v, std::signbit(v) ? -INFINITY : INFINITY);
    return v;
}

std::optional<int16_t> ToTenths(float value) { return QuantiseInt16(value, kTenthsScale); }

float FromTenths(int16_t tenths) { return Dequantise(tenths, kTenthsScale); }

}  // namespace qwz
