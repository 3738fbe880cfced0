// The kind and attribute tables: every row must hold for every kind it names, since the
// run-time, the resource reader and the views all take them at their word.
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "panel/attributes.h"
#include "panel/kinds.h"
#include "panel/model.h"

namespace {

using panel::AttrType;
using panel::AttrValue;

TEST(KindTableTest, KeywordsAndCodesFindTheirOwnRow) {
    std::set<std::string> keywords;
    for (const auto &kind : panel::kinds()) {
        EXPECT_TRUE(keywords.insert(kind.keyword).second) << kind.keyword;
        EXPECT_EQ(panel::kindByKeyword(kind.keyword), &kind);
        EXPECT_EQ(panel::kindByApi(kind.api), &kind);
        // What a kind holds must be something a resource can give or a list provides.
        EXPECT_TRUE(!kind.valueLine || kind.holdsValue) << kind.keyword;
        EXPECT_TRUE(!kind.hasItems || kind.hasIndex) << kind.keyword;
        EXPECT_TRUE(kind.modes != panel::ModeRule::HotOrIndicator || kind.operable) << kind.keyword;
    }
    EXPECT_EQ(panel::kindByKeyword("knob"), nullptr);
    EXPECT_EQ(panel::kindByApi(0), nullptr);
}

// One panel holding a control of every kind, ids from 2 in table order.
struct EveryKind : testing::Test {
    panel::Model model;
    int handle = 0;

    void SetUp() override {
        panel::Panel p;
        p.geometry = {0, 0, 400, 300};
        int id = 2;
        for (const auto &kind : panel::kinds()) {
            panel::Control c;
            c.id = id++;
            c.kind = kind.kind;
            c.type = kind.newType;
            c.geometry = {0, 0, 50, 50};
            p.controls.push_back(c);
        }
        handle = model.addPanel(std::move(p));
    }
    static int idOf(const panel::KindInfo &kind) { return 2 + static_cast<int>(kind.kind); }
};

TEST_F(EveryKind, EveryAttributeAnswersWhereTheTableSaysItApplies) {
    for (const auto &a : panel::attributes()) {
        AttrValue value;
        int status = model.getPanelAttribute(handle, a.id, a.type, value);
        bool readable = a.access != panel::Access::WriteOnly;
        EXPECT_EQ(status, a.onPanels && readable ? 0 : UIE_BAD_ATTRIBUTE) << a.name << " panel";
        for (const auto &kind : panel::kinds()) {
            status = model.getControlAttribute(handle, idOf(kind), a.id, a.type, value);
            bool applies = panel::appliesTo(a, model.control(handle, idOf(kind)));
            EXPECT_EQ(status, applies && readable ? 0 : UIE_BAD_ATTRIBUTE)
                << a.name << " on " << kind.keyword;
            if (status == 0) {
                EXPECT_EQ(static_cast<AttrType>(value.index()), a.type) << a.name;
            }
        }
    }
}

TEST_F(EveryKind, ReadOnlyAttributesRefuseWritesAndKeepTheirValue) {
    for (const auto &a : panel::attributes()) {
        if (a.access != panel::Access::ReadOnly) continue;
        for (const auto &kind : panel::kinds()) {
            if (!panel::appliesTo(a, model.control(handle, idOf(kind)))) continue;
            AttrValue before, after;
            ASSERT_EQ(model.getControlAttribute(handle, idOf(kind), a.id, a.type, before), 0);
            EXPECT_EQ(model.setControlAttribute(handle, idOf(kind), a.id, AttrValue{77}),
                      UIE_BAD_ATTRIBUTE)
                << a.name;
            ASSERT_EQ(model.getControlAttribute(handle, idOf(kind), a.id, a.type, after), 0);
            EXPECT_EQ(before, after) << a.name;
        }
    }
    EXPECT_EQ(model.setPanelAttribute(handle, ATTR_RESOURCE_ID, AttrValue{5}), UIE_BAD_ATTRIBUTE);
}

TEST_F(EveryKind, KindAttributeAndAnUnknownIdFollowTheTables) {
    for (const auto &kind : panel::kinds()) {
        AttrValue value;
        ASSERT_EQ(
            model.getControlAttribute(handle, idOf(kind), ATTR_CTRL_KIND, AttrType::Int, value), 0);
        EXPECT_EQ(std::get<int>(value), kind.api);
    }
    AttrValue value;
    EXPECT_EQ(model.getControlAttribute(handle, 2, 9999, AttrType::Int, value), UIE_BAD_ATTRIBUTE);
    EXPECT_EQ(model.setControlAttribute(handle, 2, 9999, AttrValue{1}), UIE_BAD_ATTRIBUTE);
}

}  // namespace
