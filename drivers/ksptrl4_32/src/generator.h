// The generator mezzanine as its driver models it: the settings each channel holds, what
// ksptrl4_config makes of them with the calibration block, and what the outputs then carry.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "trl4sim/bench.h"

namespace trl4drv {

// Sine source: a phase accumulator of 40 bits at a 100 MHz reference clock.
inline constexpr double kReferenceClock = 100e6;
inline constexpr double kPhaseSteps = 1099511627776.0;  // 2^40
// DAC: the code of full scale at unit gain, and the volts it stands for.
inline constexpr double kFullScaleCode = 8388607.0;
inline constexpr double kFullScaleVolts = 10.0;
inline constexpr uint32_t kBytesPerSample = 4;  // a 24-bit code in a 32-bit word

enum SourceMode : int32_t { kModeOff = 0, kModeSine = 1, kModeForm = 5 };

struct ChannelSettings {
    int32_t sourceMode = kModeSine;
    double range = 10.0;
    double ampScale = 1.0;
    double rampRate = 0.0;
    double sineFreq = 1000.0;
    int32_t repetMode = 1;
    double repetValue = 0.0;
    std::vector<int32_t> codes;  // the channel's form in waveform memory
};

struct Generator {
    std::array<ChannelSettings, 2> channels;
    double sampleRate = 1e6;
    uint32_t segmentLength = 0;  // samples per channel; 0: no segment set up
    bool configured = false;
    bool running = false;
    std::array<std::optional<trl4sim::OutputSetup>, 2> active;  // what config set up
};

// The sine the accumulator makes for a requested frequency under frequency coefficient k5
// (true reference / nominal): `reported` is what the driver takes it to be, `fromNominal`
// what it is on a reference that runs exactly at its nominal rate. None when k5 is unusable.
struct Synthesised {
    double reported;
    double fromNominal;
};
std::optional<Synthesised> synthesise(double requested, double k5);

// True when the block can drive the outputs: amplitude codes and frequency factor positive,
// finite and within what the hardware can take.
bool usable(const trl4sim::Coefficients &k);

// ksptrl4_config: what each output carries from now on. The block must be usable.
void configure(Generator &g, const trl4sim::Coefficients &k);

// A form played back: half its code span in volts, and the rate of its rising zero crossings.
trl4sim::OutputSetup formOutput(const std::vector<int32_t> &codes, double sampleRate);

}  // namespace trl4drv
