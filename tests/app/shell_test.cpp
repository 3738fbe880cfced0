// The shell's logic on the headless run-time with the real panel resource: the driver status
// line, the exit machine's callbacks, the panels they show and hide, the coefficients page.
#include <gtest/gtest.h>

#include <string>

#include "ksptrl4_32.h"
#include "p_trl4.h"
#include "trl4/app.h"
#include "trl4/app_state.h"
#include "trl4/callbacks.h"
#include "userint.h"

namespace {

class Shell : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static char arg0[] = "shell_test", arg1[] = "--view", arg2[] = "headless";
        static char *argv[] = {arg0, arg1, arg2, nullptr};
        ASSERT_EQ(InitPanelRuntime(3, argv), 0);
        ASSERT_EQ(RegisterAppCallbacks(), 0);
        ASSERT_TRUE(LoadAppPanels()) << GetPanelErrorText();
    }

    void SetUp() override {
        exitRequested = 0;
        quitConfirmed = 0;
        DefaultCtrl(MP, MP_ERROR_MESSAGE);
        SetCtrlAttribute(MP, MP_ERROR_MESSAGE, ATTR_TEXT_COLOR, kStatusRed);
        HidePanel(EXIT_POPUP);
        HidePanel(CHLP);
        HidePanel(ABOUT);
    }

    static std::string statusLine() {
        char text[512] = "";
        EXPECT_GE(GetCtrlVal(MP, MP_ERROR_MESSAGE, text, sizeof text), 0);
        return text;
    }
    static int statusColour() {
        int colour = -1;
        EXPECT_EQ(GetCtrlAttribute(MP, MP_ERROR_MESSAGE, ATTR_TEXT_COLOR, &colour), 0);
        return colour;
    }
    static bool visible(int panel) {
        int shown = -1;
        EXPECT_EQ(GetPanelAttribute(panel, ATTR_VISIBLE, &shown), 0);
        return shown != 0;
    }
    static std::string driverText(int32_t status) {
        char text[KSPTRL4_TEXT_LEN] = "";
        ksptrl4_error_message(0, status, text);
        return text;
    }
};

// ---- CheckDrvStatus -------------------------------------------------------------------

TEST_F(Shell, CheckDrvStatusShowsAllButSuccessAndTheHarmlessWarningInRedAndReturnsIt) {
    ShowStatusLine("earlier", kStatusWhite);
    EXPECT_EQ(CheckDrvStatus(0), 0);
    EXPECT_EQ(CheckDrvStatus(kDriverHarmlessWarning), 0);
    EXPECT_EQ(statusLine(), "earlier");
    EXPECT_EQ(statusColour(), kStatusWhite);

    // Another warning is shown, but callers stop only on negative results.
    const int32_t warning = kDriverHarmlessWarning + 1;
    EXPECT_EQ(CheckDrvStatus(warning), warning);
    EXPECT_EQ(statusLine(), driverText(warning));
    EXPECT_EQ(statusColour(), kStatusRed);

    ShowStatusLine("Идет инициализация", kStatusWhite);
    const int32_t first = KSPTRL4_ERROR_SESSION, second = KSPTRL4_ERROR_EEPROM;
    ASSERT_NE(driverText(first), driverText(second));
    EXPECT_EQ(CheckDrvStatus(first), first);
    EXPECT_EQ(CheckDrvStatus(second), second);
    EXPECT_EQ(statusLine(), driverText(second));  // only the last
    EXPECT_EQ(statusColour(), kStatusRed);
}

TEST_F(Shell, TheOkButtonEmptiesTheLineOnCommitOnly) {
    CheckDrvStatus(KSPTRL4_ERROR_PARAMETER);
    ASSERT_FALSE(statusLine().empty());
    errMessOk(MP, MP_ERROR_MESSAGE_OK, EVENT_GOT_FOCUS, nullptr, 0, 0);
    EXPECT_FALSE(statusLine().empty());
    errMessOk(MP, MP_ERROR_MESSAGE_OK, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(statusLine(), "");
    // The next writer brings its own colour.
    ShowStatusLine("Идет инициализация", kStatusWhite);
    EXPECT_EQ(statusLine(), "Идет инициализация");
    EXPECT_EQ(statusColour(), kStatusWhite);
}

// ---- The exit machine -------------------------------------------------------------------

// The exit_machine and exit_withdrawn scripts walk the question's flows; here the events that
// leave it alone.
TEST_F(Shell, TheExitCallbacksActOnTheirOwnEventOnly) {
    mpCB(MP, EVENT_COMMIT, nullptr, 0, 0);  // a panel callback acts on close only
    mp_exit(MP, MP_MP_EXIT, EVENT_CLOSE, nullptr, 0, 0);
    EXPECT_EQ(exitRequested, 0);
    mpCB(MP, EVENT_CLOSE, nullptr, 0, 0);
    EXPECT_EQ(exitRequested, 1);
    exitRequested = 0;
    mp_exit(MP, MP_MP_EXIT, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(exitRequested, 1);
    DisplayPanel(EXIT_POPUP);
    exit_no(EXIT_POPUP, EXIT_POPUP_EXIT_NO, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(exitRequested, 0);
    EXPECT_FALSE(visible(EXIT_POPUP));

    exitRequested = 1;
    for (const int panel : {EXIT_POPUP, CHLP}) {
        DisplayPanel(panel);
        closePanelCB(panel, EVENT_COMMIT, nullptr, 0, 0);
        EXPECT_EQ(exitRequested, 1);
        EXPECT_TRUE(visible(panel));
    }
    exit_yes(EXIT_POPUP, EXIT_POPUP_EXIT_YES, EVENT_LEFT_CLICK, nullptr, 0, 0);
    EXPECT_EQ(quitConfirmed, 0);
    EXPECT_TRUE(visible(EXIT_POPUP));
    exit_yes(EXIT_POPUP, EXIT_POPUP_EXIT_YES, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(exitRequested, 1);
    EXPECT_EQ(quitConfirmed, 1);
    EXPECT_FALSE(visible(EXIT_POPUP));
}

// ---- The protocol viewer and the calibration page ------------------------------------------

TEST_F(Shell, TheProtocolBoxFollowsTheViewersCorner) {
    int top = 0, left = 0;
    ASSERT_EQ(GetCtrlAttribute(CHLP, CHLP_LOG, ATTR_TOP, &top), 0);
    ASSERT_EQ(GetCtrlAttribute(CHLP, CHLP_LOG, ATTR_LEFT, &left), 0);
    ASSERT_EQ(SetPanelAttribute(CHLP, ATTR_HEIGHT, 600), 0);
    ASSERT_EQ(SetPanelAttribute(CHLP, ATTR_WIDTH, 900), 0);
    int height = 0, width = 0;
    chlpCB(CHLP, EVENT_COMMIT, nullptr, 0, 0);
    GetCtrlAttribute(CHLP, CHLP_LOG, ATTR_HEIGHT, &height);
    EXPECT_NE(height, 600 - top);
    chlpCB(CHLP, EVENT_PANEL_SIZE, nullptr, 0, 0);
    GetCtrlAttribute(CHLP, CHLP_LOG, ATTR_HEIGHT, &height);
    GetCtrlAttribute(CHLP, CHLP_LOG, ATTR_WIDTH, &width);
    EXPECT_EQ(height, 600 - top);
    EXPECT_EQ(width, 900 - left);
}

TEST_F(Shell, CoefficientsAreScaledOntoTheCalibrationPage) {
    // Zeros show as zeros: the demo_mode script's page before any session.
    double u1 = -1, u2 = -1, f = -1;
    coeffWork[1] = 8388607.0;  // full scale: 10 V
    coeffWork[2] = -4194303.5;
    coeffWork[5] = 1.0001;
    coeffWork[0] = coeffWork[3] = coeffWork[4] = 99.0;  // carried along, never shown
    ShowCoeffs();
    GetCtrlVal(CP, CP_U1, &u1);
    GetCtrlVal(CP, CP_U2, &u2);
    GetCtrlVal(CP, CP_F, &f);
    EXPECT_DOUBLE_EQ(u1, 10.0);
    EXPECT_DOUBLE_EQ(u2, -5.0);
    EXPECT_DOUBLE_EQ(f, 1.0001);
}

}  // namespace
