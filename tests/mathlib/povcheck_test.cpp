#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "comma_locale.h"
#include "ksptrl4_math.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Proc {
    int32_t result;
    std::string tolerance;
    std::string deviation;
};

// Calls with 11-byte buffers followed by canaries, and fails the test on any overrun.
Proc proc(double scale, double nominal, double measured, double tolerance) {
    char tol[16], dev[16];
    std::memset(tol, '#', sizeof tol);
    std::memset(dev, '#', sizeof dev);
    Proc r;
    r.result = ksptrl4_povCheckValueProc(scale, nominal, measured, tolerance, tol, dev);
    for (std::size_t i = 11; i < sizeof tol; ++i) {
        EXPECT_EQ(tol[i], '#') << "tolerance text overran, inputs " << scale << ' ' << nominal
                               << ' ' << measured << ' ' << tolerance;
        EXPECT_EQ(dev[i], '#') << "deviation text overran";
    }
    EXPECT_NE(std::memchr(tol, '\0', 11), nullptr);
    EXPECT_NE(std::memchr(dev, '\0', 11), nullptr);
    r.tolerance.assign(tol, strnlen(tol, 11));
    r.deviation.assign(dev, strnlen(dev, 11));
    return r;
}

// Result and texts for {scale, nominal, measured, tolerance}; -1 or nullptr: not checked.
TEST(PercentCheck, ResultAndTexts) {
    struct Case {
        double scale, nominal, measured, tolerance;
        int32_t result;
        const char *tolerance_text, *deviation_text;
    };
    const Case cases[] = {
        {10, 10, 10.05, 1.0, 0, "   1.0", "    0.5"},
        {10, 10, 9.85, 1.0, 1, nullptr, "  -1.5"},
        {10, 10, 9.95, 1.0, 0, nullptr, "  -0.5"},  // minus kept with a zero integer part
        {10, 10, 10.05, 0.25, 1, "  0.25", "   0.50"},
        // Equal and tiny deviations; a zero tolerance fails any difference.
        {10, 10, 10, 1.0, 0, nullptr, "    0.0"},
        {10, 10, 10.0000001, 1.0, 0, nullptr, "    0.1"},  // too small to show: one unit
        {10, 10, 10.0000001, 0.0, 1, "   0.0", nullptr},
        // Whole percent and over range; exactly 100 % still shows as over range.
        {10, 10, 13, 20, 1, "    20", "     30"},
        {10, 10, 7, 20, -1, nullptr, "   -30"},
        {10, 10, 25, 50, 1, nullptr, ">100.0"},
        {10, 10, 20, 50, -1, nullptr, ">100.0"},
        {10, 10, -5, 50, -1, nullptr, "> -100.0"},
        // A deviation equal to the tolerance at its resolution passes.
        {0.5, 0.5, 0.49, 2, 0, "   2.0", "  -2.0"},
        // The tolerance text per exponent.
        {10, 10, 10, 0.00012, -1, "0.00012", nullptr},
        {10, 10, 10, 0.001, -1, "0.0010", nullptr},
        {10, 10, 10, 0.012, -1, " 0.012", nullptr},
        {10, 10, 10, 0.00002, -1, "2.0e-05", nullptr},
        {10, 10, 10, 500, -1, "5.0e+02", nullptr},
        {10, 10, 10, 0.1449, -1, "  0.15", nullptr},  // rounded twice: 1.45e-01 -> 15
        {10, 10, 10, 9.96, -1, "  10.0", nullptr},    // rounding up to the next decade
        // The deviation text per exponent: tolerance 0.00002 % (E = -5), V = 400 -> 40.
        {100, 100, 100.0004, 0.00002, 1, nullptr, " 0.00040"},
        {100, 100, 99.9996, 0.00002, -1, nullptr, "-0.00040"},
        {100, 100, 100.00003, 0.0005, 0, nullptr, " 0.00003"},  // E = -4: K = -5 directly
        {100, 100, 99.99997, 0.0005, -1, nullptr, "-0.00003"},
        {100, 100, 100.0012, 0.005, -1, nullptr, " 0.0012"},  // K = -4, -3, -2
        {100, 100, 99.9988, 0.005, -1, nullptr, "-0.0012"},
        {100, 100, 100.012, 0.05, -1, nullptr, "  0.012"},
        {100, 100, 99.988, 0.05, -1, nullptr, " -0.012"},
        {100, 100, 100.12, 0.5, -1, nullptr, "   0.12"},
        {100, 100, 99.88, 0.5, -1, nullptr, "  -0.12"},
        {100, 100, 100.000002, 0.000005, -1, nullptr, "2.0e-06"},  // K below -5: "%3.1e"
        {100, 100, 99.999998, 0.000005, -1, nullptr, "-2.0e-06"},
        {100, 100, 199.5, 1.0, -1, nullptr, ">100.0"},  // half up per digit: 995 -> 100 -> 10
        {1000, 0, 99.6, 1.0, -1, nullptr, "     10"},   // 9.96 %: V = 100 -> 10 at K = 0
        // Zero scale; 0/0 has nothing to judge and equal values pass.
        {0, 10, 10.5, 1.0, 1, nullptr, ">100.0"},
        {0, 10, 9.5, 1.0, 1, nullptr, "> -100.0"},
        {0, 10, 10, 1.0, 0, nullptr, "    0.0"},
        // A negative tolerance acts as zero: E from the magnitude, M read as 0.
        {10, 10, 10.01, -1.0, 1, "   0.0", nullptr},
        {10, 10, 10, -0.05, -1, " 0.000", nullptr},
        {10, 10, 10, -1.0, 0, nullptr, nullptr},
        // Measurements that are not numbers fail.
        {10, 10, kNaN, 50, 1, nullptr, nullptr},
        {10, kNaN, 10, 50, 1, nullptr, nullptr},
        {kNaN, 10, 10.1, 50, 1, nullptr, nullptr},
        {10, 10, kInf, 50, 1, nullptr, ">100.0"},
        {10, 10, -kInf, 50, -1, nullptr, "> -100.0"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::setprecision(17) << c.scale << ' ' << c.nominal
                                        << ' ' << c.measured << ' ' << c.tolerance);
        const Proc r = proc(c.scale, c.nominal, c.measured, c.tolerance);
        if (c.result >= 0) {
            EXPECT_EQ(r.result, c.result);
        }
        if (c.tolerance_text) {
            EXPECT_EQ(r.tolerance, c.tolerance_text);
        }
        if (c.deviation_text) {
            EXPECT_EQ(r.deviation, c.deviation_text);
        }
    }
}

TEST(PercentCheck, NullTextPointersAreAllowed) {
    EXPECT_EQ(ksptrl4_povCheckValueProc(10, 10, 9.85, 1.0, nullptr, nullptr), 1);
    char dev[11];
    EXPECT_EQ(ksptrl4_povCheckValueProc(10, 10, 9.95, 1.0, nullptr, dev), 0);
    EXPECT_STREQ(dev, "  -0.5");
}

// Extreme and hostile inputs never write past the eleventh byte (arbitrary bit patterns are
// the fuzzer's).
TEST(PercentCheck, TextsStayWithinElevenBytes) {
    const double kMax = std::numeric_limits<double>::max();
    const double values[] = {0.0,    -0.0,  1.0,         -1.0,      1e-300,  -1e-300,
                             5e-324, 1e300, -1e300,      kMax,      -kMax,   kInf,
                             -kInf,  kNaN,  123456789.0, 9.9999e-5, 0.99951, 2147483647.0};
    for (double scale : values)
        for (double nominal : {0.0, 1.0, -1e300, kNaN})
            for (double measured : values)
                for (double tol : values)
                    (void)proc(scale, nominal, measured, tol);
}

TEST(AbsoluteCheck, RoundsToSevenDigitsBeforeComparing) {
    double d = -1.0;
    EXPECT_EQ(ksptrl4_povCheckValueAbs(1.0, 1.1, 0.1, &d), 0);
    EXPECT_NEAR(d, 0.1, 1e-15);
    EXPECT_EQ(ksptrl4_povCheckValueAbs(1.1, 1.0, 0.1, nullptr), 0);  // order does not matter
    EXPECT_EQ(ksptrl4_povCheckValueAbs(1.0, 1.100001, 0.1, nullptr), 1);
    EXPECT_EQ(ksptrl4_povCheckValueAbs(1.100001, 1.0, 0.1, nullptr), 1);
    EXPECT_EQ(ksptrl4_povCheckValueAbs(1.0, 1.1000004, 0.1, nullptr), 0);
    d = -1.0;
    EXPECT_EQ(ksptrl4_povCheckValueAbs(1.00000004, 1.0, 0.0, &d), 0);
    EXPECT_EQ(d, 0.0);
    EXPECT_EQ(ksptrl4_povCheckValueAbs(1.0000004, 1.0, 0.0, &d), 0);            // 1.000000
    EXPECT_EQ(ksptrl4_povCheckValueAbs(1.0000006, 1.0, 0.0, &d), 1);            // 1.000001
    EXPECT_EQ(ksptrl4_povCheckValueAbs(123456789.0, 123456800.0, 0.0, &d), 0);  // 1.234568e+08 both
}

TEST(AbsoluteCheck, NotANumberFails) {
    double d = 0.0;
    EXPECT_EQ(ksptrl4_povCheckValueAbs(1.0, kNaN, 1.0, &d), 1);
    EXPECT_TRUE(std::isnan(d));
    EXPECT_EQ(ksptrl4_povCheckValueAbs(kInf, kInf, 1.0, &d), 1);
    EXPECT_EQ(ksptrl4_povCheckValueAbs(1.0, 2.0, kNaN, &d), 1);
    EXPECT_EQ(ksptrl4_povCheckValueAbs(1.0, 2.0, kInf, &d), 0);
    EXPECT_EQ(ksptrl4_povCheckValueAbs(1.0, kInf, 1.0, &d), 1);
    EXPECT_EQ(ksptrl4_povCheckValueAbs(1.0, 1.0, -1.0, &d),
              1);  // a negative tolerance fails even zero
}

// Everything both checks give for inputs {scale, nominal, measured, tolerance}, as one text.
// Under "C" their "%3.1e" texts must also be printf's.
std::string outcome(const std::array<double, 4> &v, bool againstPrintf) {
    const Proc r = proc(v[0], v[1], v[2], v[3]);
    double d = 0.0;
    const int32_t abs = ksptrl4_povCheckValueAbs(v[1], v[2], v[3], &d);
    char printed[32];
    std::snprintf(printed, sizeof printed, "%3.1e", v[3]);
    if (againstPrintf && r.tolerance.find('e') != std::string::npos) {
        EXPECT_EQ(r.tolerance, std::string(printed).substr(0, 10));
    }
    uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof bits);
    return std::to_string(r.result) + r.tolerance + "|" + r.deviation + std::to_string(abs) + "|" +
           std::to_string(bits);
}

TEST(LocaleIndependence, ChecksUnderACommaDecimalLocaleAreThoseOfC) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> m(-9.99, 9.99);
    std::uniform_int_distribution<int> e(-9, 9);
    std::vector<std::array<double, 4>> inputs(4000);
    std::vector<std::string> underC;
    for (auto &v : inputs) {
        const double nominal = m(rng) * std::pow(10.0, e(rng) / 3);
        v = {std::fabs(m(rng)) * std::pow(10.0, e(rng) / 3), nominal,
             nominal + m(rng) * std::pow(10.0, e(rng)), std::fabs(m(rng)) * std::pow(10.0, e(rng))};
        underC.push_back(outcome(v, true));
    }
    TRL4_UNDER_COMMA_LOCALE(locale);
    const Proc r = proc(10, 10, 10.012, 0.5);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.tolerance, "  0.50");
    EXPECT_EQ(r.deviation, "   0.12");
    for (std::size_t i = 0; i < inputs.size(); ++i)
        ASSERT_EQ(outcome(inputs[i], false), underC[i]) << i;
}

}  // namespace
