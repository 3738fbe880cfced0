// The Qt view against a model built in the test: widgets follow the model, and operator
// input reaches the model only as the model allows.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QWindow>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "../test_panels.h"
#include "panel/model.h"
#include "qt_test_app.h"
#include "qt_view_impl.h"

using panel::Control;
using panel::ControlChange;
using panel::DataType;
using panel::Format;
using panel::Kind;
using panel::Mode;
using panel::PanelChange;
using paneltest::Seen;
using trl4::panelqt::EntryField;
using trl4::panelqt::LineBox;
using trl4::panelqt::PanelSurface;
using trl4::panelqt::PictureBox;
using trl4::panelqt::QtView;

namespace {

Control make(Kind kind, int id, const char *constant, int top, int left, int width, int height,
             Mode mode = Mode::None, DataType type = DataType::None) {
    Control c;
    c.kind = kind;
    c.id = id;
    c.constant = constant;
    c.geometry = {top, left, width, height};
    c.mode = mode;
    c.type = type;
    c.callback = &paneltest::recordCtrl;
    return c;
}

Control numeric(int id, const char *constant, Mode mode, double value, Format format, int precision,
                int top) {
    Control c = make(Kind::Numeric, id, constant, top, 20, 110, 22, mode, DataType::Double);
    c.number = c.defaultNumber = value;
    c.format = format;
    c.precision = precision;
    return c;
}

enum Ids {
    OK = 2,
    F_2 = 3,
    U1 = 4,
    U = 5,
    FILE_NAME = 6,
    HEADING = 7,
    RING = 8,
    LIST = 9,
    LOG = 10,
    PICTURE = 11,
    FRAME = 12,
    LINE = 13,
    ERROR_MESSAGE = 14,
    SELFTEST = 15,
};

panel::Panel mainPanel() {
    panel::Panel p;
    p.constant = "MAIN";
    p.title = "Главная";
    p.geometry = {40, 60, 400, 420};
    p.callback = &paneltest::recordPanel;
    Control ok = make(Kind::Button, OK, "OK", 380, 20, 80, 26, Mode::Hot);
    ok.label = "__OK";
    p.controls.push_back(ok);

    Control f2 = numeric(F_2, "F_2", Mode::Hot, 25000.0, Format::Engineering, 2, 30);
    f2.min = 0.0;
    f2.max = 96000.0;
    f2.label = "Гц";
    p.controls.push_back(f2);
    Control u1 = numeric(U1, "U1", Mode::Indicator, 1.0, Format::Exponent, 6, 80);
    u1.label = "канал 1";
    p.controls.push_back(u1);
    Control u = numeric(U, "U", Mode::Hot, 10.0, Format::Fixed, 2, 130);
    u.label = "В";
    p.controls.push_back(u);

    Control file =
        make(Kind::String, FILE_NAME, "FILE_NAME", 180, 20, 150, 22, Mode::Hot, DataType::Text);
    file.text = file.defaultText = "trl4.log";
    p.controls.push_back(file);

    Control heading =
        make(Kind::TextMessage, HEADING, "HEADING", 220, 20, 120, 34, Mode::None, DataType::Text);
    heading.text = "Полная\nповерка";
    p.controls.push_back(heading);

    Control ring = make(Kind::Ring, RING, "RING", 30, 200, 80, 22, Mode::Hot, DataType::UShort);
    ring.label = "мезонин";
    p.controls.push_back(ring);

    Control list = make(Kind::ListBox, LIST, "LIST", 80, 200, 180, 80, Mode::Hot, DataType::Int);
    p.controls.push_back(list);

    Control log =
        make(Kind::TextBox, LOG, "LOG", 190, 200, 180, 68, Mode::Indicator, DataType::Text);
    log.font = "Courier New Cyr";
    log.label = "Протокол";
    p.controls.push_back(log);

    Control picture = make(Kind::Picture, PICTURE, "PICTURE", 280, 200, 60, 40);
    picture.image = "no-such-picture.png";
    p.controls.push_back(picture);
    p.controls.push_back(make(Kind::Decoration, FRAME, "FRAME", 275, 190, 200, 60));
    p.controls.push_back(make(Kind::Splitter, LINE, "LINE", 340, 10, 380, 2));

    Control error = make(Kind::String, ERROR_MESSAGE, "ERROR_MESSAGE", 350, 20, 300, 22,
                         Mode::Indicator, DataType::Text);
    p.controls.push_back(error);

    Control selftest = make(Kind::Button, SELFTEST, "SELFTEST", 380, 120, 100, 26, Mode::Hot);
    selftest.label = "Самоконтроль";
    p.controls.push_back(selftest);
    return p;
}

panel::Panel popupPanel() {
    panel::Panel p;
    p.constant = "POP";
    p.title = "Измеренное значение";
    p.geometry = {100, 100, 200, 120};
    Control ok = make(Kind::Button, 2, "OK_3", 80, 20, 80, 26, Mode::Hot);
    ok.label = "Ввести";
    p.controls.push_back(ok);
    return p;
}

// Runs `answer` on the modal dialog once it is up, as an operator would; closes whatever is
// modal if the expected dialog never shows, so a fault cannot hang the test.
template <typename Dialog>
void whenModal(std::function<void(Dialog &)> answer) {
    auto *timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, answer] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *dialog = qobject_cast<Dialog *>(modal)) {
            timer->stop();
            timer->deleteLater();
            answer(*dialog);
            // An answer the dialog did not take must not hang the test either.
            QTimer::singleShot(3000, dialog, [dialog] { dialog->close(); });
        } else if (++*tries > 200) {
            timer->stop();
            timer->deleteLater();
            if (modal != nullptr) modal->close();
        }
    });
    timer->start(10);
}

// The operator picks `path` in an open file dialog. The dialog ignores a chosen name while
// its name field has the focus, as the operator would be typing there.
void choose(QFileDialog &dialog, const QString &path) {
    if (QWidget *focused = dialog.focusWidget()) focused->clearFocus();
    dialog.selectFile(path);
    QMetaObject::invokeMethod(&dialog, "accept");
}

class ViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        trl4::panelqt::test::app();
        paneltest::seen().clear();
        view = std::make_unique<QtView>(model, nullptr);
        model.setView(view.get());
        main = model.addPanel(mainPanel());
    }

    // Events the model queued for callbacks, delivered and taken.
    std::vector<Seen> delivered() {
        model.dispatch();
        std::vector<Seen> out;
        out.swap(paneltest::seen());
        return out;
    }

    // Panel, control and event of each delivered event.
    using Call = std::array<int, 3>;
    std::vector<Call> calls() {
        std::vector<Call> out;
        for (const Seen &s : delivered())
            out.push_back({s.panel, s.control, s.event});
        return out;
    }

    void showMain() {
        model.showPanel(main, true);
        QApplication::setActiveWindow(view->surface(main));
        view->pump();
    }

    template <typename W>
    W *widget(int panel, int control) {
        return qobject_cast<W *>(view->body(panel, control));
    }

    panel::Model model;
    std::unique_ptr<QtView> view;
    int main = 0;
};

TEST_F(ViewTest, NumbersShowInTheirDisplayFormsAndProgramWritesSendNothing) {
    // Widgets wait for the panel's first showing; they then show what the model holds.
    model.setNumber(main, U1, 1.0);
    EXPECT_EQ(view->surface(main), nullptr);
    EXPECT_EQ(view->body(main, U1), nullptr);
    showMain();
    EXPECT_EQ(widget<EntryField>(main, F_2)->text(), QStringLiteral("25.00E+3"));
    EXPECT_EQ(widget<EntryField>(main, U1)->text(), QStringLiteral("1.000000E+0"));
    EXPECT_EQ(widget<EntryField>(main, U)->text(), QStringLiteral("10.00"));
    EXPECT_EQ(widget<EntryField>(main, FILE_NAME)->text(), QStringLiteral("trl4.log"));
    EXPECT_EQ(widget<QLabel>(main, HEADING)->text(), QStringLiteral("Полная\nповерка"));

    model.setNumber(main, F_2, 1.0e9);  // clamped by the model
    EXPECT_EQ(widget<EntryField>(main, F_2)->text(), QStringLiteral("96.00E+3"));
    model.setNumber(main, U1, -0.0123);
    EXPECT_EQ(widget<EntryField>(main, U1)->text(), QStringLiteral("-1.230000E-2"));
    model.setText(main, FILE_NAME, "протокол.log");
    EXPECT_EQ(widget<EntryField>(main, FILE_NAME)->text(), QStringLiteral("протокол.log"));
    model.setText(main, HEADING, "поверка частоты");
    EXPECT_EQ(widget<QLabel>(main, HEADING)->text(), QStringLiteral("поверка частоты"));

    // Leaving a field the program wrote is no operator change.
    widget<EntryField>(main, F_2)->setFocus();
    widget<EntryField>(main, U)->setFocus();
    widget<EntryField>(main, FILE_NAME)->setFocus();
    widget<EntryField>(main, F_2)->setFocus();
    view->pump();
    EXPECT_TRUE(delivered().empty());
}

TEST_F(ViewTest, ColoursDimmingVisibilityTitleAndCloseBoxFollowTheModel) {
    showMain();
    EXPECT_TRUE(view->surface(main)->isVisible());
    EXPECT_EQ(view->surface(main)->windowTitle(), QStringLiteral("Главная"));
    EXPECT_EQ(view->surface(main)->size(), QSize(400, 420));
    EXPECT_EQ(view->surface(main)->pos(), QPoint(60, 40));

    Control *error = model.control(main, ERROR_MESSAGE);
    model.setText(main, ERROR_MESSAGE, "Ошибка драйвера");
    error->textColor = 0xFFFFFF;
    error->textBackground = 0x000080;
    model.notifyControl(main, ERROR_MESSAGE, ControlChange::Attributes);
    QWidget *field = view->body(main, ERROR_MESSAGE);
    EXPECT_EQ(qobject_cast<EntryField *>(field)->text(), QStringLiteral("Ошибка драйвера"));
    EXPECT_EQ(field->palette().color(QPalette::Active, QPalette::Text), QColor(Qt::white));
    EXPECT_EQ(field->palette().color(QPalette::Base), QColor(0, 0, 0x80));

    Control *selftest = model.control(main, SELFTEST);
    selftest->dimmed = true;
    model.notifyControl(main, SELFTEST, ControlChange::Attributes);
    EXPECT_FALSE(view->body(main, SELFTEST)->isEnabled());
    selftest->dimmed = false;
    model.notifyControl(main, SELFTEST, ControlChange::Attributes);
    EXPECT_TRUE(view->body(main, SELFTEST)->isEnabled());

    Control *u = model.control(main, U);
    u->visible = false;
    model.notifyControl(main, U, ControlChange::Attributes);
    EXPECT_FALSE(view->body(main, U)->isVisible());
    EXPECT_FALSE(view->label(main, U)->isVisible());
    u->visible = true;
    u->geometry = {150, 30, 90, 24};
    model.notifyControl(main, U, ControlChange::Attributes);
    EXPECT_TRUE(view->body(main, U)->isVisible());
    EXPECT_EQ(view->body(main, U)->geometry(), QRect(30, 150, 90, 24));
    // The label moves with its control and stays above it.
    EXPECT_LE(view->label(main, U)->geometry().bottom(), 150);
    EXPECT_EQ(view->label(main, U)->x(), 30);

    // The operator moves the window; a new title leaves it there, a new place moves it.
    view->surface(main)->move(200, 150);
    model.panel(main)->title = "ТРЛ4 крейт 1 слот 2";
    model.notifyPanel(main, PanelChange::Attributes);
    EXPECT_EQ(view->surface(main)->windowTitle(), QStringLiteral("ТРЛ4 крейт 1 слот 2"));
    EXPECT_EQ(view->surface(main)->pos(), QPoint(200, 150));
    model.panel(main)->geometry.top = 10;
    model.notifyPanel(main, PanelChange::Attributes);
    EXPECT_EQ(view->surface(main)->pos(), QPoint(60, 10));
    EXPECT_TRUE(delivered().empty());

    // The close box only asks; the model alone hides, and a hidden panel's close box is refused.
    EXPECT_FALSE(view->surface(main)->close());
    EXPECT_TRUE(view->surface(main)->isVisible());
    EXPECT_EQ(calls(), (std::vector<Call>{{main, 0, EVENT_CLOSE}}));
    model.showPanel(main, false);
    EXPECT_FALSE(view->surface(main)->isVisible());
    view->surface(main)->close();
    EXPECT_TRUE(delivered().empty());
}

TEST_F(ViewTest, LabelsShortcutsAndFonts) {
    showMain();
    auto *ok = widget<QPushButton>(main, OK);
    EXPECT_EQ(ok->text(), QStringLiteral("&OK"));
    EXPECT_EQ(view->label(main, F_2)->text(), QStringLiteral("Гц"));
    EXPECT_EQ(view->label(main, F_2)->buddy(), view->body(main, F_2));
    EXPECT_EQ(view->label(main, OK), nullptr);  // a button carries its own label
    // A control without a label shows none.
    EXPECT_FALSE(view->label(main, ERROR_MESSAGE)->isVisibleTo(view->surface(main)));
    EXPECT_TRUE(QFontInfo(view->body(main, LOG)->font()).fixedPitch());
    EXPECT_FALSE(QFontInfo(view->body(main, F_2)->font()).fixedPitch());

    model.control(main, F_2)->label = "__Частота";
    model.notifyControl(main, F_2, ControlChange::Attributes);
    EXPECT_EQ(view->label(main, F_2)->text(), QStringLiteral("&Частота"));
    EXPECT_TRUE(delivered().empty());
}

TEST_F(ViewTest, ItemsLinesAndPicturesFollowTheModel) {
    model.insertItem(main, RING, -1, {"1", 1.0, {}});
    model.insertItem(main, RING, -1, {"3", 3.0, {}});
    showMain();
    auto *ring = widget<QComboBox>(main, RING);
    ASSERT_EQ(ring->count(), 2);
    EXPECT_EQ(ring->itemText(1), QStringLiteral("3"));
    EXPECT_EQ(ring->currentIndex(), 0);
    model.setNumber(main, RING, 3.0);
    EXPECT_EQ(ring->currentIndex(), 1);
    model.clearItems(main, RING);
    EXPECT_EQ(ring->count(), 0);

    model.insertItem(main, LIST, -1, {"VXI0::1::INSTR", 0.0, {}});
    model.insertItem(main, LIST, -1, {"NodaBOX, USB (№:1234)", 1.0, {}});
    auto *list = widget<QListWidget>(main, LIST);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("NodaBOX, USB (№:1234)"));
    EXPECT_EQ(list->currentRow(), 0);

    auto *log = widget<LineBox>(main, LOG);
    for (int i = 0; i < 30; ++i) {
        model.insertLines(main, LOG, -1, "строка " + std::to_string(i));
    }
    EXPECT_EQ(log->document()->blockCount(), 30);
    EXPECT_EQ(log->document()->findBlockByNumber(29).text(), QStringLiteral("строка 29"));
    model.setFirstVisibleLine(main, LOG, 20);
    EXPECT_EQ(log->firstShownLine(), 20);
    // Lines inserted in the middle, and a reset, are shown as the model holds them.
    model.insertLines(main, LOG, 0, "первая\nвторая");
    EXPECT_EQ(log->document()->blockCount(), 32);
    EXPECT_EQ(log->document()->findBlockByNumber(1).text(), QStringLiteral("вторая"));
    model.setText(main, LOG, "");
    EXPECT_TRUE(log->toPlainText().isEmpty());

    EXPECT_FALSE(widget<PictureBox>(main, PICTURE)->hasImage());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage dot(8, 8, QImage::Format_RGB32);
    dot.fill(Qt::blue);
    ASSERT_TRUE(dot.save(dir.filePath(QStringLiteral("dot.png"))));
    view->setPictureFolder(dir.path());
    model.control(main, PICTURE)->image = "dot.png";
    model.notifyControl(main, PICTURE, ControlChange::Attributes);
    EXPECT_TRUE(widget<PictureBox>(main, PICTURE)->hasImage());
    EXPECT_TRUE(delivered().empty());
}

TEST_F(ViewTest, TypedChangeCommitsOnceClampedAndGarbageIsRefused) {
    showMain();
    auto *f2 = widget<EntryField>(main, F_2);
    const std::vector<Call> changed{{main, F_2, EVENT_VAL_CHANGED}, {main, F_2, EVENT_COMMIT}};
    f2->setFocus();
    f2->selectAll();
    QTest::keyClicks(f2, QStringLiteral("200000"));
    QTest::keyClick(f2, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(model.control(main, F_2)->number, 96000.0);
    EXPECT_EQ(f2->text(), QStringLiteral("96.00E+3"));
    EXPECT_EQ(calls(), changed);

    // Enter again and leaving the field: nothing changed, nothing sent.
    QTest::keyClick(f2, Qt::Key_Return);
    widget<EntryField>(main, U)->setFocus();
    EXPECT_TRUE(delivered().empty());

    f2->setFocus();
    f2->selectAll();
    f2->insert(QStringLiteral("12,5кГц"));
    QTest::keyClick(f2, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(model.control(main, F_2)->number, 96000.0);
    EXPECT_EQ(f2->text(), QStringLiteral("96.00E+3"));
    EXPECT_TRUE(delivered().empty());

    // Any display form is accepted back.
    f2->selectAll();
    QTest::keyClicks(f2, QStringLiteral("1.5E+3"));
    QTest::keyClick(f2, Qt::Key_Tab);
    EXPECT_DOUBLE_EQ(model.control(main, F_2)->number, 1500.0);
    EXPECT_EQ(f2->text(), QStringLiteral("1.50E+3"));
    EXPECT_EQ(calls(), changed);
}

TEST_F(ViewTest, IndicatorsAndDimmedControlsTakeNoInput) {
    showMain();
    auto *u1 = widget<EntryField>(main, U1);
    EXPECT_TRUE(u1->isReadOnly());
    QTest::keyClicks(u1, QStringLiteral("5"));
    QTest::keyClick(u1, Qt::Key_Return);
    EXPECT_EQ(u1->text(), QStringLiteral("1.000000E+0"));

    model.control(main, SELFTEST)->dimmed = true;
    model.notifyControl(main, SELFTEST, ControlChange::Attributes);
    auto *selftest = widget<QPushButton>(main, SELFTEST);
    // Even a click that got through would be refused by the model.
    selftest->setEnabled(true);
    selftest->click();
    EXPECT_TRUE(delivered().empty());
    EXPECT_FALSE(selftest->isEnabled());  // the view shows the model's state again
}

TEST_F(ViewTest, InstalledPopupBlocksEveryOtherPanel) {
    showMain();
    const int pop = model.addPanel(popupPanel());
    ASSERT_EQ(model.installPopup(pop), 0);
    view->pump();
    EXPECT_TRUE(view->surface(pop)->isVisible());
    EXPECT_EQ(view->surface(pop)->windowModality(), Qt::ApplicationModal);

    // Input the toolkit lets through to a blocked panel is refused; the field shows the model.
    widget<QPushButton>(main, OK)->click();
    auto *f2 = widget<EntryField>(main, F_2);
    f2->setText(QStringLiteral("5"));
    emit f2->editingFinished();
    EXPECT_FALSE(model.pending());
    EXPECT_EQ(f2->text(), QStringLiteral("25.00E+3"));

    QTest::mouseClick(widget<QPushButton>(pop, 2), Qt::LeftButton);
    EXPECT_EQ(calls(), (std::vector<Call>{{pop, 2, EVENT_COMMIT}}));
    ASSERT_EQ(model.removePopup(), 0);
    EXPECT_FALSE(view->surface(pop)->isVisible());
    EXPECT_EQ(view->surface(pop)->windowModality(), Qt::NonModal);
}

TEST_F(ViewTest, OtherPanelsAreWindowsOwnedByTheMainOneWithTheirOwnSize) {
    showMain();
    panel::Panel question = popupPanel();
    question.defaultControl = 2;
    question.callback = &paneltest::recordPanel;
    const int pop = model.addPanel(question);
    panel::Panel viewer = popupPanel();
    viewer.sizable = true;
    const int log = model.addPanel(viewer);
    model.showPanel(pop, true);
    model.showPanel(log, true);
    view->pump();

    QWindow *mainWindow = view->surface(main)->windowHandle();
    ASSERT_NE(mainWindow, nullptr);
    EXPECT_EQ(mainWindow->transientParent(), nullptr);
    for (int owned : {pop, log}) {
        PanelSurface *surface = view->surface(owned);
        ASSERT_NE(surface->windowHandle(), nullptr);
        EXPECT_EQ(surface->windowHandle()->transientParent(), mainWindow);
        EXPECT_EQ(surface->windowType(), Qt::Dialog);
        EXPECT_EQ(surface->pos(), QPoint(100, 100));
    }
    EXPECT_EQ(view->surface(main)->minimumSize(), QSize(400, 420));
    EXPECT_EQ(view->surface(main)->maximumSize(), QSize(400, 420));
    EXPECT_EQ(view->surface(pop)->maximumSize(), QSize(200, 120));
    EXPECT_GT(view->surface(log)->maximumWidth(), 200);
    // Enter presses the default button, or the one with the focus; Esc is the close box; the
    // main window ignores Esc.
    widget<QPushButton>(log, 2)->clearFocus();
    EXPECT_TRUE(widget<QPushButton>(pop, 2)->isDefault());
    EXPECT_FALSE(widget<QPushButton>(log, 2)->isDefault());
    QTest::keyClick(view->surface(pop), Qt::Key_Return);
    QTest::keyClick(view->surface(log), Qt::Key_Return);
    QTest::keyClick(view->surface(pop), Qt::Key_Escape);
    QTest::keyClick(view->surface(main), Qt::Key_Escape);
    EXPECT_EQ(calls(), (std::vector<Call>{{pop, 2, EVENT_COMMIT}, {pop, 0, EVENT_CLOSE}}));

    // The owner's widgets go; the windows it owned stay and still follow the model.
    model.discardPanel(main);
    view->pump();
    ASSERT_NE(view->surface(pop), nullptr);
    model.panel(pop)->title = "Вопрос";
    model.notifyPanel(pop, PanelChange::Attributes);
    EXPECT_EQ(view->surface(pop)->windowTitle(), QStringLiteral("Вопрос"));
    EXPECT_TRUE(view->surface(pop)->isVisible());
}

TEST_F(ViewTest, RingListAndOperatorChoices) {
    model.insertItem(main, RING, -1, {"1", 1.0, {}});
    model.insertItem(main, RING, -1, {"2", 2.0, {}});
    model.insertItem(main, LIST, -1, {"первый", 0.0, {}});
    model.insertItem(main, LIST, -1, {"второй", 1.0, {}});
    showMain();

    auto *ring = widget<QComboBox>(main, RING);
    ring->setFocus();
    QTest::keyClick(ring, Qt::Key_Down);
    EXPECT_EQ(model.control(main, RING)->index, 1);
    EXPECT_EQ(calls(),
              (std::vector<Call>{{main, RING, EVENT_VAL_CHANGED}, {main, RING, EVENT_COMMIT}}));
    emit ring->activated(1);  // choosing what is already chosen is no change
    EXPECT_TRUE(delivered().empty());

    // A click highlights the second item, a double click names it, Enter commits it.
    auto *list = widget<QListWidget>(main, LIST);
    const QPoint second = list->visualItemRect(list->item(1)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second);
    EXPECT_EQ(model.control(main, LIST)->index, 1);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    const auto seen = delivered();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].event, EVENT_LEFT_CLICK);
    EXPECT_EQ(seen[0].data1, 1);
    EXPECT_EQ(seen[1].event, EVENT_LEFT_DOUBLE_CLICK);
    EXPECT_EQ(seen[1].data1, 1);
    EXPECT_EQ(seen[2].event, EVENT_COMMIT);
}

TEST_F(ViewTest, TabPagesArePanelsOfTheModel) {
    panel::Panel top;
    top.constant = "MP";
    top.title = "ТРЛ4";
    top.geometry = {10, 10, 300, 400};
    Control tab = make(Kind::Tab, 3, "TAB", 10, 10, 380, 280, Mode::Hot);
    tab.index = 0;
    top.controls.push_back(tab);
    const int mp = model.addPanel(top, false);
    std::vector<int> pages;
    for (int i = 0; i < 2; ++i) {
        panel::Panel page;
        page.constant = i == 0 ? "CP" : "PP";
        page.title = i == 0 ? "Калибровка" : "Поверка";
        page.parent = mp;
        page.tabControl = 3;
        page.pageIndex = i;
        Control start = make(Kind::Button, 2, "START", 20, 20, 100, 26, Mode::Hot);
        start.label = "ПУСК";
        page.controls.push_back(start);
        pages.push_back(model.addPanel(page, false));
    }
    model.control(mp, 3)->pages = pages;
    model.notifyPanel(mp, PanelChange::Created);
    model.showPanel(mp, true);

    auto *tabs = widget<QTabWidget>(mp, 3);
    ASSERT_NE(tabs, nullptr);
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Калибровка"));
    EXPECT_EQ(tabs->widget(1), view->surface(pages[1]));
    EXPECT_EQ(tabs->currentIndex(), 0);
    // The page behind gets its controls when it first comes to the front.
    EXPECT_EQ(view->body(pages[1], 2), nullptr);

    model.showPanel(pages[1], true);  // the program brings a page to the front
    EXPECT_EQ(tabs->currentIndex(), 1);
    ASSERT_NE(view->body(pages[1], 2), nullptr);
    EXPECT_TRUE(view->body(pages[1], 2)->isVisible());
    EXPECT_TRUE(delivered().empty());

    // The operator picks a page: the model hears it; only the shown page takes input.
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(0).center());
    EXPECT_EQ(model.control(mp, 3)->index, 0);
    widget<QPushButton>(pages[1], 2)->click();
    widget<QPushButton>(pages[0], 2)->click();
    EXPECT_EQ(calls(),
              (std::vector<Call>{
                  {mp, 3, EVENT_VAL_CHANGED}, {mp, 3, EVENT_COMMIT}, {pages[0], 2, EVENT_COMMIT}}));

    model.discardPanel(mp);
    view->pump();
    EXPECT_EQ(view->surface(mp), nullptr);
    EXPECT_EQ(view->surface(pages[0]), nullptr);
}

TEST_F(ViewTest, PanelsAndControlsBuiltInCodeAppearAndGo) {
    panel::Panel si;
    si.constant = "SI";
    si.title = "Выбор инструмента";
    si.geometry = {21, 44, 517, 335};
    const int handle = model.addPanel(si);
    model.showPanel(handle, true);
    ASSERT_NE(view->surface(handle), nullptr);
    EXPECT_EQ(view->surface(handle)->size(), QSize(517, 335));

    Control list = make(Kind::ListBox, 2, "LIST", 3, 14, 385, 323, Mode::Hot, DataType::Int);
    model.panel(handle)->controls.push_back(list);
    model.notifyControl(handle, 2, ControlChange::Created);
    QWidget *body = view->body(handle, 2);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->geometry(), QRect(14, 3, 385, 323));
    Control *stored = model.control(handle, 2);
    stored->textBackground = 0xFFFFFF;
    stored->background = 0xC0C0C0;
    model.notifyControl(handle, 2, ControlChange::Attributes);
    EXPECT_EQ(body->palette().color(QPalette::Base), QColor(Qt::white));

    QPointer<QWidget> surface = view->surface(handle);
    model.discardPanel(handle);
    EXPECT_EQ(view->surface(handle), nullptr);
    view->pump();
    EXPECT_TRUE(surface.isNull());
}

TEST_F(ViewTest, PanelLoadedIntoAnotherSitsInsideIt) {
    showMain();
    panel::Panel inner = popupPanel();
    inner.parent = main;
    inner.geometry = {50, 30, 200, 120};
    const int handle = model.addPanel(inner);
    PanelSurface *surface = view->surface(handle);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->parentWidget(), view->surface(main));
    EXPECT_EQ(surface->geometry(), QRect(30, 50, 200, 120));
    EXPECT_FALSE(surface->isVisible());
    model.showPanel(handle, true);
    EXPECT_TRUE(surface->isVisible());
    QTest::mouseClick(widget<QPushButton>(handle, 2), Qt::LeftButton);
    EXPECT_EQ(delivered().size(), 1u);
}

TEST_F(ViewTest, ShotWritesTheWholePanel) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string file = dir.filePath(QStringLiteral("sub/main.png")).toStdString();
    std::string error;
    ASSERT_TRUE(view->shot(main, file, error)) << error;
    const QImage picture(QString::fromStdString(file));
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(400, 420));

    EXPECT_FALSE(view->shot(9999, dir.filePath(QStringLiteral("x.png")).toStdString(), error));
    EXPECT_NE(error.find("9999"), std::string::npos);
    EXPECT_FALSE(view->shot(main, "/proc/no-such-dir/x.png", error));
    EXPECT_FALSE(error.empty());
}

TEST_F(ViewTest, MessageBoxShowsTitleAndTextAndWaitsForTheOperator) {
    QString title;
    QString text;
    QString button;
    bool modal = false;
    bool wideEnough = false;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    whenModal<QMessageBox>([&](QMessageBox &box) {
        title = box.windowTitle();
        text = box.text();
        modal = box.windowModality() == Qt::ApplicationModal;
        icon = box.icon();
        button = box.button(QMessageBox::Ok)->text();
        wideEnough = box.sizeHint().width() > QFontMetrics(box.font()).horizontalAdvance(title);
        box.button(QMessageBox::Ok)->click();
    });
    view->showMessage("Приборная панель носителя мезонинов",
                      "Не найден файл ksptrl4_math\nРабота в демонстрационном режиме");
    EXPECT_EQ(title, QStringLiteral("Приборная панель носителя мезонинов"));
    EXPECT_TRUE(wideEnough);
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_EQ(button, QStringLiteral("ОК"));
    // Qt's own texts are Russian too.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));
    EXPECT_EQ(text,
              QStringLiteral("Не найден файл ksptrl4_math\nРабота в демонстрационном режиме"));
    EXPECT_TRUE(modal);
    EXPECT_TRUE(delivered().empty());
}

TEST_F(ViewTest, FileDialogAnswersExistingNewAndCancelled) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString existing = dir.filePath(QStringLiteral("trl4.log"));
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    panel::FileRequest request;
    request.startDirectory = dir.path().toStdString();
    request.defaultFileSpec = "*.log";
    request.fileTypeList = "*.log;*.txt";
    request.title = "Файл протокола";
    request.buttonLabel = "Выбрать";

    QStringList filters;
    QString title;
    whenModal<QFileDialog>([&](QFileDialog &dialog) {
        filters = dialog.nameFilters();
        title = dialog.windowTitle();
        choose(dialog, existing);
    });
    std::string path;
    EXPECT_EQ(view->selectFile(request, path), VAL_EXISTING_FILE_SELECTED);
    EXPECT_EQ(QFileInfo(QString::fromStdString(path)), QFileInfo(existing));
    EXPECT_EQ(title, QStringLiteral("Файл протокола"));
    ASSERT_FALSE(filters.isEmpty());
    EXPECT_EQ(filters.first(), QStringLiteral("*.log"));
    EXPECT_TRUE(filters.contains(QStringLiteral("*.txt")));

    const QString fresh = dir.filePath(QStringLiteral("поверка 2.log"));
    whenModal<QFileDialog>([&](QFileDialog &dialog) { choose(dialog, fresh); });
    EXPECT_EQ(view->selectFile(request, path), VAL_NEW_FILE_SELECTED);
    EXPECT_EQ(QString::fromStdString(path), QDir::toNativeSeparators(fresh));

    // With the extension enforced, a bare new name gets it.
    request.restrictExtension = true;
    whenModal<QFileDialog>(
        [&](QFileDialog &dialog) { choose(dialog, dir.filePath(QStringLiteral("итог"))); });
    EXPECT_EQ(view->selectFile(request, path), VAL_NEW_FILE_SELECTED);
    EXPECT_EQ(QString::fromStdString(path),
              QDir::toNativeSeparators(dir.filePath(QStringLiteral("итог.log"))));

    path = "stale";
    whenModal<QFileDialog>([](QFileDialog &dialog) { dialog.reject(); });
    EXPECT_EQ(view->selectFile(request, path), VAL_NO_FILE_SELECTED);
    EXPECT_TRUE(path.empty());
}

}  // namespace

namespace {

// A click toggles the model's 0/1 and commits it; a program write moves the box silently.
TEST_F(ViewTest, CheckBoxClickCommitsTheToggledValueAndFollowsTheModel) {
    showMain();
    Control box = make(Kind::CheckBox, 40, "AUTO", 300, 20, 130, 20, Mode::Hot, DataType::Int);
    box.label = "Автоматически";
    box.min = 0;
    box.max = 1;
    model.panel(main)->controls.push_back(box);
    model.notifyControl(main, 40, ControlChange::Created);
    auto *check = widget<QCheckBox>(main, 40);
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->text(), "Автоматически");
    check->click();
    EXPECT_EQ(model.control(main, 40)->number, 1.0);
    EXPECT_EQ(calls(),
              (std::vector<Call>{{main, 40, EVENT_VAL_CHANGED}, {main, 40, EVENT_COMMIT}}));
    model.setNumber(main, 40, 0);
    model.notifyControl(main, 40, ControlChange::Value);
    EXPECT_FALSE(check->isChecked());
    EXPECT_TRUE(calls().empty());
    model.control(main, 40)->dimmed = true;
    check->click();  // a dimmed box is refused by the model and shows its value still
    EXPECT_FALSE(check->isChecked());
    EXPECT_TRUE(calls().empty());
}

}  // namespace
