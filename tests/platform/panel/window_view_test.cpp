// The window views' core with a toolkit that only writes down what it is asked to do: which
// model change updates what, when panels and pages are built, owners and modality, and which
// input reaches the model.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "panel/window_view.h"
#include "test_panels.h"

namespace {

using panel::Control;
using panel::Panel;

class ToolkitLog final : public panel::WindowView {
  public:
    explicit ToolkitLog(panel::Model &model) : WindowView(model) {
        model.setView(this);
        showExisting();
    }
    ~ToolkitLog() override { detach(); }

    using WindowView::inputCommit;
    using WindowView::inputEscape;
    using WindowView::inputSelect;
    using WindowView::inputText;
    using WindowView::mainPanel;

    std::vector<std::string> calls;
    std::map<int, bool> takesInput;
    std::function<void()> whileShowingValue;
    std::string pictureError;

    bool called(const std::string &call) const {
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }

    const char *name() const override { return "log"; }
    bool interactive() const override { return false; }
    void pump() override {}
    void showMessage(const std::string &, const std::string &) override {}
    int selectFile(const panel::FileRequest &, std::string &) override { return 0; }

  private:
    std::map<int, std::string> names_;

    // "what PANEL.CONTROL more"
    bool note(const std::string &what, int panel, int control = 0, const std::string &more = "") {
        const Control *c = model().control(panel, control);
        const std::string name = names_.count(panel) != 0 ? names_.at(panel) : "?";
        calls.push_back(what + " " + name + (c ? "." + c->constant : "") + more);
        return true;
    }

    bool createPanel(int handle, const Panel &model) override {
        names_[handle] = model.constant;
        return note("panel", handle);
    }
    bool createControl(int panel, const Control &c) override { return note("build", panel, c.id); }
    void destroyControl(int, int) override {}
    void dropWindows(int handle, const std::vector<int> &gone) override {
        note("drop", handle, 0, " with " + std::to_string(gone.size()));
    }
    void ownerGone(int handle) override { note("alone", handle); }
    void paintPanel(int, const Panel &) override {}
    void placeInner(int, const Panel &) override {}
    void placeWindow(int handle, const Panel &, const panel::WindowPlacement &place) override {
        const std::string owner = names_.count(place.owner) != 0 ? names_.at(place.owner) : "?";
        note("window", handle, 0, " owner " + owner + (place.modal ? " modal" : ""));
    }
    void showWindow(int, const Panel &) override {}
    void takeInput(int handle, bool takes) override { takesInput[handle] = takes; }
    void showLook(const Panel &owner, const Control &c) override {
        note("look", owner.handle, c.id);
    }
    void showItems(int panel, const Control &c) override { note("items", panel, c.id); }
    void showValue(int panel, const Control &c, const std::string &text) override {
        note("value", panel, c.id, " " + text);
        if (whileShowingValue) whileShowingValue();
    }
    void showLines(int panel, const Control &c, std::size_t kept) override {
        note("lines", panel, c.id, " kept " + std::to_string(kept));
    }
    void showPages(int, const Control &, const std::vector<int> &) override {}
    void frontPage(int panel, const Control &tab, const std::vector<int> &, bool) override {
        note("front", panel, tab.id, " " + std::to_string(tab.index));
    }
    void refuseInput(int panel, int control, const std::string &reason) override {
        note("refuse", panel, control, " " + reason);
    }
    void beep() override { calls.push_back("beep"); }
    bool picture(int panel, const std::filesystem::path &, std::string &error) override {
        note("picture", panel);
        error = pictureError;
        return pictureError.empty();
    }
};

class WindowViewTest : public paneltest::PanelsTest {
  protected:
    std::unique_ptr<ToolkitLog> view;

    void SetUp() override {
        PanelsTest::SetUp();
        view = std::make_unique<ToolkitLog>(model);
    }
    // The callbacks the model runs for what went in.
    std::vector<int> delivered() {
        model.dispatch();
        return events();
    }
};

TEST_F(WindowViewTest, HiddenPanelsAndBackPagesAreBuiltWhenFirstNeeded) {
    EXPECT_TRUE(view->called("build ONE.GO"));
    EXPECT_FALSE(view->called("build TWO.GO"));
    EXPECT_FALSE(view->called("panel POP"));

    view->inputSelect(main, 12, 1);
    EXPECT_TRUE(view->called("build TWO.GO"));
    EXPECT_TRUE(view->called("front MAIN.TAB 1"));

    model.showPanel(pop, true);
    EXPECT_TRUE(view->called("build POP.YES"));
    EXPECT_TRUE(view->called("window POP owner MAIN"));
}

TEST_F(WindowViewTest, EachModelChangeUpdatesOnlyWhatItConcerns) {
    view->calls.clear();
    model.setNumber(main, 3, 5);
    EXPECT_EQ(view->calls, (std::vector<std::string>{"value MAIN.NUM 5.00"}));

    view->calls.clear();
    model.insertItem(main, 5, -1, panel::Item{"новый", 1, ""});
    EXPECT_EQ(view->calls, (std::vector<std::string>{"items MAIN.RING", "value MAIN.RING "}));

    view->calls.clear();
    model.insertLines(main, 7, -1, "первая");
    model.insertLines(main, 7, -1, "вторая");
    model.insertLines(main, 7, 0, "нулевая");
    EXPECT_EQ(view->calls,
              (std::vector<std::string>{"lines MAIN.BOX kept 0", "lines MAIN.BOX kept 1",
                                        "lines MAIN.BOX kept 0"}));

    view->calls.clear();
    model.setControlAttribute(main, 3, ATTR_DIMMED, 1);
    EXPECT_EQ(view->calls,
              (std::vector<std::string>{"look MAIN.NUM", "items MAIN.NUM", "value MAIN.NUM 5.00"}));
}

TEST_F(WindowViewTest, EntryReachesTheModelOnlyWhenTheOperatorChangedIt) {
    view->inputText(main, 3, "1.00");  // what the field shows already
    view->inputText(main, 4, "9");     // an indicator
    EXPECT_TRUE(delivered().empty());

    view->inputText(main, 3, "2");
    EXPECT_EQ(delivered(), (std::vector<int>{EVENT_VAL_CHANGED, EVENT_COMMIT}));
    EXPECT_EQ(view->calls.back(), "value MAIN.NUM 2.00");

    view->inputText(main, 3, "два");
    view->inputText(main, 8, "шестьсим");
    EXPECT_TRUE(view->called("refuse MAIN.NUM Введите число"));
    EXPECT_TRUE(view->called("refuse MAIN.STR Не более 5 симв."));
}

TEST_F(WindowViewTest, WhatTheViewsOwnUpdatesReportIsNotInput) {
    view->whileShowingValue = [&] {
        view->inputCommit(main, 2);
        view->inputSelect(main, 6, 1);
    };
    model.setNumber(main, 3, 4);
    // Nor is a highlight that stays where it was, or none at all.
    view->inputSelect(main, 6, model.control(main, 6)->index);
    view->inputSelect(main, 6, -1);
    EXPECT_TRUE(delivered().empty());
}

TEST_F(WindowViewTest, PopupAloneTakesInputAndOwnedWindowsOutliveTheMainOne) {
    model.showPanel(pop, true);
    model.installPopup(pop);
    EXPECT_TRUE(view->called("window POP owner MAIN modal"));
    EXPECT_EQ(view->takesInput, (std::map<int, bool>{{main, false}, {pop, true}}));

    // Esc leaves an owned window only; the main window stays.
    view->inputEscape(main);
    EXPECT_FALSE(model.pending());
    view->inputEscape(pop);
    EXPECT_TRUE(model.pending());

    model.removePopup();
    EXPECT_EQ(view->takesInput, (std::map<int, bool>{{main, true}, {pop, true}}));
    model.showPanel(pop, true);
    model.discardPanel(main);
    EXPECT_TRUE(view->called("drop MAIN with 1"));
    EXPECT_TRUE(view->called("alone POP"));
    EXPECT_EQ(view->mainPanel(), 0);
}

TEST_F(WindowViewTest, ShotBuildsThePanelItPicturesAndNamesWhatFailed) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "window_view_test_shots";
    std::filesystem::remove_all(folder);
    const std::string file = (folder / "pop" / "pop.png").string();
    std::string error;
    ASSERT_TRUE(view->shot(pop, file, error)) << error;
    EXPECT_TRUE(view->called("build POP.YES"));
    EXPECT_TRUE(view->called("picture POP"));
    EXPECT_TRUE(std::filesystem::is_directory(folder / "pop"));

    EXPECT_FALSE(view->shot(999, file, error));
    EXPECT_EQ(error, "no panel with handle 999");
    view->pictureError = "disk full";
    EXPECT_FALSE(view->shot(pop, file, error));
    EXPECT_EQ(error, "cannot write the picture " + file + ": disk full");
    std::filesystem::remove_all(folder);
}

}  // namespace
