// The campaign's checker against honest records and against the same records falsified one
// way at a time: it must pass the first and name the broken invariant in each of the others.
#include "records.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace campaign {
namespace {

constexpr const char *kMeter = "VOLTEK,AV-3,000117,1.4";
constexpr const char *kHeader =
    "time,crate,slot,position,carrier,kind,nominal,tolerance_percent,"
    "reading_1,abs_error_1,rel_error_percent_1,verdict_1,read_by_1,"
    "reading_2,abs_error_2,rel_error_percent_2,verdict_2,read_by_2,"
    "mathlib_version,mathlib_crc32\r\n";

// Channel 1 read by the voltmeter, channel 2 typed; then a typed frequency point.
std::vector<Point> ledger() {
    Point amplitude{0, 10.0, false, false, "VXI0::24::INSTR/1", {}};
    amplitude.offers[0] = {{10.0, {"typed"}}, {10.0017, {kMeter, "GPIB0::7::INSTR"}}};
    amplitude.offers[1] = {{10.0, {"typed"}}, {9.9975, {"typed"}}};
    Point frequency{1, 1000.0, false, false, "VXI0::24::INSTR/1", {}};
    frequency.offers[0] = {{1000.0, {"typed"}}, {999.5, {"typed"}}};
    frequency.offers[1] = {{1000.0, {"typed"}}, {1000.2, {"typed"}}};
    return {amplitude, frequency};
}

std::string row(const char *kind, double X, double v1, const char *by1, double v2,
                const char *by2) {
    const double T = tolerance(kind[0] == 'a' ? 0 : 1, X);
    const auto verdict = [&](double v) { return passes(X, T, v) ? "норма" : "НЕ НОРМА"; };
    char text[512];
    std::snprintf(text, sizeof text,
                  "2026-12-06T09:05:07+00:00,24,3,1,N1,%s,%.17g,%.17g,%.17g,%.17g,%.17g,%s,\"%s\","
                  "%.17g,%.17g,%.17g,%s,%s,1.0,0A1B2C3D\r\n",
                  kind, X, T, v1, X - v1, (X - v1) / X * 100, verdict(v1), by1, v2, X - v2,
                  (X - v2) / X * 100, verdict(v2), by2);
    return text;
}

std::string honestRecord() {
    return std::string(kHeader) + row("amplitude", 10.0, 10.0017, kMeter, 9.9975, "typed") +
           row("frequency", 1000.0, 999.5, "typed", 1000.2, "typed");
}

std::string honestProtocol() {
    std::string text = "\r\nheader line\r\n";
    const auto add = [&](double X, double m1, double m2, int kind) {
        for (const std::string &line : protocolPoint(X, tolerance(kind, X), m1, m2))
            text += line + "\r\n";
    };
    text += "--------\r\n";
    add(10.0, 10.0017, 9.9975, 0);
    add(1000.0, 999.5, 1000.2, 1);
    return text;
}

std::string replaced(std::string text, const std::string &from, const std::string &to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

TEST(CampaignRecords, HonestRecordsPass) {
    EXPECT_TRUE(checkRecord(ledger(), honestRecord(), "r").empty());
    EXPECT_TRUE(checkProtocol(ledger(), honestProtocol(), "p").empty());
    // A point that was offered but not recorded (a cancelled one) is no violation.
    std::vector<Point> more = ledger();
    more.insert(more.begin() + 1, more[0]);
    EXPECT_TRUE(checkRecord(more, honestRecord(), "r").empty());
}

TEST(CampaignRecords, AChangedReadingIsCaughtInTheRecordAndTheProtocol) {
    const std::string record = std::string(kHeader) +
                               row("amplitude", 10.0, 10.0017, kMeter, 9.9976, "typed") +
                               row("frequency", 1000.0, 999.5, "typed", 1000.2, "typed");
    const auto v = checkRecord(ledger(), record, "r");
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].invariant, "record point holds readings typed or measured for it");
    EXPECT_NE(v[0].detail.find("r row 1"), std::string::npos) << v[0].detail;

    const auto p = checkProtocol(ledger(), replaced(honestProtocol(), "9.9975 ", "9.9976 "), "p");
    ASSERT_EQ(p.size(), 1u);
    EXPECT_NE(p[0].detail.find("p line 4"), std::string::npos) << p[0].detail;
    // The nominal left in a field of an unattended point was nobody's reading.
    std::vector<Point> unattended = ledger();
    unattended[0].offers[1].erase(unattended[0].offers[1].begin());
    const std::string nominal =
        std::string(kHeader) + row("amplitude", 10.0, 10.0017, kMeter, 10.0, "typed");
    EXPECT_EQ(checkRecord(unattended, nominal, "r").size(), 1u);
}

TEST(CampaignRecords, AFlippedVerdictIsCaught) {
    // 9.9975 V at 10 V is outside 0.02005 %.
    const auto v = checkRecord(ledger(), replaced(honestRecord(), "НЕ НОРМА", "норма"), "r");
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].invariant, "record verdict is the formula's");
    const std::string flipped =
        replaced(honestProtocol(), "\xCD\xC5 \xCD\xCE\xD0\xCC\xC0", "\xED\xEE\xF0\xEC\xE0   ");
    EXPECT_EQ(checkProtocol(ledger(), flipped, "p").size(), 1u);
}

TEST(CampaignRecords, AReadingCreditedToTheOtherChannelsMeterIsCaught) {
    const std::string swapped = std::string(kHeader) +
                                row("amplitude", 10.0, 10.0017, "typed", 9.9975, kMeter) +
                                row("frequency", 1000.0, 999.5, "typed", 1000.2, "typed");
    const auto v = checkRecord(ledger(), swapped, "r");
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].invariant, "record credits each channel's reading to whoever gave it");
}

TEST(CampaignRecords, WrongErrorsAndAStrayLineAreCaught) {
    char exact[40];
    std::snprintf(exact, sizeof exact, ",%.17g,", 10.0 - 10.0017);
    const auto v = checkRecord(ledger(), replaced(honestRecord(), exact, ",-0.0017,"), "r");
    ASSERT_FALSE(v.empty());
    EXPECT_EQ(v[0].invariant, "record errors are the formula's");
    const auto p = checkProtocol(ledger(), honestProtocol() + "10.5 0.3 0.1\r\n", "p");
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].invariant, "protocol holds only headers and point records");
}

TEST(CampaignRecords, AFalseRowAmongEqualOnesIsBlamedByWhenItAppeared) {
    // Three rows of the untouched nominal: two typed points confirmed it, the unattended point
    // between them read nothing and may record nothing.
    Point typed{0, 10.0, false, false, "A/1", {}};
    typed.offers[0] = typed.offers[1] = {{10.0, {"typed"}}};
    Point unattended{0, 10.0, false, true, "A/1", {}};
    const std::vector<Point> points{typed, unattended, typed};
    const std::string record = std::string(kHeader) +
                               row("amplitude", 10, 10, "typed", 10, "typed") +
                               row("amplitude", 10, 10, "typed", 10, "typed") +
                               row("amplitude", 10, 10, "typed", 10, "typed");
    ASSERT_EQ(checkRecord(points, record, "r").size(), 1u);
    // Row 2 appeared while the second point was pending: it cannot be the third point's.
    const auto v = checkRecord(points, record, "r", 0, {1, 2, 3});
    ASSERT_EQ(v.size(), 1u);
    EXPECT_NE(v[0].detail.find("r row 2:"), std::string::npos) << v[0].detail;
    // A file named after the first point cannot hold it.
    const std::string one = std::string(kHeader) + row("amplitude", 10, 10, "typed", 10, "typed");
    EXPECT_TRUE(checkRecord(points, one, "r", 0, {1}).empty());
    EXPECT_EQ(checkRecord(points, one, "r", 1, {2}).size(), 1u);
    // The protocol the same way.
    std::string protocol;
    for (int i = 0; i < 3; ++i) {
        for (const std::string &line : protocolPoint(10, tolerance(0, 10), 10, 10))
            protocol += line + "\r\n";
    }
    EXPECT_EQ(protocolPoints(protocol), 3u);
    const auto p = checkProtocol(points, protocol, "p", 0, {1, 2, 3});
    ASSERT_EQ(p.size(), 1u);
    EXPECT_NE(p[0].detail.find("p line 3:"), std::string::npos) << p[0].detail;
}

TEST(CampaignRecords, ARewrittenEarlierByteIsCaughtAndGrowthIsNot) {
    GrowthWatch watch;
    Violation v;
    EXPECT_TRUE(watch.observe("p", "abc", v));
    EXPECT_TRUE(watch.observe("p", "abcdef", v));
    EXPECT_FALSE(watch.observe("p", "abXdefg", v));
    EXPECT_EQ(v.invariant, "protocol and record only grow");
    EXPECT_NE(v.detail.find("byte 2 of the 6"), std::string::npos) << v.detail;
    EXPECT_FALSE(watch.observe("p", "abX", v));  // shortened
}

TEST(CampaignRecords, AForeignCoefficientBlockIsCaughtAndACalibratedOneIsNot) {
    const Block defaults{0, 8388607.0, 8388607.0, 0, 0, 1.0};
    const Block own{0, 8385211.5, 8391002.25, 0, 0, 1.000012};
    const Block foreign{0, 8387920, 8386115.75, 0, 0, 0.999987};
    EepromWatch watch;
    watch.add("A/1", own, {0.0012, -0.0007});
    watch.add("A/1", defaults, {0.0012, -0.0007});
    Point calibration{0, 10.0, true, false, "A/1", {}};
    calibration.offers[0] = {{10.02, {"typed"}}};
    calibration.offers[1] = {{9.97, {"typed"}}, {12.5, {"typed"}}};
    std::vector<Point> points{calibration};
    Violation v;
    EXPECT_TRUE(watch.observe("A/1", own, points, v));
    EXPECT_FALSE(watch.observe("A/1", foreign, points, v));
    EXPECT_EQ(v.invariant, "EEPROM holds only its own, default or calibrated coefficients");

    const double z1 = 0.0012, z2 = -0.0007;
    Block calibrated = own;
    calibrated[1] = (own[1] * (10.0 - z1)) / (10.02 - z1);
    calibrated[2] = (own[2] * (10.0 - z2)) / (9.97 - z2);
    EXPECT_TRUE(watch.observe("A/1", calibrated, points, v)) << v.detail;
    // The same readings from another mezzanine's calibration do not count for this one.
    EepromWatch other;
    other.add("B/2", foreign, {0, 0});
    EXPECT_FALSE(other.observe("B/2", calibrated, points, v));
    // A reading outside the window gives no coefficient: 12.5 V was clamped to 12 V.
    Block clamped = own;
    clamped[2] = (own[2] * (10.0 - z2)) / (12.0 - z2);
    EXPECT_FALSE(watch.observe("A/1", clamped, points, v));
    // Blocks of its own stay allowed later, the foreign one still is not.
    EXPECT_TRUE(watch.observe("A/1", calibrated, points, v));
    EXPECT_FALSE(watch.observe("A/1", foreign, points, v));
}

TEST(CampaignRecords, ACalibrationOnAnEarlierOneNeverStoredCountsInItsOrderOnly) {
    // The first calibration reaches the driver's record, its EEPROM write fails, and a second
    // calibration computes from that record; then the write succeeds.
    const Block own{0, 8385211.5, 8391002.25, 0, 0, 0.9999177};
    EepromWatch watch;
    watch.add("A/1", own, {0, 0});
    Point first{1, 1000.0, true, false, "A/1", {}};
    first.offers[0] = {{1000.014269, {"typed"}}};
    Point second = first;
    second.offers[0] = {{999.3880909, {"typed"}}};
    Block chained = own;
    chained[5] = own[5] * 1000.014269 / 1000.0 * 999.3880909 / 1000.0;
    Violation v;
    EXPECT_TRUE(watch.observe("A/1", chained, {first, second}, v)) << v.detail;
    // The same coefficient with a reading nobody gave at either point is foreign.
    EepromWatch fresh;
    fresh.add("A/1", own, {0, 0});
    Block invented = own;
    invented[5] = own[5] * 1000.014269 / 1000.0 * 999.5 / 1000.0;
    EXPECT_FALSE(fresh.observe("A/1", invented, {first, second}, v));
    // A point of a calibration of the other kind does not chain a frequency coefficient.
    Point amplitude{0, 10.0, true, false, "A/1", {}};
    amplitude.offers[0] = {{999.3880909, {"typed"}}};
    EXPECT_FALSE(fresh.observe("A/1", chained, {first, amplitude}, v));
}

}  // namespace
}  // namespace campaign
