// The simulated meters: SCPI parsing, readings of the wired outputs, error queue and faults.
#include <cmath>
#include <cstdlib>
#include <string>

#include "bench_fixture.h"
#include "trl4sim/scpi.h"

namespace {

using trl4sim::scpi::Header;
using trl4sim::scpi::parse;

TEST(Scpi, ShortAndLongFormsInAnyCaseWithChannelLists) {
    for (const char *line :
         {"MEAS:VOLT:AC?", ":measure:voltage:ac?", "Meas:Voltage:Ac?", "MEASURE:VOLT:AC? (@2)"}) {
        const auto units = parse(line);
        ASSERT_EQ(units.size(), 1u) << line;
        EXPECT_EQ(units[0].error, 0) << line;
        EXPECT_EQ(units[0].header, Header::MeasureVoltageAc) << line;
    }
    EXPECT_EQ(parse("MEAS:VOLT:AC? (@2)")[0].channel, 2);
    EXPECT_EQ(parse("meas:freq?")[0].header, Header::MeasureFrequency);
    EXPECT_EQ(parse("SYST:ERR:NEXT?")[0].header, Header::NextError);
    EXPECT_EQ(parse("*idn?")[0].header, Header::Identify);
    const auto two = parse("*RST; *CLS ;");
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].header, Header::Reset);
    EXPECT_EQ(two[1].header, Header::ClearStatus);
    EXPECT_TRUE(parse("   ").empty());
}

TEST(Scpi, MalformedUnitsCarryTheirErrors) {
    using namespace trl4sim::scpi;
    for (const char *line : {"MEAS:VOLT:AC", "MEASU:VOLT:AC?", "MEAS:VOLT?", "MEAS:VOLT:AC:DC?",
                             "SYST:ERR:NEXT:NEXT?", "*IDN", "?", ":", "MEAS::FREQ?", "*RST?"}) {
        const auto units = parse(line);
        ASSERT_EQ(units.size(), 1u) << line;
        EXPECT_EQ(units[0].error, kUndefinedHeader) << line;
    }
    EXPECT_EQ(parse("*IDN? 1")[0].error, kParameterNotAllowed);
    for (const char *line :
         {"MEAS:FREQ? (@0)", "MEAS:FREQ? (@100)", "MEAS:FREQ? 1", "MEAS:FREQ? (@"})
        EXPECT_EQ(parse(line)[0].error, kIllegalParameterValue) << line;
    EXPECT_EQ(parse("*RST;;*CLS")[1].error, kUndefinedHeader);
}

class MeterTest : public BenchTest {
  protected:
    void SetUp() override {
        BenchTest::SetUp();
        install(R"(resources:
  - {name: "VXI0::24::INSTR", interface: VXI, carrier: {name: "c", memory: 0, mezzanines: [{position: 2, gain-error: [0.01, 0], frequency-error-ppm: 100}]}}
  - name: "GPIB0::1::INSTR"
    interface: GPIB
    idn: "V,AV\n"
    meter: {kind: ac-voltmeter, accuracy: 0.001, seed: 5, settling: 0.25,
            inputs: [{carrier: "VXI0::24::INSTR", position: 2, channel: 1}, {carrier: "VXI0::24::INSTR", position: 2, channel: 2}]}
  - name: "GPIB0::2::INSTR"
    interface: GPIB
    meter: {kind: frequency-counter, fault: overload, inputs: [{carrier: "VXI0::24::INSTR", position: 2}]}
  - name: "GPIB0::3::INSTR"
    interface: GPIB
    meter: {kind: frequency-counter, fault: error, inputs: [{carrier: "VXI0::24::INSTR", position: 2}]}
)");
        trl4sim::setOutput("VXI0::24::INSTR", 2, 1, trl4sim::OutputSetup{2.0, 1000.0});
        trl4sim::setOutput("VXI0::24::INSTR", 2, 2, trl4sim::OutputSetup{4.0, 1000.0});
    }
    std::string ask(const char *name, std::string_view line) {
        return trl4sim::meterExchange(*trl4sim::findResource(*trl4sim::current(), name), line);
    }
    double reading(const char *name, std::string_view line) {
        const std::string reply = ask(name, line);
        EXPECT_EQ(reply.back(), '\n');
        return std::strtod(reply.c_str(), nullptr);
    }
};

TEST_F(MeterTest, ReadsTheRmsOfEachInputWithinItsAccuracyAndRepeats) {
    const double ch1 = reading("GPIB0::1::INSTR", "MEAS:VOLT:AC?");
    const double ch2 = reading("GPIB0::1::INSTR", "MEAS:VOLT:AC? (@2)");
    EXPECT_NEAR(ch1, 2.0 * 1.01 / std::sqrt(2.0), 2.0 * 1.01 / std::sqrt(2.0) * 0.001);
    EXPECT_NEAR(ch2, 4.0 / std::sqrt(2.0), 4.0 / std::sqrt(2.0) * 0.001);
    EXPECT_NE(ch1, 2.0 * 1.01 / std::sqrt(2.0));  // the noise is there
    EXPECT_DOUBLE_EQ(trl4sim::meterSeconds(), 0.5);
    ask("GPIB0::1::INSTR", "*RST");
    EXPECT_EQ(reading("GPIB0::1::INSTR", "MEAS:VOLT:AC?"), ch1);
    trl4sim::setOutput("VXI0::24::INSTR", 2, 1, std::nullopt);
    EXPECT_EQ(reading("GPIB0::1::INSTR", "MEAS:VOLT:AC?"), 0.0);
    EXPECT_EQ(ask("GPIB0::1::INSTR", "*IDN?"), "V,AV\n");
}

TEST_F(MeterTest, ErrorQueueTellsWhatWentWrongInOrder) {
    EXPECT_EQ(ask("GPIB0::1::INSTR", "SYST:ERR?"), "+0,\"No error\"\n");
    EXPECT_EQ(ask("GPIB0::1::INSTR", "FOO?;MEAS:FREQ?;MEAS:VOLT:AC? (@3)"), "");
    EXPECT_EQ(ask("GPIB0::1::INSTR", "SYST:ERR?;SYST:ERR?"),
              "-113,\"Undefined header\"\n-113,\"Undefined header\"\n");
    EXPECT_EQ(ask("GPIB0::1::INSTR", "SYSTEM:ERROR?"), "-224,\"Illegal parameter value\"\n");
    for (int i = 0; i < 30; ++i)
        ask("GPIB0::1::INSTR", "X");
    for (int i = 0; i < 19; ++i)
        ask("GPIB0::1::INSTR", "SYST:ERR?");
    EXPECT_EQ(ask("GPIB0::1::INSTR", "SYST:ERR?"), "-350,\"Queue overflow\"\n");
    ask("GPIB0::1::INSTR", "X;*CLS");
    EXPECT_EQ(ask("GPIB0::1::INSTR", "SYST:ERR?"), "+0,\"No error\"\n");
}

TEST_F(MeterTest, FaultsOverloadOrRefuse) {
    EXPECT_EQ(reading("GPIB0::2::INSTR", "MEAS:FREQ?"), 9.9e37);
    EXPECT_EQ(ask("GPIB0::3::INSTR", "MEAS:FREQ?"), "");
    EXPECT_EQ(ask("GPIB0::3::INSTR", "SYST:ERR?"), "-230,\"Data corrupt or stale\"\n");
    EXPECT_EQ(ask("GPIB0::3::INSTR", "*IDN?"), "");  // it has no identity to give
}

TEST_F(MeterTest, BenchRefusesMeterWiredToNothingOrMalformed) {
    std::string error;
    for (const char *bad :
         {"resources: [{name: a, interface: GPIB, meter: {kind: ac-voltmeter, inputs: [{carrier: "
          "b}]}}]",
          "resources: [{name: a, interface: GPIB, meter: {kind: ohmmeter, inputs: []}}]",
          "resources: [{name: a, interface: GPIB, meter: {kind: ac-voltmeter}}]"}) {
        EXPECT_FALSE(trl4sim::installBenchText(bad, &error)) << bad;
        EXPECT_NE(error.find(":1: "), std::string::npos) << error;
    }
}

}  // namespace
