// Self-test and reset of the generator.
#include <cstring>

#include "ksptrl4_32.h"
#include "p_trl4.h"
#include "trl4/app_state.h"
#include "trl4/generator.h"
#include "trl4/status_line.h"
#include "userint.h"

int selftestCB(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    char message[KSPTRL4_TEXT_LEN] = "Демо режим";
    int16_t result = 0;
    DefaultPanel(ST);
    DisplayPanel(ST);
    // The wait text is on the screen before the test blocks the program.
    ProcessDrawEvents();
    if (generatorSession != 0) {
        const int32_t status = ksptrl4_self_test(generatorSession, &result, message);
        // A call that fails is not a verdict: its text goes to the status line and to ST,
        // never a leftover of the buffer. A test that finds a fault is shown as it comes.
        if (status < 0 && status != KSPTRL4_ERROR_SELF_TEST && CheckDrvStatus(status) < 0) {
            GetCtrlVal(MP, MP_ERROR_MESSAGE, message, sizeof message);
        }
    } else {
        Delay(1.0);
    }
    message[sizeof message - 1] = '\0';
    SetCtrlVal(ST, ST_RESULT, static_cast<int>(result));
    SetCtrlVal(ST, ST_MSG, message);
    SetCtrlAttribute(ST, ST_CLOSE, ATTR_DIMMED, 0);
    return 0;
}

int resetCB(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    const int32_t status = ksptrl4_reset(generatorSession);
    // Without a session the refusal is expected and nothing is shown.
    if (generatorSession != 0) CheckDrvStatus(status);
    return 0;
}
