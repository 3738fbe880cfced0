// The program's panels in process, seen by a view that plays the operator: whenever the
// measured-value pop-up is up, the test's answer is given to it. With a private folder, state
// folder and built-in bench, and a session to one of its mezzanines; calibration and
// verification tests drive the callbacks through it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "kspbase.h"
#include "ksptrl4_32.h"
#include "p_trl4.h"
#include "panel/view.h"
#include "trl4/app.h"
#include "trl4/app_callbacks.h"
#include "trl4/app_state.h"
#include "trl4sim/bench.h"
#include "userint.h"

class OperatorView final : public panel::View {
  public:
    explicit OperatorView(panel::Model &model) : model_(model) {}
    const char *name() const override { return "operator"; }
    bool interactive() const override { return true; }
    void pump() override {
        const auto &popups = model_.popups();
        if (!popups.empty() && popups.back() == VP && answer) answer(model_);
    }
    void panelChanged(int, panel::PanelChange) override {}
    void controlChanged(int, int, panel::ControlChange) override {}
    void popupChanged(int panel, bool installed) override {
        if (panel == VP && popup) popup(installed);
    }
    void showMessage(const std::string &, const std::string &) override {}
    int selectFile(const panel::FileRequest &, std::string &path) override {
        path = chosenFile;
        return chosenFile.empty() ? VAL_NO_FILE_SELECTED : VAL_NEW_FILE_SELECTED;
    }
    bool shot(int, const std::string &, std::string &) override { return false; }

    // Called on each pass of the event loop while VP is the pop-up on top.
    std::function<void(panel::Model &)> answer;
    // Told when VP is installed or removed.
    std::function<void(bool installed)> popup;
    // The file dialog's answer; empty: cancelled.
    std::string chosenFile;

  private:
    panel::Model &model_;
};

class FrontPanel : public ::testing::Test {
  protected:
    static OperatorView *&view() {
        static OperatorView *instance = nullptr;
        return instance;
    }

    static void SetUpTestSuite() {
        static char arg0[] = "front_panel_test";
        static char arg1[] = "--view";
        static char arg2[] = "qt";
        static char *argv[] = {arg0, arg1, arg2, nullptr};
        const PanelViewFactory factory = [](panel::Model &model, int &, char **) -> panel::View * {
            view() = new OperatorView(model);
            return view();
        };
        ASSERT_EQ(InitPanelRuntime(3, argv, factory), 0);
        ASSERT_EQ(RegisterAppCallbacks(), 0);
        ASSERT_TRUE(LoadAppPanels()) << GetPanelErrorText();
    }

    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "trl4-panel-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        setenv("TRL4_STATE_DIR", (dir / "state").c_str(), 1);
        unsetenv("TRL4_BENCH");
        unsetenv("TRL4_DRIVER_TRACE");
        ASSERT_TRUE(trl4sim::reloadFromEnvironment());
        DefaultCtrl(MP, MP_ERROR_MESSAGE);
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
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    // A session to a mezzanine of the built-in bench, as the session opening leaves it.
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

    static void commitFileName(const std::string &name) {
        SetCtrlVal(PP, PP_FILE_NAME, name.c_str());
        selFName(PP, PP_FILE_NAME, EVENT_COMMIT, nullptr, 0, 0);
    }
    // Lets the event loop run until no pop-up is up (the operator view answers them).
    static void runEvents(int passes = 50) {
        for (int i = 0; i < passes; ++i)
            ProcessSystemEvents();
    }

    static std::string statusLine() {
        char text[1024] = "";
        GetCtrlVal(MP, MP_ERROR_MESSAGE, text, sizeof text);
        return text;
    }
    static int statusColour() {
        int colour = -1;
        GetCtrlAttribute(MP, MP_ERROR_MESSAGE, ATTR_TEXT_COLOR, &colour);
        return colour;
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
