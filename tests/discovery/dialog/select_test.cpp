// The selection dialog on the headless run-time: each test starts the run-time with a small
// operator script that plays the person in front of the dialog.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "select.h"
#include "si.h"
#include "userint.h"

namespace {

void putEntry(int index, const char *descr, uint16_t modelCode = 0x10D) {
    InstrumentEntry &entry = Instruments[index];
    entry = InstrumentEntry{};
    std::snprintf(entry.rsrcName, sizeof entry.rsrcName, "VXI0::%d::INSTR", index);
    std::snprintf(entry.descr, sizeof entry.descr, "%s", descr);
    entry.modelCode = modelCode;
    entry.slot = 3;
}

class Dialog : public ::testing::Test {
  protected:
    void SetUp() override {
        for (InstrumentEntry &entry : Instruments)
            entry = InstrumentEntry{};
    }

    // Starts the run-time headless, with the operator's actions when there are any.
    void start(const std::string &actions) {
        std::vector<std::string> args{"select_test", "--view", "headless"};
        if (!actions.empty()) {
            scriptPath_ = ::testing::TempDir() + "select_test_" +
                          ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".op";
            std::ofstream(scriptPath_) << actions;
            args.push_back("--script");
            args.push_back(scriptPath_);
        }
        args_ = std::move(args);
        argv_.clear();
        for (std::string &arg : args_)
            argv_.push_back(arg.data());
        argv_.push_back(nullptr);
        ASSERT_EQ(InitPanelRuntime(static_cast<int>(args_.size()), argv_.data()), 0);
    }

    static bool dialogVisible() {
        int shown = -1;
        EXPECT_EQ(GetPanelAttribute(SelectDialogPanel(), ATTR_VISIBLE, &shown), 0);
        return shown != 0;
    }

    std::string scriptPath_;
    std::vector<std::string> args_;
    std::vector<char *> argv_;
};

// ---- List lines ---------------------------------------------------------------------------

TEST(ListLine, LineFeedsBecomeTwoBlanks) {
    InstrumentEntry entry{};
    std::snprintf(entry.descr, sizeof entry.descr, "%s",
                  "Н.М.  Л.А.крейта:0x01, слот:3\n(VXI0::3::INSTR)");
    EXPECT_STREQ(SIListLine(entry), "Н.М.  Л.А.крейта:0x01, слот:3  (VXI0::3::INSTR)");
    std::snprintf(entry.descr, sizeof entry.descr, "%s", "\n\nNodaBOX, USB (№:12\n");
    EXPECT_STREQ(SIListLine(entry), "    NodaBOX, USB (№:12  ");
    entry.descr[0] = '\0';
    EXPECT_STREQ(SIListLine(entry), "");
}

TEST(ListLine, AnUnterminatedDescriptionIsReadOnlyToItsEnd) {
    InstrumentEntry entry{};
    std::memset(entry.descr, '\n', sizeof entry.descr);  // no terminator at all
    std::memset(entry.serialNo, 'X', sizeof entry.serialNo);
    const std::string line = SIListLine(entry);
    EXPECT_EQ(line, std::string(2 * sizeof entry.descr, ' '));
}

// ---- The dialog and its wait --------------------------------------------------------------

TEST_F(Dialog, NoCarrierGivesNoDialogAndNoChoice) {
    start("");
    EXPECT_EQ(SelectInstrument("Выбор инструмента"), nullptr);
    ASSERT_GT(SelectDialogPanel(), 0);
    EXPECT_FALSE(dialogVisible());
}

TEST_F(Dialog, OneCarrierIsHighlightedAndChosenByOk) {
    putEntry(5, "NodaBOX, USB (№:1234)", 0x1004);
    start("expect-title SI \"Выбор инструмента\"\nexpect SI.LIST 5\npress SI.OK\n");
    EXPECT_EQ(SelectInstrument("Выбор инструмента"), &Instruments[5]);
    EXPECT_FALSE(dialogVisible());
}

TEST_F(Dialog, TheHighlightedLineNamesItsTableEntry) {
    putEntry(3, "first\n(a)");
    putEntry(200, "second\n(b)");
    start("select SI.LIST 1\npress SI.OK\n");
    EXPECT_EQ(SelectInstrument("Выбор инструмента"), &Instruments[200]);
    EXPECT_EQ(SelectedInstrument(), &Instruments[200]);
}

TEST_F(Dialog, DoubleClickChoosesAndCloses) {
    putEntry(0, "first");
    putEntry(1, "second");
    putEntry(2, "third");
    start("select SI.LIST 2\ndblclick SI.LIST\n");
    EXPECT_EQ(SelectInstrument("Выбор инструмента"), &Instruments[2]);
    EXPECT_FALSE(dialogVisible());
}

TEST_F(Dialog, CancelAndTheCloseBoxForgetAnEarlierChoice) {
    putEntry(7, "only");
    // The dialog is built once and shown again with the new title each time.
    start(
        "press SI.OK\n"
        "expect-title SI \"again\"\npress SI.CANCEL\n"
        "press SI.OK\nclose SI\n");
    EXPECT_EQ(SelectInstrument("Выбор инструмента"), &Instruments[7]);
    const int panel = SelectDialogPanel();
    EXPECT_EQ(SelectInstrument("again"), nullptr);
    EXPECT_EQ(SelectInstrument("once more"), &Instruments[7]);
    EXPECT_EQ(SelectInstrument("closed"), nullptr);
    EXPECT_EQ(SelectDialogPanel(), panel);
    EXPECT_FALSE(dialogVisible());
}

TEST_F(Dialog, GeometryColoursAndNames) {
    putEntry(0, "one");
    start("press SI.CANCEL\n");
    EXPECT_EQ(SelectInstrument("Выбор инструмента"), nullptr);
    const int panel = SelectDialogPanel();
    int value = 0;
    GetPanelAttribute(panel, ATTR_WIDTH, &value);
    EXPECT_EQ(value, 517);
    GetPanelAttribute(panel, ATTR_HEIGHT, &value);
    EXPECT_EQ(value, 335);
    GetPanelAttribute(panel, ATTR_BACKCOLOR, &value);
    EXPECT_EQ(value, 0xC0C0C0);
    char name[16] = "";
    GetPanelAttribute(panel, ATTR_CONSTANT_NAME, name, sizeof name);
    EXPECT_STREQ(name, "SI");

    struct Expected {
        const char *constant;
        int top, left, width, height;
    };
    const Expected expected[] = {
        {"OK", 41, 408, 103, 25}, {"CANCEL", 84, 408, 103, 25}, {"LIST", 3, 14, 385, 323}};
    int found = 0;
    for (int control = 2; control < 10; ++control) {
        if (GetCtrlAttribute(panel, control, ATTR_CONSTANT_NAME, name, sizeof name) < 0) continue;
        for (const Expected &want : expected) {
            if (std::strcmp(name, want.constant) != 0) continue;
            ++found;
            int top = 0, left = 0, width = 0, height = 0;
            GetCtrlAttribute(panel, control, ATTR_TOP, &top);
            GetCtrlAttribute(panel, control, ATTR_LEFT, &left);
            GetCtrlAttribute(panel, control, ATTR_WIDTH, &width);
            GetCtrlAttribute(panel, control, ATTR_HEIGHT, &height);
            EXPECT_EQ(top, want.top) << name;
            EXPECT_EQ(left, want.left) << name;
            EXPECT_EQ(width, want.width) << name;
            EXPECT_EQ(height, want.height) << name;
        }
        int colour = 0;
        GetCtrlAttribute(panel, control, ATTR_BACKCOLOR, &colour);
        EXPECT_EQ(colour, 0xC0C0C0) << name;
        if (std::strcmp(name, "LIST") == 0) {
            GetCtrlAttribute(panel, control, ATTR_TEXT_BGCOLOR, &colour);
            EXPECT_EQ(colour, 0xFFFFFF);
        }
    }
    EXPECT_EQ(found, 3);
}

TEST_F(Dialog, SetCurInstrOnAnEmptyListFails) {
    putEntry(0, "one");
    start("press SI.CANCEL\n");
    SelectInstrument("Выбор инструмента");
    for (InstrumentEntry &entry : Instruments)
        entry = InstrumentEntry{};
    EXPECT_EQ(SetListInstrs(), 0);
    EXPECT_EQ(SetCurInstr(), -1);
    EXPECT_EQ(SelectedInstrument(), nullptr);
}

}  // namespace
