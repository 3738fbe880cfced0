// The shell's callbacks: panels shown and hidden, and the two-flag exit machine that the
// main loop watches.
#include "trl4/callbacks.h"
#include "p_trl4.h"
#include "trl4/app.h"
#include "trl4/app_state.h"
#include "userint.h"

int mpCB(int, int event, void *, int, int) {
    if (event == EVENT_CLOSE) exitRequested = 1;
    return 0;
}

int mp_exit(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) exitRequested = 1;
    return 0;
}

// Closing the protocol viewer also withdraws a pending exit question: the operator turned
// back to the program.
int closePanelCB(int panel, int event, void *, int, int) {
    if (event != EVENT_CLOSE) return 0;
    HidePanel(panel);
    exitRequested = 0;
    quitConfirmed = 0;
    return 0;
}

// A "yes" on a question already withdrawn (the pop-up still showing) only hides it.
int exit_yes(int panel, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    if (exitRequested == 1) quitConfirmed = 1;
    HidePanel(panel);
    return 0;
}

int exit_no(int panel, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    quitConfirmed = 0;
    exitRequested = 0;
    HidePanel(panel);
    return 0;
}

int aboutCB(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) DisplayPanel(ABOUT);
    return 0;
}

int closePCB(int panel, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) HidePanel(panel);
    return 0;
}

int closeSp(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) HidePanel(CHLP);
    return 0;
}

int showLog(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) DisplayPanel(CHLP);
    return 0;
}

int errMessOk(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) DefaultCtrl(MP, MP_ERROR_MESSAGE);
    return 0;
}

int startTest(int, int, int, void *, int, int) {
    return 0;
}

// The protocol box follows the viewer's lower right corner when the panel is resized.
int chlpCB(int panel, int event, void *, int, int) {
    if (event != EVENT_PANEL_SIZE) return 0;
    int height = 0, width = 0, top = 0, left = 0;
    GetPanelAttribute(panel, ATTR_HEIGHT, &height);
    GetPanelAttribute(panel, ATTR_WIDTH, &width);
    GetCtrlAttribute(panel, CHLP_LOG, ATTR_TOP, &top);
    GetCtrlAttribute(panel, CHLP_LOG, ATTR_LEFT, &left);
    SetCtrlAttribute(panel, CHLP_LOG, ATTR_HEIGHT, height - top);
    SetCtrlAttribute(panel, CHLP_LOG, ATTR_WIDTH, width - left);
    return 0;
}
