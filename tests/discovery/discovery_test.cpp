// FindVISAinstruments over benches made for each case, and over the built-in bench.
#include <gmock/gmock.h>

#include <cstring>

#include "../sim/bench_fixture.h"
#include "si.h"
#include "visa.h"

using ::testing::ElementsAre;

namespace {

constexpr std::string_view kMixed = R"yaml(
resources:
  - {name: "VXI0::24::INSTR", interface: VXI, slot: 3, manufacturer: 0xE76, mainframe: 0, la: 24, model: 0x10D}
  - {name: "VXI0::0::INSTR", interface: VXI, slot: 0, manufacturer: 0xE76, la: 0, model: 0x10D}
  - {name: "VXI0::33::INSTR", interface: VXI, slot: 13, manufacturer: 0xE76, la: 33, model: 0x155}
  - {name: "VXI0::56::INSTR", interface: VXI, slot: 8, manufacturer: 0xFB1, la: 56, model: 0x10D}
  - {name: "VXI0::64::INSTR", interface: VXI, slot: 9, manufacturer: 0xE76, la: 64, model: 0x1A0}
  - {name: "VXI0::72::INSTR", interface: VXI, manufacturer: 0xE76, la: 72, model: 0x10D}
  - {name: "VXI0::80::INSTR", interface: VXI, slot: -1, manufacturer: 0xE76, la: 80, model: 0x10D}
  - {name: "GPIB-VXI0::136::INSTR", interface: GPIB-VXI, slot: 12, manufacturer: 0xE76, mainframe: 128, la: 136, model: 0xF177}
  - {name: "VXI1::40::INSTR", interface: VXI, slot: 5, manufacturer: 0xE76, mainframe: 1, la: 40, model: 0x155}
  - {name: "USB0::0x2F1C::0x0107::VK1::INSTR", interface: USB, idn: "VOLTEK,DMM-7,VK1,A.02\n"}
  - {name: "USB0::0x1A2B::0x0004::1234::INSTR", interface: USB, idn: "ZELKORTECH,KSPBASE,1234,1.07\n"}
  - {name: "TCPIP0::192.168.1.77::inst0::INSTR", interface: TCPIP, address: "192.168.1.77"}
  - {name: "USB0::0x1A2B::0x0004::WARN::INSTR", interface: USB, open-status: 0x3FFF0077, idn: "ZELKORTECH,KSPBASE,9,1\n"}
  - {name: "USB0::0x1A2B::0x0004::BUSY::INSTR", interface: USB, open-status: 0xBFFF0072, idn: "ZELKORTECH,KSPBASE,8,1\n"}
  - {name: "USB0::0x1A2B::0x0004::2305::INSTR", interface: USB, idn: "ZELKORTECH,KSPBASE,2305\n"}
  - {name: "TCPIP0::192.168.1.50::inst0::INSTR", interface: TCPIP, address: "192.168.1.50", idn: "ZELKORTECH,KSPBASE,3344,1.07\n"}
  - {name: "GPIB0::22::INSTR", interface: GPIB, idn: "ZELKORTECH,KSPBASE,22,1\n"}
  - {name: "USB0::0x1A2B::0x0004::LONG::INSTR", interface: USB, idn: "ZELKORTECH,KSPBASE,0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ,2.0\n"}
)yaml";

// What kMixed gives, in order.
const std::vector<std::string> kMixedFound = {
    "Н.М.  Л.А.крейта:0x00, слот:3\n(VXI0::24::INSTR)",
    "Н.М.М.  Л.А.крейта:0x80, слот:12\n(GPIB-VXI0::136::INSTR)",
    "Н.М.У.  Л.А.крейта:0x01, слот:5\n(VXI1::40::INSTR)",
    "NodaBOX, USB (№:1234)",
    "NodaBOX, USB (№:2305\n)",
    "NodaBOX, LXI (192.168.1.50, №:3344)",
    "NodaBOX, USB (№:0123456789ABCDEFGHIJKLMNOPQRSTU)"};

std::vector<std::string> descriptions(int32_t n) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < n; ++i)
        out.emplace_back(Instruments[i].descr);
    return out;
}

size_t characters(const char *s) {
    size_t n = 0;
    for (; *s != '\0'; ++s)
        n += (static_cast<unsigned char>(*s) & 0xC0) != 0x80;
    return n;
}

class DiscoveryTest : public BenchTest {
  protected:
    void SetUp() override {
        BenchTest::SetUp();
        for (auto &e : Instruments)
            e = InstrumentEntry{};
    }
    // Marks the table so that "left unchanged" can be checked.
    void mark() {
        std::strcpy(Instruments[0].rsrcName, "marker");
        Instruments[0].modelCode = 0x10D;
        Instruments[0].slot = 4;
    }
    void expectMarked() {
        EXPECT_STREQ(Instruments[0].rsrcName, "marker");
        EXPECT_EQ(Instruments[0].slot, 4);
        EXPECT_EQ(Instruments[1].modelCode, 0);
    }
};

}  // namespace

TEST_F(DiscoveryTest, EveryDecoyIsPassedOver) {
    install(kMixed);
    const int32_t n = FindVISAinstruments();
    ASSERT_EQ(n, 7);
    EXPECT_EQ(descriptions(n), kMixedFound);
    EXPECT_EQ(Instruments[n].modelCode, 0);  // the rest stays unused

    const InstrumentEntry &vxi = Instruments[1];
    EXPECT_STREQ(vxi.rsrcName, "GPIB-VXI0::136::INSTR");
    EXPECT_EQ(vxi.modelCode, 0x177);  // low 12 bits only
    EXPECT_EQ(vxi.crateLA, 128);
    EXPECT_EQ(vxi.logAddr, 136);
    EXPECT_EQ(vxi.slot, 12);
    EXPECT_EQ(vxi.intfType, VI_INTF_GPIB_VXI);
    EXPECT_EQ(vxi.baseSession, 0u);
    EXPECT_STREQ(vxi.serialNo, "");  // nothing of a skipped neighbour carried over

    const InstrumentEntry &usb = Instruments[3];
    EXPECT_STREQ(usb.rsrcName, "USB0::0x1A2B::0x0004::1234::INSTR");
    EXPECT_EQ(usb.modelCode, 0x1004);
    EXPECT_EQ(usb.slot, 255);
    EXPECT_EQ(usb.logAddr, 255);
    EXPECT_EQ(usb.crateLA, 0);
    EXPECT_EQ(usb.intfType, VI_INTF_USB);
    EXPECT_STREQ(usb.serialNo, "1234");
    EXPECT_STREQ(usb.idnField4, "1.07\n");

    // The reply's other forms are the identity parser's test.
    EXPECT_EQ(Instruments[5].intfType, VI_INTF_TCPIP);
}

TEST_F(DiscoveryTest, BuiltinBenchListsItsCarriers) {
    ASSERT_TRUE(trl4sim::reloadFromEnvironment());
    const int32_t n = FindVISAinstruments();
    EXPECT_THAT(descriptions(n),
                ElementsAre("Н.М.  Л.А.крейта:0x00, слот:3\n(VXI0::24::INSTR)",
                            "Н.М.У.  Л.А.крейта:0x00, слот:5\n(VXI0::40::INSTR)",
                            "Н.М.М.  Л.А.крейта:0x80, слот:2\n(VXI0::136::INSTR)",
                            "Н.М.М.  Л.А.крейта:0x00, слот:7\n(GPIB-VXI0::72::INSTR)",
                            "NodaBOX, USB (№:2101)", "NodaBOX, LXI (192.168.1.50, №:3344)",
                            "NodaBOX, USB (№:2305\n)"));
}

TEST_F(DiscoveryTest, SearchFailuresLeaveTheTableUnchanged) {
    mark();
    install("resources: []\n");
    EXPECT_EQ(FindVISAinstruments(), VI_ERROR_RSRC_NFOUND);
    expectMarked();

    install("resources:\n  - {name: \"GPIB0::1::INSTR\", interface: GPIB}\n");
    EXPECT_EQ(FindVISAinstruments(), 0);  // found something, kept nothing
    EXPECT_EQ(Instruments[0].modelCode, 0);

    mark();
    install(std::string(kMixed) +
            "faults:\n  - {call: viFindNext, status: 0xBFFF0015, on-call: 12}\n");
    EXPECT_EQ(FindVISAinstruments(), VI_ERROR_TMO);  // what was found so far is discarded
    expectMarked();

    install(std::string(kMixed) + "faults:\n  - {call: viOpenDefaultRM, status: 0xBFFF003C}\n");
    EXPECT_EQ(FindVISAinstruments(), VI_ERROR_ALLOC);
    expectMarked();
    install(std::string(kMixed) + "faults:\n  - {call: viFindRsrc, status: 0xBFFF0000}\n");
    EXPECT_EQ(FindVISAinstruments(), VI_ERROR_SYSTEM_ERROR);
    expectMarked();
}

TEST_F(DiscoveryTest, FailuresOnOneResourceOnlySkipIt) {
    // The identity query fails on the first NodaBOX only.
    install(std::string(kMixed) + "faults:\n  - {call: viRead, status: 0xBFFF003E, on-call: 2}\n");
    std::vector<std::string> expected = kMixedFound;
    expected.erase(expected.begin() + 3);  // "NodaBOX, USB (№:1234)"
    EXPECT_EQ(descriptions(FindVISAinstruments()), expected);
}

TEST_F(DiscoveryTest, LockedNodaBoxIsSkippedAfterTheLockTimeOut) {
    install(R"yaml(
resources:
  - {name: "USB0::0x1A2B::0x0004::1::INSTR", interface: USB, locked: true, idn: "ZELKORTECH,KSPBASE,1,1\n"}
  - {name: "USB0::0x1A2B::0x0004::2::INSTR", interface: USB, idn: "ZELKORTECH,KSPBASE,2,1\n"}
)yaml");
    const int32_t n = FindVISAinstruments();
    EXPECT_THAT(descriptions(n), ElementsAre("NodaBOX, USB (№:2)"));
}

TEST_F(DiscoveryTest, NoLocksOrSessionsAreLeftBehind) {
    install(kMixed);
    ASSERT_EQ(FindVISAinstruments(), 7);
    ViSession rm = VI_NULL, vi = VI_NULL;
    ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
    ASSERT_EQ(viOpen(rm, "USB0::0x1A2B::0x0004::1234::INSTR", VI_EXCLUSIVE_LOCK, 0, &vi),
              VI_SUCCESS);
    viClose(rm);
}

TEST_F(DiscoveryTest, LongNamesAreCutOnCharacters) {
    const std::string name = "VXI0::" + std::string(200, '7') + "::INSTR";
    install("resources:\n  - {name: \"" + name +
            "\", interface: VXI, slot: 1, manufacturer: 0xE76, mainframe: 255, model: 0x10D}\n");
    ASSERT_EQ(FindVISAinstruments(), 1);
    EXPECT_EQ(std::string(Instruments[0].rsrcName), name.substr(0, 127));
    EXPECT_EQ(characters(Instruments[0].descr), 127u);
    const std::string head = "Н.М.  Л.А.крейта:0xFF, слот:1\n(VXI0::777";
    EXPECT_EQ(std::string(Instruments[0].descr).substr(0, head.size()), head);
}

TEST_F(DiscoveryTest, AtMost256KeptAndASecondSearchReplacesTheFirst) {
    std::string bench = "resources:\n";
    for (int i = 0; i < 300; ++i) {
        bench += "  - {name: \"VXI0::" + std::to_string(i + 1) +
                 "::INSTR\", interface: VXI, slot: 1, manufacturer: 0xE76, model: 0x10D}\n";
    }
    install(bench);
    ASSERT_EQ(FindVISAinstruments(), 256);
    EXPECT_STREQ(Instruments[255].rsrcName, "VXI0::256::INSTR");

    install(
        "resources:\n  - {name: \"VXI0::9::INSTR\", interface: VXI, slot: 2, "
        "manufacturer: 0xE76, model: 0x155}\n");
    ASSERT_EQ(FindVISAinstruments(), 1);
    EXPECT_STREQ(Instruments[0].rsrcName, "VXI0::9::INSTR");
    EXPECT_EQ(Instruments[1].modelCode, 0);
    EXPECT_EQ(Instruments[255].modelCode, 0);
}
