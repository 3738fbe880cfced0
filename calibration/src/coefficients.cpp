// The three places the coefficients live: the mezzanine's EEPROM, the driver's record (which
// the generator applies) and the working copy the calibration page shows.
#include <cstring>

#include "ksptrl4_32.h"
#include "trl4/app_state.h"
#include "trl4/calibration.h"
#include "trl4/callbacks.h"
#include "trl4/status_line.h"
#include "userint.h"

namespace {

void takeDriverRecord() {
    if (coeffRec == nullptr) return;
    std::memcpy(coeffWork, coeffRec, sizeof coeffWork);
    coeffWorkSerial = coeffRecSerial;
    ShowCoeffs();
}

}  // namespace

int readEEPROM(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    if (CheckDrvStatus(ksptrl4_readFlash(generatorSession)) < 0) return 0;
    takeDriverRecord();
    return 0;
}

int resetCf(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    if (CheckDrvStatus(ksptrl4_resetCoeff(generatorSession)) < 0) return 0;
    takeDriverRecord();
    return 0;
}

int writeEEPROM(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT || coeffRec == nullptr) return 0;
    // Another mezzanine's coefficients, or none read at all, would overwrite this one's own.
    if (coeffWorkSerial != coeffRecSerial) {
        ShowStatusLine(kForeignCoeffs, kStatusRed);
        return 0;
    }
    // The generator works with the new coefficients from here on, even if storing them fails.
    std::memcpy(coeffRec, coeffWork, sizeof coeffWork);
    if (CheckDrvStatus(ksptrl4_writeFlash(generatorSession)) < 0) return 0;
    takeDriverRecord();
    return 0;
}
