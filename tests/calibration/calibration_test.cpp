// Calibration arithmetic and its windows, and the coefficients' moves between the EEPROM
// (persisted by the bench), the driver's record and the calibration page.
#include <array>
#include <cmath>
#include <limits>

#include "support/front_panel.h"
#include "trl4/calibration.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class Calibration : public FrontPanel {
  protected:
    void SetUp() override {
        FrontPanel::SetUp();
        coeffRec = record.data();
        std::fill(std::begin(coeffWork), std::end(coeffWork), -1.0);
        zeroU1 = zeroU2 = 0.0;
        refFreq = 1000.0;
    }
    // A refusal changes nothing and says so in red; an acceptance says nothing.
    bool accepted(int kind, double m1, double m2) {
        measKind = kind;
        const auto before = std::to_array(coeffWork);
        ShowStatusLine("", kStatusWhite);
        CalcCalibrCoeffs(m1, m2);
        const bool changed = before != std::to_array(coeffWork);
        EXPECT_EQ(statusLine() == kCalibrInputError && statusRed(), !changed);
        return changed;
    }
    static double shown(int control) {
        double value = 0.0;
        GetCtrlVal(CP, control, &value);
        return value;
    }
    std::array<double, 6> record{0, 8000000.0, 8388100.0, 0, 0, 1.0};
};

TEST_F(Calibration, ReadingsAreAcceptedOnlyWithinTheirWindows) {
    EXPECT_TRUE(accepted(0, 8.0, 12.0));
    EXPECT_FALSE(accepted(0, 10.0, 12.5));
    EXPECT_FALSE(accepted(0, std::nextafter(8.0, 0.0), 10.0));
    EXPECT_FALSE(accepted(0, 10.0, std::nextafter(12.0, 13.0)));
    EXPECT_FALSE(accepted(0, kNaN, 10.0));
    EXPECT_TRUE(accepted(1, 900.0, kNaN));
    EXPECT_TRUE(accepted(1, 1100.0, -5.0));
    EXPECT_FALSE(accepted(1, 899.0, 1000.0));
    EXPECT_FALSE(accepted(1, std::nextafter(1100.0, 2000.0), 1000.0));
}

TEST_F(Calibration, CoefficientsComeFromTheDriverRecordNotFromEarlierResults) {
    ASSERT_TRUE(accepted(0, 9.9, 10.0));
    EXPECT_EQ(coeffWork[1], 8000000.0 * 10.0 / 9.9);
    EXPECT_EQ(coeffWork[2], record[2]);
    zeroU2 = 0.5;
    ASSERT_TRUE(accepted(0, 10.1, 10.2));  // a second one, nothing written in between
    EXPECT_EQ(coeffWork[1], 8000000.0 * 10.0 / 10.1);
    EXPECT_EQ(coeffWork[2], record[2] * 9.5 / 9.7);
    EXPECT_EQ(coeffWork[0], -1.0);
    EXPECT_DOUBLE_EQ(shown(CP_U1), coeffWork[1] * 10.0 / 8388607.0);
    ASSERT_TRUE(accepted(1, 1001.0, 0.0));
    EXPECT_EQ(shown(CP_F), 1.001);
    for (const double reference : {0.0, -1000.0, kNaN, std::numeric_limits<double>::infinity()}) {
        refFreq = reference;
        EXPECT_FALSE(accepted(1, 1000.0, 0.0)) << reference;
    }
    zeroU1 = 9.0;  // an offset equal to the reading gives no finite coefficient
    EXPECT_FALSE(accepted(0, 9.0, 10.0));
}

TEST_F(Calibration, WrittenCoefficientsSurviveARestartAndDefaultsReplaceThem) {
    coeffRec = nullptr;
    commit(writeEEPROM, CP, CP_WRITE_EEPROM);  // no session: nothing at all
    commit(readEEPROM, CP, CP_READ_EEPROM);    // session 0: the driver's refusal
    EXPECT_TRUE(statusRed());
    EXPECT_EQ(coeffWork[1], -1.0);
    openSession();
    commit(readEEPROM, CP, CP_READ_EEPROM);
    EXPECT_EQ(coeffWork[1], 8385211.5);  // the built-in bench's record
    coeffWork[1] = 8388607.0;
    coeffWork[5] = 1.25;
    commit(writeEEPROM, CP, CP_WRITE_EEPROM);
    EXPECT_EQ(shown(CP_U1), 10.0);
    commit(resetCf, CP, CP_RESET_CF);
    EXPECT_EQ(coeffWork[5], 1.0);
    closeSession();
    ASSERT_TRUE(trl4sim::reloadFromEnvironment());
    openSession();
    commit(readEEPROM, CP, CP_READ_EEPROM);
    EXPECT_EQ(coeffWork[1], 8388607.0);
    EXPECT_EQ(coeffRec[5], 1.25);
}

TEST_F(Calibration, OffsetsAreMeasuredThroughTheDriver) {
    zeroU1 = 7.0;
    commit(displacementCB, MP, MP_CALIBR);
    EXPECT_EQ(zeroU1, 7.0);
    EXPECT_TRUE(statusRed());
    openSession();
    commit(displacementCB, MP, MP_CALIBR);
    EXPECT_EQ(zeroU1, 0.0012);
    EXPECT_EQ(zeroU2, -0.0007);
}

}  // namespace
