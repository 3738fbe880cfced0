// Crc32 against zlib's crc32 on a component-sized buffer and a large one.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <vector>

#include "trl4/integrity.h"

namespace {

const std::vector<unsigned char> &buffer(std::size_t size) {
    static std::vector<unsigned char> bytes;
    if (bytes.size() < size) {
        std::mt19937 random(42);
        bytes.resize(size);
        for (auto &b : bytes)
            b = static_cast<unsigned char>(random());
    }
    return bytes;
}

void BM_Crc32(benchmark::State &state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    const auto &bytes = buffer(size);
    for (auto _ : state) {
        benchmark::DoNotOptimize(Crc32(bytes.data(), static_cast<std::int32_t>(size)));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_ZlibCrc32(benchmark::State &state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    const auto &bytes = buffer(size);
    for (auto _ : state) {
        benchmark::DoNotOptimize(crc32(0L, bytes.data(), static_cast<uInt>(size)));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

BENCHMARK(BM_Crc32)->Arg(64 << 10)->Arg(64 << 20);
BENCHMARK(BM_ZlibCrc32)->Arg(64 << 10)->Arg(64 << 20);

}  // namespace

BENCHMARK_MAIN();
