// The resource reader's checks, and the program's own resource against its tables.
#include <algorithm>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "p_trl4.h"
#include "panel/resource.h"

using panel::Control;
using panel::DataType;
using panel::Format;
using panel::Kind;
using panel::Mode;
using panel::PanelSpec;
using panel::Resource;

namespace {

// A panel around the given control lines, so each case shows only what it is about.
std::string withControl(const std::string &body) {
    return "uir 1\n"                     // 1
           "panel A 1\n"                 // 2
           "  title \"a\"\n"             // 3
           "  geometry 0 0 300 200\n"    // 4
           "  control C 2 numeric\n"     // 5
           "    mode hot\n"              // 6
           "    type double\n"           // 7
           "    geometry 10 10 50 20\n"  // 8
           + body +                      // 9 ...
           "  end\n"
           "end\n";
}

struct BadCase {
    const char *name;
    std::string text;
    int line;
    const char *reason;
};

std::vector<BadCase> badCases() {
    return {
        {"empty file", "", 1, "does not start with 'uir 1'"},
        {"wrong version", "uir 2\n", 1, "unknown format version"},
        {"unknown keyword", withControl("    colour 0x000000\n"), 9, "unknown keyword 'colour'"},
        {"field on wrong kind", withControl("    item \"a\" 1\n"), 9, "not allowed on a numeric"},
        {"field twice", withControl("    min 1\n    min 2\n"), 10, "given twice (first on line 9)"},
        {"bad number", withControl("    max 1.2.3\n"), 9, "is not a number"},
        {"quoted number", withControl("    max \"5\"\n"), 9, "must not be quoted"},
        {"limits inverted", withControl("    min 5\n    max 1\n"), 10, "limits inverted"},
        {"value outside limits", withControl("    min 0\n    max 1\n    value 2\n"), 11,
         "outside the limits"},
        {"bad colour", withControl("    text-color red\n"), 9, "0xRRGGBB"},
        {"bad yes/no", withControl("    dimmed maybe\n"), 9, "expected yes or no"},
        {"unclosed text", withControl("    label \"abc\n"), 9, "not closed"},
        {"unknown escape", withControl("    label \"a\\qb\"\n"), 9, "unknown escape"},
        {"bad kind", "uir 1\npanel A 1\n  title \"a\"\n  geometry 0 0 10 10\n  control C 2 knob\n",
         5, "unknown control kind 'knob'"},
        {"bad mode", "uir 1\npanel A 1\n  control C 2 numeric\n    mode warm\n", 4,
         "unknown mode 'warm'"},
        {"text type on numeric", "uir 1\npanel A 1\n  control C 2 numeric\n    type text\n", 4,
         "does not suit"},
        {"control id below 2", "uir 1\npanel A 1\n  control C 1 button\n", 3, "out of range 2.."},
        {"duplicate control id",
         "uir 1\npanel A 1\n  title \"a\"\n  geometry 0 0 100 100\n"
         "  control C 2 button\n    geometry 0 0 5 5\n  end\n  control D 2 button\n",
         8, "duplicate control id 2 (line 5)"},
        {"duplicate control name",
         "uir 1\npanel A 1\n  title \"a\"\n  geometry 0 0 100 100\n"
         "  control C 2 button\n    geometry 0 0 5 5\n  end\n  control C 3 button\n",
         8, "duplicate control name C"},
        {"duplicate resource id",
         "uir 1\npanel A 1\n  title \"a\"\n  geometry 0 0 9 9\nend\npanel B 1\n", 6,
         "duplicate resource id 1"},
        {"duplicate panel name",
         "uir 1\npanel A 1\n  title \"a\"\n  geometry 0 0 9 9\nend\npanel A 2\n", 6,
         "duplicate panel name A"},
        {"missing geometry",
         "uir 1\npanel A 1\n  title \"a\"\n  geometry 0 0 9 9\n  control C 2 button\n  end\nend\n",
         5, "no geometry"},
        {"missing mode",
         "uir 1\npanel A 1\n  title \"a\"\n  geometry 0 0 99 99\n  control C 2 string\n"
         "    geometry 0 0 5 5\n  end\nend\n",
         5, "no mode"},
        {"missing title", "uir 1\npanel A 1\n  geometry 0 0 9 9\nend\n", 2, "no title"},
        {"control outside its panel",
         "uir 1\npanel A 1\n  title \"a\"\n  geometry 0 0 100 50\n  control C 2 button\n"
         "    geometry 40 10 50 20\n  end\nend\n",
         5, "lies outside its panel"},
        {"close control unknown",
         "uir 1\npanel A 1\n  title \"a\"\n  geometry 0 0 9 9\n  close-control X\nend\n", 5,
         "close-control names no control"},
        {"default control unknown",
         "uir 1\npanel A 1\n  title \"a\"\n  geometry 0 0 9 9\n  default-control X\nend\n", 5,
         "default-control names no control"},
        {"unclosed block", "uir 1\npanel A 1\n  title \"a\"\n", 2, "not closed by 'end'"},
        {"end without block", "uir 1\nend\n", 2, "'end' without a block"},
        {"page outside tab", "uir 1\npanel A 1\n  control C 2 button\n    page P 0\n", 4,
         "must sit inside a tab control"},
        {"page out of order", "uir 1\npanel A 1\n  control T 2 tab\n    page P 1\n", 4,
         "out of order"},
        {"tab without pages",
         "uir 1\npanel A 1\n  title \"a\"\n  geometry 0 0 99 99\n  control T 2 tab\n"
         "    mode hot\n    geometry 0 0 50 50\n  end\nend\n",
         5, "has no pages"},
        {"value does not fit the type",
         "uir 1\npanel A 1\n  title \"a\"\n  geometry 0 0 99 99\n  control N 2 numeric\n"
         "    mode hot\n    type ushort\n    value -1\n    geometry 0 0 5 5\n  end\nend\n",
         8, "does not fit the type"},
        {"item value does not fit the type",
         "uir 1\npanel A 1\n  title \"a\"\n  geometry 0 0 99 99\n  control R 2 ring\n"
         "    mode hot\n    type short\n    item \"x\" 1.5\n    geometry 0 0 5 5\n  end\nend\n",
         8, "does not fit the type"},
        {"invalid UTF-8", "uir 1\npanel A 1\n  title \"\xD0\"\n", 3, "not valid UTF-8"},
        {"image path", "uir 1\npanel A 1\n  control P 2 picture\n    image \"../x.png\"\n", 4,
         "not a path"},
    };
}

TEST(ResourceTest, EveryErrorNamesItsLineAndReason) {
    for (const auto &c : badCases()) {
        Resource r;
        std::string error;
        EXPECT_FALSE(panel::parseResource(c.text, "x.uir", r, error)) << c.name;
        std::string where = "x.uir:" + std::to_string(c.line) + ": ";
        EXPECT_EQ(error.rfind(where, 0), 0u) << c.name << ": " << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
        EXPECT_TRUE(r.panels.empty()) << c.name;  // nothing half-read is handed out
    }
}

TEST(ResourceTest, UnknownOrMismatchedCallbacksAreRefusedAtBuildWithTheirLine) {
    const char *text =
        "uir 1\npanel A 1\n  title \"a\"\n  geometry 0 0 99 99\n  callback onClose\n"
        "  control B 2 button\n    callback onPress\n    geometry 0 0 5 5\n  end\nend\n";
    Resource r;
    std::string error;
    ASSERT_TRUE(panel::parseResource(text, "cb.uir", r, error)) << error;
    panel::Model model;
    auto none = [](const std::string &, CtrlCallbackPtr *, PanelCallbackPtr *) { return false; };
    EXPECT_EQ(panel::buildPanel(model, r, 1, 0, none, error), UIE_CALLBACK);
    EXPECT_EQ(error, "cb.uir:5: unknown callback 'onClose'");
    EXPECT_TRUE(model.panelHandles().empty());  // nothing built on failure

    auto swapped = [](const std::string &name, CtrlCallbackPtr *c, PanelCallbackPtr *p) {
        if (name == "onClose") *c = [](int, int, int, void *, int, int) { return 0; };
        if (name == "onPress") *p = [](int, int, void *, int, int) { return 0; };
        return true;
    };
    EXPECT_EQ(panel::buildPanel(model, r, 1, 0, swapped, error), UIE_CALLBACK);
    EXPECT_EQ(error, "cb.uir:5: 'onClose' is a control callback, not a panel callback");
    EXPECT_EQ(panel::buildPanel(model, r, 9, 0, swapped, error), UIE_NO_SUCH_RESOURCE);
}

// ---- The program's resource -----------------------------------------------------------------

class ProgramResource : public ::testing::Test {
  protected:
    static Resource resource;
    static void SetUpTestSuite() {
        std::string error;
        ASSERT_TRUE(panel::loadResourceFile(TRL4_UIR_FILE, resource, error)) << error;
    }

    const PanelSpec &panelNamed(const std::string &name) {
        for (const auto &p : resource.panels) {
            if (p.constant == name) return p;
            for (const auto &c : p.controls) {
                for (const auto &page : c.pages) {
                    if (page.constant == name) return page;
                }
            }
        }
        ADD_FAILURE() << "no panel " << name;
        static PanelSpec none;
        return none;
    }

    const Control &ctrl(const std::string &panelName, const std::string &name) {
        for (const auto &c : panelNamed(panelName).controls) {
            if (c.control.constant == name) return c.control;
        }
        ADD_FAILURE() << "no control " << panelName << "." << name;
        static Control none;
        return none;
    }
};
Resource ProgramResource::resource;

TEST_F(ProgramResource, HoldsEightPanelsTwoPagesAndAHundredAndNineControls) {
    EXPECT_EQ(resource.panels.size(), 8u);
    EXPECT_EQ(resource.controlCount(), 109u);
    struct Expected {
        const char *name;
        int id;
        const char *title;
        int height;
        int width;
        const char *callback;
    };
    const Expected panels[] = {
        {"ABOUT", 1, "О программе", 257, 424, ""},
        {"CHLP", 2, "Поверка", 454, 800, "closePanelCB"},
        {"EXIT_POPUP", 3, "ТРЛ4", 122, 364, "closePanelCB"},
        {"MP", 4, "ТРЛ4", 415, 530, "mpCB"},
        {"ST", 5, "Самоконтроль", 126, 640, ""},
        {"VP", 6, "Измеренное значение", 177, 369, ""},
        {"MI", 7, "Измерительные приборы", 322, 520, ""},
        {"RES", 8, "Результат поверки", 600, 640, ""},
        {"CP", 0, "Калибровка", 245, 390, ""},
        {"PP", 0, "Поверка", 245, 390, ""},
    };
    for (const auto &e : panels) {
        const PanelSpec &p = panelNamed(e.name);
        EXPECT_EQ(p.resourceId, e.id) << e.name;
        EXPECT_EQ(p.title, e.title) << e.name;
        EXPECT_EQ(p.geometry.height, e.height) << e.name;
        EXPECT_EQ(p.geometry.width, e.width) << e.name;
        EXPECT_EQ(p.callbackName, e.callback) << e.name;
    }
    EXPECT_EQ(panelNamed("CP").pageIndex, 0);
    EXPECT_EQ(panelNamed("PP").pageIndex, 1);
}

TEST_F(ProgramResource, IdentifiersMatchTheGeneratedConstants) {
    EXPECT_EQ(uir::ST, 5);
    EXPECT_EQ(uir::ABOUT, 1);
    EXPECT_EQ(uir::PP_PAGE, 1);
    EXPECT_STREQ(uir::kFileName, "p_trl4.uir");
    EXPECT_EQ(ctrl("MP", "TAB").id, MP_TAB);
    EXPECT_EQ(MP_TAB, 3);
    EXPECT_EQ(PP_U_ALL, 12);
    EXPECT_EQ(ctrl("PP", "U_ALL").id, PP_U_ALL);
    EXPECT_EQ(CP_START_U, 4);
    EXPECT_EQ(VP_VAL_1, 5);
    EXPECT_EQ(MP_COMMANDBUTTON, 20);
    EXPECT_EQ(ABOUT_TEXTBOX, 11);
    // Identifiers run from 2 without gaps on every panel and page.
    for (const char *name : {"ABOUT", "CHLP", "EXIT_POPUP", "MP", "ST", "VP", "MI", "CP", "PP"}) {
        const auto &controls = panelNamed(name).controls;
        std::vector<int> ids;
        for (const auto &c : controls)
            ids.push_back(c.control.id);
        std::sort(ids.begin(), ids.end());
        for (std::size_t i = 0; i < ids.size(); ++i) {
            EXPECT_EQ(ids[i], static_cast<int>(i) + 2) << name;
        }
    }
}

TEST_F(ProgramResource, AboutExitAndViewerPanels) {
    EXPECT_EQ(ctrl("ABOUT", "COMMANDBUTTON").label, "Закрыть");  // not the typo
    EXPECT_EQ(ctrl("ABOUT", "COMMANDBUTTON").callbackName, "closePCB");
    EXPECT_EQ(ctrl("ABOUT", "SOFT_VERSION").label, "Версия  программы");
    EXPECT_EQ(ctrl("ABOUT", "DRVR_VERSION").label, "Версия  драйвера");
    EXPECT_EQ(ctrl("ABOUT", "DRVR_VERSION").text, " ");
    EXPECT_EQ(ctrl("ABOUT", "CERT_MSG").text, " ");
    EXPECT_EQ(ctrl("ABOUT", "SOFT_VERSION").text, "");
    EXPECT_EQ(ctrl("ABOUT", "SOFT_VERSION").mode, Mode::Indicator);
    EXPECT_EQ(ctrl("ABOUT", "TEXTBOX").text, "Генератор\nпроизвольных форм\n2 канала");
    EXPECT_EQ(ctrl("ABOUT", "PICTURE_2").image, "picture_2.png");
    EXPECT_EQ(ctrl("ABOUT", "VXI_LOGO").image, "vxi_logo.png");
    EXPECT_EQ(ctrl("CHLP", "LOG").kind, Kind::TextBox);
    EXPECT_EQ(ctrl("CHLP", "LOG").mode, Mode::Indicator);
    EXPECT_EQ(ctrl("CHLP", "LOG").font, "Courier New Cyr");
    EXPECT_EQ(ctrl("CHLP", "LOG").label, "Протокол поверки");
    EXPECT_EQ(ctrl("CHLP", "COMMANDBUTTON_2").callbackName, "closeSp");
    EXPECT_EQ(ctrl("EXIT_POPUP", "EXIT_YES").label, "ДА");
    EXPECT_EQ(ctrl("EXIT_POPUP", "EXIT_NO").callbackName, "exit_no");
    EXPECT_EQ(ctrl("EXIT_POPUP", "TEXTMSG").text, "Завершить работу с мезонином ТРЛ4?");
    // Only the viewer may be resized; Enter answers yes, enters the values, closes About.
    EXPECT_TRUE(panelNamed("CHLP").sizable);
    EXPECT_EQ(panelNamed("EXIT_POPUP").defaultControl, EXIT_POPUP_EXIT_YES);
    EXPECT_EQ(panelNamed("VP").defaultControl, VP_OK_3);
    EXPECT_EQ(panelNamed("ABOUT").defaultControl, ABOUT_COMMANDBUTTON);
}

TEST_F(ProgramResource, MainPanel) {
    EXPECT_EQ(ctrl("MP", "MP_EXIT").label, " Выход ");
    EXPECT_EQ(ctrl("MP", "TEXTMSG_12").text, "Программа проверки ");
    EXPECT_EQ(ctrl("MP", "ERROR_MESSAGE_OK").label, "__OK");
    EXPECT_EQ(ctrl("MP", "ERROR_MESSAGE").textColor, 0xFF0000u);
    EXPECT_EQ(ctrl("MP", "ERROR_MESSAGE").textBackground, 0xC0C0C0u);
    EXPECT_EQ(ctrl("MP", "ERROR_MESSAGE").text, "");
    EXPECT_EQ(ctrl("MP", "ERROR_MESSAGE").label, "");
    for (const char *name : {"S", "K"}) {
        const Control &c = ctrl("MP", name);
        EXPECT_EQ(c.type, DataType::UShort) << name;
        EXPECT_EQ(c.mode, Mode::Indicator) << name;
        EXPECT_EQ(c.number, 1.0) << name;
        EXPECT_EQ(c.min, 0.0) << name;
        EXPECT_EQ(c.max, 65535.0) << name;
    }
    const Control &ring = ctrl("MP", "MEZ_NUM");
    EXPECT_EQ(ring.kind, Kind::Ring);
    EXPECT_EQ(ring.type, DataType::UShort);
    EXPECT_TRUE(ring.items.empty());
    EXPECT_EQ(ring.callbackName, "selMezonin");
    EXPECT_EQ(ctrl("MP", "MEZ_SELECT").callbackName, "selMezonin");
    EXPECT_EQ(ctrl("MP", "CALIBR").callbackName, "displacementCB");
    EXPECT_EQ(ctrl("MP", "COMMANDBUTTON").label, "test");
    EXPECT_EQ(ctrl("MP", "COMMANDBUTTON").callbackName, "test2CB");
    EXPECT_EQ(ctrl("MP", "TEXTMSG_2").text, "ТРЛ4\nГенератор произвольных форм");
}

TEST_F(ProgramResource, CalibrationAndVerificationPages) {
    for (const char *name : {"U1", "U2", "F"}) {
        const Control &c = ctrl("CP", name);
        EXPECT_EQ(panel::formatValue(c), "1.000000E+0") << name;
        EXPECT_EQ(c.mode, Mode::Indicator) << name;
        EXPECT_EQ(c.min, panel::kNoLowerLimit) << name;
        EXPECT_EQ(c.max, panel::kNoUpperLimit) << name;
    }
    EXPECT_EQ(ctrl("CP", "START_U").callbackName, "calibrCB");
    EXPECT_EQ(ctrl("CP", "START_F").callbackName, "calibrCB");
    EXPECT_EQ(ctrl("CP", "RESET_CF").label, "Коэфф.по умолчанию");
    const Control &f2 = ctrl("PP", "F_2");
    EXPECT_EQ(panel::formatValue(f2), "25.00E+3");
    EXPECT_EQ(f2.min, 0.0);
    EXPECT_EQ(f2.max, 96000.0);
    EXPECT_EQ(f2.mode, Mode::Hot);
    EXPECT_EQ(panel::formatValue(ctrl("PP", "U")), "10.00");
    EXPECT_EQ(ctrl("PP", "U").max, panel::kNoUpperLimit);
    EXPECT_EQ(panel::formatValue(ctrl("PP", "F")), "1000");
    EXPECT_EQ(panel::formatValue(ctrl("PP", "U_2")), "1");
    EXPECT_EQ(ctrl("PP", "FILE_NAME").text, "trl4.log");
    EXPECT_EQ(ctrl("PP", "FILE_NAME").maxLength, 259);
    EXPECT_EQ(ctrl("PP", "FILE_NAME").callbackName, "selFName");
    EXPECT_EQ(ctrl("PP", "SET_U_2").callbackName, "povFCB");
    EXPECT_EQ(ctrl("PP", "TEXTMSG_3").text, "Полная\nповерка");
    EXPECT_EQ(ctrl("PP", "TEXTMSG_6").text, "Проверка одного значения");
}

TEST_F(ProgramResource, SelfTestAndMeasuredValuePanels) {
    const Control &result = ctrl("ST", "RESULT");
    EXPECT_EQ(result.type, DataType::Short);
    EXPECT_EQ(result.min, -32768.0);
    EXPECT_EQ(result.max, 32767.0);
    EXPECT_EQ(result.label, "Результат:");
    EXPECT_EQ(ctrl("ST", "MSG").text, "Идёт самоконтроль. Ждите ...");
    EXPECT_TRUE(ctrl("ST", "CLOSE").dimmed);
    EXPECT_EQ(ctrl("ST", "CLOSE").label, "__Закрыть");
    for (const char *name : {"VAL_1", "VAL_2"}) {
        const Control &c = ctrl("VP", name);
        EXPECT_EQ(c.min, 0.0) << name;
        EXPECT_EQ(c.max, panel::kNoUpperLimit) << name;
        EXPECT_EQ(panel::formatValue(c), "0.000000E+0") << name;
        EXPECT_EQ(c.mode, Mode::Hot) << name;
    }
    EXPECT_EQ(ctrl("VP", "OK_3").callbackName, "vpOk");
    EXPECT_EQ(ctrl("VP", "COMMANDBUTTON_2").callbackName, "CancelVP");
    EXPECT_EQ(ctrl("VP", "ED_IZM").text, "В");
}

// Labels of fields sit above them (as the views draw them); keep room for them.
constexpr int kLabelHeight = 18;

struct Box {
    int top, left, bottom, right;
    bool overlaps(const Box &o) const {
        return top < o.bottom && o.top < bottom && left < o.right && o.left < right;
    }
};

TEST_F(ProgramResource, ControlsAndTheirLabelsDoNotOverlap) {
    for (const char *name : {"ABOUT", "CHLP", "EXIT_POPUP", "MP", "ST", "VP", "MI", "CP", "PP"}) {
        const PanelSpec &p = panelNamed(name);
        std::vector<std::pair<std::string, Box>> boxes;
        for (const auto &def : p.controls) {
            const Control &c = def.control;
            if (c.kind == Kind::Decoration || c.kind == Kind::Splitter) continue;  // frames, lines
            const auto &g = c.geometry;
            int top = g.top;
            if (!c.label.empty() && c.kind != Kind::Button && c.kind != Kind::TextMessage &&
                c.kind != Kind::CheckBox) {
                top -= kLabelHeight;
                EXPECT_GE(top, 0) << name << "." << c.constant << ": no room for its label";
            }
            boxes.push_back({c.constant, {top, g.left, g.top + g.height, g.left + g.width}});
        }
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            for (std::size_t j = i + 1; j < boxes.size(); ++j) {
                EXPECT_FALSE(boxes[i].second.overlaps(boxes[j].second))
                    << name << ": " << boxes[i].first << " and " << boxes[j].first;
            }
        }
    }
}

}  // namespace
