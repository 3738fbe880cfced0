// The generator on the headless run-time with the real panels over a bench of the test's
// making: the session, the point sequences, self-test, the waveform test, and every driver
// call of the sequences made to fail in turn.
#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>

#include "../sim/bench_fixture.h"
#include "ksptrl4_32.h"
#include "p_trl4.h"
#include "si.h"
#include "trl4/app.h"
#include "trl4/app_state.h"
#include "trl4/generator.h"

namespace {

// One carrier, generators in positions 2 and 4 only.
constexpr const char *kBench = R"(resources:
  - {name: "VXI0::24::INSTR", interface: VXI, slot: 3, manufacturer: 0xE76, mainframe: 5, la: 24,
     model: 0x10D, carrier: {name: "Н.М. №0241", memory: 33554439, mezzanines: [
       {position: 1, type: 7}, {position: 2, offsets: [0.0012, -0.0007],
        gain-error: [0.031, -0.027], frequency-error-ppm: 180},
       {position: 4, self-test: {code: -3, message: "Ошибка памяти формы"}}]}}
)";
constexpr int32_t kFault = static_cast<int32_t>(0xBFFF003EU);

class Generator : public BenchTest {
  protected:
    static void SetUpTestSuite() {
        static char arg0[] = "generator_test", arg1[] = "--view", arg2[] = "headless";
        static char *argv[] = {arg0, arg1, arg2, nullptr};
        ASSERT_EQ(InitPanelRuntime(3, argv), 0);
        ASSERT_EQ(RegisterAppCallbacks(), 0);
        ASSERT_TRUE(LoadAppPanels()) << GetPanelErrorText();
    }
    void SetUp() override {
        BenchTest::SetUp();
        trace_ = traceOn();
        restart();
    }
    void TearDown() override {
        restart();
        BenchTest::TearDown();
    }
    // A fresh program over the bench, with faults (a YAML list) when given.
    void restart(const std::string &faults = "") {
        RemovePopup(0);
        generatorSession = carrierSession = 0;
        currentInstrument = nullptr;
        measKind = -1;
        refFreq = 0;
        install(std::string(kBench) + (faults.empty() ? "" : "faults: " + faults + "\n"));
        std::filesystem::remove(trace_);
    }
    void open() {
        std::snprintf(entry_.rsrcName, sizeof entry_.rsrcName, "VXI0::24::INSTR");
        currentInstrument = &entry_;
        OpenInstrument(&entry_);
    }
    // The driver calls made so far, name and what follows it.
    std::vector<std::string> calls() const {
        std::vector<std::string> out;
        for (const std::string &line : lines(trace_)) {
            if (line.rfind("ksp", 0) == 0) out.push_back(line);
        }
        return out;
    }
    static std::string name(const std::string &call) { return call.substr(0, call.find('(')); }
    static std::string text(int panel, int control) {
        char buffer[512] = "";
        GetCtrlVal(panel, control, buffer, sizeof buffer);
        return buffer;
    }
    template <typename T = int>
    static T attribute(int panel, int control, int which) {
        T value{};
        GetCtrlAttribute(panel, control, which, &value);
        return value;
    }
    static bool popupUp() { return RemovePopup(1) == 0 && InstallPopup(VP) == 0; }
    static std::string driverText(int32_t status) {
        char buffer[KSPTRL4_TEXT_LEN] = "";
        ksptrl4_error_message(0, status, buffer);
        return buffer;
    }

    // Runs the sequence once on an open session to record its calls, then again once per
    // call with that call failing: the call's text in red on the status line, no later
    // call of the sequence but `cleanup`, and nothing of the pending point changed.
    void sweep(const std::function<void()> &sequence, const std::string &cleanup = "-") {
        restart();
        open();
        const size_t first = calls().size();
        sequence();
        const std::vector<std::string> recorded = calls();
        ASSERT_GT(recorded.size(), first);
        ASSERT_EQ(text(MP, MP_ERROR_MESSAGE), "");  // the sequence itself runs clean
        for (size_t i = first; i < recorded.size(); ++i) {
            const std::string call = name(recorded[i]);
            const auto nth = std::count_if(recorded.begin(), recorded.begin() + long(i) + 1,
                                           [&](const std::string &c) { return name(c) == call; });
            SCOPED_TRACE(recorded[i]);
            restart("[{call: " + call + ", status: 0xBFFF003E, on-call: " + std::to_string(nth) +
                    "}]");
            open();
            sequence();
            const std::vector<std::string> made = calls();
            ASSERT_GT(made.size(), i);
            EXPECT_EQ(made[i].substr(made[i].find("-> ")), "-> 0xBFFF003E");
            bool cleaned = false;
            for (size_t j = i + 1; j < made.size(); ++j) {
                cleaned = cleaned || name(made[j]) == cleanup;
                EXPECT_TRUE(name(made[j]) == "ksptrl4_error_message" || name(made[j]) == cleanup)
                    << made[j];
            }
            // Made whenever the output had been started before the failure.
            const bool started = std::any_of(made.begin(), made.begin() + long(i), [](auto &c) {
                return c.rfind("ksptrl4_start(", 0) == 0 && c.find("-> 0x00000000") != c.npos;
            });
            if (cleanup != "-" && call != cleanup) {
                EXPECT_EQ(cleaned, started);
            }
            EXPECT_EQ(text(MP, MP_ERROR_MESSAGE), driverText(kFault));
            EXPECT_EQ(attribute(MP, MP_ERROR_MESSAGE, ATTR_TEXT_COLOR), kStatusRed);
            EXPECT_EQ(measKind, -1);
            EXPECT_EQ(refFreq, 0.0);
            EXPECT_FALSE(popupUp());
        }
    }

    std::filesystem::path trace_;
    InstrumentEntry entry_{};
};

TEST_F(Generator, OnlyGeneratorPositionsAreOfferedAndTheFirstOpens) {
    open();
    int count = 0;
    GetNumListItems(MP, MP_MEZ_NUM, &count);
    EXPECT_EQ(count, 2);
    unsigned short chosen = 0;
    GetCtrlVal(MP, MP_MEZ_NUM, &chosen);
    EXPECT_EQ(chosen, 2);
    EXPECT_EQ(mezNum, 2);
    EXPECT_EQ(crateAddr, 5);
    EXPECT_EQ(slotNum, 3);
    char title[256] = "";
    GetPanelAttribute(MP, ATTR_TITLE, title, sizeof title);
    EXPECT_STREQ(title, "ТРЛ4 N 2 на Н.М. №0241");
    EXPECT_EQ(text(MP, MP_ERROR_MESSAGE), "");
    EXPECT_EQ(zeroU1, 0.0012);
    ASSERT_NE(coeffRec, nullptr);
    EXPECT_EQ(coeffRec[1], 8388607.0);
    // One eighth of the memory, rounded toward zero.
    EXPECT_NE(calls()[9].find("ksptrl4_alloc(" + std::to_string(generatorSession) + ", 4194304)"),
              std::string::npos);
}

TEST_F(Generator, AnotherPositionClosesTheOldSessionFirstAndAFailedCloseChangesNothing) {
    restart("[{call: ksptrl4_close, status: 0xBFFF003E, on-call: 1}]");
    open();
    const uint32_t old = generatorSession;
    ASSERT_NE(old, 0u);
    SetCtrlVal(MP, MP_MEZ_NUM, 4);
    selMezonin(MP, MP_MEZ_NUM, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(generatorSession, old);
    EXPECT_EQ(mezNum, 2);
    unsigned short shown = 0;
    GetCtrlVal(MP, MP_MEZ_NUM, &shown);
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(text(MP, MP_ERROR_MESSAGE), driverText(kFault));
    EXPECT_EQ(attribute(MP, MP_ERROR_MESSAGE, ATTR_TEXT_COLOR), kStatusRed);

    SetCtrlVal(MP, MP_MEZ_NUM, 4);
    const size_t before = calls().size();
    selMezonin(MP, MP_MEZ_NUM, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(calls()[before], "ksptrl4_close(" + std::to_string(old) + ") -> 0x00000000");
    EXPECT_EQ(mezNum, 4);
    EXPECT_NE(generatorSession, 0u);
}

TEST_F(Generator, WithoutACarrierTheSessionFailsTwiceAndTheCrateShowsZero) {
    crateAddr = slotNum = 0;
    testing::internal::CaptureStdout();
    selMezonin(MP, MP_MEZ_SELECT, EVENT_COMMIT, nullptr, 0, 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out,
              "message \"\" \"Ошибка инициализации\"\nmessage \"\" \"Ошибка инициализации\"\n");
    EXPECT_EQ(generatorSession, 0u);
    // The coefficients are read with session 0: the driver's refusal is on the status line.
    EXPECT_EQ(text(MP, MP_ERROR_MESSAGE), driverText(KSPTRL4_ERROR_SESSION));
    double crate = -1;
    GetCtrlVal(MP, MP_K, &crate);
    EXPECT_EQ(crate, 0.0);  // 1 until the callback writes the crate
}

// The limits, values, unit and field visibility of both sequences, in demo mode and with a
// session alike.
TEST_F(Generator, PointSequencesPrepareThePopup) {
    for (bool session : {false, true}) {
        if (session) open();
        SCOPED_TRACE(session ? "session" : "demo");
        SetupUPoint(0.01);
        EXPECT_EQ(measKind, 0);
        EXPECT_EQ(attribute<double>(VP, VP_VAL_1, ATTR_MIN_VALUE), 0.8 * 0.01);
        EXPECT_EQ(attribute<double>(VP, VP_VAL_2, ATTR_MAX_VALUE), 1.2 * 0.01);
        EXPECT_EQ(attribute(VP, VP_VAL_2, ATTR_VISIBLE), 1);
        EXPECT_EQ(text(VP, VP_ED_IZM), "В");
        EXPECT_TRUE(popupUp());
        RemovePopup(0);

        const double f = 25000.0;
        calibrMode = 0;
        SetupFPoint(&f);
        EXPECT_EQ(attribute<double>(VP, VP_VAL_2, ATTR_MIN_VALUE), 0.9 * f);
        EXPECT_EQ(attribute<double>(VP, VP_VAL_2, ATTR_MAX_VALUE), 1.1 * f);
        EXPECT_EQ(attribute(VP, VP_VAL_2, ATTR_VISIBLE), 1);
        RemovePopup(0);
        const double one = 1000.0;
        calibrMode = 1;
        SetupFPoint(&one);
        EXPECT_EQ(measKind, 1);
        EXPECT_EQ(attribute<double>(VP, VP_VAL_1, ATTR_MAX_VALUE), 1.1 * one);
        EXPECT_EQ(attribute<double>(VP, VP_VAL_2, ATTR_MAX_VALUE), 1.1 * f);  // not touched
        EXPECT_EQ(attribute(VP, VP_VAL_2, ATTR_VISIBLE), 0);
        EXPECT_EQ(text(VP, VP_ED_IZM), "Гц");
        // With a session, the frequency the driver makes under the EEPROM's coefficient.
        EXPECT_NEAR(refFreq, session ? one : 0.0, 0.1);
        EXPECT_TRUE(popupUp());
        RemovePopup(0);
    }
}

// A point runs the generator, and an outside meter reads what the settings, the session's
// coefficients and the mezzanine's true errors make.
TEST_F(Generator, AnOutsideMeterReadsWhatThePointSetUp) {
    open();
    ASSERT_NE(coeffRec, nullptr);
    auto meter = [](int channel) { return trl4sim::readMeter("VXI0::24::INSTR", 2, channel); };
    ASSERT_EQ(SetupUPoint(10.0), 0);
    ASSERT_TRUE(meter(1) && meter(2));
    EXPECT_NEAR(meter(1)->amplitude, 10.0 * coeffRec[1] / 8388607.0 * (1 + 0.031), 1e-9);
    EXPECT_NEAR(meter(2)->amplitude, 10.0 * coeffRec[2] / 8388607.0 * (1 - 0.027), 1e-9);
    EXPECT_NEAR(meter(1)->frequency, 1000.0 * (1 + 180e-6), 1e-3);
    RemovePopup(0);
    // A calibration writes the driver's block in place; the next point uses it.
    coeffRec[1] = 8388607.0 / (1 + 0.031);
    const double f = 25000.0;
    ASSERT_EQ(SetupFPoint(&f), 0);
    ASSERT_TRUE(meter(1) && meter(2));
    EXPECT_NEAR(meter(1)->amplitude, 10.0, 1e-9);
    EXPECT_NE(refFreq, f);
    EXPECT_NEAR(meter(2)->frequency, refFreq / coeffRec[5] * (1 + 180e-6), 1e-9);
}

TEST_F(Generator, AFailureAtTheThirdCallOfTheAmplitudePointStopsThere) {
    restart("[{call: ksptrl4_setAmpScale, status: 0xBFFF003E}]");
    open();
    const size_t before = calls().size();
    EXPECT_EQ(SetupUPoint(10.0), kFault);
    std::vector<std::string> made;
    for (size_t i = before; i < calls().size(); ++i)
        made.push_back(name(calls()[i]));
    EXPECT_EQ(made, (std::vector<std::string>{"ksptrl4_setSourceMode", "ksptrl4_setRange",
                                              "ksptrl4_setAmpScale", "ksptrl4_error_message"}));
    EXPECT_EQ(measKind, -1);
    EXPECT_FALSE(popupUp());
}

TEST_F(Generator, EveryFailingCallEndsItsSequenceCleanly) {
    const double f = 1000.0;
    sweep([] { SetupUPoint(5.0); });
    sweep([&] { SetupFPoint(&f); });
    // Once started, the output is stopped whatever fails after.
    sweep([] { testCB(MP, 0, EVENT_COMMIT, nullptr, 0, 0); }, "ksptrl4_stop");
}

TEST_F(Generator, ThePlayedHalfOfTheTestSineIsExactly128WholePeriods) {
    std::vector<double> sine(kTestFormSamples);
    MakeTestSine(sine.data(), kTestFormSamples);
    EXPECT_EQ(kTestPlayedSamples, 128u * 128u);
    for (uint32_t i = 0; i < kTestPlayedSamples; ++i) {
        ASSERT_EQ(sine[i], sine[i % 128]) << i;  // every period the very same samples
        ASSERT_NEAR(sine[i], std::sin(2 * std::numbers::pi * i / 128), 1e-12) << i;
    }
}

TEST_F(Generator, SelfTestShowsTheVerdictAsItComesInDemoModeTwiceAndWithASession) {
    for (int run = 0; run < 2; ++run) {
        selftestCB(MP, MP_SELFTEST, EVENT_COMMIT, nullptr, 0, 0);
        EXPECT_EQ(text(ST, ST_MSG), "Демо режим");
        EXPECT_EQ(attribute(ST, ST_CLOSE, ATTR_DIMMED), 0);
    }
    EXPECT_TRUE(calls().empty());
    open();
    SetCtrlVal(MP, MP_MEZ_NUM, 4);
    selMezonin(MP, MP_MEZ_NUM, EVENT_COMMIT, nullptr, 0, 0);
    selftestCB(MP, MP_SELFTEST, EVENT_COMMIT, nullptr, 0, 0);
    short result = 0;
    GetCtrlVal(ST, ST_RESULT, &result);
    EXPECT_EQ(result, -3);
    EXPECT_EQ(text(ST, ST_MSG), "Ошибка памяти формы");
    EXPECT_EQ(text(MP, MP_ERROR_MESSAGE), "");
}

}  // namespace
