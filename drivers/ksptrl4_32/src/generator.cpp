#include "generator.h"

#include <algorithm>
#include <cmath>

namespace trl4drv {
namespace {

// Element 1 and 2 may correct a gain error of up to a factor of two either way.
constexpr double kMinAmplitudeCode = kFullScaleCode / 2;
constexpr double kMaxAmplitudeCode = kFullScaleCode * 2;
constexpr double kMinFrequencyFactor = 0.5;
constexpr double kMaxFrequencyFactor = 2.0;

// The value of a stored code: its low 24 bits as a two's-complement number.
int32_t codeValue(int32_t code) {
    const auto low = static_cast<uint32_t>(code) & 0xFFFFFFu;
    return low >= 0x800000u ? static_cast<int32_t>(low) - 0x1000000 : static_cast<int32_t>(low);
}

}  // namespace

std::optional<Synthesised> synthesise(double requested, double k5) {
    if (!std::isfinite(k5) || k5 < kMinFrequencyFactor || k5 > kMaxFrequencyFactor ||
        !std::isfinite(requested) || requested <= 0) {
        return std::nullopt;
    }
    const double step = kReferenceClock / kPhaseSteps;
    // Below half the phase range: the word stays well inside what a double holds exactly.
    const double word =
        std::min(std::max(std::round(requested / (step * k5)), 1.0), kPhaseSteps / 2 - 1);
    return Synthesised{word * step * k5, word * step};
}

bool usable(const trl4sim::Coefficients &k) {
    for (size_t i : {size_t{1}, size_t{2}}) {
        if (!std::isfinite(k[i]) || k[i] < kMinAmplitudeCode || k[i] > kMaxAmplitudeCode) {
            return false;
        }
    }
    return synthesise(1.0, k[5]).has_value();
}

void configure(Generator &g, const trl4sim::Coefficients &k) {
    for (size_t c = 0; c < 2; ++c) {
        const ChannelSettings &ch = g.channels[c];
        std::optional<trl4sim::OutputSetup> &out = g.active[c];
        switch (ch.sourceMode) {
            case kModeSine:
                // The amplitude DAC gets the code of the peak: element c+1 is that of 10 V.
                out = trl4sim::OutputSetup{
                    ch.range * ch.ampScale * k[c + 1] / kFullScaleCode,
                    synthesise(ch.sineFreq, k[5]).value_or(Synthesised{0, 0}).fromNominal};
                break;
            case kModeForm:
                out = formOutput(ch.codes, g.sampleRate);
                break;
            default:
                out.reset();
                break;
        }
    }
    g.configured = true;
}

trl4sim::OutputSetup formOutput(const std::vector<int32_t> &codes, double sampleRate) {
    if (codes.empty()) return {0, 0};
    int32_t low = codeValue(codes.front());
    int32_t high = low;
    size_t rising = 0;
    // The form repeats, so its last sample leads into its first.
    int32_t previous = codeValue(codes.back());
    for (int32_t code : codes) {
        const int32_t v = codeValue(code);
        low = std::min(low, v);
        high = std::max(high, v);
        if (previous < 0 && v >= 0) ++rising;
        previous = v;
    }
    const double span = static_cast<double>(high) - static_cast<double>(low);
    return {span / 2 * kFullScaleVolts / kFullScaleCode,
            sampleRate * static_cast<double>(rising) / static_cast<double>(codes.size())};
}

}  // namespace trl4drv
