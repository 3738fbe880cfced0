// The C-style run-time: start-up options, the program's panels through the API, typed values,
// buffers, dialogs and event processing.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include "p_trl4.h"
#include "panel/model.h"
#include "panel/view.h"
#include "userint.h"

namespace {

// A view that records what the model tells it and hands the test the model.
struct RecordingView : panel::View {
    std::vector<std::string> seen;
    const char *name() const override { return "recording"; }
    bool interactive() const override { return true; }
    void pump() override { ++pumps; }
    void waitAndPump(std::chrono::milliseconds) override {
        ++waits;
        pump();
    }
    void panelChanged(int panel, panel::PanelChange change) override {
        seen.push_back("panel " + std::to_string(panel) + " " +
                       std::to_string(static_cast<int>(change)));
    }
    void controlChanged(int, int, panel::ControlChange) override { ++controlChanges; }
    void popupChanged(int panel, bool installed) override {
        seen.push_back("popup " + std::to_string(panel) + (installed ? " on" : " off"));
    }
    void showMessage(const std::string &title, const std::string &text) override {
        seen.push_back("message " + title + "|" + text);
    }
    int selectFile(const panel::FileRequest &request, std::string &path) override {
        seen.push_back("file " + request.title + "|" + request.defaultFileSpec);
        path = fileAnswer;
        return fileAnswer.empty() ? VAL_NO_FILE_SELECTED : VAL_NEW_FILE_SELECTED;
    }
    bool shot(int, const std::string &, std::string &) override { return true; }
    panel::ScreenSize screen() const override { return {1000, 800}; }

    int pumps = 0;
    int waits = 0;
    int controlChanges = 0;
    std::string fileAnswer;
};

panel::Model *g_model = nullptr;
RecordingView *g_view = nullptr;
std::vector<std::string> g_factoryArgs;

panel::View *recordingFactory(panel::Model &model, int &argc, char **argv) {
    g_model = &model;
    g_factoryArgs.assign(argv, argv + argc);
    g_view = new RecordingView;
    return g_view;
}

panel::View *failingFactory(panel::Model &, int &, char **) {
    return nullptr;
}

int init(std::vector<std::string> args, PanelViewFactory factory = nullptr) {
    std::vector<char *> argv;
    for (auto &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return InitPanelRuntime(static_cast<int>(args.size()), argv.data(), factory);
}

// Callbacks of the program's resource, recording what they receive.
std::vector<std::string> g_calls;

int anyCtrl(int panel, int control, int event, void *, int, int) {
    g_calls.push_back("ctrl " + std::to_string(panel) + "." + std::to_string(control) + " " +
                      std::to_string(event));
    return 0;
}
int anyPanel(int panel, int event, void *, int, int) {
    g_calls.push_back("panel " + std::to_string(panel) + " " + std::to_string(event));
    return 0;
}

void registerProgramCallbacks() {
    static const char *controls[] = {
        "closePCB",       "closeSp",      "exit_yes",      "exit_no",    "selftestCB",
        "selMezonin",     "resetCB",      "mp_exit",       "aboutCB",    "errMessOk",
        "displacementCB", "test2CB",      "resetCf",       "calibrCB",   "readEEPROM",
        "writeEEPROM",    "showLog",      "selFName",      "povFCB",     "povFallCB",
        "povUCB",         "povUallCB",    "vpOk",          "CancelVP",   "vpMeasure",
        "metersCB",       "meterRoleCB",  "closeMetersCB", "resultCB",   "resultMeanCB",
        "resultExportCB", "resultOpenCB", "closeResultCB", "vpReadingCB"};
    std::vector<CallbackTableEntry> table;
    for (const char *name : controls)
        table.push_back({name, anyCtrl, nullptr});
    table.push_back({"closePanelCB", nullptr, anyPanel});
    table.push_back({"mpCB", nullptr, anyPanel});
    ASSERT_EQ(RegisterCallbackTable(table.data(), table.size()), 0);
}

class RuntimeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_calls.clear();
        registerProgramCallbacks();
        ASSERT_EQ(
            init({"prog", "--view", "qt", "--shots", "/tmp", "-style", "x"}, recordingFactory), 0);
    }
    void TearDown() override { ClosePanelRuntime(); }

    int load(int id) { return LoadPanel(0, TRL4_UIR_FILE, id); }
};

TEST(RuntimeStartTest, OptionsAreTakenAndTheRestPassesToTheView) {
    ASSERT_EQ(init({"prog", "-platform", "offscreen", "--view=qt", "--shots", "/tmp/s", "x"},
                   recordingFactory),
              0);
    EXPECT_EQ(g_factoryArgs, (std::vector<std::string>{"prog", "-platform", "offscreen", "x"}));
    EXPECT_EQ(ClosePanelRuntime(), 0);
    EXPECT_EQ(ClosePanelRuntime(), UIE_NOT_INITIALISED);
    EXPECT_EQ(LoadPanel(0, TRL4_UIR_FILE, uir::MP), UIE_NOT_INITIALISED);
}

TEST(RuntimeStartTest, BadOptionsAndMissingViewsAreRefused) {
    EXPECT_EQ(init({"prog", "--view", "curses"}), UIE_BAD_ARGUMENT);
    EXPECT_EQ(init({"prog", "--script"}), UIE_BAD_ARGUMENT);
    EXPECT_EQ(init({"prog", "--shots="}), UIE_BAD_ARGUMENT);
    EXPECT_EQ(init({"prog", "--view", "qt"}), UIE_VIEW);
    EXPECT_EQ(init({"prog", "--view", "win32"}), UIE_VIEW);
    EXPECT_NE(std::string(GetPanelErrorText()).find("not part of this program"), std::string::npos);
    EXPECT_EQ(init({"prog", "--view", "qt"}, failingFactory), UIE_VIEW);
    EXPECT_EQ(init({"prog", "--view", "headless"}, failingFactory), 0);
    EXPECT_EQ(ClosePanelRuntime(), 0);
    EXPECT_EQ(InitPanelRuntime(2, nullptr), UIE_BAD_ARGUMENT);
}

TEST_F(RuntimeTest, LoadsTheProgramPanelsAndTheirPages) {
    int mp = load(uir::MP);
    ASSERT_GT(mp, 0) << GetPanelErrorText();
    int cp = 0;
    int pp = 0;
    ASSERT_EQ(GetPanelHandleFromTabPage(mp, MP_TAB, uir::CP_PAGE, &cp), 0);
    ASSERT_EQ(GetPanelHandleFromTabPage(mp, MP_TAB, uir::PP_PAGE, &pp), 0);
    EXPECT_NE(cp, pp);
    EXPECT_EQ(GetPanelHandleFromTabPage(mp, MP_TAB, 2, &cp), UIE_INDEX);
    EXPECT_EQ(GetPanelHandleFromTabPage(mp, MP_S, 0, &cp), UIE_BAD_CONTROL);
    char text[64];
    ASSERT_EQ(GetCtrlVal(pp, PP_FILE_NAME, text, sizeof text), 0);
    EXPECT_STREQ(text, "trl4.log");
    int parent = 0;
    ASSERT_EQ(GetPanelAttribute(pp, ATTR_PANEL_PARENT, &parent), 0);
    EXPECT_EQ(parent, mp);
    EXPECT_EQ(DiscardPanel(pp), UIE_BAD_ARGUMENT);  // pages go with their panel
    EXPECT_EQ(load(42), UIE_NO_SUCH_RESOURCE);
    EXPECT_EQ(LoadPanel(0, "/nonexistent/p_trl4.uir", uir::MP), UIE_FILE);
    EXPECT_EQ(DiscardPanel(mp), 0);
    EXPECT_EQ(DisplayPanel(pp), UIE_BAD_PANEL);
}

TEST_F(RuntimeTest, ARelativeResourceNameIsFoundBesideTheProgram) {
    // The tests run in their own folder; the build copies the resource next to the programs.
    int mp = LoadPanel(0, uir::kFileName, uir::MP);
    EXPECT_GT(mp, 0) << GetPanelErrorText();
}

TEST_F(RuntimeTest, ARelativeResourceNameIsFoundWhereAnInstalledTreeKeepsIt) {
    // <prefix>/bin/<program> finds its files in <prefix>/share/<program>.
    namespace fs = std::filesystem;
#ifdef _WIN32
    wchar_t module[MAX_PATH];
    const fs::path exe(std::wstring(module, GetModuleFileNameW(nullptr, module, MAX_PATH)));
#else
    const fs::path exe = fs::read_symlink("/proc/self/exe");
#endif
    const fs::path share = exe.parent_path().parent_path() / "share" / exe.filename();
    const fs::path name = "installed_only.uir";
    fs::create_directories(share);
    fs::copy_file(TRL4_UIR_FILE, share / name, fs::copy_options::overwrite_existing);
    const int mp = LoadPanel(0, name.string().c_str(), uir::MP);
    fs::remove_all(share);
    std::error_code ec;
    fs::remove(share.parent_path(), ec);  // only when nothing else is in it
    EXPECT_GT(mp, 0) << GetPanelErrorText();
}

TEST_F(RuntimeTest, ABrokenResourceIsRefusedWithItsLine) {
    auto path = std::filesystem::temp_directory_path() / "panel_runtime_broken.uir";
    std::ofstream(path) << "uir 1\npanel A 1\n  title \"a\"\n  wobble 3\n";
    EXPECT_EQ(LoadPanel(0, path.string().c_str(), 1), UIE_RESOURCE);
    EXPECT_EQ(std::string(GetPanelErrorText()),
              path.string() + ":4: unknown keyword 'wobble' for a panel");
    std::filesystem::remove(path);
}

TEST_F(RuntimeTest, ACallbackNameMustBeRegisteredForItsKind) {
    int si = NewPanel(0, "x", 0, 0, 100, 100);
    EXPECT_EQ(SetPanelAttribute(si, ATTR_CALLBACK_NAME, "nobodyRegisteredThis"), UIE_CALLBACK);
    EXPECT_EQ(SetPanelAttribute(si, ATTR_CALLBACK_NAME, "closePCB"), UIE_CALLBACK);  // control one
    EXPECT_EQ(SetPanelAttribute(si, ATTR_CALLBACK_NAME, "mpCB"), 0);
}

TEST_F(RuntimeTest, ValuesAreTypedAndCheckedAgainstTheControl) {
    int mp = load(uir::MP);
    int st = load(uir::ST);
    unsigned short slot = 0;
    ASSERT_EQ(GetCtrlVal(mp, MP_S, &slot), 0);
    EXPECT_EQ(slot, 1);
    ASSERT_EQ(SetCtrlVal(mp, MP_S, 70000), 0);  // held to the 16-bit type
    ASSERT_EQ(GetCtrlVal(mp, MP_S, &slot), 0);
    EXPECT_EQ(slot, 65535);
    short code = 0;
    ASSERT_EQ(SetCtrlVal(st, ST_RESULT, -12), 0);
    ASSERT_EQ(GetCtrlVal(st, ST_RESULT, &code), 0);
    EXPECT_EQ(code, -12);
    EXPECT_EQ(GetCtrlVal(st, ST_RESULT, &slot), UIE_BAD_VALUE);  // -12 does not fit
    int pp = 0;
    GetPanelHandleFromTabPage(mp, MP_TAB, 1, &pp);
    int asInt = 0;
    EXPECT_EQ(GetCtrlVal(pp, PP_U, &asInt), UIE_BAD_VALUE);  // a double is not read as int
    double u = 0.0;
    ASSERT_EQ(GetCtrlVal(pp, PP_U, &u), 0);
    EXPECT_EQ(u, 10.0);
    EXPECT_EQ(SetCtrlVal(pp, PP_U, "5"), UIE_BAD_VALUE);        // text into a number
    EXPECT_EQ(SetCtrlVal(pp, PP_FILE_NAME, 5), UIE_BAD_VALUE);  // number into text
    EXPECT_EQ(SetCtrlVal(pp, PP_U, std::nan("")), UIE_BAD_VALUE);
    EXPECT_EQ(GetCtrlVal(mp, MP_MEZ_NUM, &slot), UIE_NO_ITEMS);
    EXPECT_EQ(GetCtrlVal(mp, 99, &u), UIE_BAD_CONTROL);
    EXPECT_EQ(GetCtrlVal(9999, MP_S, &u), UIE_BAD_PANEL);
    EXPECT_EQ(GetCtrlVal(mp, MP_S, static_cast<double *>(nullptr)), UIE_BAD_ARGUMENT);
}

TEST_F(RuntimeTest, TextReadsNeverOverrunAndCutWholeCharacters) {
    int st = load(uir::ST);
    char small[8];
    std::memset(small, 'X', sizeof small);
    // "Идёт самоконтроль..." is two bytes per letter: 7 bytes hold three letters.
    EXPECT_EQ(GetCtrlVal(st, ST_MSG, small, sizeof small), UIE_BUFFER_TOO_SMALL);
    EXPECT_STREQ(small, "Идё");
    char one[1];
    EXPECT_EQ(GetCtrlVal(st, ST_MSG, one, sizeof one), UIE_BUFFER_TOO_SMALL);
    EXPECT_EQ(one[0], '\0');
    EXPECT_EQ(GetCtrlVal(st, ST_MSG, one, 0), UIE_BAD_ARGUMENT);
    char label[64];
    ASSERT_EQ(GetCtrlAttribute(st, ST_CLOSE, ATTR_LABEL_TEXT, label, sizeof label), 0);
    EXPECT_STREQ(label, "__Закрыть");
    char title[4];
    EXPECT_EQ(GetPanelAttribute(st, ATTR_TITLE, title, sizeof title), UIE_BUFFER_TOO_SMALL);
    EXPECT_STREQ(title, "С");
}

TEST_F(RuntimeTest, AttributesOfTheStatusLineAndTheMeasuredValueFields) {
    int mp = load(uir::MP);
    int vp = load(uir::VP);
    int colour = 0;
    ASSERT_EQ(GetCtrlAttribute(mp, MP_ERROR_MESSAGE, ATTR_TEXT_COLOR, &colour), 0);
    EXPECT_EQ(colour, VAL_RED);
    ASSERT_EQ(SetCtrlAttribute(mp, MP_ERROR_MESSAGE, ATTR_TEXT_COLOR, VAL_WHITE), 0);
    ASSERT_EQ(GetCtrlAttribute(mp, MP_ERROR_MESSAGE, ATTR_TEXT_COLOR, &colour), 0);
    EXPECT_EQ(colour, VAL_WHITE);
    EXPECT_EQ(SetCtrlAttribute(mp, MP_ERROR_MESSAGE, ATTR_TEXT_COLOR, 0x1000000), UIE_BAD_VALUE);
    SetCtrlVal(mp, MP_ERROR_MESSAGE, "ошибка");
    ASSERT_EQ(DefaultCtrl(mp, MP_ERROR_MESSAGE), 0);
    char text[16];
    ASSERT_EQ(GetCtrlVal(mp, MP_ERROR_MESSAGE, text, sizeof text), 0);
    EXPECT_STREQ(text, "");
    // New limits take the value with them.
    SetCtrlVal(vp, VP_VAL_1, 50.0);
    ASSERT_EQ(SetCtrlAttribute(vp, VP_VAL_1, ATTR_MAX_VALUE, 12.5), 0);
    ASSERT_EQ(SetCtrlAttribute(vp, VP_VAL_1, ATTR_MIN_VALUE, 2), 0);  // int overload
    double v = 0.0;
    ASSERT_EQ(GetCtrlVal(vp, VP_VAL_1, &v), 0);
    EXPECT_EQ(v, 12.5);
    double limit = 0.0;
    ASSERT_EQ(GetCtrlAttribute(vp, VP_VAL_1, ATTR_MIN_VALUE, &limit), 0);
    EXPECT_EQ(limit, 2.0);
    ASSERT_EQ(SetCtrlAttribute(vp, VP_VAL_2, ATTR_VISIBLE, 0), 0);
    int visible = 1;
    ASSERT_EQ(GetCtrlAttribute(vp, VP_VAL_2, ATTR_VISIBLE, &visible), 0);
    EXPECT_EQ(visible, 0);
    EXPECT_EQ(SetCtrlAttribute(vp, VP_VAL_1, ATTR_INCR_VALUE, -1.0), UIE_BAD_VALUE);
    EXPECT_EQ(SetCtrlAttribute(vp, VP_OK_3, ATTR_MIN_VALUE, 1.0), UIE_BAD_ATTRIBUTE);
    EXPECT_EQ(SetCtrlAttribute(vp, VP_VAL_1, ATTR_DATA_TYPE, VAL_INTEGER), UIE_BAD_ATTRIBUTE);
    ASSERT_EQ(SetPanelAttribute(mp, ATTR_TITLE, "ТРЛ4 крейт 1"), 0);
    char title[32];
    ASSERT_EQ(GetPanelAttribute(mp, ATTR_TITLE, title, sizeof title), 0);
    EXPECT_STREQ(title, "ТРЛ4 крейт 1");
}

TEST_F(RuntimeTest, TheProtocolViewerScrollsToItsLastLine) {
    int chlp = load(uir::CHLP);
    for (int i = 0; i < 30; ++i) {
        ASSERT_EQ(InsertTextBoxLine(chlp, CHLP_LOG, -1, "строка\nещё одна"), 0);
    }
    int lines = 0;
    int visible = 0;
    ASSERT_EQ(GetNumTextBoxLines(chlp, CHLP_LOG, &lines), 0);
    EXPECT_EQ(lines, 60);
    ASSERT_EQ(GetCtrlAttribute(chlp, CHLP_LOG, ATTR_VISIBLE_LINES, &visible), 0);
    EXPECT_GT(visible, 10);
    ASSERT_EQ(SetCtrlAttribute(chlp, CHLP_LOG, ATTR_FIRST_VISIBLE_LINE, lines - visible), 0);
    int first = 0;
    ASSERT_EQ(GetCtrlAttribute(chlp, CHLP_LOG, ATTR_FIRST_VISIBLE_LINE, &first), 0);
    EXPECT_EQ(first, lines - visible);
    // Following the panel's size changes the visible line count.
    SetCtrlAttribute(chlp, CHLP_LOG, ATTR_HEIGHT, 100);
    ASSERT_EQ(GetCtrlAttribute(chlp, CHLP_LOG, ATTR_VISIBLE_LINES, &visible), 0);
    EXPECT_EQ(visible, 6);
    EXPECT_EQ(InsertTextBoxLine(chlp, CHLP_COMMANDBUTTON_2, -1, "x"), UIE_BAD_CONTROL);
}

TEST_F(RuntimeTest, TheSelectionDialogBuiltInCode) {
    int si = NewPanel(0, "Выбор инструмента", 21, 44, 335, 517);
    ASSERT_GT(si, 0);
    int ok = NewCtrl(si, CTRL_COMMAND_BUTTON, "Выбрать", 41, 408);
    int cancel = NewCtrl(si, CTRL_COMMAND_BUTTON, "Отмена", 84, 408);
    int list = NewCtrl(si, CTRL_LIST_BOX, "", 3, 14);
    ASSERT_GT(ok, 1);
    EXPECT_EQ(cancel, ok + 1);
    EXPECT_EQ(list, cancel + 1);
    ASSERT_EQ(SetPanelAttribute(si, ATTR_CONSTANT_NAME, "SI"), 0);
    ASSERT_EQ(SetCtrlAttribute(si, list, ATTR_CONSTANT_NAME, "LIST"), 0);
    EXPECT_EQ(SetCtrlAttribute(si, ok, ATTR_CONSTANT_NAME, "LIST"), UIE_BAD_VALUE);  // taken
    EXPECT_EQ(SetPanelAttribute(si, ATTR_CONSTANT_NAME, "not a name"), UIE_BAD_VALUE);
    ASSERT_EQ(SetPanelAttribute(si, ATTR_CLOSE_CTRL, cancel), 0);
    ASSERT_EQ(SetCtrlAttribute(si, list, ATTR_TEXT_BGCOLOR, VAL_WHITE), 0);
    ASSERT_EQ(SetPanelAttribute(si, ATTR_CENTER, 1), 0);
    int top = 0;
    int left = 0;
    GetPanelAttribute(si, ATTR_TOP, &top);
    GetPanelAttribute(si, ATTR_LEFT, &left);
    EXPECT_EQ(top, (800 - 335) / 2);
    EXPECT_EQ(left, (1000 - 517) / 2);
    ASSERT_EQ(InsertListItem(si, list, -1, "VXI0::1  ЗЕЛКОРТЕХ", 3), 0);
    ASSERT_EQ(InsertListItem(si, list, -1, "USB0::2", 7), 0);
    EXPECT_EQ(InsertListItem(si, list, -1, "x", "text"), UIE_BAD_VALUE);  // an int list
    int count = 0;
    ASSERT_EQ(GetNumListItems(si, list, &count), 0);
    EXPECT_EQ(count, 2);
    int value = -1;
    ASSERT_EQ(GetCtrlVal(si, list, &value), 0);
    EXPECT_EQ(value, 3);  // the first line is highlighted
    ASSERT_EQ(SetCtrlIndex(si, list, 1), 0);
    ASSERT_EQ(GetCtrlVal(si, list, &value), 0);
    EXPECT_EQ(value, 7);
    ASSERT_EQ(ClearListCtrl(si, list), 0);
    EXPECT_EQ(GetCtrlVal(si, list, &value), UIE_NO_ITEMS);
    EXPECT_EQ(NewCtrl(si, CTRL_TAB, "", 0, 0), UIE_BAD_ARGUMENT);
    EXPECT_EQ(g_model->findPanel("SI"), si);
}

TEST_F(RuntimeTest, CallbacksRunInsideProcessSystemEvents) {
    int mp = load(uir::MP);
    DisplayPanel(mp);
    ASSERT_EQ(g_model->operatorCommit(mp, MP_MP_EXIT), panel::Input::Accepted);
    EXPECT_TRUE(g_calls.empty());  // nothing runs until events are processed
    int pumpsBefore = g_view->pumps;
    ASSERT_EQ(ProcessSystemEvents(), 0);
    EXPECT_GT(g_view->pumps, pumpsBefore);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0], "ctrl " + std::to_string(mp) + "." + std::to_string(MP_MP_EXIT) + " " +
                              std::to_string(EVENT_COMMIT));
}

TEST(RuntimeIdleTest, OnlyAPollWithNothingToDoWaitsInTheView) {
    g_calls.clear();
    registerProgramCallbacks();
    const auto script = std::filesystem::temp_directory_path() / "trl4_idle_wait.op";
    std::ofstream(script) << "expect-visible MP\nexpect-visible MP\npress MP.MP_EXIT\n";
    ASSERT_EQ(init({"prog", "--view", "qt", "--script", script.string()}, recordingFactory), 0);
    const int mp = LoadPanel(0, TRL4_UIR_FILE, uir::MP);
    DisplayPanel(mp);
    // Script actions come one per pass, without waiting.
    for (int i = 0; i < 3; ++i)
        ProcessSystemEvents();
    EXPECT_EQ(g_view->waits, 0);
    EXPECT_EQ(g_calls.size(), 1u);
    // Input already queued runs at once; then a poll with nothing to do waits in the view.
    g_model->operatorCommit(mp, MP_MP_EXIT);
    ProcessSystemEvents();
    EXPECT_EQ(g_view->waits, 0);
    EXPECT_EQ(g_calls.size(), 2u);
    for (int i = 0; i < 100 && g_view->waits == 0; ++i)
        ProcessSystemEvents();
    EXPECT_GT(g_view->waits, 0);
    EXPECT_EQ(ClosePanelRuntime(), 0);
    std::filesystem::remove(script);
}

int g_vpResult = 0;
int g_nestedDepth = 0;
int waitingCallback(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    if (control == VP_OK_3) {
        g_vpResult = 1;
        RemovePopup(0);
        return 0;
    }
    // The measured-value wait: install the pop-up and process events until it is answered.
    InstallPopup(panel);
    ++g_nestedDepth;
    while (g_vpResult == 0) {
        if (g_nestedDepth == 1 && g_model) g_model->operatorCommit(panel, VP_OK_3);
        ProcessSystemEvents();
    }
    return 0;
}

TEST_F(RuntimeTest, AWaitForTheOperatorProcessesEventsInsideACallback) {
    int vp = load(uir::VP);
    g_vpResult = 0;
    g_nestedDepth = 0;
    SetCtrlAttribute(vp, VP_OK_3, ATTR_CALLBACK_FUNCTION_POINTER, waitingCallback);
    SetCtrlAttribute(vp, VP_COMMANDBUTTON_2, ATTR_CALLBACK_FUNCTION_POINTER, waitingCallback);
    DisplayPanel(vp);
    g_model->operatorCommit(vp, VP_COMMANDBUTTON_2);
    ASSERT_EQ(ProcessSystemEvents(), 0);
    EXPECT_EQ(g_vpResult, 1);
    EXPECT_TRUE(g_model->popups().empty());
    EXPECT_EQ(RemovePopup(0), UIE_POPUP);
    auto popupNotes = std::count_if(g_view->seen.begin(), g_view->seen.end(),
                                    [](auto &s) { return s.rfind("popup", 0) == 0; });
    EXPECT_EQ(popupNotes, 2);  // installed, removed
}

TEST_F(RuntimeTest, DialogsGoToAnInteractiveView) {
    ASSERT_EQ(MessagePopup("ВНИМАНИЕ!", "строка 1\nстрока 2"), 0);
    EXPECT_EQ(g_view->seen.back(), "message ВНИМАНИЕ!|строка 1\nстрока 2");
    char path[16];
    g_view->fileAnswer = "/tmp/trl4.log";
    EXPECT_EQ(FileSelectPopup("", "*.log", "*.log", "Файл протокола", "OK", 0, 0, 1, 1, path,
                              sizeof path),
              VAL_NEW_FILE_SELECTED);
    EXPECT_STREQ(path, "/tmp/trl4.log");
    EXPECT_EQ(g_view->seen.back(), "file Файл протокола|*.log");
    g_view->fileAnswer = "/a/path/longer/than/the/buffer.log";
    EXPECT_EQ(FileSelectPopup("", "*.log", "*.log", "t", "OK", 0, 0, 1, 1, path, sizeof path),
              UIE_BUFFER_TOO_SMALL);
    EXPECT_STREQ(path, "");  // no partial path that could name another file
    g_view->fileAnswer.clear();
    EXPECT_EQ(FileSelectPopup("", "*.log", "*.log", "t", "OK", 0, 0, 1, 1, path, sizeof path),
              VAL_NO_FILE_SELECTED);
    EXPECT_EQ(FileSelectPopup("", "", "", "t", "OK", 0, 0, 1, 1, nullptr, 10), UIE_BAD_ARGUMENT);
}

TEST(RuntimeHeadlessTest, MessageBoxesArePrintedAndFileDialogsCancelled) {
    ASSERT_EQ(init({"prog", "--view", "headless"}), 0);
    testing::internal::CaptureStdout();
    MessagePopup("Приборная панель", "Инструмент не найден.\nДемо \"режим\"");
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "message \"Приборная панель\" \"Инструмент не найден.\\nДемо \\\"режим\\\"\"\n");
    char path[64] = "junk";
    EXPECT_EQ(FileSelectPopup("", "*.log", "*.log", "t", "OK", 0, 0, 1, 1, path, sizeof path),
              VAL_NO_FILE_SELECTED);
    EXPECT_STREQ(path, "");
    EXPECT_EQ(Delay(std::nan("")), 0);
    EXPECT_EQ(Delay(-5.0), 0);
    ClosePanelRuntime();
}

TEST(RuntimeStatusTest, EveryStatusHasAText) {
    for (int status = 0; status >= UIE_OUT_OF_MEMORY; --status) {
        EXPECT_STRNE(GetPanelStatusText(status), "unknown status") << status;
    }
    EXPECT_STREQ(GetPanelStatusText(-999), "unknown status");
}

}  // namespace
