// Every callback the panel resource may name, bound by name through one explicit table.
#include <iterator>

#include "trl4/app.h"
#include "trl4/callbacks.h"
#include "trl4/testroutines.h"

namespace {

#define TRL4_CONTROL(name)   \
    CallbackTableEntry {     \
#name, name, nullptr \
    }
#define TRL4_PANEL(name)     \
    CallbackTableEntry {     \
#name, nullptr, name \
    }

const CallbackTableEntry kAppCallbacks[] = {
    TRL4_PANEL(mpCB),
    TRL4_PANEL(closePanelCB),
    TRL4_PANEL(chlpCB),
    TRL4_CONTROL(mp_exit),
    TRL4_CONTROL(exit_yes),
    TRL4_CONTROL(exit_no),
    TRL4_CONTROL(aboutCB),
    TRL4_CONTROL(closePCB),
    TRL4_CONTROL(closeSp),
    TRL4_CONTROL(showLog),
    TRL4_CONTROL(errMessOk),
    TRL4_CONTROL(startTest),
    TRL4_CONTROL(selftestCB),
    TRL4_CONTROL(selMezonin),
    TRL4_CONTROL(resetCB),
    TRL4_CONTROL(displacementCB),
    TRL4_CONTROL(resetCf),
    TRL4_CONTROL(calibrCB),
    TRL4_CONTROL(readEEPROM),
    TRL4_CONTROL(writeEEPROM),
    TRL4_CONTROL(selFName),
    TRL4_CONTROL(povFCB),
    TRL4_CONTROL(povFallCB),
    TRL4_CONTROL(povUCB),
    TRL4_CONTROL(povUallCB),
    TRL4_CONTROL(vpOk),
    TRL4_CONTROL(CancelVP),
    TRL4_CONTROL(testCB),
    TRL4_CONTROL(test2CB),
    TRL4_CONTROL(vpMeasure),
    TRL4_CONTROL(vpReadingCB),
    TRL4_CONTROL(metersCB),
    TRL4_CONTROL(meterRoleCB),
    TRL4_CONTROL(closeMetersCB),
    TRL4_CONTROL(resultCB),
    TRL4_CONTROL(resultMeanCB),
    TRL4_CONTROL(resultExportCB),
    TRL4_CONTROL(resultOpenCB),
    TRL4_CONTROL(closeResultCB),
};

#undef TRL4_CONTROL
#undef TRL4_PANEL

}  // namespace

int RegisterAppCallbacks() {
    return RegisterCallbackTable(kAppCallbacks, std::size(kAppCallbacks));
}
