// The Qt building blocks on their own, on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include "qt_test_app.h"
#include "widgets.h"

using trl4::panelqt::DecorationBox;
using trl4::panelqt::displayText;
using trl4::panelqt::EntryField;
using trl4::panelqt::LineBox;
using trl4::panelqt::mnemonicText;
using trl4::panelqt::PanelSurface;
using trl4::panelqt::PictureBox;
using trl4::panelqt::SplitterLine;

TEST(LabelText, ShortcutPrefixBecomesMnemonicAndOtherAmpersandsStayLiteral) {
    EXPECT_EQ(mnemonicText(QStringLiteral("__OK")), QStringLiteral("&OK"));
    EXPECT_EQ(mnemonicText(QStringLiteral("__Закрыть")), QStringLiteral("&Закрыть"));
    EXPECT_EQ(displayText(QStringLiteral("__Закрыть")), QStringLiteral("Закрыть"));
    EXPECT_EQ(mnemonicText(QStringLiteral("R&D")), QStringLiteral("R&&D"));
    EXPECT_EQ(mnemonicText(QStringLiteral("__A&B")), QStringLiteral("&A&&B"));
    // Only a leading pair counts, and a bare "__" is shown as typed.
    EXPECT_EQ(mnemonicText(QStringLiteral("a__b")), QStringLiteral("a__b"));
    EXPECT_EQ(mnemonicText(QStringLiteral("__")), QStringLiteral("__"));
    EXPECT_EQ(displayText(QStringLiteral("__")), QStringLiteral("__"));
    // Blanks the panel designer typed are kept.
    EXPECT_EQ(mnemonicText(QStringLiteral(" Выход ")), QStringLiteral(" Выход "));
}

TEST(Fonts, PanelFontNamesResolveToFacesWithCyrillic) {
    trl4::panelqt::test::app();
    trl4::panelqt::installFontSubstitutions();
    EXPECT_EQ(QFontInfo(QFont(QStringLiteral("Arial"))).family(),
              QStringLiteral("Liberation Sans"));
    EXPECT_EQ(QFontInfo(QFont(QStringLiteral("Courier New Cyr"))).family(),
              QStringLiteral("Liberation Mono"));
    EXPECT_EQ(QFontInfo(QFont(QStringLiteral("Courier New"))).family(),
              QStringLiteral("Liberation Mono"));
    EXPECT_TRUE(QFontInfo(QFont(QStringLiteral("Courier New Cyr"))).fixedPitch());
}

class EntryFieldTest : public trl4::panelqt::test::WithApp, public ::testing::Test {
  protected:
    void SetUp() override {
        trl4::panelqt::test::app();
        window.resize(200, 60);
        field = new EntryField(&window);
        other = new EntryField(&window);
        other->move(0, 30);
        window.show();
        QApplication::setActiveWindow(&window);
        field->setFocus();
    }
    QWidget window;
    EntryField *field = nullptr;
    EntryField *other = nullptr;
};

TEST_F(EntryFieldTest, LeavingTheFieldCommitsAndTypingBackTheOldTextDoesNot) {
    QSignalSpy spy(field, &EntryField::committed);
    field->showModelText(QStringLiteral("trl4.log"));
    QTest::keyClick(field, Qt::Key_End);
    QTest::keyClicks(field, QStringLiteral("x"));
    QTest::keyClick(field, Qt::Key_Backspace);
    other->setFocus();
    EXPECT_EQ(spy.count(), 0);

    field->setFocus();
    QTest::keyClick(field, Qt::Key_End);
    QTest::keyClicks(field, QStringLiteral("2"));
    other->setFocus();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), QStringLiteral("trl4.log2"));
}

TEST(PanelSurfaceTest, OnlyOperatorResizesAreReported) {
    trl4::panelqt::test::app();
    PanelSurface surface;
    surface.setSizeFromModel(300, 200, true);
    surface.show();
    QSignalSpy resizes(&surface, &PanelSurface::resizedByOperator);
    surface.setSizeFromModel(320, 210, true);
    EXPECT_EQ(resizes.count(), 0);
    surface.resize(400, 250);
    ASSERT_EQ(resizes.count(), 1);
    EXPECT_EQ(resizes.at(0).at(0).toInt(), 400);
    EXPECT_EQ(resizes.at(0).at(1).toInt(), 250);

    // A window that is not sizable keeps the model's size whatever asks otherwise.
    surface.setSizeFromModel(320, 210, false);
    surface.resize(400, 250);
    EXPECT_EQ(surface.size(), QSize(320, 210));
    EXPECT_EQ(resizes.count(), 1);
}

TEST(LineBoxTest, LinesAppendAndScrollFollowsTheModel) {
    trl4::panelqt::test::app();
    LineBox box;
    box.resize(200, 60);
    box.show();
    box.showLines({QStringLiteral("a"), QStringLiteral("b")});
    QStringList more;
    for (int i = 0; i < 40; ++i)
        more << QStringLiteral("строка %1").arg(i);
    box.appendLines(more);
    EXPECT_EQ(box.document()->blockCount(), 42);
    EXPECT_EQ(box.document()->findBlockByNumber(2).text(), QStringLiteral("строка 0"));
    box.showFirstLine(30);
    EXPECT_EQ(box.firstShownLine(), 30);
    box.showFirstLine(0);
    EXPECT_EQ(box.firstShownLine(), 0);
    // Beyond the end the box stops at its last page instead of failing.
    box.showFirstLine(1000);
    EXPECT_LT(box.firstShownLine(), 42);
    EXPECT_GT(box.firstShownLine(), 0);
}

TEST(PictureBoxTest, MissingFileDrawsAPlaceholderAndARealFileIsShownScaled) {
    trl4::panelqt::test::app();
    PictureBox box;
    box.resize(40, 20);
    EXPECT_FALSE(box.showFile(QStringLiteral("/nonexistent/picture.png")));
    EXPECT_FALSE(box.hasImage());
    const QImage placeholder = box.grab().toImage();
    ASSERT_FALSE(placeholder.isNull());
    EXPECT_NE(placeholder.pixelColor(0, 0), placeholder.pixelColor(20, 5));

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage red(10, 10, QImage::Format_RGB32);
    red.fill(Qt::red);
    const QString path = dir.filePath(QStringLiteral("red.png"));
    ASSERT_TRUE(red.save(path));
    EXPECT_TRUE(box.showFile(path));
    const QImage shown = box.grab().toImage();
    // Square image in a wide box: centred, the sides stay empty.
    EXPECT_EQ(shown.pixelColor(20, 10), QColor(Qt::red));
    EXPECT_NE(shown.pixelColor(2, 10), QColor(Qt::red));
    // A name that does not tell the format, or tells a wrong one: the content decides.
    for (const char *name : {"red.picture", "red.bmp"}) {
        const QString misnamed = dir.filePath(QString::fromLatin1(name));
        ASSERT_TRUE(red.save(misnamed, "PNG"));
        EXPECT_TRUE(box.showFile(misnamed)) << name;
    }
}

TEST(FrameShapes, SplitterFollowsItsLongerSideAndFramesLetClicksThrough) {
    trl4::panelqt::test::app();
    SplitterLine line;
    line.setLineGeometry(QRect(0, 0, 100, 2));
    EXPECT_EQ(line.frameShape(), QFrame::HLine);
    EXPECT_EQ(line.width(), 100);
    line.setLineGeometry(QRect(5, 5, 2, 100));
    EXPECT_EQ(line.frameShape(), QFrame::VLine);
    DecorationBox box;
    EXPECT_TRUE(box.testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(line.testAttribute(Qt::WA_TransparentForMouseEvents));
}
