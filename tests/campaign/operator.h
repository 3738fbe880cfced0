// One campaign session: the program's own start-up, main loop and shutdown in this process,
// with a view that plays a random operator, one action per pass of events, taking only what
// is shown and enabled; it keeps the ledger of what it typed and what the meters gave, and
// checks the invariants as it goes and at the end.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "records.h"

namespace campaign {

struct SessionResult {
    std::vector<Violation> violations;
    std::vector<std::string> ledger;  // each point set up and what it offered
    int actions = 0;
    int points = 0;    // measuring points the program set up
    int recorded = 0;  // points found in the records
};

// Runs one session in the current process, in the current directory, on the bench and meter
// assignment the environment names (TRL4_BENCH, TRL4_STATE_DIR, TRL4_SETTINGS_DIR).
// Each action is appended to `script` as it is taken, so a crash leaves the session. `report`
// takes the result at the end, or when the session must be abandoned (the operator cannot
// end it), just before the process ends.
using Report = void (*)(const SessionResult &result);
SessionResult runSession(uint64_t seed, int actions, std::FILE *script, Report report);

}  // namespace campaign
