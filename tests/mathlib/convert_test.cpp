#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "ksptrl4_math.h"
#include "reference.h"

namespace {

constexpr int32_t kWarn = KSPTRL4_MATH_RANGE_WARNING;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Every one-channel export behind one signature, so a test can run them all.
struct OneChannel {
    const char *name;
    bool is16;
    bool isFloat;
    // Converts with step 1; returns the status and the codes as int32.
    int32_t (*run)(int32_t mode, double zero, double gain, const std::vector<double> &x,
                   std::vector<int32_t> &out, double shift);
};

template <class Sample, class Code, auto Fn>
int32_t run_one(int32_t mode, double zero, double gain, const std::vector<double> &x,
                std::vector<int32_t> &out, double shift) {
    std::vector<Sample> s(x.begin(), x.end());
    std::vector<Code> c(x.size(), Code{0x55});
    const int32_t status =
        Fn(mode, zero, gain, s.data(), static_cast<int32_t>(s.size()), c.data(), 1, shift);
    out.assign(c.begin(), c.end());
    return status;
}

// The two-channel exports with both channels set alike, behind the same signature.
template <class Sample, class Code, auto Fn>
int32_t run_two_alike(int32_t mode, double zero, double gain, const std::vector<double> &x,
                      std::vector<int32_t> &out, double shift) {
    const int32_t modes[2] = {mode, mode};
    const double zeros[2] = {zero, zero};
    const double gains[2] = {gain, gain};
    const double shifts[2] = {shift, shift};
    std::vector<Sample> s(x.begin(), x.end());
    std::vector<Code> c(x.size(), Code{0x55});
    const int32_t status =
        Fn(modes, zeros, gains, s.data(), static_cast<int32_t>(s.size()), c.data(), 12345, shifts);
    out.assign(c.begin(), c.end());
    return status;
}

std::vector<OneChannel> all_exports() {
    return {
        {"double2cod24", false, false, run_one<double, int32_t, ksptrl4Math_double2cod24>},
        {"double2cod16", true, false, run_one<double, int16_t, ksptrl4Math_double2cod16>},
        {"float2cod24", false, true, run_one<float, int32_t, ksptrl4Math_float2cod24>},
        {"float2cod16", true, true, run_one<float, int16_t, ksptrl4Math_float2cod16>},
        {"double2cod24_2chans", false, false,
         run_two_alike<double, int32_t, ksptrl4Math_double2cod24_2chans>},
        {"double2cod16_2chans", true, false,
         run_two_alike<double, int16_t, ksptrl4Math_double2cod16_2chans>},
        {"float2cod24_2chans", false, true,
         run_two_alike<float, int32_t, ksptrl4Math_float2cod24_2chans>},
        {"float2cod16_2chans", true, true,
         run_two_alike<float, int16_t, ksptrl4Math_float2cod16_2chans>},
    };
}

// Runs `e` and compares every code and the status with the reference.
void expect_matches_reference(const OneChannel &e, int32_t mode, double zero, double gain,
                              const std::vector<double> &x, double shift) {
    std::vector<int32_t> got;
    const int32_t status = e.run(mode, zero, gain, x, got, shift);
    bool warned = false;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double sample = e.isFloat ? static_cast<double>(static_cast<float>(x[i])) : x[i];
        const ref::Result r = ref::code(sample, zero, shift, gain, mode, e.is16);
        warned = warned || r.warned;
        ASSERT_EQ(got[i], r.code) << e.name << " sample " << i << " = " << sample << " zero "
                                  << zero << " gain " << gain << " shift " << shift;
    }
    EXPECT_EQ(status, warned ? kWarn : 0) << e.name;
}

TEST(SampleToCode, WorkedExamplesOf24BitConversion) {
    int32_t code = 0;
    const double eight = 8.0;
    EXPECT_EQ(ksptrl4Math_double2cod24(5, 0.0, 1000000.0, &eight, 1, &code, 1, 0.0), 0);
    EXPECT_EQ(code, 8000000);
    const double nine = 9.0;  // clips, but lies inside +-10.0
    EXPECT_EQ(ksptrl4Math_double2cod24(5, 0.0, 1000000.0, &nine, 1, &code, 1, 0.0), 0);
    EXPECT_EQ(code, 0x007FFFFF);
    const double over = 10.5;
    EXPECT_EQ(ksptrl4Math_double2cod24(5, 0.0, 1000000.0, &over, 1, &code, 1, 0.0), kWarn);
    EXPECT_EQ(code, 0x007FFFFF);
    EXPECT_EQ(ksptrl4Math_double2cod24(1, 0.0, 1000000.0, &over, 1, &code, 1, 0.0), 0);
    const double under = -10.5;
    EXPECT_EQ(ksptrl4Math_double2cod24(5, 0.0, 1000000.0, &under, 1, &code, 1, 0.0), kWarn);
    EXPECT_EQ(code, 0x00800000);
}

TEST(SampleToCode, RoundingAddsHalfThenTruncatesTowardZero) {
    // gain 1: v = x + 0.5
    const std::vector<double> x = {-1.7, -0.4, -2.5, -3.0, 2.5, 0.49, -0.5, -1.5};
    const std::vector<int32_t> want = {-1, 0, -2, -2, 3, 0, 0, -1};
    for (const auto &e : all_exports()) {
        if (e.is16) continue;
        std::vector<int32_t> got;
        EXPECT_EQ(e.run(5, 0.0, 1.0, x, got, 0.0), 0) << e.name;
        EXPECT_EQ(got, want) << e.name;
    }
}

TEST(SampleToCode, SixteenBitIsOne256thOfTheScale) {
    const std::vector<double> x = {1.0, 0.49};
    for (const auto &e : all_exports()) {
        std::vector<int32_t> got;
        e.run(0, 0.0, 256.0, x, got, 0.0);
        if (e.is16)
            EXPECT_EQ(got, (std::vector<int32_t>{1, 0})) << e.name;
        else
            EXPECT_EQ(got, (std::vector<int32_t>{256, 125})) << e.name;
    }
}

// The clip codes at and around the exact boundaries, for every export and both paths
// (the batch is long enough for the vector path, and the tail goes through the scalar one).
TEST(SampleToCode, ExactClipBoundaries) {
    for (const auto &e : all_exports()) {
        const double lim = e.is16 ? 32768.0 : 8388608.0;
        // gain 1 (times 256 for 16-bit so that v = x + 0.5 again)
        const double gain = e.is16 ? 256.0 : 1.0;
        const int32_t high = e.is16 ? 0x7FFF : 0x007FFFFF;
        const int32_t low = e.is16 ? -0x8000 : 0x00800000;
        struct Case {
            double x;  // the sample; with these gains v = x + 0.5, exactly
            int32_t code;
            bool clipped;
        };
        const int32_t top = static_cast<int32_t>(lim - 1);
        const double h = lim - 0.5;
        const Case cases[] = {
            {h, high, true},  // v = lim exactly
            {std::nextafter(h, 0.0), top, false},
            {std::nextafter(h, kInf), high, true},
            {h - 1.0, top, false},
            {-lim - 0.5, low, true},  // n of exactly -8388608 / -32768 is a low clip
            {std::nextafter(-lim - 0.5, 0.0), -top, false},
            {std::nextafter(-lim - 0.5, -kInf), low, true},
            {-lim + 0.5, -top, false},
        };
        for (const Case &c : cases) {
            const double x = c.x;
            if (e.isFloat && static_cast<double>(static_cast<float>(x)) != x) continue;
            // A short batch takes the per-sample path, a multiple of 16 only the vector one.
            for (std::size_t len : {3u, 32u}) {
                const std::vector<double> batch(len, x);
                std::vector<int32_t> got;
                // Every sample here lies beyond +-10, so mode 5 warns exactly when it clipped.
                EXPECT_EQ(e.run(5, 0.0, gain, batch, got, 0.0), c.clipped ? kWarn : 0)
                    << e.name << " x=" << c.x << " len " << len;
                for (int32_t g : got)
                    ASSERT_EQ(g, c.code) << e.name << " x=" << c.x;
            }
        }
    }
}

TEST(SampleToCode, NotANumberGivesZeroAndNoWarning) {
    for (const auto &e : all_exports()) {
        std::vector<double> x(21, kNaN);
        x[3] = 1.0;
        std::vector<int32_t> got;
        EXPECT_EQ(e.run(5, 0.0, 100.0, x, got, 0.0), 0) << e.name;
        for (std::size_t i = 0; i < x.size(); ++i)
            EXPECT_EQ(got[i], i == 3 ? (e.is16 ? 0 : 100) : 0) << e.name;
        // A NaN produced by the arithmetic (infinity times a zero gain) behaves the same.
        std::vector<double> inf(9, kInf);
        EXPECT_EQ(e.run(5, 0.0, 0.0, inf, got, 0.0), 0) << e.name;
        for (int32_t g : got)
            EXPECT_EQ(g, 0) << e.name;
    }
}

TEST(SampleToCode, InfinityAndHugeValuesClipBySign) {
    for (const auto &e : all_exports()) {
        const int32_t high = e.is16 ? 0x7FFF : 0x007FFFFF;
        const int32_t low = e.is16 ? -0x8000 : 0x00800000;
        const std::vector<double> x = {kInf, -kInf,        1e300,         -1e300, 3e9,
                                       -3e9, 2147483648.0, -2147483649.0, 1e30,   -1e30};
        std::vector<int32_t> got;
        EXPECT_EQ(e.run(5, 0.0, 1e6, x, got, 0.0), kWarn) << e.name;
        for (std::size_t i = 0; i < x.size(); ++i)
            EXPECT_EQ(got[i], i % 2 == 0 ? high : low) << e.name << " " << i;
        // The same with a mode other than 5: codes identical, status silent.
        std::vector<int32_t> silent;
        EXPECT_EQ(e.run(4, 0.0, 1e6, x, silent, 0.0), 0) << e.name;
        EXPECT_EQ(silent, got) << e.name;
    }
}

TEST(SampleToCode, RangeWarningComparesTheSampleStrictly) {
    for (const auto &e : all_exports()) {
        // gain huge: everything away from zero clips.
        std::vector<int32_t> got;
        EXPECT_EQ(e.run(5, 0.0, 1e9, {10.0, -10.0, 9.99, -9.99}, got, 0.0), 0) << e.name;
        // A sample above +10 with zero moved so it lands low: low clip, but the sample is
        // not below -10, so no warning.
        EXPECT_EQ(e.run(5, 100.0, 1e9, {10.5}, got, 0.0), 0) << e.name;
        EXPECT_EQ(got[0], e.is16 ? -0x8000 : 0x00800000) << e.name;
        // The warning is set by any clip beyond +-10 and stays set; all codes still written.
        std::vector<double> x(40, 0.001);
        x[17] = -10.5;
        EXPECT_EQ(e.run(5, 0.0, 1e9, x, got, 0.0), kWarn) << e.name;
        EXPECT_EQ(got[39], e.is16 ? 3906 : 1000000) << e.name;
        // A lone high clip inside a group of the vector path, nothing else unusual.
        std::vector<double> y(32, 0.001);
        y[21] = 10.5;
        EXPECT_EQ(e.run(5, 0.0, 1e9, y, got, 0.0), kWarn) << e.name;
        EXPECT_EQ(got[21], e.is16 ? 0x7FFF : 0x007FFFFF) << e.name;
        EXPECT_EQ(e.run(4, 0.0, 1e9, y, got, 0.0), 0) << e.name;
    }
}

TEST(SampleToCode, CountZeroOrNegativeTouchesNothing) {
    double sample = 1.0;
    int32_t code24 = 77;
    int16_t code16 = 77;
    const int32_t modes[2] = {5, 5};
    const double zeros[2] = {0, 0}, gains[2] = {1, 1}, shifts[2] = {0, 0};
    for (int32_t count : {0, -1, -2147483647 - 1}) {
        EXPECT_EQ(ksptrl4Math_double2cod24(5, 0, 1, &sample, count, &code24, 1, 0), 0);
        EXPECT_EQ(ksptrl4Math_double2cod16(5, 0, 1, &sample, count, &code16, 1, 0), 0);
        EXPECT_EQ(ksptrl4Math_double2cod24_2chans(modes, zeros, gains, &sample, count, &code24, 1,
                                                  shifts),
                  0);
        EXPECT_EQ(ksptrl4Math_double2cod16_2chans(modes, zeros, gains, &sample, count, &code16, 1,
                                                  shifts),
                  0);
    }
    EXPECT_EQ(code24, 77);
    EXPECT_EQ(code16, 77);
    // Null pointers are never read when there is nothing to do.
    EXPECT_EQ(ksptrl4Math_float2cod24(5, 0, 1, nullptr, 0, nullptr, 1, 0), 0);
    EXPECT_EQ(
        ksptrl4Math_float2cod16_2chans(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 1, nullptr),
        0);
}

TEST(SampleToCode, TwoChannelsAlternateParametersAndShareTheWarning) {
    const int32_t modes[2] = {5, 1};
    const double zeros[2] = {0.0, 1.0};
    const double gains[2] = {1000.0, 10.0};
    const double shifts[2] = {0.5, 0.0};
    // Odd count: the last sample belongs to channel 1.
    const double x3[3] = {1.0, 2.0, 3.0};
    int32_t c3[4] = {7, 7, 7, 7};
    EXPECT_EQ(ksptrl4Math_double2cod24_2chans(modes, zeros, gains, x3, 3, c3, 0, shifts), 0);
    EXPECT_EQ(c3[0], 1500);
    EXPECT_EQ(c3[1], 10);
    EXPECT_EQ(c3[2], 3500);
    EXPECT_EQ(c3[3], 7);

    // Channel 2 (mode 1) clipping beyond 10 is silent; channel 1 (mode 5) warns for the call.
    for (std::size_t n : {2u, 3u, 16u, 17u, 33u}) {
        std::vector<double> x(n, 0.0);
        x[1] = 1e9;
        std::vector<int32_t> c(n);
        EXPECT_EQ(ksptrl4Math_double2cod24_2chans(modes, zeros, gains, x.data(),
                                                  static_cast<int32_t>(n), c.data(), 0, shifts),
                  0);
        EXPECT_EQ(c[1], 0x007FFFFF);
        x[n - 1 - (n - 1) % 2] = -1e4;  // last channel-1 sample
        std::vector<float> xf(x.begin(), x.end());
        std::vector<int16_t> c16(n);
        EXPECT_EQ(ksptrl4Math_float2cod16_2chans(modes, zeros, gains, xf.data(),
                                                 static_cast<int32_t>(n), c16.data(), 0, shifts),
                  kWarn);
        EXPECT_EQ(c16[n - 1 - (n - 1) % 2], -0x8000);
        EXPECT_EQ(c16[1], 0x7FFF);
    }
}

// Random samples in several regimes against the naive reference, on all eight exports and
// lengths that exercise both the vector body and the scalar tail.
// One odd sample among in-range ones, at every place of the vector path's groups: only its
// own code is the clip's (or NaN's), and the codes around it are the in-range ones.
TEST(SampleToCode, AnOddSampleAtEveryPlaceOfABatch) {
    constexpr double kGainHere = 1000000.0;
    const double odd[] = {kNaN,
                          kInf,
                          -kInf,
                          8.3886075,
                          -8.3886075,
                          8.3886085,
                          10.5,
                          -10.5,
                          8.3886075 / 256.0 * 256.0,
                          32767.5 * 256.0 / kGainHere,
                          1e300};
    std::vector<double> x(100);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = 8.0 * std::sin(static_cast<double>(i) * 0.37);
    for (const auto &e : all_exports()) {
        for (const double value : odd) {
            for (std::size_t at = 0; at < x.size(); ++at) {
                std::vector<double> batch = x;
                batch[at] = value;
                for (const int32_t mode : {3, 5})
                    expect_matches_reference(e, mode, 0.0, kGainHere, batch, 0.0);
                if (::testing::Test::HasFatalFailure()) return;
            }
        }
    }
}

TEST(SampleToCode, MatchesReferenceOnRandomInputs) {
    std::mt19937_64 rng(20261206);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> pick(0, 9);
    const auto exports = all_exports();
    for (int round = 0; round < 60; ++round) {
        const double gain =
            std::pow(10.0, 2.0 + 5.0 * (unit(rng) + 1.0) / 2.0) * (round % 7 == 0 ? -1.0 : 1.0);
        const double zero = round % 3 == 0 ? 0.0 : unit(rng) * 3.0;
        const double shift = round % 4 == 0 ? 0.0 : unit(rng);
        const std::size_t n = round % 10 == 0 ? 1000 : 1 + static_cast<std::size_t>(rng() % 70);
        std::vector<double> x(n);
        for (double &s : x) {
            switch (pick(rng)) {
                case 0:
                    s = unit(rng) * 30.0;
                    break;
                case 1: {  // near a rounding boundary: (k - 0.5) / gain + base
                    const double k = std::round(unit(rng) * 8388608.0);
                    s = std::nextafter((k - 0.5) / gain + (zero - shift),
                                       unit(rng) > 0 ? kInf : -kInf);
                    break;
                }
                case 2: {  // near a clip boundary of either width
                    const double lim =
                        (pick(rng) % 2 ? 8388608.0 : 32768.0 * 256.0) * (unit(rng) > 0 ? 1 : -1);
                    s = (lim - 0.5) / gain + (zero - shift) + unit(rng) * 1e-6;
                    break;
                }
                case 3:
                    s = pick(rng) % 2 ? 10.0 : -10.0;
                    break;
                case 4:
                    s = unit(rng) > 0 ? kNaN : (unit(rng) > 0 ? kInf : -kInf);
                    break;
                case 5:
                    s = unit(rng) * 1e20;
                    break;
                default:
                    s = unit(rng) * 10.0;
                    break;
            }
        }
        const int32_t mode = round % 2 == 0 ? 5 : 3;
        for (const auto &e : exports)
            expect_matches_reference(e, mode, zero, gain, x, shift);
        // Other strides, backwards too, write the packed codes at their places and nothing
        // between them (a long batch takes the blocked path).
        const int32_t step = round % 3 == 0 ? -1 : 2 + round % 2;
        const std::size_t stride = step > 0 ? static_cast<std::size_t>(step) : 1;
        const std::size_t span = (n - 1) * stride + 1;
        const std::ptrdiff_t origin = step > 0 ? 0 : static_cast<std::ptrdiff_t>(span - 1);
        const int32_t cnt = static_cast<int32_t>(n);
        const std::vector<float> xf(x.begin(), x.end());
        std::vector<int32_t> packed24, packed16, c24(span, 12345);
        std::vector<int16_t> c16(span, 12345);
        EXPECT_EQ(ksptrl4Math_double2cod24(mode, zero, gain, x.data(), cnt, c24.data() + origin,
                                           step, shift),
                  exports[0].run(mode, zero, gain, x, packed24, shift));
        EXPECT_EQ(ksptrl4Math_float2cod16(mode, zero, gain, xf.data(), cnt, c16.data() + origin,
                                          step, shift),
                  exports[3].run(mode, zero, gain, x, packed16, shift));
        for (std::size_t i = 0; i < span; ++i) {
            const auto k =
                static_cast<std::size_t>((static_cast<std::ptrdiff_t>(i) - origin) / step);
            const bool written = i % stride == 0;
            ASSERT_EQ(c24[i], written ? packed24[k] : 12345) << "step " << step << " at " << i;
            ASSERT_EQ(c16[i], written ? packed16[k] : 12345) << "step " << step << " at " << i;
        }
    }
}

// One two-channel export with distinct channels against the reference.
template <class Sample, class Code, auto Fn>
void expect_two_channels_match(const int32_t *modes, const double *zeros, const double *gains,
                               const double *shifts, const std::vector<double> &x) {
    constexpr bool is16 = sizeof(Code) == 2;
    const std::vector<Sample> s(x.begin(), x.end());
    std::vector<Code> c(x.size());
    const int32_t status =
        Fn(modes, zeros, gains, s.data(), static_cast<int32_t>(s.size()), c.data(), 0, shifts);
    bool warned = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const std::size_t ch = i % 2;
        const auto r =
            ref::code(static_cast<double>(s[i]), zeros[ch], shifts[ch], gains[ch], modes[ch], is16);
        ASSERT_EQ(c[i], r.code) << "sample " << i;
        warned = warned || r.warned;
    }
    EXPECT_EQ(status, warned ? kWarn : 0);
}

TEST(SampleToCode, TwoChannelsMatchReferenceWithDifferentChannels) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int round = 0; round < 40; ++round) {
        const int32_t modes[2] = {round % 2 ? 5 : 0, 5};
        const double zeros[2] = {unit(rng), unit(rng)};
        const double gains[2] = {1e5 * (2 + unit(rng)), 1e6 * (2 + unit(rng))};
        const double shifts[2] = {unit(rng), 0.0};
        std::vector<double> x(static_cast<std::size_t>(rng() % 50));
        for (double &v : x)
            v = unit(rng) * 15.0;
        expect_two_channels_match<double, int32_t, ksptrl4Math_double2cod24_2chans>(
            modes, zeros, gains, shifts, x);
        expect_two_channels_match<double, int16_t, ksptrl4Math_double2cod16_2chans>(
            modes, zeros, gains, shifts, x);
        expect_two_channels_match<float, int32_t, ksptrl4Math_float2cod24_2chans>(modes, zeros,
                                                                                  gains, shifts, x);
        expect_two_channels_match<float, int16_t, ksptrl4Math_float2cod16_2chans>(modes, zeros,
                                                                                  gains, shifts, x);
    }
}

}  // namespace
