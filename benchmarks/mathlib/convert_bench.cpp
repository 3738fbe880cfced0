// Each conversion export on 32 Ki samples (in cache) and 16 Mi samples (out of cache),
// against the floor: a loop that only casts in-range doubles to int32, compiled for the
// same instruction set as the library's fastest path. The kernels are timed alternately,
// one after another within each round, and each keeps its best time over the rounds: timed
// one benchmark after the other, the machine's drift (its clock, the other programs) lands
// on one kernel and not on the next, and hides a difference of a few per cent. A table of
// the best times and their ratios to the floor's is printed at the end.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <map>
#include <random>
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

const int32_t kModes[2] = {5, 5};
const double kZeros[2] = {0.0, 0.001};
const double kGains[2] = {kGain, kGain};
const double kShifts[2] = {0.0, 0.0};

struct Kernel {
    const char *name;
    std::function<void(int32_t n)> run;
};

std::vector<Kernel> kernels() {
    Buffers &b = buffers();
    const auto at = [](int32_t i) { return static_cast<std::size_t>(i); };
    return {
        {"floor_cast", [&b](int32_t n) { floor_kernel(b.d.data(), b.c24.data(), n); }},
        {"double2cod24",
         [&b](int32_t n) {
             ksptrl4Math_double2cod24(5, 0.0, kGain, b.d.data(), n, b.c24.data(), 1, 0.0);
         }},
        {"double2cod16",
         [&b](int32_t n) {
             ksptrl4Math_double2cod16(5, 0.0, kGain, b.d.data(), n, b.c16.data(), 1, 0.0);
         }},
        {"float2cod24",
         [&b](int32_t n) {
             ksptrl4Math_float2cod24(5, 0.0, kGain, b.f.data(), n, b.c24.data(), 1, 0.0);
         }},
        {"float2cod16",
         [&b](int32_t n) {
             ksptrl4Math_float2cod16(5, 0.0, kGain, b.f.data(), n, b.c16.data(), 1, 0.0);
         }},
        {"double2cod24_2chans",
         [&b](int32_t n) {
             ksptrl4Math_double2cod24_2chans(kModes, kZeros, kGains, b.d.data(), n, b.c24.data(), 0,
                                             kShifts);
         }},
        {"double2cod16_2chans",
         [&b](int32_t n) {
             ksptrl4Math_double2cod16_2chans(kModes, kZeros, kGains, b.d.data(), n, b.c16.data(), 0,
                                             kShifts);
         }},
        {"float2cod24_2chans",
         [&b](int32_t n) {
             ksptrl4Math_float2cod24_2chans(kModes, kZeros, kGains, b.f.data(), n, b.c24.data(), 0,
                                            kShifts);
         }},
        {"float2cod16_2chans",
         [&b](int32_t n) {
             ksptrl4Math_float2cod16_2chans(kModes, kZeros, kGains, b.f.data(), n, b.c16.data(), 0,
                                            kShifts);
         }},
        // One channel into one half of an interleaved buffer (the per-sample path).
        {"double2cod24_step2",
         [&b](int32_t n) {
             ksptrl4Math_double2cod24(5, 0.0, kGain, b.d.data(), n, b.c24.data(), 2, 0.0);
         }},
        // The code-to-value exports, one call per code as a driver would loop over a buffer.
        {"cod24_2val",
         [&b, at](int32_t n) {
             for (int32_t i = 0; i < n; ++i)
                 b.d[at(i)] = ksptrl4Math_cod24_2val(0.0, kGain, b.c24[at(i)]);
         }},
        {"cod16_2val",
         [&b, at](int32_t n) {
             for (int32_t i = 0; i < n; ++i)
                 b.d[at(i)] = ksptrl4Math_cod16_2val(0.0, kGain, b.c16[at(i)]);
         }},
        {"ADCcod2val",
         [&b, at](int32_t n) {
             for (int32_t i = 0; i < n; ++i)
                 b.d[at(i)] = ksptrl4Math_ADCcod2val(0.001, b.c24[at(i)]);
         }},
    };
}

// Best time of one call, in seconds, per sample count and kernel.
std::map<int64_t, std::map<std::string, double>> &bestTimes() {
    static std::map<int64_t, std::map<std::string, double>> best;
    return best;
}

// One iteration is one round: every kernel once (in cache, a batch of calls, so that the
// clock's own cost stays small), in an order shuffled each round, so that no kernel always
// follows the same one (and finds the caches, and the memory's write-back, as it left them).
void BM_alternating(benchmark::State &state) {
    using Clock = std::chrono::steady_clock;
    const int64_t n = state.range(0);
    const int calls = n <= kSmall ? 32 : 1;
    const std::vector<Kernel> all = kernels();
    std::vector<double> best(all.size(), std::numeric_limits<double>::infinity());
    std::vector<std::size_t> order(all.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    std::mt19937 shuffler(20261207);
    // Fault the buffers in before the first round.
    for (const Kernel &k : all)
        k.run(static_cast<int32_t>(n));
    for (auto _ : state) {
        const auto roundStart = Clock::now();
        std::shuffle(order.begin(), order.end(), shuffler);
        for (const std::size_t k : order) {
            const auto start = Clock::now();
            for (int c = 0; c < calls; ++c) {
                all[k].run(static_cast<int32_t>(n));
                benchmark::ClobberMemory();
            }
            const std::chrono::duration<double> took = Clock::now() - start;
            best[k] = std::min(best[k], took.count() / calls);
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - roundStart).count());
    }
    for (std::size_t k = 0; k < all.size(); ++k) {
        bestTimes()[n][all[k].name] = best[k];
        state.counters[all[k].name] = best[k] / best[0];
    }
}

// Rounds: in cache a round takes about ten milliseconds, out of cache about a quarter second.
BENCHMARK(BM_alternating)
    ->Arg(kSmall)
    ->Iterations(200)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_alternating)
    ->Arg(kLarge)
    ->Iterations(25)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void printTable() {
    const auto &all = bestTimes();
    if (all.empty()) return;
    std::printf(
        "\nBest time of each kernel over the rounds (kernels timed alternately), and its "
        "ratio to the floor's (cast double to int32):\n");
    std::printf("%-22s", "kernel");
    for (const auto &[n, times] : all)
        std::printf(" %14s %7s", (std::to_string(n >> 10) + "Ki us").c_str(), "ratio");
    std::printf("\n");
    for (const Kernel &k : kernels()) {
        std::printf("%-22s", k.name);
        for (const auto &[n, times] : all) {
            const double t = times.count(k.name) ? times.at(k.name) : 0.0;
            const double floor = times.count("floor_cast") ? times.at("floor_cast") : 0.0;
            std::printf(" %14.1f %7.3f", t * 1e6, floor > 0 ? t / floor : 0.0);
        }
        std::printf("\n");
    }
}

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    printTable();
    benchmark::Shutdown();
    return 0;
}
