// The generator over the bench as an outside meter sees it: argument checks, the sine
// synthesiser, calibration by the front panel's formulas, forms through the math library.
#include <gmock/gmock.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "../sim/bench_fixture.h"
#include "kspbase.h"
#include "ksptrl4_32.h"
#include "visa.h"

namespace {

constexpr const char *kCarrier = "VXI0::24::INSTR";
constexpr double kPhaseStep = 100e6 / 1099511627776.0;  // reference clock / 2^40

constexpr std::string_view kBench = R"yaml(
resources:
  - name: "VXI0::24::INSTR"
    interface: VXI
    manufacturer: 0xE76
    model: 0x10D
    carrier:
      name: "Н.М. №0241"
      memory: 2097152
      mezzanines:
        - {position: 1, gain-error: [0.031, -0.027], frequency-error-ppm: 180}
        - {position: 2, type: 7}
)yaml";

// Amplitude tolerance of the verification, in percent.
double ampTolerance(double u) {
    return 0.004 * (10.0 / u - 1.0) + 0.02 + 0.0005 / u;
}
double freqTolerance(double f) {
    return f < 2.0 ? 0.1 : (f < 20000.0 ? 0.08 : 0.15);
}
bool within(double nominal, double measured, double tolerancePercent) {
    return std::abs(nominal - measured) / nominal * 100 <= tolerancePercent;
}

class GeneratorTest : public BenchTest {
  protected:
    void open(const char *rsrc, uint16_t position) {
        rsrc_ = rsrc;
        position_ = position;
        ASSERT_GE(kspbase_init(rsrc, 1, 1, &carrier_), VI_SUCCESS);  // some open with a warning
        ASSERT_GE(ksptrl4_init(rsrc, 1, 1, &gen_), VI_SUCCESS);
        ASSERT_EQ(ksptrl4_connect(gen_, carrier_, position, 1, 1), VI_SUCCESS);
        uint32_t memory = 0;
        ASSERT_EQ(kspbase_mem_q(carrier_, &memory), VI_SUCCESS);
        ASSERT_EQ(ksptrl4_alloc(gen_, memory / 8), VI_SUCCESS);
        ASSERT_EQ(ksptrl4_displacement(gen_), VI_SUCCESS);
        ASSERT_EQ(ksptrl4_get_attribute(gen_, KSPTRL4_ATTR_COEFF_BLOCK, &k_), VI_SUCCESS);
        ASSERT_EQ(ksptrl4_get_attribute(gen_, KSPTRL4_ATTR_OFFSET_CH1, &zero_[0]), VI_SUCCESS);
        ASSERT_EQ(ksptrl4_get_attribute(gen_, KSPTRL4_ATTR_OFFSET_CH2, &zero_[1]), VI_SUCCESS);
    }
    void TearDown() override {
        if (gen_ != 0) ksptrl4_close(gen_);
        if (carrier_ != 0) kspbase_close(carrier_);
        BenchTest::TearDown();
    }
    // The front panel's amplitude point: both channels, a 1 kHz sine of amplitude u.
    void amplitudePoint(double u) {
        ASSERT_EQ(ksptrl4_setSourceMode(gen_, 0, 1), VI_SUCCESS);
        ASSERT_EQ(ksptrl4_setRange(gen_, 0, u), VI_SUCCESS);
        ASSERT_EQ(ksptrl4_setAmpScale(gen_, 0, 1.0), VI_SUCCESS);
        ASSERT_EQ(ksptrl4_setRampRate(gen_, 0, 0.0), VI_SUCCESS);
        ASSERT_EQ(ksptrl4_setSineFreq(gen_, 0, 1000.0), VI_SUCCESS);
        ASSERT_EQ(ksptrl4_setRepetParams(gen_, 0, 7, 100.0), VI_SUCCESS);
        ASSERT_EQ(ksptrl4_config(gen_, 0, 0), VI_SUCCESS);
        ASSERT_EQ(ksptrl4_start(gen_), VI_SUCCESS);
    }
    // The frequency point, reading back the frequency set up as the front panel does.
    double frequencyPoint(double f) {
        double ref = 0;
        EXPECT_EQ(ksptrl4_reset(gen_), VI_SUCCESS);
        EXPECT_EQ(ksptrl4_setSourceMode(gen_, 0, 1), VI_SUCCESS);
        EXPECT_EQ(ksptrl4_setRange(gen_, 0, 10.0), VI_SUCCESS);
        EXPECT_EQ(ksptrl4_setSineFreq(gen_, 0, f), VI_SUCCESS);
        EXPECT_EQ(ksptrl4_setRepetParams(gen_, 0, 1, 0.0), VI_SUCCESS);
        EXPECT_EQ(ksptrl4_config(gen_, 0, 0), VI_SUCCESS);
        EXPECT_EQ(ksptrl4_GetRepetParams(gen_, 1, 0, &ref, nullptr, nullptr), VI_SUCCESS);
        EXPECT_EQ(ksptrl4_start(gen_), VI_SUCCESS);
        return ref;
    }
    trl4sim::MeterReading meter(int channel) {
        const auto m = trl4sim::readMeter(rsrc_, position_, channel);
        EXPECT_TRUE(m.has_value()) << "channel " << channel;
        return m.value_or(trl4sim::MeterReading{0, 0});
    }

    const char *rsrc_ = nullptr;
    uint16_t position_ = 0;
    uint32_t carrier_ = 0;
    uint32_t gen_ = 0;
    double *k_ = nullptr;
    double zero_[2] = {0, 0};
};

}  // namespace

// Each status has its own text: the driver test of error messages.
TEST_F(GeneratorTest, EveryRefusalHasItsOwnStatus) {
    install(kBench);
    open(kCarrier, 1);
    std::vector<double> samples(8, 0.5);
    struct Case {
        const char *what;
        int32_t status;
        int32_t expected;
    };
    const Case cases[] = {
        {"channel 3", ksptrl4_setRange(gen_, 3, 1.0), KSPTRL4_ERROR_CHANNEL},
        {"channel -1", ksptrl4_setSineFreq(gen_, -1, 1.0), KSPTRL4_ERROR_CHANNEL},
        {"read-back of both channels",
         ksptrl4_GetRepetParams(gen_, 0, 0, &samples[0], nullptr, nullptr), KSPTRL4_ERROR_CHANNEL},
        {"source mode 2", ksptrl4_setSourceMode(gen_, 1, 2), KSPTRL4_ERROR_MODE},
        {"range 0", ksptrl4_setRange(gen_, 0, 0.0), KSPTRL4_ERROR_RANGE},
        {"range above 10 V", ksptrl4_setRange(gen_, 1, 10.5), KSPTRL4_ERROR_RANGE},
        {"range NaN", ksptrl4_setRange(gen_, 1, std::nan("")), KSPTRL4_ERROR_RANGE},
        {"scale 1.5", ksptrl4_setAmpScale(gen_, 0, 1.5), KSPTRL4_ERROR_VALUE},
        {"negative ramp", ksptrl4_setRampRate(gen_, 0, -1), KSPTRL4_ERROR_VALUE},
        {"sine 0 Hz", ksptrl4_setSineFreq(gen_, 0, 0.0), KSPTRL4_ERROR_FREQUENCY},
        {"sine 20 MHz", ksptrl4_setSineFreq(gen_, 2, 20e6), KSPTRL4_ERROR_FREQUENCY},
        {"sine infinite", ksptrl4_setSineFreq(gen_, 2, INFINITY), KSPTRL4_ERROR_FREQUENCY},
        {"repetition mode 9", ksptrl4_setRepetParams(gen_, 0, 9, 0), KSPTRL4_ERROR_MODE},
        {"repetition value 101", ksptrl4_setRepetParams(gen_, 0, 7, 101), KSPTRL4_ERROR_VALUE},
        {"sample rate 0", ksptrl4_setSampleRate(gen_, 0.0, 0), KSPTRL4_ERROR_SAMPLE_RATE},
        {"external clock", ksptrl4_setSampleRate(gen_, 1000.0, 1), KSPTRL4_ERROR_SAMPLE_RATE},
        {"start before config", ksptrl4_start(gen_), KSPTRL4_ERROR_NOT_CONFIGURED},
        {"config option", ksptrl4_config(gen_, 0, 1), KSPTRL4_ERROR_PARAMETER},
        {"segment 1", ksptrl4_config_segment(gen_, 1, 0, 16), KSPTRL4_ERROR_SEGMENT},
        {"reset of segment 1", ksptrl4_reset_form(gen_, 1), KSPTRL4_ERROR_SEGMENT},
        // 2 MiB / 8 reserved: 65536 samples per channel fit, one more does not.
        {"segment beyond memory", ksptrl4_config_segment(gen_, 0, 0, 32769), KSPTRL4_ERROR_MEMORY},
        {"form without segment", ksptrl4_write_form(gen_, 1, 8, samples.data(), 0),
         KSPTRL4_ERROR_MEMORY},
        {"segment that fits", ksptrl4_config_segment(gen_, 0, 0, 4), VI_SUCCESS},
        {"form beyond segment", ksptrl4_write_form(gen_, 1, 5, samples.data(), 0),
         KSPTRL4_ERROR_MEMORY},
        {"appended beyond segment", ksptrl4_write_form(gen_, 0, 8, samples.data(), 1), VI_SUCCESS},
        {"one more appended", ksptrl4_write_form(gen_, 2, 1, samples.data(), 1),
         KSPTRL4_ERROR_MEMORY},
        {"no samples", ksptrl4_write_form(gen_, 1, 4, nullptr, 0), KSPTRL4_ERROR_PARAMETER},
        {"append flag 2", ksptrl4_write_form(gen_, 1, 4, samples.data(), 2),
         KSPTRL4_ERROR_PARAMETER},
        {"unconnected session", ksptrl4_setRange(0x7FFF0000, 0, 1.0), KSPTRL4_ERROR_SESSION},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.status, c.expected) << c.what;

    k_[5] = -1;  // the front panel writes the block in place: a bad one is refused at config
    EXPECT_EQ(ksptrl4_config(gen_, 0, 0), KSPTRL4_ERROR_COEFFICIENTS);
    k_[5] = 1;
    uint32_t unconnected = 0;
    ASSERT_EQ(ksptrl4_init(kCarrier, 1, 1, &unconnected), VI_SUCCESS);
    EXPECT_EQ(ksptrl4_config(unconnected, 0, 0), KSPTRL4_ERROR_NOT_CONNECTED);
    EXPECT_EQ(ksptrl4_close(unconnected), VI_SUCCESS);
    EXPECT_EQ(ksptrl4_stop(unconnected), KSPTRL4_ERROR_SESSION);
}

TEST_F(GeneratorTest, SineFrequencyIsWhatTheAccumulatorCanMake) {
    install(kBench);
    open(kCarrier, 1);
    int inexact = 0;
    for (double k5 : {1.0, 1.000180}) {
        k_[5] = k5;
        for (double f : {1.0, 1000.0, 25000.0, 33333.3, 1e6}) {
            const double ref = frequencyPoint(f);
            const double word = ref / (kPhaseStep * k5);
            EXPECT_NEAR(word, std::round(word), 1e-6) << f;  // a whole accumulator step
            EXPECT_LE(std::abs(ref - f), kPhaseStep * k5 / 2 * (1 + 1e-9)) << f;
            inexact += ref != f;
            // The meter sees the same word on the reference's true rate.
            EXPECT_NEAR(meter(2).frequency, std::round(word) * kPhaseStep * (1 + 180e-6), 1e-9 * f);
        }
    }
    EXPECT_GT(inexact, 0);
    EXPECT_EQ(ksptrl4_stop(gen_), VI_SUCCESS);
    EXPECT_FALSE(trl4sim::readMeter(kCarrier, 1, 1));  // nothing while stopped
}

// Every ТРЛ4 of the built-in bench: its EEPROM coefficients fail the amplitude verification at
// 10 V; after a calibration by the front panel's formulas every point passes.
TEST_F(GeneratorTest, CalibrationByTheFormulasMakesEveryBuiltInGeneratorPass) {
    install(trl4sim::builtinBenchText());
    const auto bench = trl4sim::current();
    int generators = 0;
    for (const trl4sim::Resource &r : bench->resources) {
        if (!r.carrier || r.openStatus < 0) continue;
        for (uint16_t p = 1; p <= 4; ++p) {
            if (r.carrier->positions[p - 1].typeCode != trl4sim::kTypeGenerator) continue;
            SCOPED_TRACE(r.name + " position " + std::to_string(p));
            ++generators;
            open(r.name.c_str(), p);
            const int32_t read = ksptrl4_readFlash(gen_);
            EXPECT_TRUE(read == VI_SUCCESS || read == KSPTRL4_WARN_EEPROM_DEFAULTS);
            const std::vector<double> record(k_, k_ + 6);

            amplitudePoint(10.0);
            const double m1 = meter(1).amplitude, m2 = meter(2).amplitude;
            EXPECT_FALSE(within(10.0, m1, ampTolerance(10.0)) &&
                         within(10.0, m2, ampTolerance(10.0)));
            ASSERT_EQ(ksptrl4_stop(gen_), VI_SUCCESS);
            k_[1] = record[1] * (10.0 - zero_[0]) / (m1 - zero_[0]);
            k_[2] = record[2] * (10.0 - zero_[1]) / (m2 - zero_[1]);
            for (double u : {10.0, 5.0, 0.01}) {
                amplitudePoint(u);
                EXPECT_TRUE(within(u, meter(1).amplitude, ampTolerance(u))) << u;
                EXPECT_TRUE(within(u, meter(2).amplitude, ampTolerance(u))) << u;
            }

            const double ref = frequencyPoint(1000.0);
            k_[5] = record[5] * meter(1).frequency / ref;
            for (double f : {25000.0, 10000.0, 1000.0, 1.0}) {
                frequencyPoint(f);
                EXPECT_TRUE(within(f, meter(1).frequency, freqTolerance(f))) << f;
                EXPECT_NEAR(meter(2).frequency, f, kPhaseStep);
            }
            ksptrl4_close(gen_);
            kspbase_close(carrier_);
            gen_ = carrier_ = 0;
        }
    }
    EXPECT_GE(generators, 15);
}

TEST_F(GeneratorTest, FormsGoThroughTheMathLibraryAndPlayBack) {
    install(kBench);
    open(kCarrier, 1);
    // 128 periods of a 10 V sine in 16384 samples at 22 kS/s, on channel 1 only.
    std::vector<double> sine(16384);
    for (size_t i = 0; i < sine.size(); ++i)
        sine[i] = 10.0 * std::sin(2 * std::numbers::pi * static_cast<double>(i) / 128);
    ASSERT_EQ(ksptrl4_setSourceMode(gen_, 1, 5), VI_SUCCESS);
    ASSERT_EQ(ksptrl4_setSourceMode(gen_, 2, 0), VI_SUCCESS);
    ASSERT_EQ(ksptrl4_setSampleRate(gen_, 22000.0, 0), VI_SUCCESS);
    ASSERT_EQ(ksptrl4_config_segment(gen_, 0, 0, 32768), VI_SUCCESS);
    ASSERT_EQ(ksptrl4_write_form(gen_, 1, 16384, sine.data(), 0), VI_SUCCESS);
    ASSERT_EQ(ksptrl4_config(gen_, 0, 0), VI_SUCCESS);
    ASSERT_EQ(ksptrl4_start(gen_), VI_SUCCESS);
    const trl4sim::MeterReading m = meter(1);
    EXPECT_NEAR(m.amplitude, 10.0 * 1.031, 1.031 * 10.0 / 8388607);  // one code step
    EXPECT_NEAR(m.frequency, 22000.0 / 128 * (1 + 180e-6), 1e-9);
    EXPECT_FALSE(trl4sim::readMeter(kCarrier, 1, 2));  // channel 2 is off

    // Beyond full scale the codes clip and the driver passes the math library's warning on.
    sine[5] = 10.5;
    EXPECT_EQ(ksptrl4_write_form(gen_, 1, 16384, sine.data(), 0), KSPTRL4_WARN_FORM_CLIPPED);

    // A session whose driver could not load the library refuses forms, and says why.
    trl4::test::setEnv("TRL4_MATH_LIBRARY", dir_ / "missing.so");
    uint32_t other = 0;
    ASSERT_EQ(ksptrl4_init(kCarrier, 1, 1, &other), VI_SUCCESS);
    trl4::test::setEnv("TRL4_MATH_LIBRARY", nullptr);
    ASSERT_EQ(ksptrl4_connect(other, carrier_, 1, 1, 1), VI_SUCCESS);
    ASSERT_EQ(ksptrl4_alloc(other, 1024), VI_SUCCESS);
    ASSERT_EQ(ksptrl4_config_segment(other, 0, 0, 16), VI_SUCCESS);
    EXPECT_EQ(ksptrl4_write_form(other, 1, 16, sine.data(), 0), KSPTRL4_ERROR_MATH_LIBRARY);
    char text[KSPTRL4_TEXT_LEN];
    ASSERT_EQ(ksptrl4_error_message(0, KSPTRL4_ERROR_MATH_LIBRARY, text), VI_SUCCESS);
    EXPECT_THAT(text, ::testing::HasSubstr("ksptrl4_math"));
    EXPECT_EQ(ksptrl4_close(other), VI_SUCCESS);
    // Closing another session on the same mezzanine leaves this one's output playing.
    EXPECT_TRUE(trl4sim::readMeter(kCarrier, 1, 1));
}
