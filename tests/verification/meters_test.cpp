// The outside meters: "Измерить" with each fault, the assignment kept per user, and the
// unattended verification against the protocol an operator typing the same values writes.
#include <cstring>
#include <sstream>
#include <vector>

#include "support/front_panel.h"
#include "trl4/generator.h"
#include "trl4/meters.h"
#include "trl4/protocol.h"

namespace {

constexpr const char *kVoltmeter = "USB0::0x2F1C::0x0107::VK5400123::INSTR";
constexpr const char *kCounter = "GPIB0::11::INSTR";

constexpr const char *kFaultBench = R"(resources:
  - {name: "VXI0::24::INSTR", interface: VXI, slot: 3, manufacturer: 0xE76, mainframe: 0,
     la: 24, model: 0x10D,
     carrier: {name: "Н.М. №1", memory: 33554432, mezzanines: [{position: 1}, {position: 2}]}}
  - {name: "GPIB0::1::INSTR", interface: GPIB, idn: "V,SILENT\n",
     meter: {kind: ac-voltmeter, fault: no-answer, inputs: [{carrier: "VXI0::24::INSTR"}]}}
  - {name: "GPIB0::2::INSTR", interface: GPIB, idn: "V,ERR\n",
     meter: {kind: ac-voltmeter, fault: error, inputs: [{carrier: "VXI0::24::INSTR"}]}}
  - {name: "GPIB0::3::INSTR", interface: GPIB, idn: "V,OVER\n",
     meter: {kind: ac-voltmeter, fault: overload, inputs: [{carrier: "VXI0::24::INSTR"}]}}
  - {name: "GPIB0::4::INSTR", interface: GPIB, idn: "V,ELSEWHERE\n",
     meter: {kind: ac-voltmeter, inputs: [{carrier: "VXI0::24::INSTR", position: 2}]}}
  - {name: "GPIB0::5::INSTR", interface: GPIB, idn: "V,CROSSED\n",
     meter: {kind: ac-voltmeter, fault: negative, inputs: [{carrier: "VXI0::24::INSTR"}]}}
  - {name: "GPIB0::6::INSTR", interface: GPIB, idn: "V-FIRST\n",
     meter: {kind: ac-voltmeter, inputs: [{carrier: "VXI0::24::INSTR", channel: 1}]}}
  - {name: "GPIB0::7::INSTR", interface: GPIB, idn: "V-SECOND\n",
     meter: {kind: ac-voltmeter, accuracy: 0.001, seed: 3,
             inputs: [{carrier: "VXI0::24::INSTR", channel: 2}]}}
)";

// 9:05:07 on 6 December 2026, so that two runs write the same protocol.
bool fixedClock(trl4::os::LocalTime &now) {
    now = {2026, 12, 6, 9, 5, 7};
    return true;
}

class Meters : public FrontPanel {
  protected:
    void SetUp() override {
        FrontPanel::SetUp();
        trl4::test::setSettingsHome(dir / "config");
        assignAll("", "");
        SetCtrlVal(PP, PP_AUTO, 0);
        SetProtocolClock(fixedClock);
    }
    void TearDown() override {
        assignAll("", "");
        SetProtocolClock(nullptr);
        FrontPanel::TearDown();
    }
    static void assignAll(const char *amplitude, const char *frequency) {
        for (int role = 0; role < kMeterRoles; ++role) {
            std::strcpy(meterRsrc[role], role < 2 ? amplitude : frequency);
            meterIdn[role][0] = '\0';
        }
    }
    static double field(int control) {
        double v = 0;
        GetCtrlVal(VP, control, &v);
        return v;
    }
    // The data rows of a record, each without its time (first field).
    static std::vector<std::string> rows(const std::filesystem::path &file) {
        std::istringstream in(read(file));
        std::vector<std::string> out;
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line))
            out.push_back(line.substr(line.find(',')));
        return out;
    }
};

TEST_F(Meters, MeasureFillsBothFieldsOrNothingAndSaysWhy) {
    SetupUPoint(10.0);
    int dimmed = 0;
    GetCtrlAttribute(VP, VP_MEASURE, ATTR_DIMMED, &dimmed);
    EXPECT_EQ(dimmed, 1);
    RemovePopup(0);
    openSession();
    assignAll(kVoltmeter, kCounter);
    SetupUPoint(10.0);
    GetCtrlAttribute(VP, VP_MEASURE, ATTR_DIMMED, &dimmed);
    EXPECT_EQ(dimmed, 0);
    commit(vpMeasure, VP, VP_MEASURE);
    EXPECT_EQ(statusLine(), "");
    const auto out = trl4sim::readMeter("VXI0::24::INSTR", 1, 2);
    ASSERT_TRUE(out);
    EXPECT_NEAR(field(VP_VAL_2), out->amplitude, out->amplitude * 2e-5);  // sqrt(2) x RMS
    EXPECT_EQ(ReadingSource(2), kVoltmeter);  // an identity never asked for: the resource
    SetCtrlVal(VP, VP_VAL_2, 10.0);
    EXPECT_EQ(ReadingSource(2), "typed");
    RemovePopup(0);
    closeSession();

    ASSERT_TRUE(trl4sim::installBenchText(kFaultBench));
    openSession();
    const std::pair<const char *, const char *> faults[] = {
        {"GPIB0::1::INSTR", "Измерительный прибор GPIB0::1::INSTR не отвечает"},
        {"GPIB0::2::INSTR",
         "Измерительный прибор GPIB0::2::INSTR: ошибка -230,\"Data corrupt or "
         "stale\""},
        {"GPIB0::3::INSTR", "Измерительный прибор GPIB0::3::INSTR: перегрузка"},
        {"GPIB0::5::INSTR", "Измерительный прибор GPIB0::5::INSTR: отрицательное показание -"},
        {"GPIB0::9::INSTR", "Измерительный прибор GPIB0::9::INSTR не найден"},
    };
    for (const auto &[meter, reason] : faults) {
        assignAll(meter, "");
        std::strcpy(meterRsrc[1], kVoltmeter);  // the good channel is not filled either
        SetupUPoint(10.0);
        ShowStatusLine("", kStatusWhite);
        commit(vpMeasure, VP, VP_MEASURE);
        EXPECT_EQ(statusLine().substr(0, std::strlen(reason)), reason);
        EXPECT_TRUE(statusRed()) << meter;
        EXPECT_EQ(field(VP_VAL_1), 10.0) << meter;
        EXPECT_EQ(field(VP_VAL_2), 10.0) << meter;
        RemovePopup(0);
    }

    // Far outside the field's limits is still a reading: it goes in as read, for the procedure
    // to judge, and says nothing against the meter.
    assignAll("", "");
    std::strcpy(meterRsrc[0], "GPIB0::4::INSTR");  // wired to the stopped position 2: 0 V
    SetupUPoint(10.0);
    ShowStatusLine("", kStatusWhite);
    commit(vpMeasure, VP, VP_MEASURE);
    EXPECT_EQ(statusLine(), "");
    EXPECT_EQ(field(VP_VAL_1), 0.0);
    EXPECT_EQ(field(VP_VAL_2), 10.0);
    int colour = 0;
    GetCtrlAttribute(VP, VP_VAL_1, ATTR_TEXT_COLOR, &colour);
    EXPECT_EQ(colour, VAL_RED);  // shown beyond its limits before the operator confirms it
    GetCtrlAttribute(VP, VP_VAL_2, ATTR_TEXT_COLOR, &colour);
    EXPECT_EQ(colour, VAL_BLACK);
    EXPECT_EQ(ReadingSource(1), "GPIB0::4::INSTR");
    RemovePopup(0);
}

TEST_F(Meters, AssignmentIsKeptPerUserAndAMeterThatIsGoneIsShownMissing) {
    assignAll(kVoltmeter, kCounter);
    std::strcpy(meterRsrc[3], "GPIB0::9::INSTR");
    ASSERT_TRUE(SaveMeterSettings());
    assignAll("", "");
    LoadMeterSettings();
    CheckMeterSettings();
    EXPECT_STREQ(meterRsrc[0], kVoltmeter);
    EXPECT_STREQ(meterRsrc[2], kCounter);
    EXPECT_STREQ(meterIdn[2], "VOLTEK,FC-3,FC0311,1.20");
    EXPECT_EQ(meterMissing[2], 0);
    EXPECT_STREQ(meterRsrc[3], "GPIB0::9::INSTR");  // kept, not dropped
    EXPECT_EQ(meterMissing[3], 1);
    EXPECT_EQ(statusLine(), "Измерительный прибор GPIB0::9::INSTR не отвечает");
    // A file that is no assignment assigns nothing and is named.
    std::ofstream(dir / "config" / "p_trl4" / "meters.yaml") << "amplitude-1: [a, b]\n";
    assignAll("", "");
    LoadMeterSettings();
    EXPECT_STREQ(meterRsrc[0], "");
    EXPECT_NE(statusLine().find("meters.yaml"), std::string::npos) << statusLine();
}

TEST_F(Meters, ASavedMeterIsTheSameMeterUnderEverySpellingOfItsName) {
    // Written by hand or by another program: decimal USB codes, board and interface left out
    // or written out. Both voltmeter roles name the one voltmeter, so each channel is read
    // through its own input.
    std::filesystem::create_directories(dir / "config" / "p_trl4");
    std::ofstream(dir / "config" / "p_trl4" / "meters.yaml")
        << "amplitude-1: \"usb::12060::263::VK5400123::INSTR\"\n"
        << "amplitude-2: \"USB0::0x2f1c::0x0107::VK5400123::0::INSTR\"\n"
        << "frequency-1: \"GPIB::11::0::INSTR\"\n";
    LoadMeterSettings();
    CheckMeterSettings();
    EXPECT_EQ(statusLine(), "");
    for (int role : {0, 1, 2}) {
        EXPECT_EQ(meterMissing[role], 0) << role;
        EXPECT_NE(meterIdn[role][0], '\0') << role;
    }
    openSession();
    SetupUPoint(10.0);
    commit(vpMeasure, VP, VP_MEASURE);
    EXPECT_EQ(statusLine(), "");
    const auto one = trl4sim::readMeter("VXI0::24::INSTR", 1, 1);
    const auto two = trl4sim::readMeter("VXI0::24::INSTR", 1, 2);
    ASSERT_TRUE(one && two);
    ASSERT_NE(one->amplitude, two->amplitude);  // the bench's gain errors tell them apart
    EXPECT_NEAR(field(VP_VAL_1), one->amplitude, one->amplitude * 2e-5);
    EXPECT_NEAR(field(VP_VAL_2), two->amplitude, two->amplitude * 2e-5);
    RemovePopup(0);
    closeSession();
}

TEST_F(Meters, UnattendedVerificationWritesWhatTypedReadingsWriteAndARecordRowForRow) {
    openSession();
    commit(readEEPROM, CP, CP_READ_EEPROM);
    assignAll(kVoltmeter, kCounter);
    view()->answer = [](panel::Model &m) {
        m.operatorCommit(VP, VP_MEASURE);
        m.operatorCommit(VP, VP_OK_3);
    };
    commit(calibrCB, CP, CP_START_U);
    runEvents();
    commit(calibrCB, CP, CP_START_F);
    runEvents();
    commit(writeEEPROM, CP, CP_WRITE_EEPROM);
    ASSERT_EQ(statusLine(), "");
    view()->answer = nullptr;
    commitFileName((dir / "auto.log").string());
    SetCtrlVal(PP, PP_AUTO, 1);
    commit(povUallCB, PP, PP_U_ALL);
    commit(povFallCB, PP, PP_F_ALL);
    EXPECT_EQ(statusLine(), "");
    EXPECT_EQ(count(viewer(), "норма   "), 14u);
    EXPECT_EQ(count(viewer(), "НЕ НОРМА"), 0u);
    const std::vector<std::string> automatic = rows(dir / "auto.log.csv");
    ASSERT_EQ(automatic.size(), 7u);

    // The same readings typed by an operator, taken from the record.
    SetCtrlVal(PP, PP_AUTO, 0);
    commitFileName((dir / "typed.log").string());
    std::size_t point = 0;
    view()->answer = [&](panel::Model &m) {
        std::vector<std::string> f;
        std::stringstream row(automatic.at(point++));
        for (std::string cell; std::getline(row, cell, ',');)
            f.push_back(cell);
        m.operatorSetText(VP, VP_VAL_1, f.at(8), false);
        m.operatorSetText(VP, VP_VAL_2, f.at(13 + (f.size() - 22)), false);
        m.operatorCommit(VP, VP_OK_3);
    };
    commit(povUallCB, PP, PP_U_ALL);
    commit(povFallCB, PP, PP_F_ALL);
    EXPECT_EQ(read(dir / "typed.log"), read(dir / "auto.log"));
    const std::vector<std::string> typed = rows(dir / "typed.log.csv");
    ASSERT_EQ(typed.size(), automatic.size());
    for (std::size_t i = 0; i < typed.size(); ++i) {
        std::string expected = automatic[i];
        // Meters assigned here were never asked who they are: their resources name them.
        for (const std::string &who : {std::string(kVoltmeter), std::string(kCounter)}) {
            for (auto at = expected.find(who); at != std::string::npos; at = expected.find(who))
                expected.replace(at, who.size(), "typed");
        }
        EXPECT_EQ(typed[i], expected) << i;
    }
}

TEST_F(Meters, CancelStopsTheUnattendedProcedureAtThePointShown) {
    openSession();
    assignAll(kVoltmeter, kCounter);
    SetCtrlVal(PP, PP_AUTO, 1);
    int passes = 0;
    view()->answer = [&](panel::Model &m) {
        if (++passes == 2) m.operatorCommit(VP, VP_COMMANDBUTTON_2);
    };
    commit(povFallCB, PP, PP_F_ALL);
    EXPECT_EQ(passes, 2);
    EXPECT_EQ(count(viewer(), "\n25000 "), 1u);
    EXPECT_EQ(count(viewer(), "\n10000 "), 0u);
    EXPECT_FALSE(trl4sim::readMeter("VXI0::24::INSTR", 1, 1).has_value());
}

TEST_F(Meters, AFailedReadingStopsTheUnattendedProcedureWithNothingRecorded) {
    ASSERT_TRUE(trl4sim::installBenchText(kFaultBench));
    openSession();
    assignAll("GPIB0::3::INSTR", "");
    commitFileName((dir / "stop.log").string());
    SetCtrlVal(PP, PP_AUTO, 1);
    commit(povUallCB, PP, PP_U_ALL);
    EXPECT_EQ(statusLine(), "Измерительный прибор GPIB0::3::INSTR: перегрузка");
    EXPECT_EQ(count(viewer(), "норма"), 0u);
    EXPECT_FALSE(trl4sim::readMeter("VXI0::24::INSTR", 1, 1).has_value());
    EXPECT_EQ(rows(dir / "stop.log.csv").size(), 0u);
}

TEST_F(Meters, EachChannelIsCreditedToWhoeverGaveItsReading) {
    ASSERT_TRUE(trl4sim::installBenchText(kFaultBench));
    openSession();
    commitFileName((dir / "who.log").string());
    calibrMode = 0;
    // Fields of a row: reading, then read_by, of channel 1 and of channel 2.
    const auto credited = [&](std::size_t row) {
        std::vector<std::string> f;
        std::stringstream cells(rows(dir / "who.log.csv").at(row));
        for (std::string cell; std::getline(cells, cell, ',');)
            f.push_back(cell);
        return std::vector<std::string>{f.at(8), f.at(12), f.at(13), f.at(17)};
    };
    const auto point = [&](const char *first, const char *second, const char *typedSecond) {
        assignAll("", "");
        std::strcpy(meterRsrc[0], first);
        std::strcpy(meterRsrc[1], second);
        CheckMeterSettings();
        povNominal = 10.0;
        SetupUPoint(povNominal);
        commit(vpMeasure, VP, VP_MEASURE);
        if (typedSecond != nullptr) SetCtrlVal(VP, VP_VAL_2, std::stod(typedSecond));
        commit(vpOk, VP, VP_OK_3);
    };
    // Two meters: each channel names its own, with its own reading.
    point("GPIB0::6::INSTR", "GPIB0::7::INSTR", nullptr);
    std::vector<std::string> row = credited(0);
    EXPECT_EQ(row[1], "V-FIRST");
    EXPECT_EQ(row[3], "V-SECOND");
    EXPECT_NE(row[0], row[2]);  // the second meter's noise: not the first one's reading
    // A meter on one channel and a value typed on the other.
    point("", "GPIB0::7::INSTR", nullptr);
    row = credited(1);
    EXPECT_EQ(row[0], "10");
    EXPECT_EQ(row[1], "typed");
    EXPECT_EQ(row[3], "V-SECOND");
    point("GPIB0::6::INSTR", "", "9.9991");
    row = credited(2);
    EXPECT_EQ(row[1], "V-FIRST");
    EXPECT_EQ(row[2], "9.9991");
    EXPECT_EQ(row[3], "typed");
}

}  // namespace
