// Numbers as panels show them, and typed text read back.
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "comma_locale.h"
#include "panel/model.h"

using panel::Format;
using panel::formatNumber;
using panel::parseNumber;

TEST(FormatTest, ExponentFormHasSixDecimalsAndAnUnpaddedExponent) {
    EXPECT_EQ(formatNumber(1.0, Format::Exponent, 6), "1.000000E+0");
    EXPECT_EQ(formatNumber(0.0, Format::Exponent, 6), "0.000000E+0");
    EXPECT_EQ(formatNumber(-0.00125, Format::Exponent, 6), "-1.250000E-3");
    EXPECT_EQ(formatNumber(1.5e100, Format::Exponent, 6), "1.500000E+100");
    // Rounding carries into the exponent.
    EXPECT_EQ(formatNumber(9.9999999, Format::Exponent, 6), "1.000000E+1");
}

TEST(FormatTest, EngineeringFormKeepsExponentAMultipleOfThree) {
    EXPECT_EQ(formatNumber(25000.0, Format::Engineering, 2), "25.00E+3");
    EXPECT_EQ(formatNumber(0.0, Format::Engineering, 2), "0.00E+0");
    EXPECT_EQ(formatNumber(-1500.0, Format::Engineering, 2), "-1.50E+3");
    EXPECT_EQ(formatNumber(0.001, Format::Engineering, 2), "1.00E-3");
    EXPECT_EQ(formatNumber(0.0123, Format::Engineering, 2), "12.30E-3");
    // 999.999 rounds to 1000.00 with two decimals: that must move to the next exponent.
    EXPECT_EQ(formatNumber(999.999, Format::Engineering, 2), "1.00E+3");
    EXPECT_EQ(formatNumber(1000.0, Format::Engineering, 2), "1.00E+3");
}

TEST(FormatTest, FixedAndIntegerForms) {
    EXPECT_EQ(formatNumber(10.0, Format::Fixed, 2), "10.00");
    EXPECT_EQ(formatNumber(1000.0, Format::Fixed, 0), "1000");
    EXPECT_EQ(formatNumber(-32768.0, Format::Integer, 0), "-32768");
    EXPECT_EQ(formatNumber(65535.0, Format::Integer, 0), "65535");
}

TEST(FormatTest, ExtremesNeitherCrashNorOverrun) {
    double big = std::numeric_limits<double>::max();
    EXPECT_EQ(formatNumber(big, Format::Fixed, 15).size(), 309u + 1 + 15);
    EXPECT_EQ(formatNumber(std::nan(""), Format::Exponent, 6), "NaN");
    EXPECT_EQ(formatNumber(-INFINITY, Format::Engineering, 2), "-Inf");
    double tiny = std::numeric_limits<double>::denorm_min();
    double back = 0.0;
    ASSERT_TRUE(parseNumber(formatNumber(tiny, Format::Engineering, 2), back));
    EXPECT_GT(back, 0.0);
    // Precision outside 0..15 is held to it rather than handed to printf.
    EXPECT_EQ(formatNumber(1.0, Format::Fixed, 99), "1.000000000000000");
    EXPECT_EQ(formatNumber(1.0, Format::Fixed, -4), "1");
}

TEST(FormatTest, EveryShownFormReadsBack) {
    const double values[] = {0.0, 1.0, -2.5, 25000.0, 1e-7, 123456.789, -96000.0};
    for (double v : values) {
        for (Format f : {Format::Fixed, Format::Exponent, Format::Engineering}) {
            std::string shown = formatNumber(v, f, 6);
            double back = 0.0;
            ASSERT_TRUE(parseNumber(shown, back)) << shown;
            EXPECT_NEAR(back, v, std::fabs(v) * 1e-5 + 1e-6) << shown;
        }
    }
}

TEST(FormatTest, TypedTextAcceptsPlainNumbersAndDecimalComma) {
    double v = 0.0;
    ASSERT_TRUE(parseNumber(" 5 ", v));
    EXPECT_EQ(v, 5.0);
    ASSERT_TRUE(parseNumber("+5", v));
    EXPECT_EQ(v, 5.0);
    ASSERT_TRUE(parseNumber("-2.5E+3", v));
    EXPECT_EQ(v, -2500.0);
    ASSERT_TRUE(parseNumber(".5", v));
    EXPECT_EQ(v, 0.5);
    ASSERT_TRUE(parseNumber("10,5", v));
    EXPECT_EQ(v, 10.5);
}

TEST(FormatTest, TypedGarbageIsRefusedWithAReasonAndLeavesTheValue) {
    for (const char *bad : {"", "  ", "abc", "1.0x", "inf", "nan", "-nan", "0x10", "--1", "1e",
                            "1,5,5", "1.5,5", "+"}) {
        double v = 42.0;
        std::string why;
        EXPECT_FALSE(parseNumber(bad, v, &why)) << bad;
        EXPECT_EQ(v, 42.0) << bad;
        EXPECT_NE(why.find("is not a number"), std::string::npos) << bad << ": " << why;
    }
    double v = 0.0;
    std::string why;
    EXPECT_FALSE(parseNumber("1e999", v, &why));
    EXPECT_NE(why.find("out of range"), std::string::npos) << why;
}

// A comma-decimal desktop shows and reads what "C" does; the fixed form is printf's there.
TEST(FormatTest, ShownAndTypedNumbersDoNotDependOnTheLocale) {
    auto shown = [](double v, int precision) {
        return formatNumber(v, Format::Fixed, precision) + " " +
               formatNumber(v, Format::Exponent, precision) + " " +
               formatNumber(v, Format::Engineering, precision);
    };
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> m(-9.99, 9.99);
    std::uniform_int_distribution<int> e(-12, 12);
    std::vector<double> values(3000);
    std::vector<std::string> underC;
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = m(rng) * std::pow(10.0, e(rng));
        char fixed[64];
        std::snprintf(fixed, sizeof fixed, "%.*f", static_cast<int>(i % 16), values[i]);
        underC.push_back(shown(values[i], static_cast<int>(i % 16)));
        ASSERT_EQ(underC.back().substr(0, underC.back().find(' ')), fixed);
    }
    TRL4_UNDER_COMMA_LOCALE(locale);
    for (std::size_t i = 0; i < values.size(); ++i)
        ASSERT_EQ(shown(values[i], static_cast<int>(i % 16)), underC[i]);
    double v = 0.0;
    ASSERT_TRUE(parseNumber("-2.5E-3", v));
    EXPECT_EQ(v, -0.0025);
}

TEST(FormatTest, Utf8LengthCountsCharacters) {
    EXPECT_EQ(panel::utf8Length("trl4.log"), 8u);
    EXPECT_EQ(panel::utf8Length("Поверка"), 7u);
    EXPECT_EQ(panel::utf8Length(""), 0u);
}
