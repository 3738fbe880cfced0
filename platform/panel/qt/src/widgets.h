// Qt building blocks of the panel view: they know nothing of the model. The view wires
// their operator signals to the model's entry points and feeds them the model's state.
#pragma once

#include <QFrame>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QString>
#include <QWidget>

namespace trl4::panelqt {

// "__X..." shows as "X..." with X as the keyboard shortcut; every other '&' stays literal.
QString mnemonicText(const QString &label);
// The label as the operator reads it: without the leading "__".
QString displayText(const QString &label);

// "Arial" and "Courier New"/"Courier New Cyr" resolve to the Liberation faces, which carry
// Cyrillic. Safe to call more than once.
void installFontSubstitutions();

// The client area of a panel: a top-level window or a page of a tab control. Controls sit
// on it at the model's coordinates. The close box never closes the window by itself: it
// asks, and the model decides whether the panel is hidden.
class PanelSurface : public QWidget {
    Q_OBJECT
  public:
    explicit PanelSurface(QWidget *parent = nullptr);

    // Geometry set from the model must not come back as an operator resize. A window that
    // is not sizable keeps exactly this size.
    void setSizeFromModel(int width, int height, bool sizable = false);
    bool sizable() const { return sizable_; }

  signals:
    void closeRequested();
    void resizedByOperator(int width, int height);
    // Keys a window takes when no control wanted them: Enter and Esc.
    void defaultRequested();
    void escapeRequested();

  protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

  private:
    bool applyingModelSize_ = false;
    bool sizable_ = false;
};

// A one-line field that reports an edit only when the operator confirms it (Enter or
// leaving the field) and the text differs from what the model last showed.
class EntryField : public QLineEdit {
    Q_OBJECT
  public:
    explicit EntryField(QWidget *parent = nullptr);

    // Shows the model's text without emitting anything and makes it the new baseline.
    void showModelText(const QString &text);
    const QString &modelText() const { return modelText_; }

  signals:
    void committed(const QString &text);

  private:
    void confirm();

    QString modelText_;
};

// A list whose Enter key confirms the highlighted line, as a double click does.
class ListBox : public QListWidget {
    Q_OBJECT
  public:
    explicit ListBox(QWidget *parent = nullptr);

  signals:
    void commitRequested();

  protected:
    void keyPressEvent(QKeyEvent *event) override;
};

// A read-only multi-line text whose scroll position the model sets in lines.
class LineBox : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit LineBox(QWidget *parent = nullptr);

    void showLines(const QStringList &lines);
    void appendLines(const QStringList &lines);
    void showFirstLine(int line);
    int firstShownLine() const;
};

// An image scaled to fit with its proportions kept; a neutral placeholder when the file
// cannot be read, so a missing picture is visible as such and never breaks the panel.
class PictureBox : public QWidget {
    Q_OBJECT
  public:
    explicit PictureBox(QWidget *parent = nullptr);

    // Returns whether the file could be read.
    bool showFile(const QString &path);
    bool hasImage() const { return !pixmap_.isNull(); }

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    QPixmap pixmap_;
};

// A framed box drawn behind the other controls of its panel.
class DecorationBox : public QFrame {
    Q_OBJECT
  public:
    explicit DecorationBox(QWidget *parent = nullptr);
};

// A thin etched line, horizontal or vertical by its longer side.
class SplitterLine : public QFrame {
    Q_OBJECT
  public:
    explicit SplitterLine(QWidget *parent = nullptr);

    void setLineGeometry(const QRect &area);
};

}  // namespace trl4::panelqt
