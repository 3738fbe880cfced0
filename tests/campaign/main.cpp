// trl4_campaign: record-integrity sessions, one process per seed.
//   trl4_campaign --seeds 1-20 [--minutes M] [--actions N] [--keep DIR]
// Each seed makes a random bench, meter assignment and operator session; a session that
// breaks an invariant, crashes, trips a sanitizer or hangs is reported with its seed, the
// invariant, its last actions, and a folder holding its bench, assignment and operator script.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench.h"
#include "operator.h"
#include "trl4sim/bench.h"

namespace {

namespace fs = std::filesystem;

struct Options {
    std::vector<uint64_t> seeds;
    double minutes = 0;       // 0: every seed once
    int actions = 0;          // 0: chosen per seed
    fs::path keep;            // where failed sessions are kept
    unsigned watchdog = 120;  // seconds a session may take
};

bool parseSeeds(const std::string &text, std::vector<uint64_t> &out) {
    size_t at = 0;
    while (at <= text.size()) {
        const size_t comma = std::min(text.find(',', at), text.size());
        const std::string part = text.substr(at, comma - at);
        char *end = nullptr;
        const unsigned long long first = std::strtoull(part.c_str(), &end, 10);
        unsigned long long last = first;
        if (end == part.c_str()) return false;
        if (*end == '-') last = std::strtoull(end + 1, &end, 10);
        if (*end != '\0' || last < first || last - first > 10000000) return false;
        for (unsigned long long s = first; s <= last; ++s)
            out.push_back(s);
        at = comma + 1;
    }
    return !out.empty();
}

std::string readFile(const fs::path &file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path &file, const std::string &text) {
    std::ofstream(file, std::ios::binary) << text;
}

std::string tail(const std::string &text, size_t lines) {
    size_t at = text.size();
    while (lines-- > 0 && at > 0)
        at = text.rfind('\n', at - 1);
    return at == std::string::npos || at == 0 ? text : text.substr(at + 1);
}

// The child's folder, and its findings written there: ledger.txt and result.txt.
fs::path g_sessionDir;

void writeResult(const campaign::SessionResult &r) {
    std::string ledger;
    for (const std::string &line : r.ledger)
        ledger += line + "\n";
    writeFile(g_sessionDir / "ledger.txt", ledger);
    std::string out = "stats\t" + std::to_string(r.actions) + " actions, " +
                      std::to_string(r.points) + " points set up, " + std::to_string(r.recorded) +
                      " rows recorded\n";
    for (const campaign::Violation &v : r.violations)
        out += "violation\t" + v.invariant + "\t" + v.detail + "\n";
    writeFile(g_sessionDir / "result.txt", out);
}

// The child: the session in a folder of its own, its findings in result.txt.
[[noreturn]] void runChild(uint64_t seed, int actions, unsigned watchdog, const fs::path &dir) {
    campaign::Rng rng(seed);
    const campaign::BenchFiles files = campaign::randomBench(rng);
    if (actions == 0) actions = 150 + static_cast<int>(rng() % 350);
    fs::create_directories(dir / "settings");
    fs::create_directories(dir / "work");
    writeFile(dir / "bench.yaml", files.bench);
    writeFile(dir / "meters.yaml", files.meters);  // the program rewrites its own copy
    writeFile(dir / "settings" / "meters.yaml", files.meters);
    setenv("TRL4_BENCH", (dir / "bench.yaml").c_str(), 1);
    setenv("TRL4_STATE_DIR", (dir / "state").c_str(), 1);
    setenv("TRL4_SETTINGS_DIR", (dir / "settings").c_str(), 1);
    unsetenv("TRL4_DRIVER_TRACE");
    unsetenv("TRL4_MATH_LIBRARY");
    if (chdir((dir / "work").c_str()) != 0) std::_Exit(3);
    std::freopen((dir / "program.out").c_str(), "w", stdout);
    std::freopen((dir / "program.err").c_str(), "w", stderr);
    alarm(watchdog);
    std::string why;
    if (!trl4sim::reloadFromEnvironment(&why)) {
        writeFile(dir / "result.txt", "violation\tthe campaign's bench is read\t" + why + "\n");
        std::exit(1);
    }
    std::FILE *script = std::fopen((dir / "session.op").c_str(), "w");
    if (script != nullptr) {
        std::fprintf(script,
                     "# trl4_campaign seed %llu: meters.yaml copied into an empty settings "
                     "folder, an empty state\n# folder, TRL4_BENCH=bench.yaml, run from an "
                     "empty folder\n",
                     static_cast<unsigned long long>(seed));
    }
    g_sessionDir = dir;
    const campaign::SessionResult r = campaign::runSession(seed, actions, script, writeResult);
    if (script != nullptr) std::fclose(script);
    writeResult(r);
    std::fflush(nullptr);
    std::exit(r.violations.empty() ? 0 : 1);
}

// What the sessions did, summed from their stats lines.
struct Totals {
    long long actions = 0, points = 0, rows = 0;
    void add(const std::string &result) {
        long long a = 0, p = 0, r = 0;
        if (std::sscanf(result.c_str(), "stats\t%lld actions, %lld points set up, %lld rows", &a,
                        &p, &r) == 3) {
            actions += a;
            points += p;
            rows += r;
        }
    }
};

// Runs one seed; true when it passed. A failure is printed and its folder kept.
bool runSeed(uint64_t seed, const Options &options, const fs::path &base, Totals &totals) {
    const fs::path dir = base / ("seed-" + std::to_string(seed));
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::create_directories(dir);
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        std::perror("fork");
        return false;
    }
    if (child == 0) runChild(seed, options.actions, options.watchdog, dir);
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    const std::string result = readFile(dir / "result.txt");
    totals.add(result);
    std::string failure;
    if (WIFSIGNALED(status)) {
        failure = WTERMSIG(status) == SIGALRM
                      ? "hang: no end within " + std::to_string(options.watchdog) + " s"
                      : std::string("crash: signal ") + strsignal(WTERMSIG(status));
    } else if (WEXITSTATUS(status) != 0 && result.find("violation\t") == std::string::npos) {
        failure = "crash or sanitizer report: exit status " + std::to_string(WEXITSTATUS(status));
    } else if (WEXITSTATUS(status) != 0) {
        failure = "invariant broken";
    }
    if (failure.empty()) {
        fs::remove_all(dir, ec);
        return true;
    }
    std::printf("FAIL seed %llu: %s\n", static_cast<unsigned long long>(seed), failure.c_str());
    size_t at = 0;
    int shown = 0;
    while ((at = result.find("violation\t", at)) != std::string::npos && ++shown <= 8) {
        const size_t end = result.find('\n', at);
        std::string line = result.substr(at + 10, end - at - 10);
        line.replace(line.find('\t'), 1, "\n    ");
        std::printf("  broken: %s\n", line.c_str());
        at = end;
    }
    const std::string errors = readFile(dir / "program.err");
    size_t report = errors.find("ERROR: ");
    if (report == std::string::npos) report = errors.find("runtime error");
    if (report != std::string::npos) {
        report = errors.rfind('\n', report);
        report = report == std::string::npos ? 0 : report + 1;
        const std::string head = errors.substr(report);
        size_t end = 0;
        for (int lines = 0; lines < 20 && end != std::string::npos; ++lines)
            end = head.find('\n', end + 1);
        std::printf("  sanitizer report:\n%s\n", head.substr(0, end).c_str());
    } else if (!errors.empty()) {
        std::printf("  program's standard error, last lines:\n%s\n", tail(errors, 20).c_str());
    }
    std::printf("  last actions:\n%s", tail(readFile(dir / "session.op"), 25).c_str());
    std::printf(
        "  kept in %s (bench.yaml, meters.yaml, session.op, ledger.txt); again: "
        "trl4_campaign --seeds %llu\n",
        dir.c_str(), static_cast<unsigned long long>(seed));
    std::fflush(stdout);
    return false;
}

}  // namespace

int main(int argc, char **argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--seeds" && value && parseSeeds(value, options.seeds)) {
            ++i;
        } else if (arg == "--minutes" && value) {
            options.minutes = std::atof(value);
            ++i;
        } else if (arg == "--actions" && value) {
            options.actions = std::atoi(value);
            ++i;
        } else if (arg == "--watchdog" && value && std::atoi(value) > 0) {
            options.watchdog = static_cast<unsigned>(std::atoi(value));
            ++i;
        } else if (arg == "--keep" && value) {
            options.keep = value;
            ++i;
        } else {
            std::fprintf(stderr,
                         "usage: trl4_campaign --seeds A-B[,C...] [--minutes M] [--actions N] "
                         "[--keep DIR] [--watchdog SECONDS]\n");
            return 2;
        }
    }
    if (options.seeds.empty()) options.seeds = {1};
    const fs::path base = options.keep.empty() ? fs::temp_directory_path() /
                                                     ("trl4-campaign-" + std::to_string(getpid()))
                                               : fs::absolute(options.keep);
    const auto start = std::chrono::steady_clock::now();
    int passed = 0, failed = 0;
    Totals totals;
    for (const uint64_t seed : options.seeds) {
        if (options.minutes > 0 &&
            std::chrono::steady_clock::now() - start >
                std::chrono::duration<double, std::ratio<60>>(options.minutes))
            break;
        (runSeed(seed, options, base, totals) ? passed : failed) += 1;
    }
    std::error_code ec;
    if (failed == 0 && options.keep.empty()) fs::remove_all(base, ec);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf(
        "campaign: %d sessions in %.0f s: %lld actions, %lld points set up, %lld record "
        "rows checked\n%d passed, %d failed\n",
        passed + failed, seconds, totals.actions, totals.points, totals.rows, passed, failed);
    return failed == 0 ? 0 : 1;
}
