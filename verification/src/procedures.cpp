// The four verification procedures and the two buttons of the measured-value pop-up, which
// end a point for calibration as well as for verification.

#include <span>
#include <string>

#include "ksptrl4_32.h"
#include "p_trl4.h"
#include "trl4/app_state.h"
#include "trl4/calibration.h"
#include "trl4/callbacks.h"
#include "trl4/generator.h"
#include "trl4/meters.h"
#include "trl4/protocol_record.h"
#include "trl4/status_line.h"
#include "trl4/verification.h"
#include "userint.h"

namespace {

constexpr double kAmplitudePoints[] = {10.0, 5.0, 0.01};
constexpr double kFrequencyPoints[] = {25000.0, 10000.0, 1000.0, 1.0};

// What the generator can make: its largest range, and the highest frequency the page offers.
constexpr double kMaxAmplitude = 10.0;
constexpr double kMaxFrequency = 96000.0;

// The full verifications recorded whole in this session, for the mezzanine and protocol
// they were recorded for.
struct WholeVerifications {
    uint16_t crate = 0, slot = 0, position = 0;
    std::string carrier, protocol;
    bool kinds[2] = {false, false};
};
WholeVerifications g_whole;
void (*g_wholeHandler)() = nullptr;

void recordedWhole(int kind) {
    const bool same = g_whole.crate == crateAddr && g_whole.slot == slotNum &&
                      g_whole.position == mezNum && g_whole.carrier == carrierName &&
                      g_whole.protocol == logFileName;
    if (!same) g_whole = {crateAddr, slotNum, mezNum, carrierName, logFileName, {false, false}};
    g_whole.kinds[kind] = true;
    if (g_whole.kinds[0] && g_whole.kinds[1] && g_wholeHandler != nullptr) {
        g_whole.kinds[0] = g_whole.kinds[1] = false;
        g_wholeHandler();
    }
}

// Set when stopping the generator failed for the pending point: a second cancel then ends it.
bool g_stopFailed = false;

// Set while an unattended point waits for its meters. The nominal it was set up with is nobody's
// reading, so the operator's "Ввести" then has the meters read it first, as the procedure would.
bool g_awaitingMeters = false;

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
    g_awaitingMeters = false;
    vpResult = result;
    ForgetMeterReadings();
    RemovePopup(0);
}

// A point set up before the session that is open now, or without one, measured no generator
// of this session: its readings neither calibrate nor verify it.
constexpr const char *kPointOfAnotherSession =
    "Точка задана в другом сеансе генератора: значения не приняты";

constexpr const char *kGeneratorMayBeOn =
    "Генератор не остановлен: выход может оставаться включённым";

// An unattended point whose reading failed: the procedure ends here and records nothing more,
// so the pop-up goes even when the generator will not stop, with both reasons on the line.
void abandonPoint(const std::string &reason) {
    if (!stopGenerator()) {
        const std::string both = reason + "; " + kGeneratorMayBeOn;
        ShowStatusLine(both.c_str(), kStatusRed);
    }
    endPoint(-1);
}

// Unattended: the assigned meters read the point and it is accepted, unless the operator
// cancels first. A reading that fails ends the point, its reason on the status line, with
// nothing recorded.
bool readAndAccept() {
    vpResult = 0;
    g_awaitingMeters = true;
    // Once round the event loop: the pop-up is seen and "Отмена" can end the procedure.
    if (ProcessSystemEvents() < 0) return false;
    if (vpResult != 0) return vpResult == 1;
    // The operator pressed a button whose stop failed: the point is theirs to end now.
    if (g_stopFailed) return waitForOperator();
    g_awaitingMeters = false;
    const std::string failure = FillReadingsFromMeters(true);
    if (!failure.empty()) {
        abandonPoint(failure);
        return false;
    }
    vpOk(VP, VP_OK_3, EVENT_COMMIT, nullptr, 0, 0);
    // A generator that would not stop keeps the pop-up: the operator decides then.
    return g_stopFailed ? waitForOperator() : vpResult == 1;
}

// A full procedure: each point in turn until one cannot be set up or is cancelled. Unattended,
// every reading the pop-up will show needs its meter before any point is set up.
template <class Setup>
void verifyAll(int kind, std::span<const double> points, Setup setup) {
    calibrMode = 0;
    int automatic = 0;
    GetCtrlVal(PP, PP_AUTO, &automatic);
    if (automatic != 0) {
        const std::string unassigned = UnassignedMeters(kind, 2);
        if (!unassigned.empty()) {
            ShowStatusLine(unassigned.c_str(), kStatusRed);
            return;
        }
    }
    int number = 0;
    for (const double point : points) {
        povNominal = point;
        SetFullProcedurePoint(++number);
        const bool accepted =
            setup() >= 0 && (automatic != 0 ? readAndAccept() : waitForOperator());
        SetFullProcedurePoint(0);
        if (!accepted) return;
    }
    recordedWhole(kind);
}

// One point at the operator's value in `control` of PP, refused when the generator cannot
// make it.
template <class Setup>
void verifyOne(int control, double highest, const char *refusal, Setup setup) {
    calibrMode = 0;
    double nominal = 0.0;
    GetCtrlVal(PP, control, &nominal);
    if (!(nominal > 0.0 && nominal <= highest)) {
        ShowStatusLine(refusal, kStatusRed);
        return;
    }
    povNominal = nominal;
    if (setup() >= 0) waitForOperator();
}

int setupAmplitude() {
    return SetupUPoint(povNominal);
}

int setupFrequency() {
    return SetupFPoint(&povNominal);
}

}  // namespace

void SetFullVerificationsHandler(void (*handler)()) {
    g_wholeHandler = handler;
}

int povUallCB(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) verifyAll(0, kAmplitudePoints, setupAmplitude);
    return 0;
}

int povFallCB(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) verifyAll(1, kFrequencyPoints, setupFrequency);
    return 0;
}

int povUCB(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) {
        verifyOne(PP_U, kMaxAmplitude, "Напряжение поверки должно быть больше 0 и не больше 10 В",
                  setupAmplitude);
    }
    return 0;
}

int povFCB(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) {
        verifyOne(PP_F_2, kMaxFrequency,
                  "Частота поверки должна быть больше 0 и не больше 96000 Гц", setupFrequency);
    }
    return 0;
}

void MarkReadingBeyondLimits(int control) {
    double value = 0.0, low = 0.0, high = 0.0;
    GetCtrlVal(VP, control, &value);
    GetCtrlAttribute(VP, control, ATTR_MIN_VALUE, &low);
    GetCtrlAttribute(VP, control, ATTR_MAX_VALUE, &high);
    const bool within = value >= low && value <= high;
    SetCtrlAttribute(VP, control, ATTR_TEXT_COLOR, within ? VAL_BLACK : VAL_RED);
}

int vpReadingCB(int, int control, int event, void *, int, int) {
    if (event == EVENT_VAL_CHANGED || event == EVENT_COMMIT) MarkReadingBeyondLimits(control);
    return 0;
}

int vpOk(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    if (g_awaitingMeters) {
        g_awaitingMeters = false;
        const std::string failure = FillReadingsFromMeters(true);
        if (!failure.empty()) {
            abandonPoint(failure);
            return 0;
        }
    }
    // The point stays pending while the generator runs: nothing is computed or recorded.
    if (!stopGenerator()) {
        g_stopFailed = true;
        return 0;
    }
    if (pointSerial != (generatorSession != 0 ? coeffRecSerial : 0)) {
        ShowStatusLine(kPointOfAnotherSession, kStatusRed);
        endPoint(-1);
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
        ShowStatusLine(kGeneratorMayBeOn, kStatusRed);
    }
    endPoint(-1);
    return 0;
}
