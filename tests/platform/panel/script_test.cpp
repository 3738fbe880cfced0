// Operator scripts: the reader's errors and every action against a model.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "panel/resource.h"
#include "panel/script.h"
#include "test_panels.h"

using panel::ActionKind;
using panel::Script;
using panel::ScriptRunner;
using paneltest::PanelsTest;

namespace {

TEST(ScriptReaderTest, ReadsActionsTextsAndComments) {
    Script s;
    std::string error;
    ASSERT_TRUE(
        panel::parseScript("# comment\n\npress MP.ABOUT  # trailing comment\n"
                           "set PP.FILE_NAME \"a \\\"b\\\"\\nc#d\"\n"
                           "select SI.LIST 3\nfile cancel\nfile \"cancel\"\n"
                           "expect-message \"\"\nshot MP mp.png\n",
                           "s.txt", s, error))
        << error;
    ASSERT_EQ(s.actions.size(), 7u);
    EXPECT_EQ(s.actions[0].kind, ActionKind::Press);
    EXPECT_EQ(s.actions[0].line, 3);
    EXPECT_EQ(s.actions[0].panel, "MP");
    EXPECT_EQ(s.actions[0].control, "ABOUT");
    EXPECT_EQ(s.actions[1].value, "a \"b\"\nc#d");
    EXPECT_EQ(s.actions[2].index, 3);
    EXPECT_EQ(s.actions[3].kind, ActionKind::FileCancel);
    EXPECT_EQ(s.actions[4].kind, ActionKind::File);  // a quoted "cancel" is a file name
    EXPECT_EQ(s.actions[4].value, "cancel");
    EXPECT_EQ(s.actions[5].value, "");
    EXPECT_EQ(s.actions[6].value, "mp.png");
}

TEST(ScriptReaderTest, ErrorsNameTheLine) {
    struct Case {
        const char *text;
        const char *error;
    };
    const Case cases[] = {
        {"press MP\n", "s.txt:1: 'MP' is not of the form PANEL.CONTROL"},
        {"press MP.A extra\n", "s.txt:1: expected: press PANEL.CONTROL"},
        {"set MP.A\n", "s.txt:1: expected: set PANEL.CONTROL VALUE"},
        {"select MP.A -1\n", "s.txt:1: '-1' is not an item index (0, 1, ...)"},
        {"select MP.A 1.5\n", "s.txt:1: '1.5' is not an item index (0, 1, ...)"},
        {"\n\nexpect-title MP Title\n", "s.txt:3: the text must be in double quotes"},
        {"set MP.A \"open\n", "s.txt:1: text is not closed by '\"'"},
        {"set MP.A \"\\x\"\n", "s.txt:1: unknown escape '\\x' in text"},
        {"file somewhere\n", "s.txt:1: expected: file \"PATH\" or file cancel"},
        {"file \"\"\n", "s.txt:1: the file path is empty"},
        {"close 1P\n", "s.txt:1: '1P' is not a panel name"},
        {"\"press\" MP.A\n", "s.txt:1: a line must start with an action"},
        {"press MP.A\xFF\n", "s.txt:1: the line is not valid UTF-8"},
    };
    for (const auto &c : cases) {
        Script s;
        std::string error;
        EXPECT_FALSE(panel::parseScript(c.text, "s.txt", s, error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
}

// A directory or a missing file is refused by name, never read as an empty script or resource.
TEST(ScriptReaderTest, FilesThatCannotBeReadAreRefused) {
    const auto dir = std::filesystem::temp_directory_path();
    const std::string missing = (dir / "trl4-no-such-script.op").string();
    Script s;
    panel::Resource r;
    std::string error;
    EXPECT_FALSE(panel::loadScriptFile(dir.string(), s, error));
    EXPECT_EQ(error, dir.string() + ": cannot open the operator script");
    EXPECT_FALSE(panel::loadScriptFile(missing, s, error));
    EXPECT_EQ(error, missing + ": cannot open the operator script");
    EXPECT_FALSE(panel::loadResourceFile(dir.string(), r, error));
    EXPECT_EQ(error, dir.string() + ": cannot open the panel resource");

    const std::string empty = (dir / "trl4-empty-script.op").string();
    { std::ofstream(empty, std::ios::binary); }
    EXPECT_TRUE(panel::loadScriptFile(empty, s, error)) << error;
    EXPECT_TRUE(s.actions.empty());
    std::filesystem::remove(empty);
}

TEST(ScriptReaderTest, QuotingRoundTrips) {
    std::string tricky = "a\"b\\c\nd\te";
    Script s;
    std::string error;
    ASSERT_TRUE(panel::parseScript("expect-message " + panel::quoteText(tricky), "q", s, error));
    EXPECT_EQ(s.actions.at(0).value, tricky);
}

// Runs scripts against the test panels, printing to a temporary file.
class RunnerTest : public PanelsTest {
  protected:
    std::FILE *out = nullptr;
    std::unique_ptr<ScriptRunner> runner;

    void SetUp() override {
        PanelsTest::SetUp();
        out = std::tmpfile();
        ASSERT_NE(out, nullptr);
    }
    void TearDown() override {
        runner.reset();
        if (out) std::fclose(out);
    }

    void load(const std::string &text) {
        Script s;
        std::string error;
        ASSERT_TRUE(panel::parseScript(text, "t.txt", s, error)) << error;
        runner = std::make_unique<ScriptRunner>(model, std::move(s), "", out);
    }

    // Takes every action, processing events after each as the run-time does.
    ScriptRunner::Step runAll() {
        while (true) {
            auto step = runner->step();
            model.dispatch();
            if (step != ScriptRunner::Step::Taken) return step;
        }
    }

    std::string printed() {
        std::fflush(out);
        std::rewind(out);
        std::string text;
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, out))
            text += buffer;
        return text;
    }
};

TEST_F(RunnerTest, OperatorActionsReachTheModel) {
    load(
        "set MAIN.NUM 4,5\nset MAIN.STR \"ёж\"\nselect MAIN.LIST 1\ndblclick MAIN.LIST\n"
        "set MAIN.TAB 1\npress TWO.GO\npress MAIN.OK\nclose MAIN\n");
    EXPECT_EQ(runAll(), ScriptRunner::Step::Exhausted) << runner->error();
    EXPECT_EQ(model.control(main, 3)->number, 4.5);
    EXPECT_EQ(model.control(main, 8)->text, "ёж");
    EXPECT_EQ(model.control(main, 6)->index, 1);
    std::vector<int> commits;
    for (const auto &s : paneltest::seen()) {
        if (s.event == EVENT_COMMIT) commits.push_back(s.panel * 100 + s.control);
    }
    EXPECT_EQ(commits, (std::vector<int>{main * 100 + 3, main * 100 + 8, two * 100 + 2,
                                         main * 100 + 2, main * 100 + 9}));
}

TEST_F(RunnerTest, ExpectationsHoldOrFailWithTheLine) {
    model.setNumber(main, 3, 2.0);
    load(
        "expect MAIN.NUM 2\nexpect MAIN.NUM 2.001\nexpect MAIN.NUM 2.00\n"
        "expect MAIN.STR \"abc\"\nexpect MAIN.MSG \"текст\"\nexpect MAIN.LIST 10\n"
        "expect MAIN.TAB 0\nexpect-title MAIN \"Главная\"\nexpect-visible MAIN\n"
        "expect-visible ONE\nexpect-hidden TWO\nexpect-hidden POP\n"
        "expect MAIN.NUM 3\n");
    EXPECT_EQ(runAll(), ScriptRunner::Step::Failed);
    // 2.001 shows as 2.00 in a two-decimal field: compared as the field would show it.
    EXPECT_EQ(runner->error(), "t.txt:13: MAIN.NUM holds 2.00, expected 3");
}

TEST_F(RunnerTest, EachFailureModeIsReported) {
    struct Case {
        const char *script;
        const char *error;
    };
    const Case cases[] = {
        {"press NOPE.OK\n", "t.txt:1: no panel NOPE"},
        {"set MAIN.NUM abc\n", "t.txt:1: cannot set MAIN.NUM: 'abc' is not a number"},
        {"set MAIN.STR \"123456\"\n",
         "t.txt:1: cannot set MAIN.STR: the field takes at most 5 characters"},
        {"set MAIN.LIST 30\n", "t.txt:1: cannot set MAIN.LIST: no item has the value '30'"},
        {"select MAIN.LIST 7\n", "t.txt:1: cannot select in MAIN.LIST: no such item"},
        {"dblclick MAIN.OK\n",
         "t.txt:1: cannot double-click MAIN.OK: the control cannot be operated that way"},
        {"press TWO.GO\n", "t.txt:1: cannot press TWO.GO: the tab page is not the one shown"},
        {"close POP\n", "t.txt:1: cannot close POP: the panel is not shown"},
        {"expect MAIN.OK 1\n", "t.txt:1: MAIN.OK holds no value"},
        {"expect MAIN.STR \"abd\"\n", "t.txt:1: MAIN.STR holds \"abc\", expected \"abd\""},
        {"expect MAIN.NUM x\n", "t.txt:1: expected value 'x' is not a number"},
        {"expect-title MAIN \"Другая\"\n",
         "t.txt:1: the title of MAIN is \"Главная\", expected \"Другая\""},
        {"expect-visible POP\n", "t.txt:1: POP is hidden, expected visible"},
        {"expect-hidden MAIN\n", "t.txt:1: MAIN is visible, expected hidden"},
        {"expect-message \"m\"\n", "t.txt:1: no message box left to check"},
    };
    for (const auto &c : cases) {
        load(c.script);
        EXPECT_EQ(runAll(), ScriptRunner::Step::Failed) << c.script;
        EXPECT_EQ(runner->error(), c.error) << c.script;
    }
}

TEST_F(RunnerTest, APopupBlocksScriptedInputElsewhere) {
    model.installPopup(pop);
    load("press POP.YES\npress MAIN.OK\n");
    EXPECT_EQ(runAll(), ScriptRunner::Step::Failed);
    EXPECT_EQ(runner->error(),
              "t.txt:2: cannot press MAIN.OK: a pop-up panel is installed and takes all input");
}

TEST_F(RunnerTest, MessagesArePrintedAndCheckedOldestFirst) {
    load("expect-message \"первое\"\nexpect-message \"второе\\nстрока\"\n");
    runner->messageShown("Заголовок", "первое");
    runner->messageShown("Заголовок", "второе\nстрока");
    EXPECT_EQ(runAll(), ScriptRunner::Step::Exhausted) << runner->error();
    EXPECT_NE(printed().find("message \"Заголовок\" \"второе\\nстрока\"\n"), std::string::npos);
}

TEST_F(RunnerTest, FileAnswersComeFromEarlierOrTheNextAction) {
    auto dir = std::filesystem::temp_directory_path();
    auto existing = dir / "panel_script_existing.log";
    std::ofstream(existing) << "x";
    // Forward slashes: a backslash in script text is an escape, and Windows takes either.
    load("file \"" + existing.generic_string() + "\"\nfile cancel\nfile \"" +
         (dir / "panel_script_absent.log").generic_string() + "\"\nexpect MAIN.NUM 1\n");
    ASSERT_EQ(runner->step(), ScriptRunner::Step::Taken);  // first answer queued
    std::string path;
    EXPECT_EQ(runner->answerFileDialog(path), VAL_EXISTING_FILE_SELECTED);
    EXPECT_TRUE(std::filesystem::path(path) == existing) << path;
    // No answer queued: the next action, being a `file`, answers at once.
    EXPECT_EQ(runner->answerFileDialog(path), VAL_NO_FILE_SELECTED);
    EXPECT_EQ(runner->answerFileDialog(path), VAL_NEW_FILE_SELECTED);
    EXPECT_EQ(runner->remaining(), 1u);
    EXPECT_EQ(runner->answerFileDialog(path), UIE_SCRIPT);
    EXPECT_NE(runner->error().find("gives no 'file' answer"), std::string::npos);
    std::filesystem::remove(existing);
}

TEST_F(RunnerTest, DumpPrintsEveryControlWithItsValue) {
    model.insertLines(main, 7, -1, "a\nb");
    model.control(main, 2)->dimmed = true;
    load("dump MAIN\n");
    EXPECT_EQ(runAll(), ScriptRunner::Step::Exhausted);
    std::string text = printed();
    EXPECT_NE(text.find("panel MAIN \"Главная\" visible\n"), std::string::npos) << text;
    EXPECT_NE(text.find("MAIN.OK button dimmed\n"), std::string::npos) << text;
    EXPECT_NE(text.find("MAIN.NUM numeric = 1.00\n"), std::string::npos) << text;
    EXPECT_NE(text.find("MAIN.IND numeric = 7\n"), std::string::npos) << text;
    EXPECT_NE(text.find("MAIN.RING ring = -\n"), std::string::npos) << text;
    EXPECT_NE(text.find("MAIN.LIST listbox = 10 (\"первый\")\n"), std::string::npos) << text;
    EXPECT_NE(text.find("MAIN.BOX textbox = \"a\\nb\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("MAIN.TAB tab = 0\n"), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 12);  // title and 11 controls
}

// Colours: shown where set, and expected as set, text and background apart.
TEST_F(RunnerTest, ColoursAreDumpedAndExpected) {
    model.control(main, 8)->textColor = 0xFF0000;
    load(
        "dump MAIN\nexpect-color MAIN.STR 0xff0000\nexpect-background MAIN.STR 0xFFFFFF\n"
        "expect-color MAIN.NUM 0x0\nexpect-background MAIN.STR 0xC0C0C0\n");
    EXPECT_EQ(runAll(), ScriptRunner::Step::Failed);
    EXPECT_EQ(runner->error(),
              "t.txt:5: the text background of MAIN.STR is 0xFFFFFF, expected 0xC0C0C0");
    const std::string text = printed();
    EXPECT_NE(text.find("MAIN.STR string = \"abc\" text-color 0xFF0000 text-background 0xFFFFFF\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("MAIN.NUM numeric = 1.00\n"), std::string::npos) << text;
    Script s;
    std::string error;
    EXPECT_FALSE(panel::parseScript("expect-color MAIN.STR 0x1000000\n", "s.txt", s, error));
    EXPECT_EQ(error, "s.txt:1: '0x1000000' is not a colour (0xRRGGBB)");
}

// Script texts are UTF-8, and so is the name a view is asked to write, on every system.
TEST_F(RunnerTest, ShotNameReachesTheViewAsTheScriptWroteIt) {
    struct Camera final : panel::View {
        std::string file;
        const char *name() const override { return "camera"; }
        bool interactive() const override { return true; }
        void pump() override {}
        void panelChanged(int, panel::PanelChange) override {}
        void controlChanged(int, int, panel::ControlChange) override {}
        void popupChanged(int, bool) override {}
        void showMessage(const std::string &, const std::string &) override {}
        int selectFile(const panel::FileRequest &, std::string &) override { return 0; }
        bool shot(int, const std::string &name, std::string &) override {
            file = name;
            return true;
        }
    } camera;
    model.setView(&camera);
    Script s;
    std::string error;
    ASSERT_TRUE(panel::parseScript("shot MAIN главная.png\n", "t.txt", s, error)) << error;
    runner = std::make_unique<ScriptRunner>(model, std::move(s), "снимки", out);
    EXPECT_EQ(runAll(), ScriptRunner::Step::Exhausted) << runner->error();
    const std::u8string expected = (std::filesystem::path(u8"снимки") / u8"главная.png").u8string();
    EXPECT_EQ(camera.file, std::string(expected.begin(), expected.end()));
    model.setView(nullptr);
}

TEST_F(RunnerTest, ShotWithoutPicturesIsSkippedNotFailed) {
    panel::HeadlessView view;
    model.setView(&view);
    load("shot MAIN main.png\nexpect MAIN.NUM 1\n");
    EXPECT_EQ(runAll(), ScriptRunner::Step::Exhausted) << runner->error();
    model.setView(nullptr);
}

}  // namespace
