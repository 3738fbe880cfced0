// Callbacks the panel resource already binds whose work arrives with later tasks (session,
// self-test, calibration, coefficient storage, verification, test routines). Each is a
// no-op that returns 0 until its task replaces it.
#include "trl4/app_callbacks.h"

#define TRL4_PENDING_CALLBACK(name)             \
    int name(int, int, int, void *, int, int) { \
        return 0;                               \
    }

TRL4_PENDING_CALLBACK(selftestCB)
TRL4_PENDING_CALLBACK(selMezonin)
TRL4_PENDING_CALLBACK(resetCB)
TRL4_PENDING_CALLBACK(calibrCB)
TRL4_PENDING_CALLBACK(povFCB)
TRL4_PENDING_CALLBACK(povFallCB)
TRL4_PENDING_CALLBACK(povUCB)
TRL4_PENDING_CALLBACK(povUallCB)
TRL4_PENDING_CALLBACK(vpOk)
TRL4_PENDING_CALLBACK(CancelVP)
TRL4_PENDING_CALLBACK(testCB)
