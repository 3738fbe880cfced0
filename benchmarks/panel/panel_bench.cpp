// What the panel run-time costs: reading the resource, building panels, formatting numbers,
// dispatching events, and a poll of ProcessSystemEvents when nothing happens.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

#include "panel/model.h"
#include "panel/resource.h"
#include "userint.h"

namespace {

std::string resourceText() {
    std::ifstream in(TRL4_UIR_FILE, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool anyName(const std::string &, CtrlCallbackPtr *c, PanelCallbackPtr *p) {
    *c = [](int, int, int, void *, int, int) { return 0; };
    *p = [](int, int, void *, int, int) { return 0; };
    return true;
}

void BM_ParseResource(benchmark::State &state) {
    std::string text = resourceText();
    for (auto _ : state) {
        panel::Resource r;
        std::string error;
        benchmark::DoNotOptimize(panel::parseResource(text, "p_trl4.uir", r, error));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParseResource);

void BM_BuildMainPanel(benchmark::State &state) {
    panel::Resource r;
    std::string error;
    panel::parseResource(resourceText(), "p_trl4.uir", r, error);
    panel::Model model;
    for (auto _ : state) {
        int handle = panel::buildPanel(model, r, 4, 0, anyName, error);
        model.discardPanel(handle);
    }
}
BENCHMARK(BM_BuildMainPanel);

void BM_FormatEngineering(benchmark::State &state) {
    double v = 25000.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(panel::formatNumber(v, panel::Format::Engineering, 2));
        v += 1.0;
    }
}
BENCHMARK(BM_FormatEngineering);

void BM_CommitAndDispatch(benchmark::State &state) {
    panel::Resource r;
    std::string error;
    panel::parseResource(resourceText(), "p_trl4.uir", r, error);
    panel::Model model;
    int mp = panel::buildPanel(model, r, 4, 0, anyName, error);
    model.showPanel(mp, true);
    for (auto _ : state) {
        model.operatorCommit(mp, 11);
        benchmark::DoNotOptimize(model.dispatch());
    }
}
BENCHMARK(BM_CommitAndDispatch);

// The program's attribute calls: a write that notifies, a double limit that re-clamps the
// value, and a text read into a buffer.
void BM_ControlAttributes(benchmark::State &state) {
    char arg0[] = "bench";
    char view[] = "--view=headless";
    char *argv[] = {arg0, view, nullptr};
    InitPanelRuntime(2, argv);
    int panel = NewPanel(0, "bench", 0, 0, 200, 300);
    int numeric = NewCtrl(panel, CTRL_NUMERIC, "value", 10, 10);
    char label[32];
    int dimmed = 0;
    for (auto _ : state) {
        dimmed ^= 1;
        SetCtrlAttribute(panel, numeric, ATTR_DIMMED, dimmed);
        SetCtrlAttribute(panel, numeric, ATTR_MAX_VALUE, 100.0);
        GetCtrlAttribute(panel, numeric, ATTR_LABEL_TEXT, label, sizeof label);
        benchmark::DoNotOptimize(label);
    }
    ClosePanelRuntime();
}
BENCHMARK(BM_ControlAttributes);

// Back-to-back polling sleeps 1 ms per call by design: this shows the wait gives the core back.
void BM_IdlePoll(benchmark::State &state) {
    char arg0[] = "bench";
    char view[] = "--view=headless";
    char *argv[] = {arg0, view, nullptr};
    InitPanelRuntime(2, argv);
    for (auto _ : state)
        ProcessSystemEvents();
    ClosePanelRuntime();
}
BENCHMARK(BM_IdlePoll)->Iterations(200);

}  // namespace

BENCHMARK_MAIN();
