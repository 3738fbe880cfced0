// Fault sweep over calibration, coefficient storage and both full procedures: the scenario runs
// once to record its driver calls, then once per call with that call failing. Each failure
// reaches the status line, and the protocol holds exactly the points accepted before, in order.
#include <map>
#include <regex>
#include <vector>

#include "support/front_panel.h"

namespace {

constexpr const char *kBench = R"(resources:
  - {name: "VXI0::24::INSTR", interface: VXI, slot: 3, manufacturer: 0xE76, mainframe: 0,
     la: 24, model: 0x10D, carrier: {name: "Н.М. №1", memory: 33554432, mezzanines: [{position: 1,
     type: 11, eeprom: [0, 8385211.5, 8391002.25, 0, 0, 1.000012], offsets: [0.0012, 0]}]}}
)";

class FaultSweep : public FrontPanel {
  protected:
    // Runs the scenario; true when the driver's text for the fault was on the status line
    // after one of its steps.
    bool run(const std::string &fault) {
        EXPECT_TRUE(trl4sim::installBenchText(kBench + fault));
        std::filesystem::remove(log);
        commitFileName(log.string());
        openSession();
        accepted.clear();
        view()->answer = [](panel::Model &m) { m.operatorCommit(VP, VP_OK_3); };
        view()->popup = [this](bool shown) {
            if (!shown && calibrMode == 0 && vpResult == 1) accepted.push_back(povNominal);
        };
        char text[KSPTRL4_TEXT_LEN] = "";
        ksptrl4_error_message(0, KSPTRL4_ERROR_NOT_SUPPORTED, text);
        bool told = false;
        const std::pair<CtrlCallbackPtr, int> steps[] = {
            {calibrCB, CP_START_U},       {calibrCB, CP_START_F}, {writeEEPROM, CP_WRITE_EEPROM},
            {readEEPROM, CP_READ_EEPROM}, {resetCf, CP_RESET_CF}, {displacementCB, MP_CALIBR},
            {povUallCB, PP_U_ALL},        {povFallCB, PP_F_ALL}};
        for (const auto &[callback, control] : steps) {
            ShowStatusLine("", kStatusWhite);
            commit(callback, 0, control);
            runEvents(4);
            told = told || (statusLine() == text && statusRed());
        }
        closeSession();
        commitFileName("");
        return told;
    }
    // The nominal values of the point records in the protocol file, in order.
    std::vector<double> recorded() const {
        static const std::regex nominalLine("\r\n([-0-9.e+]+) +[0-9.e+-]+%\r\n");
        const std::string bytes = read(log);
        std::vector<double> nominals;
        for (std::sregex_iterator it(bytes.begin(), bytes.end(), nominalLine), end; it != end; ++it)
            nominals.push_back(std::stod((*it)[1]));
        return nominals;
    }
    std::filesystem::path log;  // set once the test's folder exists
    std::vector<double> accepted;
};

TEST_F(FaultSweep, EveryFailingCallIsToldAndTheProtocolKeepsOnlyAcceptedPoints) {
    log = dir / "sweep.log";
    trl4::test::setEnv("TRL4_DRIVER_TRACE", dir / "trace.txt");
    run("");
    trl4::test::setEnv("TRL4_DRIVER_TRACE", nullptr);
    // Both full procedures: their points in order, each recorded once.
    EXPECT_EQ(accepted, (std::vector<double>{10.0, 5.0, 0.01, 25000.0, 10000.0, 1000.0, 1.0}));
    EXPECT_EQ(recorded(), accepted);

    // Each driver call after the session's opening, by its number among the calls of its name.
    std::ifstream trace(dir / "trace.txt");
    std::map<std::string, int> seen;
    std::vector<std::pair<std::string, int>> calls;
    for (std::string line; std::getline(trace, line);) {
        const std::string name = line.substr(0, line.find('('));
        const int nth = ++seen[name];
        const bool driver = name.starts_with("ksptrl4_") || name.starts_with("kspbase_");
        const bool opening =
            seen["ksptrl4_get_attribute"] == 0 || (name == "ksptrl4_get_attribute" && nth == 1);
        if (driver && !opening && name != "ksptrl4_error_message" &&
            name.find("close") == std::string::npos) {
            calls.emplace_back(name, nth);
        }
    }
    ASSERT_GT(calls.size(), 40u);
    for (const auto &[name, nth] : calls) {
        EXPECT_TRUE(run("faults: [{call: " + name +
                        ", status: 0xBFFC0C0A, on-call: " + std::to_string(nth) + "}]"))
            << name << " " << nth;
        EXPECT_EQ(recorded(), accepted) << name << " " << nth;
    }
}

}  // namespace
