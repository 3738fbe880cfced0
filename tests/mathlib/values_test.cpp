#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "ksptrl4_math.h"

namespace {

int32_t bits(uint32_t pattern) {
    return static_cast<int32_t>(pattern);
}

TEST(CodeToValue, TwentyFourBitPatterns) {
    EXPECT_DOUBLE_EQ(ksptrl4Math_cod24_2val(1.5, 2.0, 4), 3.5);
    EXPECT_EQ(ksptrl4Math_cod24_2val(0.0, 1.0, 0x00800000), 0.0);
    EXPECT_EQ(ksptrl4Math_cod24_2val(0.0, 1.0, bits(0xFF800000u)), -8388608.0);
    EXPECT_EQ(ksptrl4Math_cod24_2val(0.0, 1.0, 0x00FFFFFF), -1.0);
    EXPECT_EQ(ksptrl4Math_cod24_2val(0.0, 1.0, bits(0xFFFFFFFFu)), -1.0);
    EXPECT_EQ(ksptrl4Math_cod24_2val(0.0, 1.0, 0x007FFFFF), 8388607.0);
    // Bits 24-31 are not masked when bit 23 is clear.
    EXPECT_EQ(ksptrl4Math_cod24_2val(0.0, 1.0, 0x01000005), 16777221.0);
    // Division first, then the addition: 1/3 + 1 rounded once each.
    EXPECT_EQ(ksptrl4Math_cod24_2val(1.0, 3.0, 1), 1.0 / 3.0 + 1.0);
}

TEST(CodeToValue, SixteenBitPatterns) {
    EXPECT_EQ(ksptrl4Math_cod16_2val(0.0, 256.0, 1), 1.0);
    EXPECT_EQ(ksptrl4Math_cod16_2val(0.0, 256.0, 0x0000FFFF), -1.0);
    EXPECT_EQ(ksptrl4Math_cod16_2val(0.0, 256.0, bits(0xFFFFFFFFu)), -1.0);
    EXPECT_EQ(ksptrl4Math_cod16_2val(0.0, 256.0, 0x00008000), 0.0);
    EXPECT_EQ(ksptrl4Math_cod16_2val(0.0, 256.0, bits(0xFFFF8000u)), -32768.0);
    EXPECT_EQ(ksptrl4Math_cod16_2val(0.0, 256.0, 0x7FFF), 32767.0);
    // Bits shifted out at the top are lost, not overflowed.
    EXPECT_EQ(ksptrl4Math_cod16_2val(0.0, 256.0, bits(0x7FFF0001u)), -65535.0);
    EXPECT_EQ(ksptrl4Math_cod16_2val(0.0, 0.0, 1), std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(ksptrl4Math_cod16_2val(0.0, 0.0, 0)));
}

TEST(CodeToValue, RoundTripThroughSampleToCode) {
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int i = 0; i < 20000; ++i) {
        const double zero = unit(rng) * 2.0;
        const double gain = 1e5 * (1.5 + unit(rng));
        const double value = zero + unit(rng) * 8388000.0 / gain;
        int32_t code = 0;
        ASSERT_EQ(ksptrl4Math_double2cod24(5, zero, gain, &value, 1, &code, 1, 0.0), 0);
        const double back = ksptrl4Math_cod24_2val(zero, gain, code);
        const double step = 1.0 / gain;
        const double slack = 1e-9 * step;  // the arithmetic's own rounding
        if ((value - zero) * gain >= -0.5) {
            EXPECT_LE(std::fabs(back - value), 0.5 * step + slack) << value;
        } else {
            EXPECT_GE(back - value, 0.5 * step - slack) << value;
            EXPECT_LT(back - value, 1.5 * step + slack) << value;
        }
    }
    // Clipped samples come back as full scale, or as zero at the negative end.
    const double big[2] = {1e9, -1e9};
    int32_t codes[2];
    ksptrl4Math_double2cod24(0, 0.25, 1000.0, big, 2, codes, 1, 0.0);
    EXPECT_EQ(ksptrl4Math_cod24_2val(0.25, 1000.0, codes[0]), 8388607.0 / 1000.0 + 0.25);
    EXPECT_EQ(ksptrl4Math_cod24_2val(0.25, 1000.0, codes[1]), 0.25);
    int16_t c16[2];
    ksptrl4Math_double2cod16(0, 0.25, 1000.0, big, 2, c16, 1, 0.0);
    EXPECT_EQ(ksptrl4Math_cod16_2val(0.25, 1000.0, static_cast<uint16_t>(c16[1])),
              0.25);  // zero-extended
    EXPECT_EQ(ksptrl4Math_cod16_2val(0.25, 1000.0, c16[1]), -32768.0 * 256.0 / 1000.0 + 0.25);
}

TEST(AdcCode, FourteenBitTwosComplement) {
    EXPECT_DOUBLE_EQ(ksptrl4Math_ADCcod2val(0.001, 0x1FFF), 8.191);
    EXPECT_DOUBLE_EQ(ksptrl4Math_ADCcod2val(0.001, 0x2000), -8.192);
    EXPECT_DOUBLE_EQ(ksptrl4Math_ADCcod2val(0.001, 0xC001), 0.001);
    EXPECT_EQ(ksptrl4Math_ADCcod2val(1.0, 0x3FFF), -1.0);
    EXPECT_EQ(ksptrl4Math_ADCcod2val(1.0, bits(0xFFFFC000u)), 0.0);  // upper bits ignored
    EXPECT_EQ(ksptrl4Math_ADCcod2val(2.0, bits(0x80000001u)), 2.0);
}

TEST(Attenuation, ValueToCodeClampsAsUnsigned) {
    EXPECT_EQ(ksptrl4Math_attVal2cod(1000, 0.5), 500);
    EXPECT_EQ(ksptrl4Math_attVal2cod(1000, 0.9996), 1000);
    EXPECT_EQ(ksptrl4Math_attVal2cod(1000, 1.2), 1000);
    EXPECT_EQ(ksptrl4Math_attVal2cod(1000, -0.001), 0);
    EXPECT_EQ(ksptrl4Math_attVal2cod(1000, -0.002), 1000);
    EXPECT_EQ(ksptrl4Math_attVal2cod(1000, -0.0014), 0);     // product -1.4: above -1.5
    EXPECT_EQ(ksptrl4Math_attVal2cod(1000, -0.0015), 1000);  // product -1.5
    EXPECT_EQ(ksptrl4Math_attVal2cod(65535, 1.0), 65535);
    EXPECT_EQ(ksptrl4Math_attVal2cod(65535, 0.99999), 65534);
    EXPECT_EQ(ksptrl4Math_attVal2cod(0, 0.3), 0);
    // Beyond the 32-bit range, of either sign, and not a number: full scale.
    for (double v :
         {1e12, -1e12, 3e6, -3e6, std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()})
        EXPECT_EQ(ksptrl4Math_attVal2cod(1000, v), 1000) << v;
}

TEST(Attenuation, CodeToValue) {
    EXPECT_EQ(ksptrl4Math_attCod2val(1000, 500), 0.5);
    EXPECT_DOUBLE_EQ(ksptrl4Math_attCod2val(1000, 65535), 65.535);
    EXPECT_EQ(ksptrl4Math_attCod2val(4, 1), 0.25);
    EXPECT_EQ(ksptrl4Math_attCod2val(0, 1), std::numeric_limits<double>::infinity());
    for (int32_t fs : {1, 999, 1000, 65535})
        for (int c = 0; c <= fs; c += 1 + fs / 50)
            EXPECT_EQ(
                ksptrl4Math_attVal2cod(fs, ksptrl4Math_attCod2val(fs, static_cast<uint16_t>(c))),
                c);
}

}  // namespace
