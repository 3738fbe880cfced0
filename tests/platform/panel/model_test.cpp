// The model's rules for operator input, program writes and events.
#include <cmath>

#include <gtest/gtest.h>

#include "panel/model.h"
#include "test_panels.h"

using panel::Input;
using paneltest::PanelsTest;
using paneltest::seen;

namespace {

using ModelTest = PanelsTest;

TEST_F(ModelTest, OnlyTheInstalledPopupTakesInput) {
    ASSERT_EQ(model.installPopup(pop), 0);
    EXPECT_EQ(model.operatorCommit(main, 2), Input::BlockedByPopup);
    EXPECT_EQ(model.operatorSetText(main, 3, "5", true), Input::BlockedByPopup);
    EXPECT_EQ(model.operatorClose(main), Input::BlockedByPopup);
    EXPECT_EQ(model.operatorCommit(one, 2), Input::BlockedByPopup);  // pages of the blocked panel
    EXPECT_EQ(model.operatorCommit(pop, 2), Input::Accepted);
    EXPECT_EQ(model.control(main, 3)->number, 1.0);  // the refused set changed nothing
    EXPECT_EQ(model.installPopup(pop), UIE_POPUP);   // not twice
    ASSERT_EQ(model.removePopup(), 0);
    EXPECT_FALSE(model.panel(pop)->visible);
    EXPECT_EQ(model.operatorCommit(main, 2), Input::Accepted);
    EXPECT_EQ(model.removePopup(), UIE_POPUP);
}

TEST_F(ModelTest, HidingAPopupReleasesTheOtherPanels) {
    ASSERT_EQ(model.installPopup(pop), 0);
    model.showPanel(pop, false);
    EXPECT_TRUE(model.popups().empty());
    EXPECT_EQ(model.operatorCommit(main, 2), Input::Accepted);
}

TEST_F(ModelTest, HiddenPanelsAndHiddenPagesTakeNoInput) {
    EXPECT_EQ(model.operatorCommit(pop, 2), Input::PanelHidden);
    EXPECT_EQ(model.operatorCommit(one, 2), Input::Accepted);
    EXPECT_EQ(model.operatorCommit(two, 2), Input::PageNotShown);
    EXPECT_EQ(model.operatorSetText(main, 12, "1", true), Input::Accepted);
    EXPECT_EQ(model.operatorCommit(two, 2), Input::Accepted);
    EXPECT_EQ(model.operatorCommit(one, 2), Input::PageNotShown);
    EXPECT_EQ(model.operatorSelect(main, 12, 5), Input::NoSuchItem);
    model.showPanel(main, false);
    EXPECT_EQ(model.operatorCommit(two, 2), Input::PanelHidden);
}

TEST_F(ModelTest, IndicatorsDimmedHiddenAndStaticControlsRefuseInput) {
    EXPECT_EQ(model.operatorSetText(main, 4, "3", true), Input::Indicator);
    EXPECT_EQ(model.control(main, 4)->number, 7.0);
    EXPECT_EQ(model.operatorCommit(main, 10), Input::NotOperable);
    model.control(main, 2)->dimmed = true;
    EXPECT_EQ(model.operatorCommit(main, 2), Input::Dimmed);
    model.control(main, 9)->visible = false;
    EXPECT_EQ(model.operatorCommit(main, 9), Input::ControlHidden);
    EXPECT_EQ(model.operatorCommit(main, 99), Input::NoSuchControl);
    EXPECT_EQ(model.operatorCommit(12345, 2), Input::NoSuchPanel);
    model.dispatch();
    EXPECT_TRUE(seen().empty());
}

TEST_F(ModelTest, TypedNumbersClampToTheLimitsAndTheType) {
    EXPECT_EQ(model.operatorSetText(main, 3, "15", true), Input::Accepted);
    EXPECT_EQ(model.control(main, 3)->number, 10.0);
    EXPECT_EQ(model.operatorSetText(main, 3, "-3", true), Input::Accepted);
    EXPECT_EQ(model.control(main, 3)->number, 0.0);
    std::string why;
    EXPECT_EQ(model.operatorSetText(main, 3, "пять", true, &why), Input::BadValue);
    EXPECT_NE(why.find("not a number"), std::string::npos);
    EXPECT_EQ(model.control(main, 3)->number, 0.0);
    // A signed 16-bit field rounds and stays within its type.
    EXPECT_EQ(model.operatorSetText(main, 11, "2.6", true), Input::Accepted);
    EXPECT_EQ(model.control(main, 11)->number, 3.0);
    EXPECT_EQ(model.operatorSetText(main, 11, "1e9", true), Input::Accepted);
    EXPECT_EQ(model.control(main, 11)->number, 32767.0);
    // Program writes obey the same limits; NaN is refused outright.
    EXPECT_EQ(model.setNumber(main, 4, 70000.0), 0);
    EXPECT_EQ(model.control(main, 4)->number, 65535.0);
    EXPECT_EQ(model.setNumber(main, 4, -1.0), 0);
    EXPECT_EQ(model.control(main, 4)->number, 0.0);
    EXPECT_EQ(model.setNumber(main, 4, std::nan("")), UIE_BAD_VALUE);
}

TEST_F(ModelTest, AFieldThatKeepsValuesBeyondItsLimitsTakesThemAsTyped) {
    EXPECT_EQ(model.setControlAttribute(main, 3, ATTR_CHECK_RANGE, VAL_IGNORE), 0);
    panel::AttrValue mode;
    ASSERT_EQ(model.getControlAttribute(main, 3, ATTR_CHECK_RANGE, panel::AttrType::Int, mode), 0);
    EXPECT_EQ(std::get<int>(mode), VAL_IGNORE);
    EXPECT_EQ(model.operatorSetText(main, 3, "15", true), Input::Accepted);
    EXPECT_EQ(model.control(main, 3)->number, 15.0);
    EXPECT_EQ(model.operatorSetText(main, 3, "-3", true), Input::Accepted);
    EXPECT_EQ(model.control(main, 3)->number, -3.0);
    // New limits leave the value alone; the data type's range still holds.
    EXPECT_EQ(model.setControlAttribute(main, 3, ATTR_MAX_VALUE, 1.0), 0);
    EXPECT_EQ(model.control(main, 3)->number, -3.0);
    EXPECT_EQ(model.setControlAttribute(main, 11, ATTR_CHECK_RANGE, VAL_IGNORE), 0);
    EXPECT_EQ(model.operatorSetText(main, 11, "1e9", true), Input::Accepted);
    EXPECT_EQ(model.control(main, 11)->number, 32767.0);
    // Coercing again brings the value held within the limits at once.
    EXPECT_EQ(model.setControlAttribute(main, 3, ATTR_CHECK_RANGE, VAL_COERCE), 0);
    EXPECT_EQ(model.control(main, 3)->number, 0.0);
    EXPECT_EQ(model.setControlAttribute(main, 3, ATTR_CHECK_RANGE, 7), UIE_BAD_VALUE);
    EXPECT_EQ(model.setControlAttribute(main, 8, ATTR_CHECK_RANGE, VAL_IGNORE), UIE_BAD_ATTRIBUTE);
}

TEST_F(ModelTest, TypedTextBeyondTheFieldLengthIsRefusedWhole) {
    std::string why;
    EXPECT_EQ(model.operatorSetText(main, 8, "абвгде", true, &why), Input::TooLong);
    EXPECT_EQ(model.control(main, 8)->text, "abc");
    EXPECT_NE(why.find("5 characters"), std::string::npos);
    EXPECT_EQ(model.operatorSetText(main, 8, "абвгд", true), Input::Accepted);  // 5 characters
    // A program write is cut to whole characters instead.
    EXPECT_EQ(model.setText(main, 8, "ёжиками"), 0);
    EXPECT_EQ(model.control(main, 8)->text, "ёжика");
}

TEST_F(ModelTest, SetQueuesValueChangedThenCommit) {
    ASSERT_EQ(model.operatorSetText(main, 3, "4", true), Input::Accepted);
    EXPECT_EQ(model.dispatch(), 2);
    EXPECT_EQ(events(), (std::vector<int>{EVENT_VAL_CHANGED, EVENT_COMMIT}));
    seen().clear();
    ASSERT_EQ(model.operatorSetText(main, 3, "5", false), Input::Accepted);
    model.dispatch();
    EXPECT_EQ(events(), (std::vector<int>{EVENT_VAL_CHANGED}));
}

TEST_F(ModelTest, ResetRestoresInitialValuesButKeepsItemsAndAttributes) {
    model.setNumber(main, 3, 9.0);
    model.setText(main, 8, "xyz");
    model.insertItem(main, 5, -1, {"1", 1.0, {}});
    model.insertItem(main, 5, -1, {"2", 2.0, {}});
    model.setIndex(main, 5, 1);
    model.control(main, 2)->dimmed = true;
    model.insertLines(main, 7, -1, "строка");
    ASSERT_EQ(model.resetPanel(main), 0);
    EXPECT_EQ(model.control(main, 3)->number, 1.0);
    EXPECT_EQ(model.control(main, 8)->text, "abc");
    EXPECT_EQ(model.control(main, 5)->items.size(), 2u);
    EXPECT_EQ(model.control(main, 5)->index, 0);
    EXPECT_TRUE(model.control(main, 2)->dimmed);
    EXPECT_TRUE(model.control(main, 7)->lines.empty());
    EXPECT_EQ(model.resetControl(main, 99), UIE_BAD_CONTROL);
}

TEST_F(ModelTest, TextBoxGrowsByLinesAndScrollsWithinThem) {
    const panel::Control &box = *model.control(main, 7);
    EXPECT_EQ(panel::Model::visibleLines(box), 4);
    ASSERT_EQ(model.insertLines(main, 7, -1, "a\nb\r\nc"), 0);
    ASSERT_EQ(model.insertLines(main, 7, -1, ""), 0);
    EXPECT_EQ(box.lines, (std::vector<std::string>{"a", "b", "c", ""}));
    ASSERT_EQ(model.insertLines(main, 7, 0, "first"), 0);
    EXPECT_EQ(box.lines.front(), "first");
    EXPECT_EQ(model.insertLines(main, 7, 9, "x"), UIE_INDEX);
    EXPECT_EQ(model.insertLines(main, 7, -2, "x"), UIE_INDEX);
    model.setFirstVisibleLine(main, 7, 3);
    EXPECT_EQ(box.firstVisibleLine, 3);
    model.setFirstVisibleLine(main, 7, 100);
    EXPECT_EQ(box.firstVisibleLine, 4);
    model.setFirstVisibleLine(main, 7, -5);
    EXPECT_EQ(box.firstVisibleLine, 0);
    // Scrolling is not input to the value: an indicator box scrolls.
    EXPECT_EQ(model.operatorScroll(main, 7, 2), Input::Accepted);
    EXPECT_EQ(box.firstVisibleLine, 2);
}

TEST_F(ModelTest, RingItemsKeepTheHighlightedItemAcrossInsertions) {
    const panel::Control &ring = *model.control(main, 5);
    EXPECT_EQ(ring.index, -1);
    EXPECT_EQ(model.operatorCommit(main, 5), Input::NoSuchItem);  // an empty ring has no value
    model.insertItem(main, 5, -1, {"2", 2.0, {}});
    EXPECT_EQ(ring.index, 0);
    model.insertItem(main, 5, 0, {"1", 1.0, {}});
    EXPECT_EQ(ring.index, 1);  // still item "2"
    EXPECT_EQ(model.insertItem(main, 5, 5, {"x", 9.0, {}}), UIE_INDEX);
    EXPECT_EQ(model.setNumber(main, 5, 1.0), 0);
    EXPECT_EQ(ring.index, 0);
    EXPECT_EQ(model.setNumber(main, 5, 3.0), UIE_BAD_VALUE);
    std::string why;
    EXPECT_EQ(model.operatorSetText(main, 5, "4", true, &why), Input::NoSuchItem);
    EXPECT_NE(why.find("no item"), std::string::npos);
    EXPECT_EQ(model.operatorSelect(main, 5, 1), Input::Accepted);
    model.dispatch();
    EXPECT_EQ(events(), (std::vector<int>{EVENT_VAL_CHANGED, EVENT_COMMIT}));
    model.clearItems(main, 5);
    EXPECT_EQ(ring.index, -1);
    EXPECT_EQ(model.setIndex(main, 5, 0), UIE_NO_ITEMS);
}

TEST_F(ModelTest, ListSelectHighlightsAndDoubleClickNamesTheItem) {
    EXPECT_EQ(model.operatorSelect(main, 6, 1), Input::Accepted);
    EXPECT_EQ(model.operatorDoubleClick(main, 6), Input::Accepted);
    EXPECT_EQ(model.operatorDoubleClick(main, 2), Input::NotOperable);
    EXPECT_EQ(model.operatorSelect(main, 6, 2), Input::NoSuchItem);
    model.dispatch();
    ASSERT_EQ(seen().size(), 2u);
    EXPECT_EQ(seen()[0].event, EVENT_LEFT_CLICK);  // no commit on a highlight
    EXPECT_EQ(seen()[1].event, EVENT_LEFT_DOUBLE_CLICK);
    EXPECT_EQ(seen()[1].data1, 1);
    model.clearItems(main, 6);
    EXPECT_EQ(model.operatorDoubleClick(main, 6), Input::NoSuchItem);
}

TEST_F(ModelTest, CloseBoxSendsCloseAndThePressOfAnEnabledCloseControl) {
    EXPECT_EQ(model.operatorClose(main), Input::Accepted);
    model.dispatch();
    ASSERT_EQ(seen().size(), 2u);
    EXPECT_EQ(seen()[0].control, 0);
    EXPECT_EQ(seen()[0].event, EVENT_CLOSE);
    EXPECT_EQ(seen()[1].control, 9);
    EXPECT_EQ(seen()[1].event, EVENT_COMMIT);
    seen().clear();
    model.control(main, 9)->dimmed = true;
    model.operatorClose(main);
    model.dispatch();
    EXPECT_EQ(events(), (std::vector<int>{EVENT_CLOSE}));
    EXPECT_EQ(model.operatorClose(one), Input::NotOperable);  // a page has no close box
}

TEST_F(ModelTest, ResizeSetsTheSizeAndTellsThePanel) {
    EXPECT_EQ(model.operatorResize(main, 0, 10), Input::BadValue);
    EXPECT_EQ(model.operatorResize(main, 640, 480), Input::Accepted);
    EXPECT_EQ(model.panel(main)->geometry.width, 640);
    EXPECT_EQ(model.panel(main)->geometry.height, 480);
    model.dispatch();
    EXPECT_EQ(events(), (std::vector<int>{EVENT_PANEL_SIZE}));
}

// Discards the panel from inside its own control's callback.
int g_discardTarget = 0;
panel::Model *g_model = nullptr;
int discardingCallback(int panel, int control, int event, void *, int, int) {
    paneltest::seen().push_back({panel, control, event, 0});
    if (event == EVENT_COMMIT) g_model->discardPanel(g_discardTarget);
    return 0;
}

TEST_F(ModelTest, DiscardInsideTheOwnCallbackIsSafeAndDropsLaterEvents) {
    g_model = &model;
    g_discardTarget = main;
    model.control(main, 2)->callback = discardingCallback;
    model.operatorCommit(main, 2);
    model.operatorSetText(main, 3, "2", true);  // queued behind the discard
    model.dispatch();
    EXPECT_EQ(model.panel(main), nullptr);
    EXPECT_EQ(model.panel(one), nullptr);  // its pages went with it
    EXPECT_EQ(model.panel(two), nullptr);
    // Every control with a callback heard of the discard; nothing reached a discarded panel.
    int discards = 0;
    for (const auto &s : seen()) {
        if (s.event == EVENT_DISCARD) ++discards;
        EXPECT_NE(s.event, EVENT_VAL_CHANGED);
    }
    EXPECT_GE(discards, 7);
    EXPECT_EQ(model.discardPanel(main), UIE_BAD_PANEL);
    EXPECT_EQ(model.findPanel("MAIN"), 0);
}

// Runs nested dispatch from a callback, as a wait for the operator does.
int nestedCallback(int panel, int control, int event, void *, int, int) {
    paneltest::seen().push_back({panel, control, event, 0});
    if (event == EVENT_COMMIT && control == 2) g_model->dispatch();
    return 0;
}

TEST_F(ModelTest, NestedDispatchKeepsEventOrder) {
    g_model = &model;
    model.control(main, 2)->callback = nestedCallback;
    model.operatorCommit(main, 2);
    model.operatorCommit(main, 9);
    model.operatorCommit(one, 2);
    EXPECT_EQ(model.dispatch(), 1);  // the other two ran inside the first callback
    ASSERT_EQ(seen().size(), 3u);
    EXPECT_EQ(seen()[0].control, 2);
    EXPECT_EQ(seen()[1].control, 9);
    EXPECT_EQ(seen()[2].panel, one);
    EXPECT_FALSE(model.pending());
}

TEST_F(ModelTest, FindPanelPrefersTheOneThatCanBeSeen) {
    std::string error;
    int second = panel::buildPanel(model, resource, 2, 0, paneltest::lookup, error);
    ASSERT_GT(second, pop);
    EXPECT_EQ(model.findPanel("POP"), second);  // neither shown: the newest
    model.showPanel(pop, true);
    EXPECT_EQ(model.findPanel("POP"), pop);
    EXPECT_EQ(model.findPanel("ONE"), one);
    EXPECT_EQ(model.findPanel("NONE"), 0);
}

TEST(ControlTest, DoubleUnderscoreLabelsShowTheTextAndGiveAShortcut) {
    panel::Control c;
    c.label = "__OK";
    EXPECT_EQ(c.displayLabel(), "OK");
    EXPECT_EQ(c.shortcut(), U'O');
    c.label = "__Закрыть";
    EXPECT_EQ(c.displayLabel(), "Закрыть");
    EXPECT_EQ(c.shortcut(), U'З');
    c.label = " Выход ";
    EXPECT_EQ(c.displayLabel(), " Выход ");
    EXPECT_EQ(c.shortcut(), U'\0');
    c.label = "__";
    EXPECT_EQ(c.shortcut(), U'\0');
}

}  // namespace

namespace {

// A check box holds 0 or 1: what the operator sets is clamped and committed like a number.
TEST(CheckBoxTest, ToggledValueIsZeroOrOneAndCommits) {
    panel::Resource resource;
    std::string error;
    ASSERT_TRUE(
        panel::parseResource("uir 1\npanel A 1\n  title \"a\"\n  geometry 0 0 200 100\n"
                             "  control AUTO 2 checkbox\n    mode hot\n    label \"x\"\n"
                             "    value 1\n    geometry 10 10 80 20\n  end\nend\n",
                             "c.uir", resource, error))
        << error;
    panel::Model model;
    const int a = panel::buildPanel(model, resource, 1, 0, paneltest::lookup, error);
    ASSERT_GT(a, 0) << error;
    model.showPanel(a, true);
    EXPECT_EQ(model.control(a, 2)->number, 1.0);
    EXPECT_EQ(model.operatorSetText(a, 2, "0", true), Input::Accepted);
    EXPECT_EQ(model.control(a, 2)->number, 0.0);
    EXPECT_EQ(model.operatorSetNumber(a, 2, 5, true), Input::Accepted);
    EXPECT_EQ(model.control(a, 2)->number, 1.0);
    EXPECT_EQ(model.resetControl(a, 2), 0);
    EXPECT_EQ(model.control(a, 2)->number, 1.0);
    EXPECT_FALSE(
        panel::parseResource("uir 1\npanel A 1\n  title \"a\"\n  geometry 0 0 200 100\n"
                             "  control AUTO 2 checkbox\n    mode hot\n    value 2\n"
                             "    geometry 10 10 80 20\n  end\nend\n",
                             "c.uir", resource, error));
    EXPECT_NE(error.find("c.uir:7: value 2 is outside the limits"), std::string::npos) << error;
}

}  // namespace
