// Quantisation of the 16-bit coordinates of versions 201 to 203, in one
// place so that reading and writing agree.
//
// Writing:  q = trunc(value * scale), the product taken in double precision
//           and truncated toward zero (1.27 at scale 100 is 126, -1.27 is
//           -126). The result must fit an int16 to be stored.
// Reading:  the float32 nearest to q / scale (quotient in double precision).
//           Only when quantising that float32 again at the same scale would
//           not give q back, it is moved by the smallest float32 steps away
//           from zero until it does; so reading and writing again never
//           moves a coordinate, while the value stays within a float32 step
//           or two of q / scale.
//
// The reference point of the older headers is stored in tenths by the same
// rules with the scale 10.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

namespace qwz {

// trunc(value * scale) in double precision; NaN or infinite when the value or
// the product is not finite.
inline double QuantiseExact(double value, double scale) { return std::trunc(value * scale); }

// The int16 that stores value at scale; empty when it does not fit in
// -32768..32767 or is not a number.
inline std::optional<int16_t> QuantiseInt16(float value, float scale) {
    // trunc(x) lies in -32768..32767 exactly when x lies strictly between
    // -32769 and 32768; the conversion to an integer then truncates toward
    // zero by itself. A NaN fails the test.
    const double x = double(value) * double(scale);
    if (!(x > -32769.0 && x < 32768.0)) return std::nullopt;
    return int16_t(int32_t(x));
}

// The float32 that a stored integer q stands for at scale (see above).
float DequantiseNudged(int32_t q, float scale, float nearest);
inline float Dequantise(int32_t q, float scale) {
    const float nearest = float(double(q) / double(scale));
    const double x = double(nearest) * double(scale);  // trunc(x) == q, as in QuantiseInt16
    if (x > -2147483649.0 && x < 2147483648.0 && int32_t(x) == q) return nearest;
    return DequantiseNudged(q, scale, nearest);
}

// The reference tenth of a reference coordinate (scale 10), and back.
std::optional<int16_t> ToTenths(float value);
float FromTenths(int16_t tenths);

}  // namespace qwz
