#include "panel/qt_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpacerItem>
#include <QStyleFactory>
#include <QTabWidget>
#include <QToolTip>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>

#include "panel/kinds.h"
#include "qt_view_impl.h"

namespace trl4::panelqt {

using panel::Control;
using panel::Kind;
using panel::Mode;

namespace {

constexpr int kFontPixels = 12;

QString qs(const std::string &text) {
    return QString::fromStdString(text);
}

QColor rgb(std::uint32_t colour) {
    return QColor(static_cast<int>((colour >> 16) & 0xFFu), static_cast<int>((colour >> 8) & 0xFFu),
                  static_cast<int>(colour & 0xFFu));
}

QFont panelFont(const std::string &family) {
    QFont font(family.empty() ? QStringLiteral("Arial") : qs(family));
    font.setPixelSize(kFontPixels);
    if (QFontInfo(font).fixedPitch()) font.setStyleHint(QFont::TypeWriter);
    return font;
}

// Text colours only for the enabled groups, so a dimmed control still looks dimmed.
void setTextColour(QPalette &palette, QPalette::ColorRole role, const QColor &colour) {
    palette.setColor(QPalette::Active, role, colour);
    palette.setColor(QPalette::Inactive, role, colour);
}

QStringList itemLabels(const std::vector<panel::Item> &items) {
    QStringList labels;
    labels.reserve(static_cast<qsizetype>(items.size()));
    for (const auto &item : items)
        labels << qs(item.label);
    return labels;
}

}  // namespace

QtView::QtView(panel::Model &model, std::unique_ptr<QApplication> ownedApp)
    : panel::WindowView(model), app_(std::move(ownedApp)) {
    installFontSubstitutions();
    if (app_) {
        // One look everywhere, so colours and frames are the model's, not a desktop theme's.
        if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
            QApplication::setStyle(fusion);
        }
        QApplication::setFont(font("Arial"));
        // Panels live and die by the model; hiding or closing the last one ends nothing.
        QApplication::setQuitOnLastWindowClosed(false);
    }
    // The panels speak Russian, and so do Qt's own texts (context menus, file dialogs).
    translator_ = std::make_unique<QTranslator>();
    if (translator_->load(QStringLiteral("qtbase_ru"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator_.get());
    } else {
        std::fprintf(stderr, "qt view: Qt's Russian texts (qtbase_ru) not found\n");
    }
    wake_.setSingleShot(true);
    if (pictures().empty()) {
        setPictures(QDir(QCoreApplication::applicationDirPath())
                        .filePath(QStringLiteral("resources"))
                        .toStdString());
    }
    showExisting();
}

QtView::~QtView() {
    detach();
    for (const QPointer<QWidget> &widget : doomed_)
        delete widget.data();
    doomed_.clear();
    for (auto &[handle, widgets] : panels_) {
        if (widgets.surface && widgets.surface->parentWidget() == nullptr) delete widgets.surface;
    }
    panels_.clear();
    QCoreApplication::removeTranslator(translator_.get());
}

void QtView::pump() {
    handleEvents(QEventLoop::AllEvents);
}

void QtView::waitAndPump(std::chrono::milliseconds bound) {
    // The timer ends the wait when nothing else does.
    wake_.start(bound);
    handleEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    wake_.stop();
}

void QtView::handleEvents(QEventLoop::ProcessEventsFlags flags) {
    QCoreApplication::processEvents(flags);
    // Widgets of discarded panels go here, outside any handler of theirs.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    doomed_.erase(std::remove_if(doomed_.begin(), doomed_.end(),
                                 [](const QPointer<QWidget> &w) { return w.isNull(); }),
                  doomed_.end());
}

const QFont &QtView::font(const std::string &family) {
    // Matching a face is not free: each family is resolved once.
    auto it = fonts_.find(family);
    if (it == fonts_.end()) it = fonts_.emplace(family, panelFont(family)).first;
    return it->second;
}

PanelSurface *QtView::surface(int panel) const {
    const auto it = panels_.find(panel);
    return it == panels_.end() ? nullptr : it->second.surface.data();
}

QtView::ControlWidgets *QtView::widgets(int panel, int control) {
    const auto it = panels_.find(panel);
    if (it == panels_.end()) return nullptr;
    const auto c = it->second.controls.find(control);
    return c == it->second.controls.end() ? nullptr : &c->second;
}

QWidget *QtView::body(int panel, int control) const {
    const auto it = panels_.find(panel);
    if (it == panels_.end()) return nullptr;
    const auto c = it->second.controls.find(control);
    return c == it->second.controls.end() ? nullptr : c->second.body.data();
}

QLabel *QtView::label(int panel, int control) const {
    const auto it = panels_.find(panel);
    if (it == panels_.end()) return nullptr;
    const auto c = it->second.controls.find(control);
    return c == it->second.controls.end() ? nullptr : c->second.label.data();
}

// ---- Building ----------------------------------------------------------------------------

bool QtView::createPanel(int handle, const panel::Panel &model) {
    PanelWidgets &widgets = panels_[handle];
    widgets.controls.clear();
    // A panel loaded into another sits inside it; pages get their place from their tab.
    const bool child = model.parent != 0 && model.pageIndex < 0;
    auto *surface = new PanelSurface(child ? this->surface(model.parent) : nullptr);
    widgets.surface = surface;
    surface->setFont(font("Arial"));
    if (model.parent == 0) {
        connect(surface, &PanelSurface::closeRequested, this,
                [this, handle] { inputClose(handle); });
        connect(surface, &PanelSurface::resizedByOperator, this,
                [this, handle](int width, int height) { inputResize(handle, width, height); });
        connect(surface, &PanelSurface::defaultRequested, this,
                [this, handle] { inputDefault(handle); });
        connect(surface, &PanelSurface::escapeRequested, this,
                [this, handle] { inputEscape(handle); });
    }
    return true;
}

bool QtView::createControl(int panel, const Control &control) {
    const auto owner = panels_.find(panel);
    if (owner == panels_.end() || !owner->second.surface) return false;
    ControlWidgets &w = owner->second.controls[control.id];
    QWidget *parent = owner->second.surface;
    QWidget *body = nullptr;
    switch (control.kind) {
        case Kind::Button:
            body = new QPushButton(parent);
            break;
        case Kind::Numeric: {
            auto *field = new EntryField(parent);
            field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            body = field;
            break;
        }
        case Kind::String:
            body = new EntryField(parent);
            break;
        case Kind::TextMessage: {
            auto *text = new QLabel(parent);
            text->setTextFormat(Qt::PlainText);
            text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            body = text;
            break;
        }
        case Kind::TextBox:
            body = new LineBox(parent);
            break;
        case Kind::Ring:
            body = new QComboBox(parent);
            break;
        case Kind::ListBox:
            body = new ListBox(parent);
            break;
        case Kind::Tab:
            body = new QTabWidget(parent);
            break;
        case Kind::Picture:
            body = new PictureBox(parent);
            break;
        case Kind::Decoration:
            body = new DecorationBox(parent);
            break;
        case Kind::Splitter:
            body = new SplitterLine(parent);
            break;
        case Kind::CheckBox:
            body = new QCheckBox(parent);
            break;
    }
    w.body = body;
    if (panel::kindInfo(control.kind).labelBeside) {
        w.label = new QLabel(parent);
        w.label->setBuddy(body);
    }
    if (control.kind == Kind::Decoration) body->lower();
    connectOperator(panel, control, body);
    // Left hidden and unplaced: the core's first sync places the widgets before it shows them,
    // since a widget shown unplaced would first size itself to its contents, measuring its
    // text for nothing.
    return true;
}

void QtView::connectOperator(int panel, const Control &control, QWidget *body) {
    const int id = control.id;
    switch (control.kind) {
        case Kind::Button:
            connect(static_cast<QPushButton *>(body), &QPushButton::clicked, this,
                    [this, panel, id] { inputCommit(panel, id); });
            break;
        case Kind::Numeric:
        case Kind::String:
            connect(static_cast<EntryField *>(body), &EntryField::committed, this,
                    [this, panel, id](const QString &typed) {
                        inputText(panel, id, typed.toStdString());
                    });
            break;
        case Kind::CheckBox:
            connect(static_cast<QCheckBox *>(body), &QCheckBox::clicked, this,
                    [this, panel, id] { inputToggle(panel, id); });
            break;
        case Kind::Ring:
            connect(static_cast<QComboBox *>(body), &QComboBox::activated, this,
                    [this, panel, id](int index) { inputSelect(panel, id, index); });
            break;
        case Kind::ListBox: {
            auto *list = static_cast<ListBox *>(body);
            connect(list, &QListWidget::currentRowChanged, this,
                    [this, panel, id](int row) { inputSelect(panel, id, row); });
            connect(list, &QListWidget::itemDoubleClicked, this,
                    [this, panel, id] { inputDoubleClick(panel, id); });
            connect(list, &ListBox::commitRequested, this,
                    [this, panel, id] { inputCommit(panel, id); });
            break;
        }
        case Kind::Tab:
            connect(static_cast<QTabWidget *>(body), &QTabWidget::currentChanged, this,
                    [this, panel, id](int index) { inputSelect(panel, id, index); });
            break;
        case Kind::TextBox:
            // Only the operator's scrolling (bar, wheel, keys): resizes and appends also move
            // the bar and are not input.
            connect(static_cast<LineBox *>(body)->verticalScrollBar(),
                    &QAbstractSlider::actionTriggered, this, [this, panel, id, body] {
                        const int line =
                            static_cast<LineBox *>(body)->verticalScrollBar()->sliderPosition();
                        inputScroll(panel, id, line);
                    });
            break;
        default:
            break;
    }
}

void QtView::destroyControl(int panel, int control) {
    const auto owner = panels_.find(panel);
    if (owner == panels_.end()) return;
    const auto c = owner->second.controls.find(control);
    if (c == owner->second.controls.end()) return;
    if (c->second.body) c->second.body->deleteLater();
    if (c->second.label) c->second.label->deleteLater();
    owner->second.controls.erase(c);
}

void QtView::dropWindows(int handle, const std::vector<int> &gone) {
    const QPointer<PanelSurface> surface = this->surface(handle);
    for (int other : gone)
        panels_.erase(other);
    if (surface) {
        surface->hide();
        surface->deleteLater();
        doomed_.emplace_back(surface.data());
    }
}

void QtView::ownerGone(int handle) {
    // Taken from its owner, the window hides: showing it again is a sync's work.
    PanelSurface *own = surface(handle);
    if (own != nullptr && own->parentWidget() != nullptr) syncPanel(handle);
}

void QtView::refuseInput(int panel, int control, const std::string &reason) {
    QWidget *widget = body(panel, control);
    if (widget == nullptr) return;
    QToolTip::showText(widget->mapToGlobal(QPoint(0, widget->height())), qs(reason), widget);
}

void QtView::beep() {
    QApplication::beep();
}

// ---- Keeping in step ---------------------------------------------------------------------

void QtView::paintPanel(int handle, const panel::Panel &model) {
    PanelSurface *own = surface(handle);
    if (own == nullptr) return;
    QPalette palette = own->palette();
    palette.setColor(QPalette::Window, rgb(model.background));
    own->setPalette(palette);
}

void QtView::placeInner(int handle, const panel::Panel &model) {
    PanelSurface *own = surface(handle);
    if (own == nullptr) return;
    const panel::Geometry &g = model.geometry;
    own->setGeometry(g.left, g.top, g.width, g.height);
    own->setVisible(model.visible);
}

void QtView::placeWindow(int handle, const panel::Panel &model,
                         const panel::WindowPlacement &place) {
    PanelSurface *own = surface(handle);
    if (own == nullptr) return;
    PanelSurface &window = *own;
    window.setWindowTitle(qs(model.title));
    ownWindow(place.owner, model, window);
    const panel::Geometry &g = model.geometry;
    if (place.move) window.move(g.left, g.top);
    if (place.resize || window.sizable() != model.sizable) {
        window.setSizeFromModel(g.width, g.height, model.sizable);
    }
    const Qt::WindowModality wanted = place.modal ? Qt::ApplicationModal : Qt::NonModal;
    if (window.windowModality() != wanted) {
        // Modality takes effect only when the window is shown again.
        const bool wasVisible = window.isVisible();
        if (wasVisible) window.hide();
        window.setWindowModality(wanted);
        if (wasVisible && model.visible) window.show();
    }
}

void QtView::showWindow(int handle, const panel::Panel &model) {
    PanelSurface *own = surface(handle);
    if (own == nullptr || own->isVisible() == model.visible) return;
    own->setVisible(model.visible);
    if (model.visible && QGuiApplication::platformName() != QLatin1String("offscreen")) {
        own->raise();
        own->activateWindow();
    }
}

void QtView::ownWindow(int owner, const panel::Panel &model, PanelSurface &surface) {
    PanelSurface *ownerSurface = owner != 0 ? this->surface(owner) : nullptr;
    if (surface.parentWidget() == ownerSurface && (ownerSurface == nullptr || surface.isWindow())) {
        return;
    }
    // A dialog-type window with a parent has that parent's window as its transient parent:
    // the window manager keeps it above the main window and gives it no taskbar entry.
    Qt::WindowFlags flags = ownerSurface != nullptr ? Qt::Dialog : Qt::Window;
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
             Qt::WindowCloseButtonHint;
    if (ownerSurface == nullptr) flags |= Qt::WindowMinimizeButtonHint;
    if (model.sizable) flags |= Qt::WindowMaximizeButtonHint;
    const QPoint at = surface.pos();
    surface.setParent(ownerSurface, flags);  // hides the window; showWindow shows it again
    surface.move(at);
}

void QtView::showLook(const panel::Panel &owner, const Control &control) {
    ControlWidgets *found = widgets(owner.handle, control.id);
    if (found == nullptr || !found->body) return;
    ControlWidgets &w = *found;
    QWidget &body = *w.body;
    const QSignalBlocker blocker(&body);
    const auto &g = control.geometry;
    if (control.kind == Kind::Splitter) {
        static_cast<SplitterLine &>(body).setLineGeometry(QRect(g.left, g.top, g.width, g.height));
    } else {
        body.setGeometry(g.left, g.top, g.width, g.height);
    }
    body.setFont(font(control.font));
    body.setEnabled(!control.dimmed);

    QPalette palette = body.palette();
    const QColor text = rgb(control.textColor);
    const QColor face = rgb(control.background);
    const QColor area = rgb(control.textBackground);
    switch (control.kind) {
        case Kind::Button: {
            palette.setColor(QPalette::Button, face);
            setTextColour(palette, QPalette::ButtonText, text);
            auto &button = static_cast<QPushButton &>(body);
            button.setText(qs(panel::mnemonicLabel(control.label)));
            // As in a dialog: Enter presses the button with the focus, else the default one.
            // The default button keeps its mark; the others take Enter only while focused.
            const bool isDefault = owner.defaultControl == control.id;
            button.setAutoDefault(!isDefault);
            button.setDefault(isDefault);
            break;
        }
        case Kind::Numeric:
        case Kind::String: {
            palette.setColor(QPalette::Base, area);
            setTextColour(palette, QPalette::Text, text);
            auto &field = static_cast<EntryField &>(body);
            field.setReadOnly(control.mode != Mode::Hot);
            field.setFocusPolicy(control.mode == Mode::Hot ? Qt::StrongFocus : Qt::NoFocus);
            if (control.kind == Kind::String && control.maxLength > 0) {
                field.setMaxLength(control.maxLength);
            }
            break;
        }
        case Kind::TextMessage: {
            setTextColour(palette, QPalette::WindowText, text);
            // A message on the panel's own colour stays transparent over decorations.
            const bool ownFace = control.background != owner.background;
            palette.setColor(QPalette::Window, face);
            body.setAutoFillBackground(ownFace);
            break;
        }
        case Kind::TextBox:
        case Kind::ListBox:
            palette.setColor(QPalette::Base, area);
            setTextColour(palette, QPalette::Text, text);
            break;
        case Kind::Ring:
            palette.setColor(QPalette::Button, face);
            palette.setColor(QPalette::Base, area);
            setTextColour(palette, QPalette::ButtonText, text);
            setTextColour(palette, QPalette::Text, text);
            break;
        case Kind::Decoration:
            palette.setColor(QPalette::Window, face);
            body.setAutoFillBackground(true);
            break;
        case Kind::CheckBox: {
            setTextColour(palette, QPalette::WindowText, text);
            auto &box = static_cast<QCheckBox &>(body);
            box.setText(qs(panel::mnemonicLabel(control.label)));
            box.setFocusPolicy(control.mode == Mode::Hot ? Qt::StrongFocus : Qt::NoFocus);
            box.setAttribute(Qt::WA_TransparentForMouseEvents, control.mode != Mode::Hot);
            break;
        }
        case Kind::Picture: {
            auto &picture = static_cast<PictureBox &>(body);
            if (w.shownImage != control.image || !picture.hasImage()) {
                w.shownImage = control.image;
                picture.showFile(QString::fromStdString(picturePath(control.image).string()));
            }
            break;
        }
        case Kind::Tab:
        case Kind::Splitter:
            break;
    }
    body.setPalette(palette);
    body.setVisible(control.visible);

    if (w.label) {
        w.label->setText(qs(panel::mnemonicLabel(control.label)));
        // Labels are in the panel's face even where the text is monospaced.
        w.label->setFont(font("Arial"));
        w.label->setEnabled(!control.dimmed);
        const QFontMetrics metrics(w.label->font());
        const panel::Geometry at = panel::labelPlace(
            control.geometry, metrics.horizontalAdvance(qs(control.displayLabel())),
            metrics.height());
        w.label->setGeometry(at.left, at.top, at.width, at.height);
        w.label->setVisible(control.visible && !control.label.empty());
    }
}

void QtView::showValue(int panel, const Control &control, const std::string &text) {
    QWidget *found = body(panel, control.id);
    if (found == nullptr) return;
    QWidget &body = *found;
    const QSignalBlocker blocker(&body);
    switch (control.kind) {
        case Kind::Numeric:
        case Kind::String:
            static_cast<EntryField &>(body).showModelText(qs(text));
            break;
        case Kind::CheckBox:
            static_cast<QCheckBox &>(body).setChecked(control.number != 0);
            break;
        case Kind::TextMessage:
            static_cast<QLabel &>(body).setText(qs(text));
            break;
        case Kind::Ring: {
            auto &ring = static_cast<QComboBox &>(body);
            ring.setCurrentIndex(control.index < ring.count() ? control.index : -1);
            break;
        }
        case Kind::ListBox: {
            auto &list = static_cast<ListBox &>(body);
            const QSignalBlocker selection(list.selectionModel());
            list.setCurrentRow(control.index < list.count() ? control.index : -1);
            break;
        }
        default:
            break;
    }
}

void QtView::showItems(int panel, const Control &control) {
    QWidget *found = body(panel, control.id);
    if (found == nullptr) return;
    QWidget &body = *found;
    const QSignalBlocker blocker(&body);
    const QStringList labels = itemLabels(control.items);
    if (control.kind == Kind::Ring) {
        auto &ring = static_cast<QComboBox &>(body);
        QStringList shown;
        for (int i = 0; i < ring.count(); ++i)
            shown << ring.itemText(i);
        if (shown != labels) {
            ring.clear();
            ring.addItems(labels);
        }
    } else if (control.kind == Kind::ListBox) {
        auto &list = static_cast<ListBox &>(body);
        const QSignalBlocker selection(list.selectionModel());
        QStringList shown;
        for (int i = 0; i < list.count(); ++i)
            shown << list.item(i)->text();
        if (shown != labels) {
            list.clear();
            list.addItems(labels);
        }
    }
}

void QtView::showLines(int panel, const Control &control, std::size_t kept) {
    auto *box = qobject_cast<LineBox *>(body(panel, control.id));
    if (box == nullptr) return;
    QStringList lines;
    for (auto it = control.lines.begin() + static_cast<std::ptrdiff_t>(kept);
         it != control.lines.end(); ++it) {
        lines << qs(*it);
    }
    if (kept == 0) {
        box->showLines(lines);
    } else if (!lines.isEmpty()) {
        box->appendLines(lines);
    }
    box->showFirstLine(control.firstVisibleLine);
}

void QtView::showPages(int panel, const Control &tab, const std::vector<int> &pages) {
    auto *found = qobject_cast<QTabWidget *>(body(panel, tab.id));
    if (found == nullptr) return;
    QTabWidget &tabs = *found;
    const QSignalBlocker blocker(&tabs);
    int index = 0;
    for (int page : pages) {
        PanelSurface *surface = this->surface(page);
        const panel::Panel *model = this->model().panel(page);
        if (surface == nullptr || model == nullptr) continue;
        const QString caption =
            qs(panel::mnemonicLabel(model->title.empty() ? model->constant : model->title));
        const int at = tabs.indexOf(surface);
        if (at != index) {
            if (at >= 0) tabs.removeTab(at);
            tabs.insertTab(index, surface, caption);
        } else {
            tabs.setTabText(index, caption);
        }
        QPalette palette = surface->palette();
        palette.setColor(QPalette::Window, rgb(model->background));
        surface->setPalette(palette);
        // The tab lays out the shown page; the others keep the model's size meanwhile.
        if (tabs.currentWidget() != surface) {
            surface->setSizeFromModel(model->geometry.width, model->geometry.height);
        }
        ++index;
    }
    while (tabs.count() > index)
        tabs.removeTab(index);
}

void QtView::frontPage(int panel, const Control &tab, const std::vector<int> &, bool hasFront) {
    auto *tabs = qobject_cast<QTabWidget *>(body(panel, tab.id));
    if (tabs == nullptr || !hasFront) return;
    const QSignalBlocker blocker(tabs);
    tabs->setCurrentIndex(tab.index);
}

void QtView::showMessage(const std::string &title, const std::string &text) {
    QMessageBox box(QMessageBox::Information, qs(title), qs(text), QMessageBox::Ok,
                    surface(mainPanel()));
    box.setWindowModality(Qt::ApplicationModal);
    // As a Russian desktop labels it; Qt's own translation keeps the Latin letters.
    box.button(QMessageBox::Ok)->setText(QStringLiteral("ОК"));
    // The box sizes itself to its text; a longer title would be cut in the title bar. The
    // allowance covers the window's icon and buttons.
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout())) {
        const int titleWidth = QFontMetrics(box.font()).horizontalAdvance(qs(title)) * 5 / 4 + 140;
        grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    box.exec();
}

int QtView::selectFile(const panel::FileRequest &request, std::string &path) {
    QFileDialog dialog(surface(mainPanel()), qs(request.title), qs(request.startDirectory));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (!request.allowMakeDirectory) dialog.setOption(QFileDialog::ReadOnly, true);
    QStringList filters;
    for (const QString &pattern :
         qs(request.fileTypeList).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        filters << pattern.trimmed();
    }
    const QString fileSpec = qs(request.defaultFileSpec);
    if (fileSpec.contains(QLatin1Char('*')) || fileSpec.contains(QLatin1Char('?'))) {
        filters.removeAll(fileSpec);
        filters.prepend(fileSpec);
    } else if (!fileSpec.isEmpty()) {
        dialog.selectFile(fileSpec);
    }
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (!request.buttonLabel.empty()) {
        dialog.setLabelText(QFileDialog::Accept, qs(request.buttonLabel));
    }
    if (request.restrictDirectory && !request.startDirectory.empty()) {
        const QString home = qs(request.startDirectory);
        connect(&dialog, &QFileDialog::directoryEntered, &dialog,
                [&dialog, home](const QString &dir) {
                    if (QDir(dir) != QDir(home)) dialog.setDirectory(home);
                });
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        path.clear();
        return VAL_NO_FILE_SELECTED;
    }
    QString chosen = dialog.selectedFiles().constFirst();
    // A new name typed without the extension the caller insists on gets it.
    const QString wanted = fileSpec.startsWith(QStringLiteral("*.")) ? fileSpec.mid(1) : QString();
    if (request.restrictExtension && !wanted.isEmpty() && !wanted.contains(QLatin1Char('*')) &&
        !chosen.endsWith(wanted, Qt::CaseInsensitive) && !QFileInfo::exists(chosen)) {
        chosen += wanted;
    }
    path = QDir::toNativeSeparators(chosen).toStdString();
    return QFileInfo::exists(chosen) ? VAL_EXISTING_FILE_SELECTED : VAL_NEW_FILE_SELECTED;
}

bool QtView::picture(int panel, const std::filesystem::path &file, std::string &) {
    PanelSurface *own = surface(panel);
    const QPixmap picture = own != nullptr ? own->grab() : QPixmap();
    return !picture.isNull() && picture.save(QString::fromStdString(file.string()), "PNG");
}

panel::ScreenSize QtView::screen() const {
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (primary == nullptr) return {};
    const QRect area = primary->availableGeometry();
    return {area.width(), area.height()};
}

}  // namespace trl4::panelqt

namespace panel {

View *createQtView(Model &model, int &argc, char **argv) {
    try {
        std::unique_ptr<QApplication> app;
        QCoreApplication *existing = QCoreApplication::instance();
        if (existing == nullptr) {
            // Qt ends the process when its platform cannot start: check what can be checked.
            const char *platform = std::getenv("QT_QPA_PLATFORM");
            const std::string chosen = platform != nullptr ? platform : "";
            const bool needsServer =
                chosen.empty() || chosen.rfind("xcb", 0) == 0 || chosen.rfind("wayland", 0) == 0;
            const bool server =
                std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
            if (needsServer && !server) {
                std::fprintf(stderr,
                             "qt view: no display (set DISPLAY, or QT_QPA_PLATFORM=offscreen)\n");
                return nullptr;
            }
            app = std::make_unique<QApplication>(argc, argv);
        } else if (qobject_cast<QApplication *>(existing) == nullptr) {
            std::fprintf(stderr, "qt view: the program runs without widgets\n");
            return nullptr;
        }
        return new trl4::panelqt::QtView(model, std::move(app));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "qt view: %s\n", e.what());
        return nullptr;
    }
}

}  // namespace panel
