// The callbacks the panel resource binds by name: the program's shell defines the panel
// callbacks and its own buttons', each procedure module its own; the program's table hands
// them all to the run-time.
#ifndef TRL4_CALLBACKS_H
#define TRL4_CALLBACKS_H

#include "userint.h"

// Panel callbacks.
int mpCB(int panel, int event, void *callbackData, int eventData1, int eventData2);
int closePanelCB(int panel, int event, void *callbackData, int eventData1, int eventData2);
int chlpCB(int panel, int event, void *callbackData, int eventData1, int eventData2);

// Control callbacks of the shell.
#define TRL4_CONTROL_CALLBACK(name) \
    int name(int panel, int control, int event, void *callbackData, int eventData1, int eventData2)
TRL4_CONTROL_CALLBACK(mp_exit);
TRL4_CONTROL_CALLBACK(exit_yes);
TRL4_CONTROL_CALLBACK(exit_no);
TRL4_CONTROL_CALLBACK(aboutCB);
TRL4_CONTROL_CALLBACK(closePCB);
TRL4_CONTROL_CALLBACK(closeSp);
TRL4_CONTROL_CALLBACK(showLog);
TRL4_CONTROL_CALLBACK(errMessOk);
TRL4_CONTROL_CALLBACK(startTest);

// The generator's callbacks (generator/): the session, self-test, reset, waveform test.
TRL4_CONTROL_CALLBACK(selftestCB);
TRL4_CONTROL_CALLBACK(selMezonin);
TRL4_CONTROL_CALLBACK(resetCB);
TRL4_CONTROL_CALLBACK(testCB);

// Calibration, coefficient storage and verification.
TRL4_CONTROL_CALLBACK(displacementCB);
TRL4_CONTROL_CALLBACK(resetCf);
TRL4_CONTROL_CALLBACK(calibrCB);
TRL4_CONTROL_CALLBACK(readEEPROM);
TRL4_CONTROL_CALLBACK(writeEEPROM);
TRL4_CONTROL_CALLBACK(selFName);
TRL4_CONTROL_CALLBACK(povFCB);
TRL4_CONTROL_CALLBACK(povFallCB);
TRL4_CONTROL_CALLBACK(povUCB);
TRL4_CONTROL_CALLBACK(povUallCB);
TRL4_CONTROL_CALLBACK(vpOk);
TRL4_CONTROL_CALLBACK(CancelVP);
TRL4_CONTROL_CALLBACK(vpMeasure);
TRL4_CONTROL_CALLBACK(vpReadingCB);
TRL4_CONTROL_CALLBACK(metersCB);
TRL4_CONTROL_CALLBACK(meterRoleCB);
TRL4_CONTROL_CALLBACK(closeMetersCB);
TRL4_CONTROL_CALLBACK(resultCB);
TRL4_CONTROL_CALLBACK(resultMeanCB);
TRL4_CONTROL_CALLBACK(resultExportCB);
TRL4_CONTROL_CALLBACK(resultOpenCB);
TRL4_CONTROL_CALLBACK(closeResultCB);

#endif
