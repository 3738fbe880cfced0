// Start-up cost of the simulated bench: loading the bench, the VISA search, the whole
// carrier discovery, and taking an identity reply apart.
#include <benchmark/benchmark.h>

#include <string>

#include "si.h"
#include "trl4sim/bench.h"
#include "visa.h"

namespace {

void BM_ParseBuiltinBench(benchmark::State &state) {
    for (auto _ : state) {
        trl4sim::Bench bench;
        std::string error;
        benchmark::DoNotOptimize(
            trl4sim::parseBench(trl4sim::builtinBenchText(), "built-in", bench, error));
    }
}
BENCHMARK(BM_ParseBuiltinBench);

void BM_FindRsrcAllInstruments(benchmark::State &state) {
    trl4sim::installBenchText(trl4sim::builtinBenchText());
    ViSession rm = VI_NULL;
    viOpenDefaultRM(&rm);
    char desc[VI_FIND_BUFLEN];
    for (auto _ : state) {
        ViFindList list = VI_NULL;
        ViUInt32 count = 0;
        benchmark::DoNotOptimize(viFindRsrc(rm, "?*VXI[0-9]*::?*INSTR", &list, &count, desc));
        viClose(list);
    }
    viClose(rm);
}
BENCHMARK(BM_FindRsrcAllInstruments);

void BM_FindVISAinstrumentsBuiltinBench(benchmark::State &state) {
    trl4sim::installBenchText(trl4sim::builtinBenchText());
    for (auto _ : state)
        benchmark::DoNotOptimize(FindVISAinstruments());
}
BENCHMARK(BM_FindVISAinstrumentsBuiltinBench)->Unit(benchmark::kMicrosecond);

void BM_ParseIdnReply(benchmark::State &state) {
    InstrumentEntry entry{};
    const std::string reply = "ZELKORTECH,KSPBASE,2101,1.07\n";
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseIdnReply(reply, entry));
}
BENCHMARK(BM_ParseIdnReply);

}  // namespace

BENCHMARK_MAIN();
