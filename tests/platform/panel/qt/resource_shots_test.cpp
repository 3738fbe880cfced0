// Every panel of the program's real resource, loaded through the run-time with the Qt view
// and photographed. The pictures land in shots/ under the test's working folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QSet>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "p_trl4.h"
#include "panel/qt_view.h"
#include "qt_test_app.h"
#include "qt_view_impl.h"
#include "userint.h"

namespace {

trl4::panelqt::QtView *g_view = nullptr;

panel::View *makeView(panel::Model &model, int &argc, char **argv) {
    panel::View *view = panel::createQtView(model, argc, argv);
    g_view = dynamic_cast<trl4::panelqt::QtView *>(view);
    return view;
}

int ignoreControl(int, int, int, void *, int, int) {
    return 0;
}
int ignorePanel(int, int, void *, int, int) {
    return 0;
}

// The resource binds callbacks by name; the test binds every name it finds to a callback
// of the right kind that does nothing.
std::vector<std::string> g_names;
std::vector<CallbackTableEntry> g_table;

void registerResourceCallbacks(const std::string &file) {
    std::ifstream in(file);
    ASSERT_TRUE(in) << file;
    std::vector<std::string> blocks;
    std::vector<std::pair<std::string, bool>> found;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string keyword;
        words >> keyword;
        if (keyword == "panel" || keyword == "page" || keyword == "control") {
            blocks.push_back(keyword);
        } else if (keyword == "end" && !blocks.empty()) {
            blocks.pop_back();
        } else if (keyword == "callback" && !blocks.empty()) {
            std::string name;
            words >> name;
            found.emplace_back(name, blocks.back() != "control");
        }
    }
    ASSERT_FALSE(found.empty());
    g_names.clear();
    g_table.clear();
    g_names.reserve(found.size());
    for (const auto &[name, isPanel] : found) {
        g_names.push_back(name);
        g_table.push_back({g_names.back().c_str(), isPanel ? nullptr : &ignoreControl,
                           isPanel ? &ignorePanel : nullptr});
    }
    ASSERT_EQ(RegisterCallbackTable(g_table.data(), g_table.size()), 0);
}

// Distinct colours in a picture: a blank or half-drawn panel has very few.
int colours(const QImage &image) {
    QSet<QRgb> seen;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2)
            seen.insert(image.pixel(x, y));
    }
    return static_cast<int>(seen.size());
}

class RealResource : public ::testing::Test {
  protected:
    void SetUp() override {
        trl4::panelqt::test::app();
        registerResourceCallbacks(
            QDir(QCoreApplication::applicationDirPath()).filePath(uir::kFileName).toStdString());
        static char name[] = "panel_qt_test";
        static char view[] = "--view";
        static char qt[] = "qt";
        static char *argv[] = {name, view, qt, nullptr};
        g_view = nullptr;
        ASSERT_EQ(InitPanelRuntime(3, argv, &makeView), 0) << GetPanelErrorText();
        ASSERT_NE(g_view, nullptr);
        ASSERT_TRUE(QDir().mkpath(QStringLiteral("shots")));
    }
    void TearDown() override { ClosePanelRuntime(); }

    // Photographs a panel and checks the picture is there, whole and drawn.
    void photograph(int handle, const char *name, int width, int height) {
        const std::string file = QDir(QStringLiteral("shots"))
                                     .absoluteFilePath(QString::fromLatin1(name) + ".png")
                                     .toStdString();
        std::string error;
        ASSERT_TRUE(g_view->shot(handle, file, error)) << name << ": " << error;
        const QImage picture(QString::fromStdString(file));
        ASSERT_FALSE(picture.isNull()) << name;
        const QSize drawn = g_view->surface(handle)->size();
        EXPECT_EQ(picture.size(), drawn) << name;
        if (width > 0) {
            EXPECT_EQ(drawn, QSize(width, height)) << name;
        }
        EXPECT_GT(colours(picture), 8) << name;
    }
};

TEST_F(RealResource, EveryPanelAndPageIsPhotographedWhole) {
    struct Expected {
        int id;
        const char *name;
        int width;
        int height;
    };
    const Expected panels[] = {{uir::ABOUT, "ABOUT", 424, 257},
                               {uir::CHLP, "CHLP", 800, 454},
                               {uir::EXIT_POPUP, "EXIT_POPUP", 364, 122},
                               {uir::MP, "MP", 530, 415},
                               {uir::ST, "ST", 640, 126},
                               {uir::VP, "VP", 369, 177}};
    int mp = 0;
    int about = 0;
    int chlp = 0;
    for (const auto &p : panels) {
        const int handle = LoadPanel(0, uir::kFileName, p.id);
        ASSERT_GT(handle, 0) << p.name << ": " << GetPanelErrorText();
        photograph(handle, p.name, p.width, p.height);
        if (p.id == uir::MP) mp = handle;
        if (p.id == uir::ABOUT) about = handle;
        if (p.id == uir::CHLP) chlp = handle;
    }
    // Both emblems were found beside the program, on both panels that show them.
    for (int handle : {about, mp}) {
        for (int id : {handle == about ? ABOUT_PICTURE_2 : MP_PICTURE_2,
                       handle == about ? ABOUT_VXI_LOGO : MP_VXI_LOGO}) {
            auto *picture = qobject_cast<trl4::panelqt::PictureBox *>(g_view->body(handle, id));
            ASSERT_NE(picture, nullptr);
            EXPECT_TRUE(picture->hasImage()) << "control " << id;
        }
    }

    // The tab pages, each as the tab shows it.
    const char *pageNames[] = {"CP", "PP"};
    for (int index = 0; index < 2; ++index) {
        int page = 0;
        ASSERT_EQ(GetPanelHandleFromTabPage(mp, MP_TAB, index, &page), 0);
        ASSERT_EQ(DisplayPanel(page), 0);
        const QWidget *surface = g_view->surface(page);
        ASSERT_NE(surface, nullptr);
        // A page is as large as its tab makes it; inside the model's page size.
        photograph(page, pageNames[index], -1, -1);
        EXPECT_LE(surface->width(), 390);
        EXPECT_LE(surface->height(), 245);
        EXPECT_GT(surface->width(), 300);
    }
    // The main panel once more with something in every field the program writes.
    SetCtrlVal(mp, MP_ERROR_MESSAGE, "Ошибка: нет связи с мезонином (-1074001152)");
    SetCtrlAttribute(mp, MP_ERROR_MESSAGE, ATTR_TEXT_COLOR, VAL_RED);
    InsertListItem(mp, MP_MEZ_NUM, -1, "1", 1);
    InsertListItem(mp, MP_MEZ_NUM, -1, "3", 3);
    SetPanelAttribute(mp, ATTR_TITLE, "ТРЛ4   крейт 0, слот 5");
    photograph(mp, "MP_filled", 530, 415);
    // The protocol's columns line up in the monospaced face.
    InsertTextBoxLine(chlp, CHLP_LOG, -1, "Канал 1   Uном, В   Uизм, В   Погр., %   Допуск, %");
    InsertTextBoxLine(chlp, CHLP_LOG, -1, "          10.000    10.012     0.12       1.00   норма");
    InsertTextBoxLine(chlp, CHLP_LOG, -1,
                      "           0.010     0.013    30.00       5.00   НЕ НОРМА");
    photograph(chlp, "CHLP_filled", 800, 454);
}

}  // namespace
