// Callbacks the panel resource binds whose modules (calibration, coefficient storage,
// verification) are not part of the program yet: each does nothing and returns 0.
#include "trl4/app_callbacks.h"

#define TRL4_PENDING_CALLBACK(name)             \
    int name(int, int, int, void *, int, int) { \
        return 0;                               \
    }

TRL4_PENDING_CALLBACK(displacementCB)
TRL4_PENDING_CALLBACK(resetCf)
TRL4_PENDING_CALLBACK(calibrCB)
TRL4_PENDING_CALLBACK(readEEPROM)
TRL4_PENDING_CALLBACK(writeEEPROM)
TRL4_PENDING_CALLBACK(selFName)
TRL4_PENDING_CALLBACK(povFCB)
TRL4_PENDING_CALLBACK(povFallCB)
TRL4_PENDING_CALLBACK(povUCB)
TRL4_PENDING_CALLBACK(povUallCB)
TRL4_PENDING_CALLBACK(vpOk)
TRL4_PENDING_CALLBACK(CancelVP)
