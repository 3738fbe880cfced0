#include "widgets.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QFont>
#include <QImageReader>
#include <QKeyEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>

#include "panel/window_view.h"

namespace trl4::panelqt {

namespace {
const QString kShortcutPrefix = QStringLiteral("__");
}

QString mnemonicText(const QString &label) {
    return QString::fromStdString(panel::mnemonicLabel(label.toStdString()));
}

QString displayText(const QString &label) {
    return label.startsWith(kShortcutPrefix) && label.size() > 2 ? label.mid(2) : label;
}

void installFontSubstitutions() {
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));
    QFont::insertSubstitution(QStringLiteral("Courier New Cyr"), QStringLiteral("Liberation Mono"));
}

PanelSurface::PanelSurface(QWidget *parent) : QWidget(parent) {
    setAutoFillBackground(true);
}

void PanelSurface::setSizeFromModel(int width, int height, bool sizable) {
    applyingModelSize_ = true;
    sizable_ = sizable;
    // Pages and panels inside others get their size from where they lie.
    if (sizable || !isWindow()) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        resize(width, height);
    } else {
        setFixedSize(width, height);
    }
    applyingModelSize_ = false;
}

void PanelSurface::closeEvent(QCloseEvent *event) {
    event->ignore();
    emit closeRequested();
}

void PanelSurface::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    if (!applyingModelSize_ && isWindow() && isVisible()) {
        emit resizedByOperator(event->size().width(), event->size().height());
    }
}

void PanelSurface::keyPressEvent(QKeyEvent *event) {
    // Pages pass keys on to the window they lie in.
    if (isWindow() && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        switch (event->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                event->accept();
                emit defaultRequested();
                return;
            case Qt::Key_Escape:
                event->accept();
                emit escapeRequested();
                return;
            default:
                break;
        }
    }
    QWidget::keyPressEvent(event);
}

EntryField::EntryField(QWidget *parent) : QLineEdit(parent) {
    // The style's own inset leaves the text nearly on the frame; a native field keeps it off.
    setTextMargins(2, 0, 2, 0);
    connect(this, &QLineEdit::editingFinished, this, &EntryField::confirm);
}

void EntryField::showModelText(const QString &text) {
    const QSignalBlocker blocker(this);
    modelText_ = text;
    if (QLineEdit::text() != text) {
        setText(text);
        setCursorPosition(0);
    }
}

void EntryField::confirm() {
    if (isReadOnly() || text() == modelText_) return;
    emit committed(text());
}

ListBox::ListBox(QWidget *parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void ListBox::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        emit commitRequested();
        return;
    }
    QListWidget::keyPressEvent(event);
}

LineBox::LineBox(QWidget *parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setUndoRedoEnabled(false);
}

void LineBox::showLines(const QStringList &lines) {
    const QSignalBlocker blocker(this);
    const QSignalBlocker bar(verticalScrollBar());
    setPlainText(lines.join(QLatin1Char('\n')));
}

void LineBox::appendLines(const QStringList &lines) {
    const QSignalBlocker blocker(this);
    const QSignalBlocker bar(verticalScrollBar());
    for (const QString &line : lines)
        appendPlainText(line);
}

void LineBox::showFirstLine(int line) {
    // The scroll bar of a plain-text box without wrapping counts lines.
    const QSignalBlocker blocker(verticalScrollBar());
    verticalScrollBar()->setValue(line);
}

int LineBox::firstShownLine() const {
    return verticalScrollBar()->value();
}

PictureBox::PictureBox(QWidget *parent) : QWidget(parent) {}

bool PictureBox::showFile(const QString &path) {
    if (path.isEmpty()) {
        pixmap_ = QPixmap();
    } else {
        // A picture named for its format is decoded by that format's reader alone: probing
        // would load every image plugin (and its libraries) first. Only a picture whose name
        // does not tell its format is probed.
        QImageReader reader(path, QFileInfo(path).suffix().toLower().toLatin1());
        reader.setAutoDetectImageFormat(false);
        QImage image = reader.read();
        if (image.isNull()) image = QImage(path);
        pixmap_ = QPixmap::fromImage(std::move(image));
    }
    update();
    return !pixmap_.isNull();
}

void PictureBox::paintEvent(QPaintEvent *) {
    QPainter p(this);
    const QRect area = rect();
    if (!pixmap_.isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        const QSize fitted = pixmap_.size().scaled(area.size(), Qt::KeepAspectRatio);
        QRect target(QPoint(0, 0), fitted);
        target.moveCenter(area.center());
        p.drawPixmap(target, pixmap_);
        return;
    }
    p.fillRect(area, QColor(0xd0, 0xd0, 0xd0));
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawRect(area.adjusted(0, 0, -1, -1));
    p.drawLine(area.topLeft(), area.bottomRight());
    p.drawLine(area.topRight(), area.bottomLeft());
}

DecorationBox::DecorationBox(QWidget *parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(2);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

SplitterLine::SplitterLine(QWidget *parent) : QFrame(parent) {
    setFrameStyle(QFrame::HLine | QFrame::Sunken);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void SplitterLine::setLineGeometry(const QRect &area) {
    setFrameShape(area.height() > area.width() ? QFrame::VLine : QFrame::HLine);
    setGeometry(area);
}

}  // namespace trl4::panelqt
