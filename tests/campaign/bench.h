// A random bench for one campaign session: carriers with generator mezzanines of their own
// factory coefficients and errors, outside meters wired to their outputs (some faulty), faults
// injected into driver and VISA calls, and the operator's meter assignment.
#pragma once

#include <random>
#include <string>

namespace campaign {

using Rng = std::mt19937_64;

struct BenchFiles {
    std::string bench;   // TRL4_BENCH
    std::string meters;  // meters.yaml in the settings folder
};

BenchFiles randomBench(Rng &rng);

}  // namespace campaign
