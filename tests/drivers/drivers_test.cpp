// The carrier and generator driver stand-ins over a bench of the test's own.
#include <gmock/gmock.h>

#include <cstring>
#include <set>

#include "../sim/bench_fixture.h"
#include "kspbase.h"
#include "ksptrl4_32.h"
#include "visa.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

constexpr std::string_view kBench = R"yaml(
resources:
  - name: "VXI0::24::INSTR"
    interface: VXI
    slot: 3
    manufacturer: 0xE76
    mainframe: 64
    la: 24
    model: 0x10D
    carrier:
      name: "Н.М. №0241"
      memory: 33554437
      mezzanines:
        - {position: 1, type: 7}
        - {position: 2, eeprom: [0.5, 8388000, 8388100, 3, 4, 1.00001], offsets: [0.0012, -0.0007]}
        - {position: 4, self-test: {code: 3, message: "Ошибка памяти формы канала 2"}}
  - name: "USB0::0x1A2B::0x0004::KSP2101::INSTR"
    interface: USB
    idn: "ZELKORTECH,KSPBASE,2101,1.07\n"
    carrier: {name: "NodaBOX №2101", memory: 7, mezzanines: [{position: 1}]}
  - name: "USB0::0x2F1C::0x0107::VK1::INSTR"
    interface: USB
    idn: "VOLTEK,DMM-7,VK1,A.02\n"
    carrier: {name: "чужой", memory: 1}
  - {name: "VXI0::56::INSTR", interface: VXI, manufacturer: 0xFB1, carrier: {name: x, memory: 1}}
  - {name: "GPIB0::1::INSTR", interface: GPIB}
)yaml";

constexpr const char *kVxi = "VXI0::24::INSTR";
constexpr const char *kUsb = "USB0::0x1A2B::0x0004::KSP2101::INSTR";

std::string message(int32_t status) {
    char text[KSPTRL4_TEXT_LEN];
    EXPECT_EQ(ksptrl4_error_message(0, status, text), VI_SUCCESS);
    return text;
}

bool validUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t n = c < 0x80         ? 1
                         : (c >> 5) == 6  ? 2
                         : (c >> 4) == 14 ? 3
                         : (c >> 3) == 30 ? 4
                                          : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        i += n;
    }
    return true;
}

class DriverTest : public BenchTest {
  protected:
    void SetUp() override {
        BenchTest::SetUp();
        install(kBench);
    }
    // The session opening as the front panel does it, up to the three attribute reads.
    void openGenerator(const char *rsrc, uint16_t position) {
        ASSERT_EQ(kspbase_init(rsrc, 1, 1, &carrier_), VI_SUCCESS);
        ASSERT_EQ(ksptrl4_init(rsrc, 1, 1, &gen_), VI_SUCCESS);
        ASSERT_EQ(ksptrl4_connect(gen_, carrier_, position, 1, 1), VI_SUCCESS);
        ASSERT_EQ(ksptrl4_get_attribute(gen_, KSPTRL4_ATTR_COEFF_BLOCK, &coeff_), VI_SUCCESS);
        ASSERT_NE(coeff_, nullptr);
    }
    void closeAll() {
        if (gen_ != 0) {
            EXPECT_EQ(ksptrl4_close(gen_), VI_SUCCESS);
        }
        if (carrier_ != 0) {
            EXPECT_EQ(kspbase_close(carrier_), VI_SUCCESS);
        }
        gen_ = carrier_ = 0;
        coeff_ = nullptr;
    }
    uint32_t carrier_ = 0;
    uint32_t gen_ = 0;
    double *coeff_ = nullptr;
};

}  // namespace

TEST_F(DriverTest, CarrierSessionIsAVisaSessionToTheCarrier) {
    uint32_t carrier = 0;
    ASSERT_EQ(kspbase_init(kVxi, 1, 1, &carrier), VI_SUCCESS);
    ViInt16 crate = 0, slot = 0;
    EXPECT_EQ(viGetAttribute(carrier, VI_ATTR_MAINFRAME_LA, &crate), VI_SUCCESS);
    EXPECT_EQ(viGetAttribute(carrier, VI_ATTR_SLOT, &slot), VI_SUCCESS);
    EXPECT_EQ(crate, 64);
    EXPECT_EQ(slot, 3);

    std::vector<std::pair<int, int>> positions;
    for (uint16_t p = 1; p <= 4; ++p) {
        uint16_t present = 9, type = 9;
        ASSERT_EQ(kspbase_m_type_q(carrier, p, &present, &type), VI_SUCCESS);
        positions.emplace_back(present, type);
    }
    EXPECT_THAT(positions,
                ElementsAre(std::pair(1, 7), std::pair(1, 11), std::pair(0, 0), std::pair(1, 11)));
    uint16_t present = 0, type = 0;
    EXPECT_EQ(kspbase_m_type_q(carrier, 0, &present, &type), KSPBASE_ERROR_POSITION);
    EXPECT_EQ(kspbase_m_type_q(carrier, 5, &present, &type), KSPBASE_ERROR_POSITION);
    EXPECT_EQ(kspbase_m_type_q(carrier, 1, nullptr, &type), KSPBASE_ERROR_PARAMETER);

    char name[KSPBASE_TEXT_LEN];
    EXPECT_EQ(kspbase_m_get_attribute(carrier, KSPBASE_ATTR_CARRIER_NAME, name), VI_SUCCESS);
    EXPECT_STREQ(name, "Н.М. №0241");
    EXPECT_EQ(kspbase_m_get_attribute(carrier, 0x3FFF0881u, name), KSPBASE_ERROR_ATTRIBUTE);
    uint32_t memory = 0;
    EXPECT_EQ(kspbase_mem_q(carrier, &memory), VI_SUCCESS);
    EXPECT_EQ(memory, 33554437u);

    EXPECT_EQ(kspbase_close(carrier), VI_SUCCESS);
    EXPECT_EQ(kspbase_mem_q(carrier, &memory), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(kspbase_close(carrier), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(viGetAttribute(carrier, VI_ATTR_SLOT, &slot), VI_ERROR_INV_OBJECT);
}

TEST_F(DriverTest, CarrierInitRefusesWhatIsNoCarrierOfOurs) {
    uint32_t s = 77;
    EXPECT_EQ(kspbase_init("VXI9::9::INSTR", 1, 1, &s), VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(s, 0u);
    EXPECT_EQ(kspbase_init(nullptr, 1, 1, &s), VI_ERROR_INV_RSRC_NAME);
    EXPECT_EQ(kspbase_init("", 1, 1, &s), VI_ERROR_INV_RSRC_NAME);
    EXPECT_EQ(kspbase_init("GPIB0::1::INSTR", 0, 0, &s), KSPBASE_ERROR_NOT_CARRIER);
    // The identity query tells another maker's device or module apart.
    EXPECT_EQ(kspbase_init("USB0::0x2F1C::0x0107::VK1::INSTR", 1, 1, &s),
              KSPBASE_ERROR_NOT_CARRIER);
    EXPECT_EQ(kspbase_init("VXI0::56::INSTR", 1, 1, &s), KSPBASE_ERROR_NOT_CARRIER);
    EXPECT_EQ(s, 0u);
    ASSERT_EQ(kspbase_init("VXI0::56::INSTR", 0, 1, &s), VI_SUCCESS);
    EXPECT_EQ(kspbase_close(s), VI_SUCCESS);
    ASSERT_EQ(kspbase_init(kUsb, 1, 1, &s), VI_SUCCESS);
    EXPECT_EQ(kspbase_close(s), VI_SUCCESS);
    EXPECT_EQ(kspbase_init(kVxi, 1, 1, nullptr), KSPBASE_ERROR_PARAMETER);
}

// The opening's exact trace is the select_choose script's; here the values it reads.
TEST_F(DriverTest, SessionOpeningReadsTheOffsetsAndRefusesUnknownAttributes) {
    const auto file = traceOn();
    openGenerator(kVxi, 2);
    uint32_t memory = 0;
    ASSERT_EQ(kspbase_mem_q(carrier_, &memory), VI_SUCCESS);
    EXPECT_EQ(ksptrl4_alloc(gen_, memory / 4 / 2), VI_SUCCESS);
    double u1 = 99, u2 = 99;
    EXPECT_EQ(ksptrl4_get_attribute(gen_, KSPTRL4_ATTR_OFFSET_CH1, &u1), VI_SUCCESS);
    EXPECT_EQ(u1, 0.0);  // nothing measured yet
    EXPECT_EQ(ksptrl4_displacement(gen_), VI_SUCCESS);
    EXPECT_EQ(ksptrl4_get_attribute(gen_, KSPTRL4_ATTR_OFFSET_CH1, &u1), VI_SUCCESS);
    EXPECT_EQ(ksptrl4_get_attribute(gen_, KSPTRL4_ATTR_OFFSET_CH2, &u2), VI_SUCCESS);
    EXPECT_EQ(u1, 0.0012);
    EXPECT_EQ(u2, -0.0007);
    EXPECT_EQ(ksptrl4_get_attribute(gen_, 0x3FFF0915u, &u1), KSPTRL4_ERROR_ATTRIBUTE);
    const std::string g = std::to_string(gen_);
    closeAll();
    const auto trace = lines(file);
    for (const std::string &line :
         {"ksptrl4_alloc(" + g + ", 4194304) -> 0x00000000",  // one eighth, rounded down
          "ksptrl4_displacement(" + g + ") -> 0x00000000 offsets=0.0012,-0.0007",
          "ksptrl4_get_attribute(" + g + ", 1073678613) -> 0xBFFC0C08"})
        EXPECT_THAT(trace, ::testing::Contains(line));
}

TEST_F(DriverTest, CalibrationBlockIsReadAndWrittenInPlaceAndPersists) {
    openGenerator(kVxi, 2);
    // Defaults until the EEPROM is read.
    EXPECT_THAT(std::vector<double>(coeff_, coeff_ + 6),
                ElementsAre(0, 8388607.0, 8388607.0, 0, 0, 1));
    EXPECT_EQ(ksptrl4_readFlash(gen_), VI_SUCCESS);
    EXPECT_THAT(std::vector<double>(coeff_, coeff_ + 6),
                ElementsAre(0.5, 8388000, 8388100, 3, 4, 1.00001));
    double *again = nullptr;
    ASSERT_EQ(ksptrl4_get_attribute(gen_, KSPTRL4_ATTR_COEFF_BLOCK, &again), VI_SUCCESS);
    EXPECT_EQ(again, coeff_);  // one block per session, it does not move

    coeff_[1] = 8000000.25;
    coeff_[5] = 0.999;
    ASSERT_EQ(ksptrl4_writeFlash(gen_), VI_SUCCESS);
    EXPECT_EQ(ksptrl4_resetCoeff(gen_), VI_SUCCESS);
    EXPECT_EQ(coeff_[1], 8388607.0);
    closeAll();

    install(kBench);  // the program starts again
    openGenerator(kVxi, 2);
    ASSERT_EQ(ksptrl4_readFlash(gen_), VI_SUCCESS);
    EXPECT_THAT(std::vector<double>(coeff_, coeff_ + 6),
                ElementsAre(0.5, 8000000.25, 8388100, 3, 4, 0.999));
    closeAll();

    // A blank EEPROM gives the defaults with the harmless warning.
    openGenerator(kVxi, 4);
    coeff_[2] = 1;
    EXPECT_EQ(ksptrl4_readFlash(gen_), KSPTRL4_WARN_EEPROM_DEFAULTS);
    EXPECT_EQ(static_cast<uint32_t>(KSPTRL4_WARN_EEPROM_DEFAULTS), 0x3FFC0C05u);
    EXPECT_EQ(coeff_[2], 8388607.0);
    closeAll();
}

TEST_F(DriverTest, ConnectNeedsAGeneratorOnThatCarrier) {
    ASSERT_EQ(kspbase_init(kVxi, 1, 1, &carrier_), VI_SUCCESS);
    ASSERT_EQ(ksptrl4_init(kVxi, 1, 1, &gen_), VI_SUCCESS);
    EXPECT_NE(gen_, carrier_);
    // Not connected yet: nothing that needs the mezzanine works.
    EXPECT_EQ(ksptrl4_readFlash(gen_), KSPTRL4_ERROR_NOT_CONNECTED);
    EXPECT_EQ(ksptrl4_displacement(gen_), KSPTRL4_ERROR_NOT_CONNECTED);
    EXPECT_EQ(ksptrl4_connect(gen_, carrier_, 1, 1, 1), KSPTRL4_ERROR_NO_MEZZANINE);  // type 7
    EXPECT_EQ(ksptrl4_connect(gen_, carrier_, 3, 1, 1), KSPTRL4_ERROR_NO_MEZZANINE);  // empty
    EXPECT_EQ(ksptrl4_connect(gen_, carrier_, 0, 1, 1), KSPTRL4_ERROR_PARAMETER);
    EXPECT_EQ(ksptrl4_readFlash(gen_), KSPTRL4_ERROR_NOT_CONNECTED);

    uint32_t usb = 0;
    ASSERT_EQ(kspbase_init(kUsb, 1, 1, &usb), VI_SUCCESS);
    EXPECT_EQ(ksptrl4_connect(gen_, usb, 1, 1, 1), KSPTRL4_ERROR_PARAMETER);  // other carrier
    EXPECT_EQ(kspbase_close(usb), VI_SUCCESS);
    EXPECT_EQ(ksptrl4_connect(gen_, usb, 1, 1, 1), VI_ERROR_INV_OBJECT);  // closed carrier
    EXPECT_EQ(ksptrl4_connect(gen_, carrier_, 4, 1, 1), VI_SUCCESS);
    EXPECT_EQ(ksptrl4_alloc(gen_, 33554438), KSPTRL4_ERROR_MEMORY);
    closeAll();

    // Session 0 and closed sessions are refused, so the refusal can be shown.
    EXPECT_EQ(ksptrl4_readFlash(0), KSPTRL4_ERROR_SESSION);
    EXPECT_EQ(ksptrl4_resetCoeff(0), KSPTRL4_ERROR_SESSION);
    uint32_t closed = 0;
    ASSERT_EQ(ksptrl4_init(kUsb, 1, 1, &closed), VI_SUCCESS);
    EXPECT_EQ(ksptrl4_close(closed), VI_SUCCESS);
    EXPECT_EQ(ksptrl4_close(closed), KSPTRL4_ERROR_SESSION);
    EXPECT_EQ(ksptrl4_reset(closed), KSPTRL4_ERROR_SESSION);
    uint32_t none = 5;
    EXPECT_EQ(ksptrl4_init(nullptr, 1, 1, &none), VI_ERROR_INV_RSRC_NAME);
    EXPECT_EQ(none, 0u);
    EXPECT_EQ(ksptrl4_init("GPIB0::1::INSTR", 1, 1, &none), KSPTRL4_ERROR_NO_MEZZANINE);
}

// A failing self-test's code and text reach the self-test panel: the generator session's test.
TEST_F(DriverTest, SelfTestResetAndRevision) {
    openGenerator(kVxi, 2);
    int16_t result = -1;
    char text[KSPTRL4_TEXT_LEN];
    EXPECT_EQ(ksptrl4_self_test(gen_, &result, text), VI_SUCCESS);
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(text, "Самоконтроль пройден");
    EXPECT_EQ(ksptrl4_self_test(gen_, nullptr, text), KSPTRL4_ERROR_PARAMETER);
    EXPECT_EQ(ksptrl4_reset(gen_), VI_SUCCESS);
    closeAll();

    char driver[KSPTRL4_TEXT_LEN] = "x";
    char instrument[KSPTRL4_TEXT_LEN] = "x";
    EXPECT_EQ(ksptrl4_revision_query(0, driver, instrument), VI_SUCCESS);
    EXPECT_STREQ(driver, "1.0.0 (имитатор)");
    EXPECT_STREQ(instrument, "");
    openGenerator(kUsb, 1);
    EXPECT_EQ(ksptrl4_revision_query(gen_, driver, instrument), VI_SUCCESS);
    EXPECT_STREQ(instrument, "ТРЛ4, 1.07");
    closeAll();
}

TEST_F(DriverTest, ErrorMessageForAnyStatus) {
    // clang-format off
    const int32_t known[] = {
        VI_SUCCESS, KSPTRL4_WARN_EEPROM_DEFAULTS, KSPTRL4_ERROR_SESSION, KSPTRL4_ERROR_PARAMETER,
        KSPTRL4_ERROR_NOT_CONNECTED, KSPTRL4_ERROR_NO_MEZZANINE, KSPTRL4_ERROR_EEPROM,
        KSPTRL4_ERROR_MEMORY, KSPTRL4_ERROR_ATTRIBUTE, KSPTRL4_ERROR_SELF_TEST,
        KSPTRL4_ERROR_NOT_SUPPORTED, KSPBASE_ERROR_PARAMETER, KSPBASE_ERROR_POSITION,
        KSPBASE_ERROR_NOT_CARRIER, KSPBASE_ERROR_ATTRIBUTE, VI_ERROR_RSRC_NFOUND, VI_ERROR_TMO,
        VI_ERROR_INV_OBJECT, VI_ERROR_RSRC_LOCKED, VI_ERROR_INV_RSRC_NAME, VI_ERROR_ALLOC,
        KSPTRL4_ERROR_CHANNEL, KSPTRL4_ERROR_MODE, KSPTRL4_ERROR_RANGE, KSPTRL4_ERROR_VALUE,
        KSPTRL4_ERROR_FREQUENCY, KSPTRL4_ERROR_SAMPLE_RATE, KSPTRL4_ERROR_NOT_CONFIGURED,
        KSPTRL4_ERROR_SEGMENT, KSPTRL4_ERROR_COEFFICIENTS, KSPTRL4_ERROR_MATH_LIBRARY,
        KSPTRL4_WARN_FORM_CLIPPED};
    // clang-format on
    std::set<std::string> texts;
    for (int32_t status : known) {
        const std::string text = message(status);
        EXPECT_THAT(text, ::testing::Not(HasSubstr("Неизвестный код"))) << status;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), std::size(known));  // every one says something of its own
    EXPECT_EQ(message(0x12345678), "Неизвестный код ошибки 0x12345678");
    EXPECT_EQ(message(static_cast<int32_t>(0xBFFF9999u)), "Неизвестный код ошибки 0xBFFF9999");
    EXPECT_EQ(message(INT32_MIN), "Неизвестный код ошибки 0x80000000");
    EXPECT_EQ(ksptrl4_error_message(0, 0, nullptr), KSPTRL4_ERROR_PARAMETER);
}

TEST_F(DriverTest, RefusedBenchFailsCallsAndTheMessageSaysWhy) {
    // A long Cyrillic key makes the reason longer than the text buffer.
    std::string bad = "resources:\n  - name: A\n    interface: USB\n    ";
    for (int i = 0; i < 200; ++i)
        bad += "Ж";
    bad += ": 1\n";
    EXPECT_FALSE(trl4sim::installBenchText(bad));
    uint32_t s = 5;
    EXPECT_EQ(kspbase_init(kVxi, 1, 1, &s), VI_ERROR_SYSTEM_ERROR);
    EXPECT_EQ(ksptrl4_init(kVxi, 1, 1, &s), VI_ERROR_SYSTEM_ERROR);
    EXPECT_EQ(s, 0u);
    const std::string text = message(VI_ERROR_SYSTEM_ERROR);
    EXPECT_THAT(text, StartsWith("bench refused: bench text:4: "));
    EXPECT_LE(text.size(), 255u);
    EXPECT_GT(text.size(), 250u);
    EXPECT_TRUE(validUtf8(text));  // cut between characters
    // Even the revision query fails, though it still gives the driver's own text.
    char driver[KSPTRL4_TEXT_LEN];
    EXPECT_EQ(ksptrl4_revision_query(0, driver, nullptr), VI_ERROR_SYSTEM_ERROR);
    EXPECT_STREQ(driver, "1.0.0 (имитатор)");
    EXPECT_EQ(ksptrl4_setRange(1, 0, 1.0), VI_ERROR_SYSTEM_ERROR);
}

TEST_F(DriverTest, InjectedFaultsReachTheCallerAndTheTrace) {
    install(std::string(kBench) +
            "faults:\n  - {call: ksptrl4_writeFlash, status: 0xBFFC0C06}\n"
            "  - {call: kspbase_m_type_q, status: 0xBFFF0015, on-call: 3}\n");
    const auto file = traceOn();
    openGenerator(kVxi, 2);
    EXPECT_EQ(ksptrl4_readFlash(gen_), VI_SUCCESS);
    coeff_[1] = 1;
    EXPECT_EQ(ksptrl4_writeFlash(gen_), KSPTRL4_ERROR_EEPROM);
    EXPECT_EQ(ksptrl4_readFlash(gen_), VI_SUCCESS);
    EXPECT_EQ(coeff_[1], 8388000);  // the EEPROM kept what it had
    uint16_t present = 0, type = 0;
    EXPECT_EQ(kspbase_m_type_q(carrier_, 1, &present, &type), VI_SUCCESS);
    EXPECT_EQ(kspbase_m_type_q(carrier_, 2, &present, &type), VI_SUCCESS);
    EXPECT_EQ(kspbase_m_type_q(carrier_, 3, &present, &type), VI_ERROR_TMO);
    const std::string write = "ksptrl4_writeFlash(" + std::to_string(gen_) + ") -> 0xBFFC0C06";
    closeAll();
    EXPECT_THAT(lines(file), ::testing::Contains(write));
}
