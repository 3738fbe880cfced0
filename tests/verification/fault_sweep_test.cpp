// Fault sweep over calibration, coefficient storage and both full procedures: the scenario
// runs once to record its driver calls, then once per call with that call failing. Every
// failure reaches the status line, and the protocol holds exactly the points the program
// accepted, in order, nothing else.
#include <regex>
#include <vector>

#include "support/front_panel.h"

namespace {

constexpr const char *kBench = R"(
resources:
  - {name: "VXI0::24::INSTR", interface: VXI, slot: 3, manufacturer: 0xE76, mainframe: 0,
     la: 24, model: 0x10D,
     carrier: {name: "Н.М. №1", memory: 33554432, mezzanines: [{position: 1, type: 11,
       eeprom: [0, 8385211.5, 8391002.25, 0, 0, 1.000012], offsets: [0.0012, -0.0007]}]}}
)";
constexpr int32_t kFault = KSPTRL4_ERROR_NOT_SUPPORTED;

class FaultSweep : public FrontPanel {
  protected:
    // Runs the scenario on the bench with `fault` appended; true when the driver's text for
    // the fault was on the status line after some step.
    bool run(const std::string &fault) {
        EXPECT_TRUE(trl4sim::installBenchText(std::string(kBench) + fault));
        commitFileName("");
        commitFileName(log.string());
        openSession();
        accepted.clear();
        view()->answer = [](panel::Model &m) { m.operatorCommit(VP, VP_OK_3); };
        view()->popup = [this](bool installed) {
            if (!installed && calibrMode == 0 && vpResult == 1) accepted.push_back(povNominal);
        };
        char text[KSPTRL4_TEXT_LEN] = "";
        ksptrl4_error_message(0, kFault, text);
        bool told = false;
        const auto step = [&](int (*callback)(int, int, int, void *, int, int), int panel,
                              int control) {
            ShowStatusLine("", kStatusWhite);
            callback(panel, control, EVENT_COMMIT, nullptr, 0, 0);
            runEvents(4);
            told = told || (statusLine() == text && statusColour() == kStatusRed);
        };
        step(calibrCB, CP, CP_START_U);
        step(calibrCB, CP, CP_START_F);
        step(writeEEPROM, CP, CP_WRITE_EEPROM);
        step(readEEPROM, CP, CP_READ_EEPROM);
        step(resetCf, CP, CP_RESET_CF);
        step(displacementCB, MP, MP_CALIBR);
        step(povUallCB, PP, PP_U_ALL);
        step(povFallCB, PP, PP_F_ALL);
        closeSession();
        return told;
    }
    // The nominal values of the point records in the protocol file, in order.
    std::vector<double> recorded() const {
        const std::string bytes = read(log);
        std::vector<double> nominals;
        static const std::regex line("\r\n([-0-9.e+]+) +([0-9.e+-]+)%\r\n");
        for (auto it = std::sregex_iterator(bytes.begin(), bytes.end(), line);
             it != std::sregex_iterator(); ++it) {
            nominals.push_back(std::stod((*it)[1]));
        }
        return nominals;
    }
    std::filesystem::path log = dir / "sweep.log";
    std::vector<double> accepted;
};

TEST_F(FaultSweep, EveryFailingCallIsToldAndLeavesOnlyAcceptedPointsInTheProtocol) {
    log = dir / "sweep.log";
    const auto trace = dir / "trace.txt";
    setenv("TRL4_DRIVER_TRACE", trace.c_str(), 1);
    run("");
    unsetenv("TRL4_DRIVER_TRACE");
    EXPECT_EQ(accepted, (std::vector<double>{10.0, 5.0, 0.01, 25000.0, 10000.0, 1000.0, 1.0}));
    EXPECT_EQ(recorded(), accepted);

    // The calls of the scenario itself, after the session opening, each with its number among
    // the calls of its name.
    std::ifstream in(trace);
    std::map<std::string, int> seen;
    std::vector<std::pair<std::string, int>> calls;
    bool opened = false;
    for (std::string line; std::getline(in, line);) {
        const std::string name = line.substr(0, line.find('('));
        const int nth = ++seen[name];
        if (opened && name != "ksptrl4_error_message" && name != "ksptrl4_close" &&
            name != "kspbase_close") {
            calls.emplace_back(name, nth);
        }
        opened = opened || name == "ksptrl4_get_attribute";
    }
    ASSERT_GT(calls.size(), 40u);
    for (const auto &[name, nth] : calls) {
        std::filesystem::remove(log);
        const bool told = run("faults:\n  - {call: " + name +
                              ", status: 0xBFFC0C0A, on-call: " + std::to_string(nth) + "}\n");
        EXPECT_TRUE(told) << name << " " << nth;
        EXPECT_EQ(recorded(), accepted) << name << " " << nth;
        EXPECT_LE(accepted.size(), 7u);
    }
}

}  // namespace
