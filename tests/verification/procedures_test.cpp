// The verification procedures driven as an operator does, the judgement at its edges, the
// pop-up's buttons when the generator will not stop, and a program killed mid-procedure.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>

#include "support/front_panel.h"
#include "trl4/calibration.h"
#include "trl4/protocol.h"
#include "trl4/verification.h"

namespace {

constexpr const char *kStopFaultBench = R"(
resources:
  - {name: "VXI0::24::INSTR", interface: VXI, slot: 3, manufacturer: 0xE76, mainframe: 0,
     la: 24, model: 0x10D,
     carrier: {name: "Н.М. №1", memory: 33554432, mezzanines: [{position: 1, type: 11}]}}
faults:
  - {call: ksptrl4_stop, status: 0xBFFC0C0A%s}
)";

class Procedures : public FrontPanel {
  protected:
    // The operator presses `button` of VP at each pass while it is up, and counts the passes.
    void pressEachTime(int button) {
        view()->answer = [this, button](panel::Model &m) {
            ++passes;
            m.operatorCommit(VP, button);
        };
    }
    void stopFails(const char *onCall) {
        char bench[1024];
        std::snprintf(bench, sizeof bench, kStopFaultBench, onCall);
        ASSERT_TRUE(trl4sim::installBenchText(bench));
        openSession();
    }
    static std::size_t records() {
        return count(viewer(), "норма   ") + count(viewer(), "НЕ НОРМА");
    }
    int passes = 0;
};

TEST_F(Procedures, TolerancesAtTheFixedPointsAndTheFrequencyBounds) {
    EXPECT_NEAR(povAmpTolerance(10.0), 0.02005, 1e-15);
    EXPECT_NEAR(povAmpTolerance(5.0), 0.0241, 1e-15);
    EXPECT_NEAR(povAmpTolerance(0.01), 4.066, 1e-12);
    EXPECT_EQ(povFreqTolerance(std::nextafter(2.0, 0.0)), 0.1);
    EXPECT_EQ(povFreqTolerance(2.0), 0.08);
    EXPECT_EQ(povFreqTolerance(std::nextafter(20000.0, 0.0)), 0.08);
    EXPECT_EQ(povFreqTolerance(20000.0), 0.15);
}

TEST_F(Procedures, ADeviationExactlyAtTheToleranceIsNormal) {
    measKind = 1;
    povNominal = 10000.0;
    // 8 Hz off 10 kHz: a deviation that computes to exactly the tolerance, 0.08 %.
    ASSERT_EQ(std::fabs(10000.0 - 9992.0) / 10000.0 * 100, povFreqTolerance(10000.0));
    povRecordPoint(10008.0, std::nextafter(9992.0, 0.0));
    EXPECT_NE(viewer().find("-8            -0.08         норма        9992 "), std::string::npos);
    EXPECT_TRUE(viewer().ends_with("НЕ НОРМА"));
}

TEST_F(Procedures, FullAmplitudeVerificationRecordsItsThreePointsInOrder) {
    pressEachTime(VP_OK_3);
    povUallCB(PP, PP_U_ALL, EVENT_COMMIT, nullptr, 0, 0);
    const std::string shown = viewer();
    const auto at10 = shown.find("\n10                          0.02005%\n");
    const auto at5 = shown.find("\n5                           0.0241%\n");
    const auto at001 = shown.find("\n0.01                        4.066%\n");
    EXPECT_LT(at10, at5);
    EXPECT_LT(at5, at001);
    EXPECT_NE(at001, std::string::npos);
    EXPECT_EQ(count(shown, "норма   "), 6u);
}

TEST_F(Procedures, CancellingAtTheSecondFrequencyPointEndsTheProcedure) {
    view()->answer = [this](panel::Model &m) {
        m.operatorCommit(VP, ++passes == 2 ? VP_COMMANDBUTTON_2 : VP_OK_3);
    };
    povFallCB(PP, PP_F_ALL, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(passes, 2);
    EXPECT_EQ(records(), 2u);
    EXPECT_NE(viewer().find("\n25000                       0.15%\n"), std::string::npos);
}

TEST_F(Procedures, ANominalTheGeneratorCannotMakeIsRefusedBeforeAnyDriverCall) {
    openSession();
    pressEachTime(VP_OK_3);
    for (const double nominal : {0.0, -1.0, 10.5, double(NAN)}) {
        SetCtrlVal(PP, PP_U, nominal);
        ShowStatusLine("", kStatusWhite);
        povUCB(PP, PP_SET_U, EVENT_COMMIT, nullptr, 0, 0);
        EXPECT_EQ(statusColour(), kStatusRed) << nominal;
    }
    SetCtrlVal(PP, PP_F_2, 0.0);
    povFCB(PP, PP_SET_U_2, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(passes, 0);
    EXPECT_EQ(records(), 0u);
    EXPECT_FALSE(trl4sim::readMeter("VXI0::24::INSTR", 1, 1).has_value());
}

TEST_F(Procedures, APointIsRecordedOnlyOnceTheGeneratorHasStopped) {
    stopFails(", on-call: 1");
    pressEachTime(VP_OK_3);
    povUallCB(PP, PP_U_ALL, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(passes, 4);  // the first press found the generator running
    EXPECT_EQ(records(), 6u);
    EXPECT_FALSE(trl4sim::readMeter("VXI0::24::INSTR", 1, 1).has_value());
}

TEST_F(Procedures, ASecondCancelEndsAPointWhoseGeneratorWillNotStop) {
    stopFails("");
    pressEachTime(VP_COMMANDBUTTON_2);
    povUallCB(PP, PP_U_ALL, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(passes, 2);
    EXPECT_EQ(records(), 0u);
    EXPECT_NE(statusLine().find("может оставаться включённым"), std::string::npos);
    EXPECT_TRUE(trl4sim::readMeter("VXI0::24::INSTR", 1, 1).has_value());
}

TEST_F(Procedures, AProgramKilledWhileWaitingKeepsTheConfirmedPointWhole) {
    const std::string name = (dir / "kill.log").string();
    commitFileName(name);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        view()->answer = [&](panel::Model &m) {
            if (++passes == 1) m.operatorCommit(VP, VP_OK_3);
            if (passes == 2 && write(ready[1], "!", 1) != 1) _exit(1);
            if (passes > 600000) _exit(1);  // the parent is gone: do not linger
        };
        povUallCB(PP, PP_U_ALL, EVENT_COMMIT, nullptr, 0, 0);
        _exit(1);
    }
    char signal = 0;
    ASSERT_EQ(::read(ready[0], &signal, 1), 1);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::string bytes = read(name);
    EXPECT_EQ(count(bytes, "0.02005%\r\n"), 1u);
    EXPECT_EQ(bytes.substr(bytes.size() - 10), "\xED\xEE\xF0\xEC\xE0   \r\n");  // "норма   "
    close(ready[0]);
    close(ready[1]);
}

// Position 4 of the first carrier holds no record yet: the driver starts from its defaults,
// and the output is off by the mezzanine's true gain and clock errors.
TEST_F(Procedures, OnTheBenchCalibrationMakesAFailingGeneratorPassAfterARestart) {
    const std::string name = (dir / "bench.log").string();
    commitFileName(name);
    openSession("VXI0::24::INSTR", 4);
    readEEPROM(CP, CP_READ_EEPROM, EVENT_COMMIT, nullptr, 0, 0);
    view()->answer = [](panel::Model &m) {
        const auto one = trl4sim::readMeter("VXI0::24::INSTR", 4, 1);
        const auto two = trl4sim::readMeter("VXI0::24::INSTR", 4, 2);
        if (!one || !two) return;
        m.operatorSetNumber(VP, VP_VAL_1, measKind == 0 ? one->amplitude : one->frequency, false);
        m.operatorSetNumber(VP, VP_VAL_2, measKind == 0 ? two->amplitude : two->frequency, false);
        m.operatorCommit(VP, VP_OK_3);
    };
    SetCtrlVal(PP, PP_U, 10.0);
    povUCB(PP, PP_SET_U, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(count(viewer(), "НЕ НОРМА"), 2u);

    calibrCB(CP, CP_START_U, EVENT_COMMIT, nullptr, 0, 0);
    runEvents();
    calibrCB(CP, CP_START_F, EVENT_COMMIT, nullptr, 0, 0);
    runEvents();
    EXPECT_EQ(statusLine(), "");
    writeEEPROM(CP, CP_WRITE_EEPROM, EVENT_COMMIT, nullptr, 0, 0);
    closeSession();
    ASSERT_TRUE(trl4sim::reloadFromEnvironment());
    ResetTextBox(CHLP, CHLP_LOG, "");
    openSession("VXI0::24::INSTR", 4);
    readEEPROM(CP, CP_READ_EEPROM, EVENT_COMMIT, nullptr, 0, 0);
    povUallCB(PP, PP_U_ALL, EVENT_COMMIT, nullptr, 0, 0);
    povFallCB(PP, PP_F_ALL, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(count(viewer(), "норма   "), 14u) << viewer();
    EXPECT_EQ(count(read(name), "\xED\xEE\xF0\xEC\xE0   "), 14u);  // "норма   " in the file
}

}  // namespace
