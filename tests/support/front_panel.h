// The program's panels in process under a view that plays the operator, with a private folder,
// state folder and the built-in bench, and a session to one of its mezzanines.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "kspbase.h"
#include "ksptrl4_32.h"
#include "p_trl4.h"
#include "panel/view.h"
#include "scratch.h"
#include "trl4/app.h"
#include "trl4/app_state.h"
#include "trl4/callbacks.h"
#include "trl4sim/bench.h"
#include "userint.h"

class OperatorView final : public panel::View {
  public:
    explicit OperatorView(panel::Model &m) : model(m) {}
    const char *name() const override { return "operator"; }
    bool interactive() const override { return true; }
    void pump() override {
        if (answer && !model.popups().empty() && model.popups().back() == VP) answer(model);
    }
    void panelChanged(int, panel::PanelChange) override {}
    void controlChanged(int, int, panel::ControlChange) override {}
    void popupChanged(int panel, bool shown) override {
        if (panel == VP && popup) popup(shown);
    }
    void showMessage(const std::string &, const std::string &) override {}
    int selectFile(const panel::FileRequest &, std::string &path) override {
        path = chosenFile;
        return path.empty() ? VAL_NO_FILE_SELECTED : VAL_NEW_FILE_SELECTED;
    }
    bool shot(int, const std::string &, std::string &) override { return false; }

    panel::Model &model;
    std::function<void(panel::Model &)> answer;  // each pass of events while VP is up
    std::function<void(bool shown)> popup;       // VP installed or removed
    std::string chosenFile;                      // the file dialog's answer; empty: cancel
};

class FrontPanel : public ::testing::Test {
  protected:
    static OperatorView *&view() {
        static OperatorView *instance = nullptr;
        return instance;
    }
    static void SetUpTestSuite() {
        static char arg0[] = "test", arg1[] = "--view", arg2[] = "qt";
        static char *argv[] = {arg0, arg1, arg2, nullptr};
        ASSERT_EQ(InitPanelRuntime(3, argv,
                                   [](panel::Model &m, int &, char **) -> panel::View * {
                                       return view() = new OperatorView(m);
                                   }),
                  0);
        ASSERT_EQ(RegisterAppCallbacks(), 0);
        ASSERT_TRUE(LoadAppPanels()) << GetPanelErrorText();
    }
    void SetUp() override {
        dir = trl4::test::freshTempDir("trl4-");
        trl4::test::setEnv("TRL4_STATE_DIR", dir / "state");
        trl4::test::setEnv("TRL4_BENCH", nullptr);
        ASSERT_TRUE(trl4sim::reloadFromEnvironment());
        ShowStatusLine("", kStatusWhite);
        ResetTextBox(CHLP, CHLP_LOG, "");
        view()->answer = nullptr;
        view()->popup = nullptr;
        view()->chosenFile.clear();
        crateAddr = slotNum = mezNum = 0;
        calibrMode = measKind = 0;
        logSection = -1;
    }
    void TearDown() override {
        while (RemovePopup(0) == 0) {
        }
        commitFileName("");
        closeSession();
        std::filesystem::remove_all(dir);
    }

    static void openSession(const char *resource = "VXI0::24::INSTR", uint16_t position = 1) {
        ASSERT_EQ(kspbase_init(resource, 1, 1, &carrierSession), 0);
        ASSERT_EQ(ksptrl4_init(resource, 1, 1, &generatorSession), 0);
        ASSERT_EQ(ksptrl4_connect(generatorSession, carrierSession, position, 1, 1), 0);
        ASSERT_EQ(ksptrl4_get_attribute(generatorSession, KSPTRL4_ATTR_COEFF_BLOCK, &coeffRec), 0);
        mezNum = position;
    }
    static void closeSession() {
        if (generatorSession != 0) ksptrl4_close(generatorSession);
        if (carrierSession != 0) kspbase_close(carrierSession);
        generatorSession = carrierSession = 0;
        coeffRec = nullptr;
    }
    static void commit(CtrlCallbackPtr callback, int panel, int control) {
        callback(panel, control, EVENT_COMMIT, nullptr, 0, 0);
    }
    static void commitFileName(const std::string &name) {
        SetCtrlVal(PP, PP_FILE_NAME, name.c_str());
        commit(selFName, PP, PP_FILE_NAME);
    }
    static void runEvents(int passes = 50) {
        for (int i = 0; i < passes; ++i)
            ProcessSystemEvents();
    }
    static std::string statusLine() {
        char text[1024] = "";
        GetCtrlVal(MP, MP_ERROR_MESSAGE, text, sizeof text);
        return text;
    }
    static bool statusRed() {
        int colour = -1;
        GetCtrlAttribute(MP, MP_ERROR_MESSAGE, ATTR_TEXT_COLOR, &colour);
        return colour == kStatusRed;
    }
    static std::string viewer() {
        std::string text(1 << 16, '\0');
        GetCtrlVal(CHLP, CHLP_LOG, text.data(), text.size());
        return text.c_str();
    }
    static std::string read(const std::filesystem::path &file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static std::size_t count(const std::string &text, const std::string &what) {
        std::size_t n = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    }

    std::filesystem::path dir;
};
