// Each conversion export on 32 Ki samples (in cache) and 16 Mi samples (out of cache),
// next to the floor: a loop that only casts in-range doubles to int32, compiled for the
// same instruction set as the library's fastest path. A table of ratios to the floor is
// printed at the end.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "ksptrl4_math.h"

namespace {

constexpr int64_t kSmall = 32 * 1024;
constexpr int64_t kLarge = 16 * 1024 * 1024;
constexpr double kGain = 1000000.0;  // +-8 units of sample value reach near full scale

struct Buffers {
    std::vector<double> d;
    std::vector<float> f;
    std::vector<int32_t> c24;
    std::vector<int16_t> c16;
};

// A waveform well inside the range: the usual case for a generator.
Buffers &buffers() {
    static Buffers b = [] {
        Buffers x;
        x.d.resize(static_cast<std::size_t>(kLarge));
        x.f.resize(x.d.size());
        x.c24.resize(2 * x.d.size());  // room for a stride of 2
        x.c16.resize(x.d.size());
        for (std::size_t i = 0; i < x.d.size(); ++i) {
            x.d[i] = 8.0 * std::sin(static_cast<double>(i) * 0.001);
            x.f[i] = static_cast<float>(x.d[i]);
            x.c24[i] = static_cast<int32_t>(x.d[i] * kGain);
        }
        return x;
    }();
    return b;
}

#if defined(__x86_64__)
__attribute__((target("avx2")))
#endif
__attribute__((noinline)) void
floor_kernel(const double *in, int32_t *out, int64_t n) {
    for (int64_t i = 0; i < n; ++i)
        out[i] = static_cast<int32_t>(in[i]);
}

void finish(benchmark::State &state) {
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_floor_cast(benchmark::State &state) {
    Buffers &b = buffers();
    for (auto _ : state) {
        floor_kernel(b.d.data(), b.c24.data(), state.range(0));
        benchmark::ClobberMemory();
    }
    finish(state);
}

const int32_t kModes[2] = {5, 5};
const double kZeros[2] = {0.0, 0.001};
const double kGains[2] = {kGain, kGain};
const double kShifts[2] = {0.0, 0.0};

template <class Fn>
void run(benchmark::State &state, Fn fn) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(fn(static_cast<int32_t>(state.range(0))));
        benchmark::ClobberMemory();
    }
    finish(state);
}

void BM_double2cod24(benchmark::State &s) {
    Buffers &b = buffers();
    run(s, [&](int32_t n) {
        return ksptrl4Math_double2cod24(5, 0.0, kGain, b.d.data(), n, b.c24.data(), 1, 0.0);
    });
}
void BM_double2cod16(benchmark::State &s) {
    Buffers &b = buffers();
    run(s, [&](int32_t n) {
        return ksptrl4Math_double2cod16(5, 0.0, kGain, b.d.data(), n, b.c16.data(), 1, 0.0);
    });
}
void BM_float2cod24(benchmark::State &s) {
    Buffers &b = buffers();
    run(s, [&](int32_t n) {
        return ksptrl4Math_float2cod24(5, 0.0, kGain, b.f.data(), n, b.c24.data(), 1, 0.0);
    });
}
void BM_float2cod16(benchmark::State &s) {
    Buffers &b = buffers();
    run(s, [&](int32_t n) {
        return ksptrl4Math_float2cod16(5, 0.0, kGain, b.f.data(), n, b.c16.data(), 1, 0.0);
    });
}
void BM_double2cod24_2chans(benchmark::State &s) {
    Buffers &b = buffers();
    run(s, [&](int32_t n) {
        return ksptrl4Math_double2cod24_2chans(kModes, kZeros, kGains, b.d.data(), n, b.c24.data(),
                                               0, kShifts);
    });
}
void BM_double2cod16_2chans(benchmark::State &s) {
    Buffers &b = buffers();
    run(s, [&](int32_t n) {
        return ksptrl4Math_double2cod16_2chans(kModes, kZeros, kGains, b.d.data(), n, b.c16.data(),
                                               0, kShifts);
    });
}
void BM_float2cod24_2chans(benchmark::State &s) {
    Buffers &b = buffers();
    run(s, [&](int32_t n) {
        return ksptrl4Math_float2cod24_2chans(kModes, kZeros, kGains, b.f.data(), n, b.c24.data(),
                                              0, kShifts);
    });
}
void BM_float2cod16_2chans(benchmark::State &s) {
    Buffers &b = buffers();
    run(s, [&](int32_t n) {
        return ksptrl4Math_float2cod16_2chans(kModes, kZeros, kGains, b.f.data(), n, b.c16.data(),
                                              0, kShifts);
    });
}
// One-channel conversion into one half of an interleaved buffer (the per-sample path).
void BM_double2cod24_step2(benchmark::State &s) {
    Buffers &b = buffers();
    run(s, [&](int32_t n) {
        return ksptrl4Math_double2cod24(5, 0.0, kGain, b.d.data(), n, b.c24.data(), 2, 0.0);
    });
}

// The code-to-value exports, one call per code as a driver would loop over a buffer.
void BM_cod24_2val(benchmark::State &s) {
    Buffers &b = buffers();
    run(s, [&](int32_t n) {
        for (int32_t i = 0; i < n; ++i)
            b.d[static_cast<std::size_t>(i)] =
                ksptrl4Math_cod24_2val(0.0, kGain, b.c24[static_cast<std::size_t>(i)]);
        return 0;
    });
}
void BM_cod16_2val(benchmark::State &s) {
    Buffers &b = buffers();
    run(s, [&](int32_t n) {
        for (int32_t i = 0; i < n; ++i)
            b.d[static_cast<std::size_t>(i)] =
                ksptrl4Math_cod16_2val(0.0, kGain, b.c16[static_cast<std::size_t>(i)]);
        return 0;
    });
}
void BM_ADCcod2val(benchmark::State &s) {
    Buffers &b = buffers();
    run(s, [&](int32_t n) {
        for (int32_t i = 0; i < n; ++i)
            b.d[static_cast<std::size_t>(i)] =
                ksptrl4Math_ADCcod2val(0.001, b.c24[static_cast<std::size_t>(i)]);
        return 0;
    });
}

#define SIZES Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond)
BENCHMARK(BM_floor_cast)->SIZES;
BENCHMARK(BM_double2cod24)->SIZES;
BENCHMARK(BM_double2cod16)->SIZES;
BENCHMARK(BM_float2cod24)->SIZES;
BENCHMARK(BM_float2cod16)->SIZES;
BENCHMARK(BM_double2cod24_2chans)->SIZES;
BENCHMARK(BM_double2cod16_2chans)->SIZES;
BENCHMARK(BM_float2cod24_2chans)->SIZES;
BENCHMARK(BM_float2cod16_2chans)->SIZES;
BENCHMARK(BM_double2cod24_step2)->SIZES;
BENCHMARK(BM_cod24_2val)->SIZES;
BENCHMARK(BM_cod16_2val)->SIZES;
BENCHMARK(BM_ADCcod2val)->SIZES;

// Remembers each run's CPU time (steadier than wall time on a shared machine) so the ratio table
// can be printed afterwards.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &r : runs) {
            if (r.run_type != Run::RT_Iteration || r.iterations == 0) continue;
            const std::string name = r.benchmark_name();
            const auto slash = name.rfind('/');
            const std::string base = name.substr(0, slash);
            const std::string size = slash == std::string::npos ? "" : name.substr(slash + 1);
            perSample_[size][base] = r.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintRatios() const {
        std::printf("\nRatio of time to the floor (cast double to int32), same sample count:\n");
        std::printf("%-26s %12s %12s\n", "benchmark", "32Ki", "16Mi");
        const auto &small = perSample_.count(std::to_string(kSmall))
                                ? perSample_.at(std::to_string(kSmall))
                                : empty_;
        const auto &large = perSample_.count(std::to_string(kLarge))
                                ? perSample_.at(std::to_string(kLarge))
                                : empty_;
        for (const auto &[base, t] : small) {
            const double fs = small.count("BM_floor_cast") ? small.at("BM_floor_cast") : 0.0;
            const double fl = large.count("BM_floor_cast") ? large.at("BM_floor_cast") : 0.0;
            const double tl = large.count(base) ? large.at(base) : 0.0;
            std::printf("%-26s %12.2f %12.2f\n", base.c_str(), fs > 0 ? t / fs : 0.0,
                        fl > 0 ? tl / fl : 0.0);
        }
    }

  private:
    std::map<std::string, std::map<std::string, double>> perSample_;
    std::map<std::string, double> empty_;
};

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
