// The VISA stand-in: expressions, handles, typed attributes, locks, bounded replies.
#include <gmock/gmock.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "../../sim/bench_fixture.h"
#include "trl4visa/expression.h"
#include "trl4visa/identity.h"
#include "visa.h"

using ::testing::ElementsAre;

namespace {

constexpr std::string_view kBench = R"yaml(
resources:
  - {name: "VXI0::24::INSTR", interface: VXI, slot: 3, manufacturer: 0xE76, mainframe: 128,
     la: 24, model: 0xF10D}
  - {name: "VXI0::40::INSTR", interface: VXI, slot: 13, manufacturer: 0xE76, la: 40}
  - {name: "GPIB-VXI0::72::INSTR", interface: GPIB-VXI}
  - {name: "USB0::0x1A2B::0x0004::KSP2101::INSTR", interface: USB,
     idn: "ZELKORTECH,KSPBASE,2101,1.07\n"}
  - {name: "TCPIP0::192.168.1.50::inst0::INSTR", interface: TCPIP, address: "192.168.1.50",
     idn: "ZELKORTECH,KSPBASE,3344,1.07\n"}
  - {name: "TCPIP0::192.168.1.77::inst0::INSTR", interface: TCPIP}
  - {name: "USB0::0x1A2B::0x0004::LOCKED::INSTR", interface: USB, locked: true, idn: "X\n"}
  - {name: "USB0::0x1A2B::0x0004::WARN::INSTR", interface: USB, open-status: 0x3FFF0077}
  - {name: "USB0::0x1A2B::0x0004::GONE::INSTR", interface: USB, open-status: 0xBFFF0072}
  - {name: "ASRL1::INSTR", interface: ASRL}
  - {name: "USB0::0x1A2B::0x0004::LONG::INSTR", interface: USB,
     idn: "0123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789\n"}
)yaml";

class VisaTest : public BenchTest {
  protected:
    void SetUp() override {
        BenchTest::SetUp();
        install(kBench);
        ASSERT_EQ(viOpenDefaultRM(&rm_), VI_SUCCESS);
    }
    void TearDown() override {
        viClose(rm_);
        BenchTest::TearDown();
    }
    ViSession open(const char *name) {
        ViSession vi = VI_NULL;
        EXPECT_GE(viOpen(rm_, name, VI_NO_LOCK, 0, &vi), VI_SUCCESS) << name;
        return vi;
    }
    std::vector<std::string> findAll(const char *expr) {
        std::vector<std::string> names;
        ViFindList list = VI_NULL;
        ViUInt32 count = 0;
        char desc[VI_FIND_BUFLEN];
        if (viFindRsrc(rm_, expr, &list, &count, desc) < 0) return names;
        names.push_back(desc);
        for (ViUInt32 i = 1; i < count; ++i) {
            EXPECT_EQ(viFindNext(list, desc), VI_SUCCESS);
            names.push_back(desc);
        }
        EXPECT_EQ(viFindNext(list, desc), VI_ERROR_RSRC_NFOUND);
        EXPECT_EQ(viClose(list), VI_SUCCESS);
        return names;
    }
    ViSession rm_ = VI_NULL;
};

}  // namespace

TEST(VisaExpression, EveryConstructMatchedOnTheWholeNameIgnoringCase) {
    struct Case {
        const char *expr;
        const char *name;
        bool matches;
    };
    const Case cases[] = {
        {"?*INSTR", "VXI0::24::INSTR", true},
        {"?*INSTR", "INSTR", true},                // "?*": any number of any character
        {"?INSTR", "INSTR", false},                // "?" alone needs one
        {"?*instr", "VXI0::24::INSTR", true},      // case ignored
        {"?*INSTR", "VXI0::24::INSTR::X", false},  // whole name only
        {"VXI?*", "GPIB-VXI0::1::INSTR", false},
        {"?*VXI[0-9]*::?*INSTR", "GPIB-VXI12::72::INSTR", true},  // "*": repeats, or none
        {"VXI[^0-9]::1::INSTR", "VXIA::1::INSTR", true},
        {"VXI[^0-9]::1::INSTR", "VXI7::1::INSTR", false},
        {"A+B", "AAAB", true},
        {"A+B", "B", false},
        {"(AB)+", "ABAB", true},
        {"A.B", "A.B", true},  // "." is literal in VISA
        {"A.B", "AXB", false},
        {"A\\*", "A*", true},
        {"A\\*", "AAA", false},
        {"[.]{1}^$", ".{1}^$", true},
        {"[a\\]]", "]", true},
        {"\\d", "d", true},  // an escaped letter is that letter
        {"[a-c]x|(D|e)+", "Bx", true},
        {"[a-c]x|(D|e)+", "dEed", true},
        {"[a-c]x|(D|e)+", "dx", false},
        {"[^a]", "A", false},  // a negated list ignores case too
        {"()A", "a", true},
        // Nested repeats on a long name that does not match: a backtracking matcher would
        // not finish this in the lifetime of the test run.
        {"(?*|A)+B", "VXI0::24::INSTR::VXI0::24::INSTR::VXI0::24::INSTR::", false},
        {"(?*|A)+B", "VXI0::24::INSTR::VXI0::24::INSTR::VXI0::24::INSTR::B", true},
    };
    for (const Case &c : cases) {
        bool matched = false;
        ASSERT_TRUE(trl4visa::matchesExpression(c.expr, c.name, matched)) << c.expr;
        EXPECT_EQ(matched, c.matches) << c.expr << " on " << c.name;
    }
    for (const char *bad :
         {"", "*A", "+", "A|*", "(A", "A)", "[]", "[AB", "A\\", "[z-a]", "A**", "(*)"}) {
        bool matched = false;
        EXPECT_FALSE(trl4visa::matchesExpression(bad, "A", matched)) << bad;
    }
    EXPECT_FALSE(trl4visa::Expression::compile(std::string(300, 'A')));
    EXPECT_TRUE(trl4visa::Expression::compile(std::string(256, 'A')));
}

TEST_F(VisaTest, FindInBenchOrderCaseInsensitively) {
    EXPECT_THAT(findAll("?*VXI[0-9]*::?*INSTR"),
                ElementsAre("VXI0::24::INSTR", "VXI0::40::INSTR", "GPIB-VXI0::72::INSTR"));
    EXPECT_THAT(findAll("tcpip?*"), ElementsAre("TCPIP0::192.168.1.50::inst0::INSTR",
                                                "TCPIP0::192.168.1.77::inst0::INSTR"));
    ViFindList list = 77;
    ViUInt32 count = 77;
    char desc[VI_FIND_BUFLEN] = "untouched";
    EXPECT_EQ(viFindRsrc(rm_, "PXI?*", &list, &count, desc), VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(list, VI_NULL);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(viFindRsrc(rm_, "*PXI", &list, &count, desc), VI_ERROR_INV_EXPR);
    EXPECT_EQ(viFindRsrc(rm_, nullptr, &list, &count, desc), VI_ERROR_INV_EXPR);
    // Without a list or count the first match still arrives.
    EXPECT_EQ(viFindRsrc(rm_, "ASRL?*", nullptr, nullptr, desc), VI_SUCCESS);
    EXPECT_STREQ(desc, "ASRL1::INSTR");
}

TEST_F(VisaTest, StaleHandlesAndClosingTheManager) {
    const ViSession a = open("VXI0::24::INSTR");
    const ViSession b = open("usb0::0x1a2b::0x0004::ksp2101::instr");  // case ignored
    ViFindList list = VI_NULL;
    ViUInt32 count = 0;
    char desc[VI_FIND_BUFLEN];
    ASSERT_EQ(viFindRsrc(rm_, "?*INSTR", &list, &count, desc), VI_SUCCESS);
    EXPECT_NE(a, VI_NULL);
    EXPECT_NE(a, b);
    EXPECT_NE(list, a);

    ViSession other = VI_NULL;
    ASSERT_EQ(viOpenDefaultRM(&other), VI_SUCCESS);
    ViSession kept = VI_NULL;
    ASSERT_EQ(viOpen(other, "VXI0::40::INSTR", VI_NO_LOCK, 0, &kept), VI_SUCCESS);

    ASSERT_EQ(viClose(rm_), VI_SUCCESS);
    ViUInt16 intf = 0;
    EXPECT_EQ(viGetAttribute(a, VI_ATTR_INTF_TYPE, &intf), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(viClose(b), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(viFindNext(list, desc), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(viClose(rm_), VI_ERROR_INV_OBJECT);
    ViSession none = 5;
    EXPECT_EQ(viOpen(rm_, "VXI0::24::INSTR", VI_NO_LOCK, 0, &none), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(none, VI_NULL);
    // Another manager's sessions are not touched, and no handle is handed out twice.
    EXPECT_EQ(viGetAttribute(kept, VI_ATTR_INTF_TYPE, &intf), VI_SUCCESS);
    ASSERT_EQ(viOpenDefaultRM(&rm_), VI_SUCCESS);
    EXPECT_NE(rm_, a);
    EXPECT_NE(rm_, b);
    EXPECT_EQ(viClose(other), VI_SUCCESS);
    EXPECT_EQ(viGetAttribute(kept, VI_ATTR_INTF_TYPE, &intf), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(viClose(VI_NULL), VI_WARN_NULL_OBJECT);  // nothing to close, as the standard says
}

TEST_F(VisaTest, OpenStatusesAndBadNames) {
    ViSession vi = 99;
    EXPECT_EQ(viOpen(rm_, "USB0::0x1A2B::0x0004::WARN::INSTR", VI_NO_LOCK, 0, &vi),
              VI_WARN_CONFIG_NLOADED);
    EXPECT_NE(vi, VI_NULL);  // opened, with a warning
    EXPECT_EQ(viClose(vi), VI_SUCCESS);
    EXPECT_EQ(viOpen(rm_, "USB0::0x1A2B::0x0004::GONE::INSTR", VI_NO_LOCK, 0, &vi),
              VI_ERROR_RSRC_BUSY);
    EXPECT_EQ(vi, VI_NULL);
    EXPECT_EQ(viOpen(rm_, "VXI9::1::INSTR", VI_NO_LOCK, 0, &vi), VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(viOpen(rm_, "", VI_NO_LOCK, 0, &vi), VI_ERROR_INV_RSRC_NAME);
    EXPECT_EQ(viOpen(rm_, nullptr, VI_NO_LOCK, 0, &vi), VI_ERROR_INV_RSRC_NAME);
    EXPECT_EQ(viOpen(rm_, std::string(300, 'A').c_str(), VI_NO_LOCK, 0, &vi),
              VI_ERROR_INV_RSRC_NAME);
    EXPECT_EQ(viOpen(rm_, "VXI0::24::INSTR", 0x80, 0, &vi), VI_ERROR_INV_ACC_MODE);
    EXPECT_EQ(viOpen(rm_, "VXI0::24::INSTR", VI_NO_LOCK, 0, nullptr), VI_ERROR_USER_BUF);
}

TEST_F(VisaTest, AttributesAreWrittenWithTheirOwnWidth) {
    const ViSession vi = open("VXI0::24::INSTR");
    // Guards around a 16-bit attribute show any byte written beyond it.
    struct {
        uint16_t before = 0xAAAA;
        uint16_t value = 0;
        uint16_t after = 0x5555;
    } g16;
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_SLOT, &g16.value), VI_SUCCESS);
    EXPECT_EQ(g16.value, 3);
    EXPECT_EQ(g16.after, 0x5555);
    EXPECT_EQ(g16.before, 0xAAAA);
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_MODEL_CODE, &g16.value), VI_SUCCESS);
    EXPECT_EQ(g16.value, 0xF10D);  // all 16 bits; masking is the caller's business
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_MAINFRAME_LA, &g16.value), VI_SUCCESS);
    EXPECT_EQ(g16.value, 128);
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_INTF_TYPE, &g16.value), VI_SUCCESS);
    EXPECT_EQ(g16.value, VI_INTF_VXI);
    EXPECT_EQ(g16.after, 0x5555);

    struct {
        uint32_t value = 0;
        uint32_t after = 0x55555555;
    } g32;
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_TMO_VALUE, &g32.value), VI_SUCCESS);
    EXPECT_EQ(g32.value, 2000u);
    EXPECT_EQ(g32.after, 0x55555555u);

    char name[VI_FIND_BUFLEN];
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_RSRC_NAME, name), VI_SUCCESS);
    EXPECT_STREQ(name, "VXI0::24::INSTR");
    // What the bench does not give is not supported, and the variable keeps its value.
    EXPECT_EQ(viGetAttribute(vi, VI_ATTR_TCPIP_ADDR, name), VI_ERROR_NSUP_ATTR);
    EXPECT_STREQ(name, "VXI0::24::INSTR");
    EXPECT_EQ(viGetAttribute(vi, 0x3FFF9999u, name), VI_ERROR_NSUP_ATTR);
    EXPECT_EQ(viGetAttribute(vi, VI_ATTR_SLOT, nullptr), VI_ERROR_USER_BUF);

    const ViSession net = open("TCPIP0::192.168.1.50::inst0::INSTR");
    ASSERT_EQ(viGetAttribute(net, VI_ATTR_TCPIP_ADDR, name), VI_SUCCESS);
    EXPECT_STREQ(name, "192.168.1.50");
    g16.value = 7;
    EXPECT_EQ(viGetAttribute(net, VI_ATTR_SLOT, &g16.value), VI_ERROR_NSUP_ATTR);
    EXPECT_EQ(g16.value, 7);

    EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 150), VI_SUCCESS);
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_TMO_VALUE, &g32.value), VI_SUCCESS);
    EXPECT_EQ(g32.value, 150u);
    EXPECT_EQ(viSetAttribute(vi, VI_ATTR_SLOT, 4), VI_ERROR_ATTR_READONLY);
}

TEST_F(VisaTest, QueryRepliesAreBoundedByTheCallersBuffer) {
    const ViSession vi = open("USB0::0x1A2B::0x0004::KSP2101::INSTR");
    char reply[VI_FIND_BUFLEN];
    ASSERT_EQ(viQueryf(vi, "*IDN?\n", "%t", reply), VI_SUCCESS);
    EXPECT_STREQ(reply, "ZELKORTECH,KSPBASE,2101,1.07\n");

    // A 300-character reply: "%t" keeps 255, "%#t" what the size says.
    const ViSession chatty = open("USB0::0x1A2B::0x0004::LONG::INSTR");
    char big[VI_FIND_BUFLEN + 16];
    std::memset(big, 'Z', sizeof big);
    ASSERT_EQ(viQueryf(chatty, "*IDN?\n", "%t", big), VI_SUCCESS);
    EXPECT_EQ(std::strlen(big), 255u);
    EXPECT_EQ(big[256], 'Z');
    char small[16];
    std::memset(small, 'Z', sizeof small);
    ViInt32 size = 5;
    ASSERT_EQ(viQueryf(chatty, "%s\n", "%#t", "*IDN?", &size, small), VI_SUCCESS);
    EXPECT_STREQ(small, "0123");
    EXPECT_EQ(size, 4);
    EXPECT_EQ(small[5], 'Z');
    // Nothing of the long reply is left over for the next read.
    ViUInt32 got = 0;
    EXPECT_EQ(viRead(chatty, reinterpret_cast<ViBuf>(small), sizeof small, &got), VI_ERROR_TMO);
    // The identity exchange stops at the buffer and clears what it could not take.
    EXPECT_EQ(trl4visa::queryIdentity(chatty, small, sizeof small), VI_SUCCESS_MAX_CNT);
    EXPECT_STREQ(small, "012345678901234");
    EXPECT_EQ(viRead(chatty, reinterpret_cast<ViBuf>(small), sizeof small, &got), VI_ERROR_TMO);

    EXPECT_EQ(viQueryf(vi, "*IDN?\n", "%s", reply), VI_ERROR_NSUP_FMT);
    // A width on "%t" is refused as a real library's parser would, before anything is sent.
    for (const char *widened : {"%256t", "%0t", "%99999999999999999999t"}) {
        EXPECT_EQ(viQueryf(vi, "*IDN?\n", widened, reply), VI_ERROR_INV_FMT) << widened;
    }
    EXPECT_EQ(viRead(vi, reinterpret_cast<ViBuf>(reply), sizeof reply, &got), VI_ERROR_TMO);
    size = 0;
    EXPECT_EQ(viQueryf(vi, "*IDN?\n", "%#t", &size, reply), VI_ERROR_USER_BUF);
    EXPECT_EQ(viQueryf(vi, "*IDN?\n", "%t", nullptr), VI_ERROR_USER_BUF);

    const ViSession silent = open("TCPIP0::192.168.1.77::inst0::INSTR");
    EXPECT_EQ(viQueryf(silent, "*IDN?\n", "%t", reply), VI_ERROR_TMO);
}

TEST_F(VisaTest, ReadAndWriteInPieces) {
    const ViSession vi = open("TCPIP0::192.168.1.50::inst0::INSTR");
    ViUInt32 n = 0;
    ASSERT_EQ(viWrite(vi, reinterpret_cast<ViConstBuf>("*id"), 3, &n), VI_SUCCESS);
    ASSERT_EQ(viWrite(vi, reinterpret_cast<ViConstBuf>("n?\r\n"), 4, &n), VI_SUCCESS);
    EXPECT_EQ(n, 4u);
    unsigned char part[10];
    EXPECT_EQ(viRead(vi, part, sizeof part, &n), VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(part), n), "ZELKORTECH");
    EXPECT_EQ(viClear(vi), VI_SUCCESS);  // drops the rest
    EXPECT_EQ(viRead(vi, part, sizeof part, &n), VI_ERROR_TMO);
    EXPECT_EQ(n, 0u);
}

TEST_F(VisaTest, LockIsTheResourcesAndWaitsItsTimeOut) {
    const char *name = "USB0::0x1A2B::0x0004::KSP2101::INSTR";
    const ViSession a = open(name);
    const ViSession b = open(name);
    EXPECT_EQ(viLock(a, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_SUCCESS);
    EXPECT_EQ(viLock(a, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_SUCCESS_NESTED_EXCLUSIVE);
    ViAccessMode state = 0;
    ASSERT_EQ(viGetAttribute(b, VI_ATTR_RSRC_LOCK_STATE, &state), VI_SUCCESS);
    EXPECT_EQ(state, static_cast<ViAccessMode>(VI_EXCLUSIVE_LOCK));  // seen by every session

    char reply[VI_FIND_BUFLEN];
    EXPECT_EQ(viQueryf(b, "*IDN?\n", "%t", reply), VI_ERROR_RSRC_LOCKED);
    EXPECT_EQ(viClear(b), VI_ERROR_RSRC_LOCKED);
    EXPECT_EQ(viLock(b, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_ERROR_TMO);
    EXPECT_EQ(viLock(b, VI_SHARED_LOCK, 0, VI_NULL, VI_NULL), VI_ERROR_TMO);
    EXPECT_EQ(viUnlock(b), VI_ERROR_SESN_NLOCKED);
    EXPECT_EQ(viQueryf(a, "*IDN?\n", "%t", reply), VI_SUCCESS);

    // b waits while a, on another thread, lets go of its nested lock.
    std::atomic<bool> released{false};
    std::thread holder([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        released = true;
        viUnlock(a);
        viUnlock(a);
    });
    EXPECT_EQ(viLock(b, VI_EXCLUSIVE_LOCK, 10000, VI_NULL, VI_NULL), VI_SUCCESS);
    EXPECT_TRUE(released.load());
    holder.join();
    EXPECT_EQ(viQueryf(a, "*IDN?\n", "%t", reply), VI_ERROR_RSRC_LOCKED);

    // Closing the holder's session frees the resource for the others.
    EXPECT_EQ(viClose(b), VI_SUCCESS);
    EXPECT_EQ(viLock(a, VI_SHARED_LOCK, 0, VI_NULL, VI_NULL), VI_SUCCESS);
    EXPECT_EQ(viUnlock(a), VI_SUCCESS);
    EXPECT_EQ(viLock(a, 5, 0, VI_NULL, VI_NULL), VI_ERROR_INV_LOCK_TYPE);
}

TEST_F(VisaTest, ResourceLockedByAnotherProgram) {
    const ViSession vi = open("USB0::0x1A2B::0x0004::LOCKED::INSTR");
    EXPECT_EQ(viLock(vi, VI_EXCLUSIVE_LOCK, 20, VI_NULL, VI_NULL), VI_ERROR_TMO);
    char reply[VI_FIND_BUFLEN];
    EXPECT_EQ(viQueryf(vi, "*IDN?\n", "%t", reply), VI_ERROR_RSRC_LOCKED);
    ViSession locked = VI_NULL;
    EXPECT_EQ(viOpen(rm_, "USB0::0x1A2B::0x0004::LOCKED::INSTR", VI_EXCLUSIVE_LOCK, 10, &locked),
              VI_ERROR_RSRC_LOCKED);
    EXPECT_EQ(locked, VI_NULL);
}

TEST_F(VisaTest, RefusedBenchFailsEveryCallAndFaultsApply) {
    install(R"yaml(
resources:
  - {name: "VXI0::1::INSTR", interface: VXI}
faults:
  - {call: viOpen, status: 0xBFFF0072, on-call: 1}
)yaml");
    ViSession rm = VI_NULL;
    ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
    ViSession vi = VI_NULL;
    EXPECT_EQ(viOpen(rm, "VXI0::1::INSTR", VI_NO_LOCK, 0, &vi), VI_ERROR_RSRC_BUSY);
    EXPECT_EQ(viOpen(rm, "VXI0::1::INSTR", VI_NO_LOCK, 0, &vi), VI_SUCCESS);

    EXPECT_FALSE(trl4sim::installBenchText("resources: 1\n"));
    EXPECT_EQ(viOpenDefaultRM(&rm), VI_ERROR_SYSTEM_ERROR);
    ViUInt16 intf = 0;
    EXPECT_EQ(viGetAttribute(vi, VI_ATTR_INTF_TYPE, &intf), VI_ERROR_SYSTEM_ERROR);
    // The next bench starts afresh: the old handles are gone.
    install(kBench);
    EXPECT_EQ(viGetAttribute(vi, VI_ATTR_INTF_TYPE, &intf), VI_ERROR_INV_OBJECT);
}

namespace {

constexpr std::string_view kMeterBench = R"yaml(
resources:
  - {name: "VXI0::24::INSTR", interface: VXI, manufacturer: 0xE76, model: 0x10D,
     carrier: {name: "c", memory: 0, mezzanines: [{position: 1}]}}
  - {name: "GPIB0::7::INSTR", interface: GPIB, idn: "VOLTEK,DMM-7,1,1.0\n",
     meter: {kind: ac-voltmeter, inputs: [{carrier: "VXI0::24::INSTR"}]}}
  - {name: "GPIB0::8::3::INSTR", interface: GPIB, idn: "VOLTEK,FC-3,2,1.0\n"}
  - {name: "TCPIP0::192.168.1.77::inst0::INSTR", interface: TCPIP}
)yaml";

std::string text(ViBuf buf, ViUInt32 n) {
    return std::string(reinterpret_cast<char *>(buf), n);
}

ViStatus send(ViSession vi, std::string_view command) {
    ViUInt32 n = 0;
    return viWrite(vi, reinterpret_cast<ViConstBuf>(command.data()),
                   static_cast<ViUInt32>(command.size()), &n);
}

}  // namespace

TEST_F(VisaTest, OpenTakesEverySpellingOfAResourceAndRefusesBadNames) {
    const std::pair<const char *, const char *> spellings[] = {
        {"VXI::24", "VXI0::24::INSTR"},
        {"vxi0::24::instr", "VXI0::24::INSTR"},
        {"GPIB-VXI::72", "GPIB-VXI0::72::INSTR"},
        {"USB::6699::4::KSP2101::0::INSTR", "USB0::0x1A2B::0x0004::KSP2101::INSTR"},
        {"usb0::0x1a2b::0x4::ksp2101", "USB0::0x1A2B::0x0004::KSP2101::INSTR"},
        {"TCPIP::192.168.1.50::INSTR", "TCPIP0::192.168.1.50::inst0::INSTR"},
        {"ASRL1", "ASRL1::INSTR"},
    };
    for (const auto &[spelling, listed] : spellings) {
        ViSession vi = VI_NULL;
        ASSERT_EQ(viOpen(rm_, spelling, VI_NO_LOCK, 0, &vi), VI_SUCCESS) << spelling;
        char name[VI_FIND_BUFLEN] = "";
        EXPECT_EQ(viGetAttribute(vi, VI_ATTR_RSRC_NAME, name), VI_SUCCESS);
        EXPECT_STREQ(name, listed);  // the session names the resource as the search does
        EXPECT_EQ(viClose(vi), VI_SUCCESS);
    }
    ViSession vi = 7;
    EXPECT_EQ(viOpen(rm_, "VXI0::256::INSTR", VI_NO_LOCK, 0, &vi), VI_ERROR_INV_RSRC_NAME);
    EXPECT_EQ(vi, VI_NULL);
    EXPECT_EQ(viOpen(rm_, "VXI0::24::INSTR::X", VI_NO_LOCK, 0, &vi), VI_ERROR_INV_RSRC_NAME);
    EXPECT_EQ(viOpen(rm_, "TCPIP::192.168.1.50::inst1", VI_NO_LOCK, 0, &vi), VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(viOpen(rm_, "VXI1::24", VI_NO_LOCK, 0, &vi), VI_ERROR_RSRC_NFOUND);
    // Two spellings of one resource share its lock.
    const ViSession a = open("VXI0::24::INSTR");
    const ViSession b = open("vxi::24");
    ASSERT_EQ(viLock(a, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_SUCCESS);
    EXPECT_EQ(viLock(b, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_ERROR_TMO);
}

TEST_F(VisaTest, ParseRsrcTellsTypeBoardClassAndTheExpandedName) {
    ViUInt16 type = 0, board = 0;
    char cls[VI_FIND_BUFLEN], expanded[VI_FIND_BUFLEN], alias[VI_FIND_BUFLEN] = "x";
    // The grammar answers, present on the bench or not.
    ASSERT_EQ(
        viParseRsrcEx(rm_, "tcpip3::10.0.0.7::5025::socket", &type, &board, cls, expanded, alias),
        VI_SUCCESS);
    EXPECT_EQ(type, VI_INTF_TCPIP);
    EXPECT_EQ(board, 3);
    EXPECT_STREQ(cls, "SOCKET");
    EXPECT_STREQ(expanded, "TCPIP3::10.0.0.7::5025::SOCKET");
    EXPECT_STREQ(alias, "");  // no aliases here
    ASSERT_EQ(viParseRsrc(rm_, "GPIB-VXI2::72", &type, &board), VI_SUCCESS);
    EXPECT_EQ(type, VI_INTF_GPIB_VXI);
    EXPECT_EQ(board, 2);
    EXPECT_EQ(viParseRsrc(rm_, "USB::1::2::S", nullptr, nullptr), VI_SUCCESS);
    EXPECT_EQ(viParseRsrcEx(rm_, "USB::1::2::S", nullptr, nullptr, nullptr, nullptr, nullptr),
              VI_SUCCESS);
    EXPECT_EQ(viParseRsrc(rm_, "GPIB::31", &type, &board), VI_ERROR_INV_RSRC_NAME);
    EXPECT_EQ(viParseRsrc(rm_, nullptr, &type, &board), VI_ERROR_INV_RSRC_NAME);
    EXPECT_EQ(viParseRsrcEx(rm_, "", &type, &board, cls, expanded, alias), VI_ERROR_INV_RSRC_NAME);
    const ViSession vi = open("VXI0::24::INSTR");
    EXPECT_EQ(viParseRsrc(vi, "VXI::24", &type, &board), VI_ERROR_INV_OBJECT);  // not a manager
}

TEST_F(VisaTest, StatusDescriptionsAreTheStandardsTexts) {
    char desc[VI_FIND_BUFLEN];
    ASSERT_EQ(viStatusDesc(rm_, VI_ERROR_TMO, desc), VI_SUCCESS);
    EXPECT_STREQ(desc, "VI_ERROR_TMO: Timeout expired before operation completed.");
    ASSERT_EQ(viStatusDesc(VI_NULL, VI_SUCCESS_TERM_CHAR, desc), VI_SUCCESS);
    EXPECT_STREQ(desc, "VI_SUCCESS_TERM_CHAR: The specified termination character was read.");
    // Every status this library returns has its text.
    for (ViStatus st : {VI_SUCCESS,
                        VI_SUCCESS_EVENT_DIS,
                        VI_SUCCESS_QUEUE_EMPTY,
                        VI_SUCCESS_MAX_CNT,
                        VI_WARN_CONFIG_NLOADED,
                        VI_WARN_NULL_OBJECT,
                        VI_WARN_UNKNOWN_STATUS,
                        VI_SUCCESS_NESTED_SHARED,
                        VI_SUCCESS_NESTED_EXCLUSIVE,
                        VI_ERROR_SYSTEM_ERROR,
                        VI_ERROR_INV_OBJECT,
                        VI_ERROR_RSRC_LOCKED,
                        VI_ERROR_INV_EXPR,
                        VI_ERROR_RSRC_NFOUND,
                        VI_ERROR_INV_RSRC_NAME,
                        VI_ERROR_INV_ACC_MODE,
                        VI_ERROR_NSUP_ATTR,
                        VI_ERROR_NSUP_ATTR_STATE,
                        VI_ERROR_ATTR_READONLY,
                        VI_ERROR_INV_LOCK_TYPE,
                        VI_ERROR_INV_ACCESS_KEY,
                        VI_ERROR_INV_EVENT,
                        VI_ERROR_INV_MECH,
                        VI_ERROR_NENABLED,
                        VI_ERROR_INV_MASK,
                        VI_ERROR_INV_FMT,
                        VI_ERROR_NSUP_FMT,
                        VI_ERROR_USER_BUF,
                        VI_ERROR_RSRC_BUSY,
                        VI_ERROR_INV_PROT,
                        VI_ERROR_SESN_NLOCKED}) {
        EXPECT_EQ(viStatusDesc(rm_, st, desc), VI_SUCCESS) << std::hex << st;
    }
    EXPECT_EQ(viStatusDesc(rm_, static_cast<ViStatus>(0xBFFF1234u), desc), VI_WARN_UNKNOWN_STATUS);
    EXPECT_STREQ(desc, "Unknown status 0xBFFF1234.");
    EXPECT_EQ(viStatusDesc(rm_ + 1000, VI_SUCCESS, desc), VI_ERROR_INV_OBJECT);
}

TEST_F(VisaTest, ReadEndsAtTheMessagesEndTheTerminationCharacterOrTheCount) {
    const ViSession vi = open("TCPIP0::192.168.1.50::inst0::INSTR");
    unsigned char buf[64];
    ViUInt32 n = 0;
    ViBoolean flag = 9;
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_TERMCHAR_EN, &flag), VI_SUCCESS);
    EXPECT_EQ(flag, VI_FALSE);
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_SEND_END_EN, &flag), VI_SUCCESS);
    EXPECT_EQ(flag, VI_TRUE);
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR, ','), VI_SUCCESS);
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
    ASSERT_EQ(send(vi, "*IDN?\n*IDN?\n"), VI_SUCCESS);  // two messages queued
    EXPECT_EQ(viRead(vi, buf, sizeof buf, &n), VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(text(buf, n), "ZELKORTECH,");
    EXPECT_EQ(viRead(vi, buf, 5, &n), VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(text(buf, n), "KSPBA");
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_FALSE), VI_SUCCESS);
    EXPECT_EQ(viRead(vi, buf, sizeof buf, &n), VI_SUCCESS);  // the END of the first message
    EXPECT_EQ(text(buf, n), "SE,3344,1.07\n");
    // The termination character as the message's last byte: END tells the status.
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR, '\n'), VI_SUCCESS);
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
    EXPECT_EQ(viRead(vi, buf, sizeof buf, &n), VI_SUCCESS);
    EXPECT_EQ(text(buf, n), "ZELKORTECH,KSPBASE,3344,1.07\n");
    EXPECT_EQ(viRead(vi, buf, sizeof buf, &n), VI_ERROR_TMO);
    EXPECT_EQ(n, 0u);

    EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR, 0x100), VI_ERROR_NSUP_ATTR_STATE);
    EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, 2), VI_ERROR_NSUP_ATTR_STATE);
    EXPECT_EQ(viSetAttribute(vi, VI_ATTR_SEND_END_EN, VI_FALSE), VI_SUCCESS);
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_SEND_END_EN, &flag), VI_SUCCESS);
    EXPECT_EQ(flag, VI_FALSE);
    EXPECT_EQ(viSetAttribute(vi, VI_ATTR_RSRC_CLASS, 0), VI_ERROR_ATTR_READONLY);
}

TEST_F(VisaTest, AttributesKnownFromTheNameAndTheDevice) {
    const ViSession usb = open("USB0::0x1A2B::0x0004::KSP2101::INSTR");
    ViUInt16 u16 = 0;
    ASSERT_EQ(viGetAttribute(usb, VI_ATTR_MANF_ID, &u16), VI_SUCCESS);
    EXPECT_EQ(u16, 0x1A2B);
    ASSERT_EQ(viGetAttribute(usb, VI_ATTR_MODEL_CODE, &u16), VI_SUCCESS);
    EXPECT_EQ(u16, 4);
    char value[VI_FIND_BUFLEN];
    ASSERT_EQ(viGetAttribute(usb, VI_ATTR_USB_SERIAL_NUM, value), VI_SUCCESS);
    EXPECT_STREQ(value, "KSP2101");
    ASSERT_EQ(viGetAttribute(usb, VI_ATTR_RSRC_CLASS, value), VI_SUCCESS);
    EXPECT_STREQ(value, "INSTR");
    ASSERT_EQ(viGetAttribute(usb, VI_ATTR_MANF_NAME, value), VI_SUCCESS);
    EXPECT_STREQ(value, "ZELKORTECH");
    ASSERT_EQ(viGetAttribute(usb, VI_ATTR_MODEL_NAME, value), VI_SUCCESS);
    EXPECT_STREQ(value, "KSPBASE");
    EXPECT_EQ(viGetAttribute(usb, VI_ATTR_GPIB_PRIMARY_ADDR, &u16), VI_ERROR_NSUP_ATTR);
    const ViSession lan = open("TCPIP0::192.168.1.50::inst0::INSTR");
    ASSERT_EQ(viGetAttribute(lan, VI_ATTR_TCPIP_DEVICE_NAME, value), VI_SUCCESS);
    EXPECT_STREQ(value, "inst0");
    EXPECT_EQ(viGetAttribute(lan, VI_ATTR_TCPIP_PORT, &u16), VI_ERROR_NSUP_ATTR);
    // The VXI codes come from the bench, which knows no maker's name.
    const ViSession vxi = open("VXI0::24::INSTR");
    ASSERT_EQ(viGetAttribute(vxi, VI_ATTR_MANF_ID, &u16), VI_SUCCESS);
    EXPECT_EQ(u16, 0xE76);
    EXPECT_EQ(viGetAttribute(vxi, VI_ATTR_MANF_NAME, value), VI_ERROR_NSUP_ATTR);
    ASSERT_EQ(viGetAttribute(rm_, VI_ATTR_RSRC_MANF_NAME, value), VI_SUCCESS);
    EXPECT_STREQ(value, "trl4sim");

    install(kMeterBench);
    ViSession rm = VI_NULL;
    ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
    ViSession gpib = VI_NULL;
    ASSERT_EQ(viOpen(rm, "GPIB::8::3", VI_NO_LOCK, 0, &gpib), VI_SUCCESS);
    ASSERT_EQ(viGetAttribute(gpib, VI_ATTR_GPIB_PRIMARY_ADDR, &u16), VI_SUCCESS);
    EXPECT_EQ(u16, 8);
    ASSERT_EQ(viGetAttribute(gpib, VI_ATTR_GPIB_SECONDARY_ADDR, &u16), VI_SUCCESS);
    EXPECT_EQ(u16, 3);
    ASSERT_EQ(viOpen(rm, "GPIB::7::0", VI_NO_LOCK, 0, &gpib), VI_SUCCESS);
    ASSERT_EQ(viGetAttribute(gpib, VI_ATTR_GPIB_SECONDARY_ADDR, &u16), VI_SUCCESS);
    EXPECT_EQ(u16, VI_NO_SEC_ADDR);
    viClose(rm);
}

TEST_F(VisaTest, StatusByteClearTriggerAndFlush) {
    install(kMeterBench);
    ASSERT_EQ(viOpenDefaultRM(&rm_), VI_SUCCESS);
    const ViSession meter = open("GPIB0::7::INSTR");
    ViUInt16 stb = 0xFFFF;
    ASSERT_EQ(viReadSTB(meter, &stb), VI_SUCCESS);
    EXPECT_EQ(stb, 0);
    ASSERT_EQ(send(meter, "BOGUS\n"), VI_SUCCESS);
    ASSERT_EQ(viReadSTB(meter, &stb), VI_SUCCESS);
    EXPECT_EQ(stb, trl4sim::kErrorAvailable);
    ASSERT_EQ(send(meter, "*IDN?\n"), VI_SUCCESS);
    ASSERT_EQ(viReadSTB(meter, &stb), VI_SUCCESS);
    EXPECT_EQ(stb, trl4sim::kErrorAvailable | trl4sim::kMessageAvailable);
    // A device clear empties the output queue; the error queue is the device's own.
    ASSERT_EQ(viClear(meter), VI_SUCCESS);
    ASSERT_EQ(viReadSTB(meter, &stb), VI_SUCCESS);
    EXPECT_EQ(stb, trl4sim::kErrorAvailable);
    ASSERT_EQ(send(meter, "*CLS\n"), VI_SUCCESS);
    ASSERT_EQ(viReadSTB(meter, &stb), VI_SUCCESS);
    EXPECT_EQ(stb, 0);
    EXPECT_EQ(viReadSTB(meter, nullptr), VI_ERROR_USER_BUF);

    // The meters await no trigger and say so.
    EXPECT_EQ(viAssertTrigger(meter, VI_TRIG_PROT_DEFAULT), VI_SUCCESS);
    char reply[VI_FIND_BUFLEN];
    ASSERT_EQ(viQueryf(meter, "SYST:ERR?\n", "%t", reply), VI_SUCCESS);
    EXPECT_STREQ(reply, "-211,\"Trigger ignored\"\n");
    EXPECT_EQ(viAssertTrigger(meter, VI_TRIG_PROT_ON), VI_ERROR_INV_PROT);
    const ViSession vxi = open("VXI0::24::INSTR");
    EXPECT_EQ(viAssertTrigger(vxi, VI_TRIG_PROT_SYNC), VI_SUCCESS);
    EXPECT_EQ(viAssertTrigger(vxi, 3), VI_ERROR_INV_PROT);
    const ViSession silent = open("TCPIP0::192.168.1.77::inst0::INSTR");
    EXPECT_EQ(viReadSTB(silent, &stb), VI_ERROR_TMO);

    EXPECT_EQ(viFlush(meter, VI_READ_BUF | VI_WRITE_BUF_DISCARD), VI_SUCCESS);
    for (int bad : {0, VI_READ_BUF | VI_READ_BUF_DISCARD, VI_WRITE_BUF | VI_WRITE_BUF_DISCARD,
                    VI_IO_IN_BUF | VI_IO_IN_BUF_DISCARD, 0x100}) {
        EXPECT_EQ(viFlush(meter, static_cast<ViUInt16>(bad)), VI_ERROR_INV_MASK) << bad;
    }
    EXPECT_EQ(viFlush(rm_, VI_READ_BUF), VI_ERROR_INV_OBJECT);
}

TEST_F(VisaTest, EventsAreOnesTheResourcesDoNotSupport) {
    const ViSession vi = open("VXI0::24::INSTR");
    EXPECT_EQ(viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE, VI_NULL), VI_ERROR_INV_EVENT);
    EXPECT_EQ(viEnableEvent(vi, VI_ALL_ENABLED_EVENTS, VI_QUEUE, VI_NULL), VI_ERROR_INV_EVENT);
    EXPECT_EQ(viDisableEvent(vi, VI_EVENT_TRIG, VI_ALL_MECH), VI_ERROR_INV_EVENT);
    EXPECT_EQ(viDisableEvent(vi, VI_ALL_ENABLED_EVENTS, VI_ALL_MECH), VI_SUCCESS_EVENT_DIS);
    EXPECT_EQ(viDiscardEvents(vi, VI_ALL_ENABLED_EVENTS, VI_QUEUE), VI_SUCCESS_QUEUE_EMPTY);
    EXPECT_EQ(viDiscardEvents(vi, VI_ALL_ENABLED_EVENTS, 8), VI_ERROR_INV_MECH);
    EXPECT_EQ(viDiscardEvents(vi, VI_ALL_ENABLED_EVENTS, 0), VI_ERROR_INV_MECH);
    ViEventType type = 5;
    ViEvent context = 5;
    EXPECT_EQ(viWaitOnEvent(vi, VI_ALL_ENABLED_EVENTS, 10, &type, &context), VI_ERROR_NENABLED);
    EXPECT_EQ(type, 0u);
    EXPECT_EQ(context, static_cast<ViEvent>(VI_NULL));
    EXPECT_EQ(viWaitOnEvent(vi, VI_EVENT_CLEAR, 10, nullptr, nullptr), VI_ERROR_INV_EVENT);
    EXPECT_EQ(viEnableEvent(rm_ + 1000, VI_EVENT_SERVICE_REQ, VI_QUEUE, VI_NULL),
              VI_ERROR_INV_OBJECT);
}

TEST_F(VisaTest, SharedLocksAreJoinedByTheirKey) {
    const char *name = "USB0::0x1A2B::0x0004::KSP2101::INSTR";
    const ViSession a = open(name);
    const ViSession b = open(name);
    const ViSession c = open(name);
    char key[VI_FIND_BUFLEN] = "";
    ASSERT_EQ(viLock(a, VI_SHARED_LOCK, 0, "lab", key), VI_SUCCESS);
    EXPECT_STREQ(key, "lab");
    EXPECT_EQ(viLock(b, VI_SHARED_LOCK, 0, VI_NULL, key), VI_ERROR_TMO);  // a key of its own
    EXPECT_EQ(viLock(b, VI_SHARED_LOCK, 0, "other", key), VI_ERROR_TMO);
    EXPECT_EQ(viLock(b, VI_SHARED_LOCK, 0, "lab", key), VI_SUCCESS);
    char reply[VI_FIND_BUFLEN];
    EXPECT_EQ(viQueryf(b, "*IDN?\n", "%t", reply), VI_SUCCESS);
    EXPECT_EQ(viQueryf(c, "*IDN?\n", "%t", reply), VI_ERROR_RSRC_LOCKED);  // holds none of it
    EXPECT_EQ(viLock(c, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_ERROR_TMO);
    EXPECT_EQ(viLock(c, VI_SHARED_LOCK, 0, std::string(300, 'k').c_str(), key),
              VI_ERROR_INV_ACCESS_KEY);
    EXPECT_EQ(viUnlock(a), VI_SUCCESS);
    EXPECT_EQ(viUnlock(b), VI_SUCCESS);
    // Once nobody shares it, a new key starts a new shared lock.
    ASSERT_EQ(viLock(c, VI_SHARED_LOCK, 0, VI_NULL, key), VI_SUCCESS);
    EXPECT_NE(std::string(key), "");
    EXPECT_EQ(viLock(a, VI_SHARED_LOCK, 0, key, nullptr), VI_SUCCESS);
}
