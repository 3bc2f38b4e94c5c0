#include "format/Quantise.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qwz {
namespace {

TEST(Quantise, WritingTruncatesTowardZero) {
    EXPECT_EQ(QuantiseInt16(1.27f, 100.0f), int16_t(126));
    EXPECT_EQ(QuantiseInt16(-1.27f, 100.0f), int16_t(-126));
    EXPECT_EQ(QuantiseInt16(0.5f, 100.0f), int16_t(50));
    EXPECT_EQ(QuantiseInt16(-0.25f, 100.0f), int16_t(-25));
    EXPECT_EQ(ToTenths(12.34f), int16_t(123));
    EXPECT_EQ(ToTenths(-12.37f), int16_t(-123));
}

TEST(Quantise, WhatDoesNotFitAnInt16IsRefused) {
    EXPECT_EQ(QuantiseInt16(327.67f, 100.0f), int16_t(32767));
    EXPECT_EQ(QuantiseInt16(-327.68f, 1000.0f), std::nullopt);
    EXPECT_EQ(QuantiseInt16(-32768.0f, 1.0f), int16_t(-32768));
    EXPECT_FALSE(QuantiseInt16(327.69f, 100.0f));
    EXPECT_FALSE(QuantiseInt16(-327.7f, 100.0f));
    EXPECT_FALSE(QuantiseInt16(NAN, 1.0f));
    EXPECT_FALSE(QuantiseInt16(INFINITY, 1.0f));
    EXPECT_FALSE(QuantiseInt16(-INFINITY, 1.0f));
    EXPECT_FALSE(ToTenths(3276.8f));
    EXPECT_EQ(ToTenths(-3276.8f), int16_t(-32768));
}

// Reading a stored integer and writing it again must give the same integer,
// for every int16 at every scale the preparation picks in practice.
TEST(Quantise, EveryInt16SurvivesReadingAndWritingAgain) {
    const float scales[] = {0.1f, 1.0f, 10.0f, 100.0f, 1000.0f};
    for (float scale : scales) {
        int moved = 0;
        for (int q = -32768; q <= 32767; ++q) {
            const float v = Dequantise(q, scale);
            const auto again = QuantiseInt16(v, scale);
            if (!again || *again != q) ++moved;
            // and it stays within two float32 steps of the exact quotient
            const double exact = double(q) / double(scale);
            ASSERT_LE(std::fabs(double(v) - exact), 2.0 * std::fabs(double(std::nextafter(v, INFINITY)) - double(v)) + 1e-300)
                << "q=" << q << " scale=" << scale;
        }
        EXPECT_EQ(moved, 0) << "scale " << scale;
    }
}

TEST(Quantise, ReadingGivesTheNearestValueWhenThatAlreadyWorks) {
    // 1.26f x 100 is 125.99999..., so 126 reads as the float32 just above it
    EXPECT_EQ(Dequantise(126, 100.0f), std::nextafter(1.26f, 2.0f));
    EXPECT_EQ(Dequantise(-126, 100.0f), std::nextafter(-1.26f, -2.0f));
    EXPECT_EQ(Dequantise(50, 100.0f), 0.5f);
    EXPECT_EQ(Dequantise(0, 100.0f), 0.0f);
    EXPECT_EQ(Dequantise(-32768, 10.0f), -3276.8f);
    // 0.7 is the float32 0.699999988, which would truncate to 6 at scale 10:
    // the value read is the next float32 up.
    const float seven = Dequantise(7, 10.0f);
    EXPECT_EQ(seven, std::nextafter(0.7f, 1.0f));
    EXPECT_EQ(QuantiseInt16(seven, 10.0f), int16_t(7));
    EXPECT_EQ(FromTenths(7), seven);
    EXPECT_EQ(ToTenths(FromTenths(-7)), int16_t(-7));
}

TEST(Quantise, ADamagedScaleEndsWithoutLooping) {
    EXPECT_TRUE(std::isinf(Dequantise(5, 0.0f)));
    EXPECT_TRUE(std::isnan(Dequantise(0, 0.0f)));
    EXPECT_TRUE(std::isnan(Dequantise(5, NAN)));
    EXPECT_LT(Dequantise(5, INFINITY), 1e-40f);
}

}  // namespace
}  // namespace qwz
