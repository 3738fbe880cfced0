// Shutdown: both sessions closed in order, four panels discarded, the protocol file closed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "../support/scratch.h"
#include "trl4/app.h"
#include "trl4/app_state.h"
#include "trl4/callbacks.h"
#include "trl4/protocol.h"
#include "userint.h"

namespace {

class Shutdown : public ::testing::Test {
  protected:
    void SetUp() override {
        static char arg0[] = "shutdown_test", arg1[] = "--view", arg2[] = "headless";
        static char *argv[] = {arg0, arg1, arg2, nullptr};
        ASSERT_EQ(InitPanelRuntime(3, argv), 0);
        ASSERT_EQ(RegisterAppCallbacks(), 0);
        ASSERT_TRUE(LoadAppPanels()) << GetPanelErrorText();
        trace_ = ::testing::TempDir() + "shutdown_trace_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
        std::remove(trace_.c_str());
        trl4::test::setEnv("TRL4_DRIVER_TRACE", trace_);
    }
    void TearDown() override { trl4::test::setEnv("TRL4_DRIVER_TRACE", nullptr); }

    std::string traced() const {
        std::ifstream in(trace_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static bool exists(int panel) {
        int visible = 0;
        return GetPanelAttribute(panel, ATTR_VISIBLE, &visible) == 0;
    }

    std::string trace_;
};

// Without sessions no driver is called: the demo_mode script's trace.
TEST_F(Shutdown, GeneratorClosedFirstAFailureDoesNotStopTheCarrierCloseAndFourPanelsGo) {
    // Sessions the drivers never opened: both closes fail, and both are made.
    generatorSession = 0x7777;
    carrierSession = 0x8888;
    ShutDownFrontPanel();
    const std::string text = traced();
    const size_t generator = text.find("ksptrl4_close");
    const size_t carrier = text.find("kspbase_close");
    ASSERT_NE(generator, std::string::npos) << text;
    ASSERT_NE(carrier, std::string::npos) << text;
    EXPECT_LT(generator, carrier);
    for (const int panel : {ST, ABOUT, EXIT_POPUP, MP})
        EXPECT_FALSE(exists(panel));
    // The measured-value pop-up and the protocol viewer are not discarded at shutdown.
    EXPECT_TRUE(exists(VP));
    EXPECT_TRUE(exists(CHLP));
}

TEST_F(Shutdown, TheProtocolFileIsClosed) {
    const std::string name = "shutdown_protocol.log";
    std::remove(name.c_str());
    ApplyProtocolFileName(name.c_str());
    ASSERT_GT(logFile, 0);
    ShutDownFrontPanel();
    EXPECT_EQ(logFile, 0);
    logPrintf("after shutdown\n");  // goes nowhere: no file is open any more
    std::ifstream in(name, std::ios::binary);
    EXPECT_TRUE(in.good());
    EXPECT_EQ(in.peek(), std::ifstream::traits_type::eof());
    std::remove(name.c_str());
}

TEST_F(Shutdown, AFailedOpeningIsForgottenWithoutClosingAnything) {
    logFile = -1;
    ShutDownFrontPanel();
    EXPECT_EQ(logFile, 0);
}

}  // namespace
