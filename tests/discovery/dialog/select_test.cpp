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

// The select_* scripts walk each way out of the dialog; here what each showing returns.
TEST_F(Dialog, EachShowingReturnsTheChosenTableEntryOrNone) {
    putEntry(3, "first\n(a)");
    putEntry(200, "second\n(b)", 0x1004);
    // The dialog is built once and shown again with the new title each time.
    start(
        "expect-title SI \"Выбор инструмента\"\nexpect SI.LIST 3\npress SI.OK\n"
        "expect-title SI \"again\"\nselect SI.LIST 1\npress SI.CANCEL\n"
        "select SI.LIST 1\ndblclick SI.LIST\nclose SI\n");
    EXPECT_EQ(SelectInstrument("Выбор инструмента"), &Instruments[3]);
    const int panel = SelectDialogPanel();
    EXPECT_EQ(SelectInstrument("again"), nullptr);  // an earlier choice is forgotten
    EXPECT_EQ(SelectInstrument("once more"), &Instruments[200]);
    EXPECT_EQ(SelectedInstrument(), &Instruments[200]);
    EXPECT_FALSE(dialogVisible());
    EXPECT_EQ(SelectInstrument("closed"), nullptr);
    EXPECT_EQ(SelectDialogPanel(), panel);
    EXPECT_FALSE(dialogVisible());
}

TEST_F(Dialog, GeometryColoursNamesAndAnEmptiedList) {
    putEntry(0, "one");
    start("press SI.CANCEL\n");
    EXPECT_EQ(SelectInstrument("Выбор инструмента"), nullptr);
    const int panel = SelectDialogPanel();
    const int geometry[] = {ATTR_TOP, ATTR_LEFT, ATTR_WIDTH, ATTR_HEIGHT};
    int value = 0;
    for (const auto &[attribute, want] : {std::pair(ATTR_WIDTH, 517), std::pair(ATTR_HEIGHT, 335),
                                          std::pair(ATTR_BACKCOLOR, 0xC0C0C0)}) {
        GetPanelAttribute(panel, attribute, &value);
        EXPECT_EQ(value, want);
    }
    char name[16] = "";
    GetPanelAttribute(panel, ATTR_CONSTANT_NAME, name, sizeof name);
    EXPECT_STREQ(name, "SI");

    struct Expected {
        const char *constant;
        int geometry[4];
    };
    const Expected expected[] = {
        {"OK", {41, 408, 103, 25}}, {"CANCEL", {84, 408, 103, 25}}, {"LIST", {3, 14, 385, 323}}};
    int found = 0;
    for (int control = 2; control < 10; ++control) {
        if (GetCtrlAttribute(panel, control, ATTR_CONSTANT_NAME, name, sizeof name) < 0) continue;
        for (const Expected &want : expected) {
            if (std::strcmp(name, want.constant) != 0) continue;
            ++found;
            for (int i = 0; i < 4; ++i) {
                GetCtrlAttribute(panel, control, geometry[i], &value);
                EXPECT_EQ(value, want.geometry[i]) << name << " " << i;
            }
        }
        GetCtrlAttribute(panel, control, ATTR_BACKCOLOR, &value);
        EXPECT_EQ(value, 0xC0C0C0) << name;
        if (std::strcmp(name, "LIST") == 0) {
            GetCtrlAttribute(panel, control, ATTR_TEXT_BGCOLOR, &value);
            EXPECT_EQ(value, 0xFFFFFF);
        }
    }
    EXPECT_EQ(found, 3);

    // SetCurInstr on an emptied list fails.
    for (InstrumentEntry &entry : Instruments)
        entry = InstrumentEntry{};
    EXPECT_EQ(SetListInstrs(), 0);
    EXPECT_EQ(SetCurInstr(), -1);
    EXPECT_EQ(SelectedInstrument(), nullptr);
}

}  // namespace
