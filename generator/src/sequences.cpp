// The two measuring-point sequences: the generator set up for one point, VP ready for the
// operator's readings.
#include "ksptrl4_32.h"
#include "p_trl4.h"
#include "trl4/app_state.h"
#include "trl4/driver_steps.h"
#include "trl4/generator.h"
#include "userint.h"

using trl4::runInOrder;

namespace {

constexpr int32_t kBothChannels = 0;
constexpr int32_t kSineSource = 1;

void setLimits(int control, double low, double high) {
    SetCtrlAttribute(VP, control, ATTR_MIN_VALUE, low);
    SetCtrlAttribute(VP, control, ATTR_MAX_VALUE, high);
}

// "Измерить" serves only when a meter is assigned to a reading the pop-up shows.
void showPopup() {
    int assigned = meterRsrc[MeterRole(measKind, 1)][0] != '\0';
    int second = 0;
    GetCtrlAttribute(VP, VP_VAL_2, ATTR_VISIBLE, &second);
    if (second != 0 && meterRsrc[MeterRole(measKind, 2)][0] != '\0') assigned = 1;
    SetCtrlAttribute(VP, VP_MEASURE, ATTR_DIMMED, assigned != 0 ? 0 : 1);
    pointSerial = generatorSession != 0 ? coeffRecSerial : 0;
    // Each point starts from its nominal, within the limits.
    SetCtrlAttribute(VP, VP_VAL_1, ATTR_TEXT_COLOR, VAL_BLACK);
    SetCtrlAttribute(VP, VP_VAL_2, ATTR_TEXT_COLOR, VAL_BLACK);
    InstallPopup(VP);
}

}  // namespace

int SetupUPoint(double amplitude) {
    if (generatorSession != 0) {
        const uint32_t s = generatorSession;
        const int32_t status =
            runInOrder([&] { return ksptrl4_setSourceMode(s, kBothChannels, kSineSource); },
                       [&] { return ksptrl4_setRange(s, kBothChannels, amplitude); },
                       [&] { return ksptrl4_setAmpScale(s, kBothChannels, 1.0); },
                       [&] { return ksptrl4_setRampRate(s, kBothChannels, 0.0); },
                       [&] { return ksptrl4_setSineFreq(s, kBothChannels, 1000.0); },
                       [&] { return ksptrl4_setRepetParams(s, kBothChannels, 7, 100.0); },
                       [&] { return ksptrl4_config(s, 0, 0); }, [&] { return ksptrl4_start(s); });
        if (status < 0) return status;
    }
    measKind = 0;
    const double low = 0.8 * amplitude;
    const double high = 1.2 * amplitude;
    SetCtrlAttribute(VP, VP_VAL_1, ATTR_MIN_VALUE, low);
    SetCtrlAttribute(VP, VP_VAL_2, ATTR_MIN_VALUE, low);
    SetCtrlAttribute(VP, VP_VAL_1, ATTR_MAX_VALUE, high);
    SetCtrlAttribute(VP, VP_VAL_2, ATTR_MAX_VALUE, high);
    SetCtrlAttribute(VP, VP_VAL_2, ATTR_VISIBLE, 1);
    SetCtrlVal(VP, VP_VAL_1, amplitude);
    SetCtrlVal(VP, VP_VAL_2, amplitude);
    SetCtrlVal(VP, VP_ED_IZM, "В");
    showPopup();
    return 0;
}

int SetupFPoint(const double *frequency) {
    // A caller's missing value is no frequency at all: nothing is set up.
    if (frequency == nullptr) return KSPTRL4_ERROR_PARAMETER;
    const double f = *frequency;
    if (generatorSession != 0) {
        const uint32_t s = generatorSession;
        // The frequency read back lands in a local first: a failed read leaves refFreq as it was.
        double made = refFreq;
        const int32_t status =
            runInOrder([&] { return ksptrl4_reset(s); },
                       [&] { return ksptrl4_setSourceMode(s, kBothChannels, kSineSource); },
                       [&] { return ksptrl4_setRange(s, kBothChannels, 10.0); },
                       [&] { return ksptrl4_setAmpScale(s, kBothChannels, 1.0); },
                       [&] { return ksptrl4_setRampRate(s, kBothChannels, 0.0); },
                       [&] { return ksptrl4_setSineFreq(s, kBothChannels, f); },
                       [&] { return ksptrl4_setRepetParams(s, kBothChannels, 1, 0.0); },
                       [&] { return ksptrl4_config(s, 0, 0); },
                       [&] { return ksptrl4_GetRepetParams(s, 1, 0, &made, nullptr, nullptr); },
                       [&] { return ksptrl4_start(s); });
        if (status < 0) return status;
        refFreq = made;
    }
    measKind = 1;
    setLimits(VP_VAL_1, 0.9 * f, 1.1 * f);
    if (calibrMode == 0) {
        setLimits(VP_VAL_2, 0.9 * f, 1.1 * f);
        SetCtrlVal(VP, VP_VAL_2, f);
    }
    SetCtrlAttribute(VP, VP_VAL_2, ATTR_VISIBLE, calibrMode == 0 ? 1 : 0);
    SetCtrlVal(VP, VP_VAL_1, f);
    SetCtrlVal(VP, VP_ED_IZM, "Гц");
    showPopup();
    return 0;
}
