#include <cstdio>

#include "ksptrl4_32.h"
#include "p_trl4.h"
#include "trl4/app_state.h"
#include "trl4/status_line.h"
#include "userint.h"

void ShowStatusLine(const char *text, int colour) {
    SetCtrlVal(MP, MP_ERROR_MESSAGE, text);
    SetCtrlAttribute(MP, MP_ERROR_MESSAGE, ATTR_TEXT_COLOR, colour);
}

int32_t CheckDrvStatus(int32_t status) {
    if (status == 0 || status == kDriverHarmlessWarning) return 0;
    // The buffer starts empty so a driver that writes nothing still leaves a valid text.
    char text[KSPTRL4_TEXT_LEN] = "";
    ksptrl4_error_message(0, status, text);
    text[sizeof text - 1] = '\0';
    ShowStatusLine(text, kStatusRed);
    return status;
}

void ShowCoeffs() {
    const double scale = 10.0 / 8388607.0;
    SetCtrlVal(CP, CP_U1, coeffWork[1] * scale);
    SetCtrlVal(CP, CP_U2, coeffWork[2] * scale);
    SetCtrlVal(CP, CP_F, coeffWork[5]);
}
