// A calibration point: the generator on the calibration signal and the pop-up for the
// readings; the pop-up's buttons end it.
#include "p_trl4.h"
#include "trl4/app_state.h"
#include "trl4/calibration.h"
#include "trl4/callbacks.h"
#include "trl4/generator.h"
#include "userint.h"

int calibrCB(int, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    DefaultCtrl(MP, MP_ERROR_MESSAGE);
    calibrMode = 1;
    // A failed sequence has already put its reason on the status line.
    if (control == CP_START_U) {
        SetupUPoint(kCalibrAmplitude);
    } else {
        const double frequency = kCalibrFrequency;
        SetupFPoint(&frequency);
    }
    return 0;
}
