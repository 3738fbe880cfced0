// Start-up to the first main-loop pass of p_trl4 on the offscreen Qt platform, beside the
// same figure for the smallest Qt Widgets program (qt_floor: at its loop, and once its window
// is painted), and the peak resident memory of each. Every iteration starts the program afresh; the
// program itself reports when its loop first ran, so tear-down is not counted.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::filesystem::path binDir() {
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).parent_path();
}

long long monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

struct Run {
    bool ok = false;
    double seconds = 0.0;
    long maxRssKb = 0;
};

// Starts the program with the probe set and returns how long it took to reach its loop.
Run runOnce(const std::vector<std::string> &args) {
    Run run;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return run;
    const long long start = monotonicNs();
    const pid_t pid = fork();
    if (pid < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return run;
    }
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        // Qt's start-up chatter would drown the report.
        const int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0) dup2(devNull, STDERR_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        setenv("TRL4_STARTUP_PROBE", "1", 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::vector<char *> argv;
        for (const std::string &arg : args)
            argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    std::string out;
    char buffer[512];
    for (;;) {
        const ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
        if (got > 0) {
            out.append(buffer, static_cast<size_t>(got));
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return run;
    const size_t at = out.find("trl4-ready ");
    if (at == std::string::npos) return run;
    const long long ready = std::strtoll(out.c_str() + at + 11, nullptr, 10);
    run.ok = ready > start;
    run.seconds = static_cast<double>(ready - start) / 1e9;
    run.maxRssKb = usage.ru_maxrss;
    return run;
}

void measure(benchmark::State &state, const std::vector<std::string> &args) {
    if (!std::filesystem::exists(args.front())) {
        state.SkipWithError(("not built: " + args.front()).c_str());
        return;
    }
    long peak = 0;
    for (auto _ : state) {
        const Run run = runOnce(args);
        if (!run.ok) {
            state.SkipWithError("the program did not report reaching its loop");
            return;
        }
        state.SetIterationTime(run.seconds);
        if (run.maxRssKb > peak) peak = run.maxRssKb;
    }
    state.counters["maxRSS_MB"] = static_cast<double>(peak) / 1024.0;
}

void BM_QtFloorStartup(benchmark::State &state) {
    measure(state, {(binDir() / "qt_floor").string()});
}

// The floor once its window has been painted: fonts found and text drawn, as the front
// panel's windows are at its first main-loop pass.
void BM_QtFloorDrawnStartup(benchmark::State &state) {
    measure(state, {(binDir() / "qt_floor").string(), "--drawn"});
}

// The built-in bench offers carriers; the operator's one action cancels the selection dialog,
// and the probe then ends the program at its first main-loop pass.
void frontPanel(benchmark::State &state, const char *view) {
    const std::filesystem::path script = std::filesystem::temp_directory_path() /
                                         ("trl4_startup_" + std::to_string(getpid()) + ".op");
    {
        std::ofstream out(script);
        out << "press SI.CANCEL\n";
    }
    unsetenv("TRL4_BENCH");
    measure(state, {(binDir() / "p_trl4").string(), "--view", view, "--script", script.string()});
    std::error_code ignored;
    std::filesystem::remove(script, ignored);
}

void BM_FrontPanelStartup(benchmark::State &state) {
    frontPanel(state, "qt");
}

// The same without widgets: what the program costs before any drawing.
void BM_FrontPanelStartupHeadless(benchmark::State &state) {
    frontPanel(state, "headless");
}

}  // namespace

// One start per repetition: the report gives the median over ten starts.
BENCHMARK(BM_QtFloorStartup)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(10);
BENCHMARK(BM_QtFloorDrawnStartup)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(10);
BENCHMARK(BM_FrontPanelStartup)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(10);
BENCHMARK(BM_FrontPanelStartupHeadless)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(10);

BENCHMARK_MAIN();
