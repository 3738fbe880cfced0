// The four verification procedures and the two buttons of the measured-value pop-up, which
// end a point for calibration as well as for verification.

#include "ksptrl4_32.h"
#include "p_trl4.h"
#include "trl4/app.h"
#include "trl4/app_callbacks.h"
#include "trl4/app_state.h"
#include "trl4/calibration.h"
#include "trl4/generator.h"
#include "trl4/verification.h"
#include "userint.h"

namespace {

constexpr double kAmplitudePoints[] = {10.0, 5.0, 0.01};
constexpr double kFrequencyPoints[] = {25000.0, 10000.0, 1000.0, 1.0};

// What the generator can make: its largest range, and the highest frequency the page offers.
constexpr double kMaxAmplitude = 10.0;
constexpr double kMaxFrequency = 96000.0;

// Set when stopping the generator failed for the pending point: a second cancel then ends it.
bool g_stopFailed = false;

// Waits for either button of the pop-up; true when the point was accepted.
bool waitForOperator() {
    vpResult = 0;
    while (vpResult == 0) {
        if (ProcessSystemEvents() < 0) return false;
    }
    return vpResult == 1;
}

// Stops the generator for the pending point; false, with the reason on the status line, when
// it keeps running.
bool stopGenerator() {
    if (generatorSession == 0 || CheckDrvStatus(ksptrl4_stop(generatorSession)) >= 0) return true;
    return false;
}

void endPoint(int result) {
    g_stopFailed = false;
    vpResult = result;
    RemovePopup(0);
}

bool nominalRefused(double value, double highest, const char *message) {
    if (value > 0.0 && value <= highest) return false;
    ShowStatusLine(message, kStatusRed);
    return true;
}

}  // namespace

int povUallCB(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    calibrMode = 0;
    for (const double U : kAmplitudePoints) {
        povNominal = U;
        if (SetupUPoint(U) < 0 || !waitForOperator()) return 0;
    }
    return 0;
}

int povFallCB(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    calibrMode = 0;
    for (const double F : kFrequencyPoints) {
        povNominal = F;
        if (SetupFPoint(&povNominal) < 0 || !waitForOperator()) return 0;
    }
    return 0;
}

int povUCB(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    calibrMode = 0;
    double U = 0.0;
    GetCtrlVal(PP, PP_U, &U);
    if (nominalRefused(U, kMaxAmplitude,
                       "Напряжение поверки должно быть больше 0 и не больше 10 В"))
        return 0;
    povNominal = U;
    if (SetupUPoint(U) >= 0) waitForOperator();
    return 0;
}

int povFCB(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    calibrMode = 0;
    double F = 0.0;
    GetCtrlVal(PP, PP_F_2, &F);
    if (nominalRefused(F, kMaxFrequency,
                       "Частота поверки должна быть больше 0 и не больше 96000 Гц"))
        return 0;
    povNominal = F;
    if (SetupFPoint(&povNominal) >= 0) waitForOperator();
    return 0;
}

int vpOk(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    // The point stays pending while the generator runs: nothing is computed or recorded.
    if (!stopGenerator()) {
        g_stopFailed = true;
        return 0;
    }
    double m1 = 0.0, m2 = 0.0;
    GetCtrlVal(VP, VP_VAL_1, &m1);
    GetCtrlVal(VP, VP_VAL_2, &m2);
    if (calibrMode != 0) {
        CalcCalibrCoeffs(m1, m2);
    } else {
        povRecordPoint(m1, m2);
    }
    endPoint(1);
    return 0;
}

int CancelVP(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    if (!stopGenerator()) {
        if (!g_stopFailed) {
            g_stopFailed = true;
            return 0;
        }
        // The operator is never trapped behind a generator that will not stop.
        ShowStatusLine("Генератор не остановлен: выход может оставаться включённым", kStatusRed);
    }
    endPoint(-1);
    return 0;
}
