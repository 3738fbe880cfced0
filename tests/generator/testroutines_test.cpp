// The VXI carrier search of the "test" button.
#include <gmock/gmock.h>

#include <cstdlib>

#include "../sim/bench_fixture.h"
#include "trl4/testroutines.h"
#include "userint.h"
#include "visa.h"

using ::testing::ElementsAre;

namespace {

constexpr uint16_t k10D = 0x10D;

std::string vxi(const std::string &name, int slot, const char *model, const char *maker = "0xE76") {
    return "  - {name: \"" + name + "\", interface: VXI, slot: " + std::to_string(slot) +
           ", manufacturer: " + maker + ", model: " + model + "}\n";
}

std::string threeHundred() {
    std::string bench = "resources:\n";
    for (int i = 1; i <= 300; ++i)
        bench += vxi("VXI0::" + std::to_string(i) + "::INSTR", 1, "0x10D");
    return bench;
}

class SearchTest : public BenchTest {
  protected:
    void TearDown() override {
        release();
        BenchTest::TearDown();
    }
    void release() {
        for (int i = 0; i < found_; ++i)
            std::free(list_[i]);
    }
    std::vector<std::string> collected() const {
        return std::vector<std::string>(list_, list_ + found_);
    }
    char *list_[400] = {};
    int found_ = -7;
};

}  // namespace

TEST_F(SearchTest, NothingFoundLeavesTheCountAlone) {
    install("resources:\n  - {name: \"USB0::1::INSTR\", interface: USB}\n");
    EXPECT_EQ(FindVXIInstrs(&k10D, 1, 256, list_, &found_), VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(found_, -7);
}

TEST_F(SearchTest, SlotModelAndMakerRules) {
    install("resources:\n" + vxi("VXI0::1::INSTR", 0, "0x10D") +
            vxi("VXI0::2::INSTR", 13, "0x10D") + vxi("VXI0::3::INSTR", 12, "0xF10D", "0xFB1") +
            vxi("VXI0::4::INSTR", 4, "0x155") + vxi("VXI0::5::INSTR", -1, "0x10D") +
            "  - {name: \"VXI0::6::INSTR\", interface: VXI, slot: 6}\n" +  // no model code
            "  - {name: \"USB0::7::INSTR\", interface: USB}\n" +
            vxi("GPIB-VXI0::8::INSTR", 2, "0x10D"));
    ASSERT_EQ(FindVXIInstrs(&k10D, 1, 256, list_, &found_), VI_SUCCESS);
    // Slot 0 is collected, slot 13 not; the maker plays no part here.
    EXPECT_THAT(collected(),
                ElementsAre("VXI0::1::INSTR", "VXI0::3::INSTR", "GPIB-VXI0::8::INSTR"));

    release();
    const uint16_t two[] = {0x177, 0x155};
    ASSERT_EQ(FindVXIInstrs(two, 2, 256, list_, &found_), VI_SUCCESS);
    EXPECT_THAT(collected(), ElementsAre("VXI0::4::INSTR"));
}

TEST_F(SearchTest, AtMostCapacityMinusOne) {
    install(threeHundred());
    ASSERT_GE(FindVXIInstrs(&k10D, 1, 256, list_, &found_), VI_SUCCESS);
    EXPECT_EQ(found_, 255);
    EXPECT_STREQ(list_[254], "VXI0::255::INSTR");
    EXPECT_EQ(list_[255], nullptr);

    release();
    EXPECT_GE(FindVXIInstrs(&k10D, 1, 1, list_, &found_), VI_SUCCESS);  // no room at all
    EXPECT_EQ(found_, 0);
    EXPECT_GE(FindVXIInstrs(&k10D, 1, 0, list_, &found_), VI_SUCCESS);
    EXPECT_EQ(found_, 0);
}

TEST_F(SearchTest, FailuresPartWayKeepWhatWasCollected) {
    install("resources:\n" + vxi("VXI0::1::INSTR", 1, "0x10D") + vxi("VXI0::2::INSTR", 2, "0x10D") +
            vxi("VXI0::3::INSTR", 3, "0x10D") +
            "faults:\n  - {call: viFindNext, status: 0xBFFF0015, on-call: 2}\n");
    EXPECT_EQ(FindVXIInstrs(&k10D, 1, 256, list_, &found_), VI_ERROR_TMO);
    EXPECT_THAT(collected(), ElementsAre("VXI0::1::INSTR", "VXI0::2::INSTR"));

    release();
    install("resources:\n" + vxi("VXI0::1::INSTR", 1, "0x10D") + vxi("VXI0::2::INSTR", 2, "0x10D") +
            "faults:\n  - {call: viOpen, status: 0xBFFF0072, on-call: 2}\n");
    EXPECT_EQ(FindVXIInstrs(&k10D, 1, 256, list_, &found_), VI_ERROR_RSRC_BUSY);
    EXPECT_THAT(collected(), ElementsAre("VXI0::1::INSTR"));
    EXPECT_EQ(FindVXIInstrs(&k10D, 1, 256, nullptr, &found_), VI_ERROR_USER_BUF);
}

TEST_F(SearchTest, TestButtonActsOnCommitOnly) {
    install(threeHundred() + "faults:\n  - {call: viFindRsrc, status: 0xBFFF0000, on-call: 2}\n" +
            "  - {call: viFindRsrc, status: 0xBFFF0000, on-call: 3}\n");
    // Collects 255 copies and frees them (the leak check of the sanitizer build sees to that).
    EXPECT_EQ(test2CB(1, 2, EVENT_COMMIT, nullptr, 0, 0), 0);
    EXPECT_EQ(test2CB(1, 2, EVENT_COMMIT, nullptr, 0, 0), VI_ERROR_SYSTEM_ERROR);
    EXPECT_EQ(test2CB(1, 2, EVENT_LEFT_CLICK, nullptr, 0, 0), 0);
    // Had the click searched, this would be the fourth search and not meet the fault.
    EXPECT_EQ(trl4sim::injectedFault("viFindRsrc"), VI_ERROR_SYSTEM_ERROR);
    found_ = 0;
}
