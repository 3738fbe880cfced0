// The VISA stand-in: expressions, handles, typed attributes, locks, bounded replies.
#include <gmock/gmock.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <tuple>

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

// Every spelling opens the resource the search lists; the rest of what a generic client
// does is checked by PyVISA itself (pyvisa_client.py), here what it cannot reach and, under
// wine, every new export once through its stdcall entry.
TEST_F(VisaTest, OpenTakesEverySpellingOfAResourceAndRefusesBadNames) {
    const std::pair<const char *, const char *> spellings[] = {
        {"vxi::24", "VXI0::24::INSTR"},
        {"GPIB-VXI::72", "GPIB-VXI0::72::INSTR"},
        {"USB::6699::4::KSP2101::0::INSTR", "USB0::0x1A2B::0x0004::KSP2101::INSTR"},
        {"TCPIP::192.168.1.50::INSTR", "TCPIP0::192.168.1.50::inst0::INSTR"},
    };
    char name[VI_FIND_BUFLEN] = "";
    for (const auto &[spelling, listed] : spellings) {
        const ViSession vi = open(spelling);
        EXPECT_EQ(viGetAttribute(vi, VI_ATTR_RSRC_NAME, name), VI_SUCCESS);
        EXPECT_STREQ(name, listed);
    }
    ViSession vi = 7;
    EXPECT_EQ(viOpen(rm_, "VXI0::256::INSTR", VI_NO_LOCK, 0, &vi), VI_ERROR_INV_RSRC_NAME);
    EXPECT_EQ(vi, VI_NULL);
    EXPECT_EQ(viOpen(rm_, "TCPIP::192.168.1.50::inst1", VI_NO_LOCK, 0, &vi), VI_ERROR_RSRC_NFOUND);
    // Two spellings of one resource share its lock.
    const ViSession a = open("VXI0::24::INSTR");
    ASSERT_EQ(viLock(a, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_SUCCESS);
    EXPECT_EQ(viLock(open("vxi::24"), VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_ERROR_TMO);

    ViUInt16 type = 0, board = 0;
    char cls[VI_FIND_BUFLEN], expanded[VI_FIND_BUFLEN], alias[VI_FIND_BUFLEN] = "x";
    ASSERT_EQ(viParseRsrcEx(rm_, "tcpip3::h::5025::socket", &type, &board, cls, expanded, alias),
              VI_SUCCESS);  // the grammar answers, present on the bench or not
    EXPECT_EQ(
        std::make_tuple(type, board, std::string(cls), std::string(expanded), std::string(alias)),
        std::make_tuple(VI_INTF_TCPIP, 3, "SOCKET", "TCPIP3::h::5025::SOCKET", ""));
    ASSERT_EQ(viParseRsrc(rm_, "GPIB-VXI2::72", &type, &board), VI_SUCCESS);
    EXPECT_EQ(std::make_tuple(type, board), std::make_tuple(VI_INTF_GPIB_VXI, 2));
    EXPECT_EQ(viParseRsrc(rm_, "GPIB::31", &type, &board), VI_ERROR_INV_RSRC_NAME);
    EXPECT_EQ(viParseRsrc(a, "VXI::24", &type, &board), VI_ERROR_INV_OBJECT);
}

TEST_F(VisaTest, TheOtherCallsOfAClientAnswerWithTheStandardsStatuses) {
    const ViSession vi = open("TCPIP0::192.168.1.50::inst0::INSTR");
    char text[VI_FIND_BUFLEN];
    EXPECT_EQ(viStatusDesc(vi, VI_ERROR_INV_MASK, text), VI_SUCCESS);
    EXPECT_STREQ(text, "VI_ERROR_INV_MASK: Invalid buffer mask specified.");
    EXPECT_EQ(viStatusDesc(VI_NULL, static_cast<ViStatus>(0xBFFF1234u), text),
              VI_WARN_UNKNOWN_STATUS);
    EXPECT_STREQ(text, "Unknown status 0xBFFF1234.");

    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR, ','), VI_SUCCESS);
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
    EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR, 0x100), VI_ERROR_NSUP_ATTR_STATE);
    EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, 2), VI_ERROR_NSUP_ATTR_STATE);
    ViUInt32 n = 0;
    ASSERT_EQ(viWrite(vi, reinterpret_cast<ViConstBuf>("*IDN?\n"), 6, &n), VI_SUCCESS);
    ViUInt16 stb = 0;
    EXPECT_EQ(viReadSTB(vi, &stb), VI_SUCCESS);
    EXPECT_EQ(stb, trl4sim::kMessageAvailable);
    unsigned char buf[64];
    EXPECT_EQ(viRead(vi, buf, sizeof buf, &n), VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), n), "ZELKORTECH,");

    EXPECT_EQ(viFlush(vi, VI_READ_BUF | VI_WRITE_BUF_DISCARD), VI_SUCCESS);
    for (int bad :
         {0, VI_READ_BUF | VI_READ_BUF_DISCARD, VI_IO_IN_BUF | VI_IO_IN_BUF_DISCARD, 0x100}) {
        EXPECT_EQ(viFlush(vi, static_cast<ViUInt16>(bad)), VI_ERROR_INV_MASK) << bad;
    }
    EXPECT_EQ(viAssertTrigger(vi, VI_TRIG_PROT_DEFAULT), VI_SUCCESS);
    EXPECT_EQ(viAssertTrigger(vi, VI_TRIG_PROT_SYNC), VI_ERROR_INV_PROT);  // VXI only
    EXPECT_EQ(viAssertTrigger(open("VXI0::24::INSTR"), VI_TRIG_PROT_SYNC), VI_SUCCESS);

    EXPECT_EQ(viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE, 0), VI_ERROR_INV_EVENT);
    EXPECT_EQ(viDisableEvent(vi, VI_ALL_ENABLED_EVENTS, VI_ALL_MECH), VI_SUCCESS_EVENT_DIS);
    EXPECT_EQ(viDiscardEvents(vi, VI_ALL_ENABLED_EVENTS, 8), VI_ERROR_INV_MECH);
    ViEventType type = 5;
    ViEvent context = 5;
    EXPECT_EQ(viWaitOnEvent(vi, VI_ALL_ENABLED_EVENTS, 10, &type, &context), VI_ERROR_NENABLED);
    EXPECT_EQ(std::make_pair(type, context), std::make_pair(ViEventType{0}, ViEvent{0}));

    // Shared locks are joined by their key; a session without one gets its own.
    const ViSession other = open("TCPIP0::192.168.1.50::inst0::INSTR");
    char key[VI_FIND_BUFLEN] = "";
    ASSERT_EQ(viLock(vi, VI_SHARED_LOCK, 0, VI_NULL, key), VI_SUCCESS);
    EXPECT_EQ(viLock(other, VI_SHARED_LOCK, 0, VI_NULL, VI_NULL), VI_ERROR_TMO);
    EXPECT_EQ(viLock(other, VI_SHARED_LOCK, 0, std::string(300, 'k').c_str(), VI_NULL),
              VI_ERROR_INV_ACCESS_KEY);
    EXPECT_EQ(viLock(other, VI_SHARED_LOCK, 0, key, VI_NULL), VI_SUCCESS);
}
