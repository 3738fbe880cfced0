#include "trl4/calibration.h"

#include <cmath>

#include "ksptrl4_32.h"
#include "p_trl4.h"
#include "trl4/app_state.h"
#include "trl4/callbacks.h"
#include "trl4/driver_steps.h"
#include "trl4/status_line.h"
#include "userint.h"

namespace {

// False for a value that is not a number.
bool within(double value, double low, double high) {
    return value >= low && value <= high;
}

void inputError() {
    ShowStatusLine(kCalibrInputError, kStatusRed);
}

}  // namespace

void CalcCalibrCoeffs(double meas1, double meas2) {
    if (coeffRec == nullptr) return;
    if (measKind == 0) {
        if (!within(meas1, kCalibrAmplitudeLow, kCalibrAmplitudeHigh) ||
            !within(meas2, kCalibrAmplitudeLow, kCalibrAmplitudeHigh)) {
            inputError();
            return;
        }
        const double k1 = (coeffRec[1] * (kCalibrAmplitude - zeroU1)) / (meas1 - zeroU1);
        const double k2 = (coeffRec[2] * (kCalibrAmplitude - zeroU2)) / (meas2 - zeroU2);
        // An offset as large as the reading, or a broken record, gives no coefficient.
        if (!std::isfinite(k1) || !std::isfinite(k2)) {
            inputError();
            return;
        }
        coeffWork[1] = k1;
        coeffWork[2] = k2;
    } else {
        // Without the frequency the driver set up there is nothing to compare the reading with.
        if (!within(meas1, kCalibrFrequencyLow, kCalibrFrequencyHigh) || !std::isfinite(refFreq) ||
            refFreq <= 0.0) {
            inputError();
            return;
        }
        const double k5 = (coeffRec[5] * meas1) / refFreq;
        if (!std::isfinite(k5)) {
            inputError();
            return;
        }
        coeffWork[5] = k5;
    }
    ShowCoeffs();
}

int displacementCB(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    const uint32_t s = generatorSession;
    trl4::runInOrder([&] { return ksptrl4_displacement(s); },
                     [&] { return ksptrl4_get_attribute(s, KSPTRL4_ATTR_OFFSET_CH1, &zeroU1); },
                     [&] { return ksptrl4_get_attribute(s, KSPTRL4_ATTR_OFFSET_CH2, &zeroU2); });
    return 0;
}
