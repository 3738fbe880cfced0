#include "panel/qt_view.h"

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

#include "panel/program_files.h"
#include "panel/view_support.h"
#include "qt_view_impl.h"

namespace trl4::panelqt {

using panel::Control;
using panel::ControlChange;
using panel::Input;
using panel::Kind;
using panel::Mode;
using panel::PanelChange;

namespace {

constexpr int kFontPixels = 12;
constexpr int kLabelGap = 1;

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
    : model_(model), app_(std::move(ownedApp)) {
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
    const std::filesystem::path pictures = panel::findProgramFile("resources");
    pictureFolder_ =
        pictures.empty()
            ? QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("resources"))
            : QString::fromStdString(pictures.string());
    for (int handle : model_.panelHandles()) {
        if (wanted(handle)) syncPanel(handle);
    }
}

QtView::~QtView() {
    if (model_.view() == this) model_.setView(nullptr);
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

int QtView::topLevel(int handle) const {
    return panel::topLevelPanel(model_, handle);
}

bool QtView::built(int handle) const {
    const auto it = panels_.find(handle);
    return it != panels_.end() && it->second.surface;
}

bool QtView::wanted(int handle) const {
    const int top = topLevel(handle);
    if (top == 0) return false;
    if (built(top)) return true;
    const panel::Panel *model = model_.panel(top);
    return model != nullptr && model->visible;
}

QtView::PanelWidgets *QtView::ensurePanel(int handle) {
    if (auto it = panels_.find(handle); it != panels_.end() && it->second.surface) {
        return &it->second;
    }
    const panel::Panel *model = model_.panel(handle);
    if (model == nullptr) return nullptr;
    if (model->parent != 0 && ensurePanel(model->parent) == nullptr) return nullptr;
    // Building the parent may have built this page already, through its tab control.
    if (auto it = panels_.find(handle); it != panels_.end() && it->second.surface) {
        return &it->second;
    }

    PanelWidgets &widgets = panels_[handle];
    widgets.controls.clear();
    // A panel loaded into another sits inside it; pages get their place from their tab.
    const bool child = model->parent != 0 && model->pageIndex < 0;
    auto *surface = new PanelSurface(child ? panels_[model->parent].surface.data() : nullptr);
    widgets.surface = surface;
    surface->setFont(font("Arial"));
    if (model->parent == 0) {
        connect(surface, &PanelSurface::closeRequested, this, [this, handle] {
            const Input result = model_.operatorClose(handle);
            if (result != Input::Accepted) QApplication::beep();
        });
        connect(surface, &PanelSurface::resizedByOperator, this,
                [this, handle](int width, int height) {
                    model_.operatorResize(handle, width, height);
                });
        connect(surface, &PanelSurface::defaultRequested, this,
                [this, handle] { pressDefault(handle); });
        // Esc leaves an owned window as its close box does; the main window stays.
        connect(surface, &PanelSurface::escapeRequested, this, [this, handle] {
            if (handle == mainPanel_) return;
            if (model_.operatorClose(handle) != Input::Accepted) QApplication::beep();
        });
    }
    // A page behind another waits for its turn in front.
    const panel::Control *tab =
        model->pageIndex >= 0 ? model_.control(model->parent, model->tabControl) : nullptr;
    if (tab == nullptr || tab->index == model->pageIndex) fillPanel(handle);
    return &panels_[handle];
}

void QtView::fillPage(const Control &tab) {
    if (tab.index >= 0 && static_cast<std::size_t>(tab.index) < tab.pages.size()) {
        fillPanel(tab.pages[static_cast<std::size_t>(tab.index)]);
    }
}

void QtView::fillPanel(int handle) {
    auto it = panels_.find(handle);
    const panel::Panel *model = model_.panel(handle);
    if (it == panels_.end() || !it->second.surface || it->second.filled || model == nullptr) {
        return;
    }
    it->second.filled = true;
    for (const Control &control : model->controls) {
        buildControl(handle, it->second, control);
    }
    // Panels loaded into this one come with it.
    for (int other : model_.panelHandles()) {
        const panel::Panel *inner = model_.panel(other);
        if (inner != nullptr && inner->parent == handle && inner->pageIndex < 0) {
            ensurePanel(other);
            syncPanel(other);
        }
    }
}

void QtView::buildControl(int panel, PanelWidgets &widgets, const Control &control) {
    ControlWidgets &w = widgets.controls[control.id];
    if (w.body) return;
    w.kind = control.kind;
    QWidget *parent = widgets.surface;
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
    }
    w.body = body;
    if (panel::hasOwnLabel(control.kind)) {
        w.label = new QLabel(parent);
        w.label->setBuddy(body);
    }
    if (control.kind == Kind::Decoration) body->lower();
    // A page built before its tab was shown follows the tab's show state, not its own.
    body->setVisible(control.visible);
    if (w.label) w.label->setVisible(control.visible);

    connectOperator(panel, control, body);
    const panel::Panel *owner = model_.panel(panel);
    if (owner != nullptr) syncLook(*owner, control, w);
    syncItems(control, w);
    syncLines(control, w);
    syncValue(control, w);
    if (control.kind == Kind::Tab) syncPages(panel, control, w);
}

void QtView::connectOperator(int panel, const Control &control, QWidget *body) {
    const int id = control.id;
    switch (control.kind) {
        case Kind::Button:
            connect(static_cast<QPushButton *>(body), &QPushButton::clicked, this,
                    [this, panel, id] { afterInput(panel, id, model_.operatorCommit(panel, id)); });
            break;
        case Kind::Numeric:
        case Kind::String:
            connect(static_cast<EntryField *>(body), &EntryField::committed, this,
                    [this, panel, id](const QString &typed) {
                        afterInput(panel, id,
                                   model_.operatorSetText(panel, id, typed.toStdString(), true));
                    });
            break;
        case Kind::Ring:
            connect(static_cast<QComboBox *>(body), &QComboBox::activated, this,
                    [this, panel, id](int index) {
                        const Control *now = model_.control(panel, id);
                        if (now != nullptr && now->index == index) return;
                        afterInput(panel, id, model_.operatorSelect(panel, id, index));
                    });
            break;
        case Kind::ListBox: {
            auto *list = static_cast<ListBox *>(body);
            connect(list, &QListWidget::currentRowChanged, this, [this, panel, id](int row) {
                const Control *now = model_.control(panel, id);
                if (row < 0 || (now != nullptr && now->index == row)) return;
                afterInput(panel, id, model_.operatorSelect(panel, id, row));
            });
            connect(list, &QListWidget::itemDoubleClicked, this, [this, panel, id] {
                afterInput(panel, id, model_.operatorDoubleClick(panel, id));
            });
            connect(list, &ListBox::commitRequested, this,
                    [this, panel, id] { afterInput(panel, id, model_.operatorCommit(panel, id)); });
            break;
        }
        case Kind::Tab:
            connect(static_cast<QTabWidget *>(body), &QTabWidget::currentChanged, this,
                    [this, panel, id](int index) {
                        const Control *now = model_.control(panel, id);
                        if (index < 0 || (now != nullptr && now->index == index)) return;
                        afterInput(panel, id, model_.operatorSelect(panel, id, index));
                    });
            break;
        case Kind::TextBox:
            // Scrolling is the operator's own business; the model only hears where it went.
            // Only the operator's scrolling (bar, wheel, keys): resizes and appends also move
            // the bar and are not input.
            connect(static_cast<LineBox *>(body)->verticalScrollBar(),
                    &QAbstractSlider::actionTriggered, this, [this, panel, id, body] {
                        const int line =
                            static_cast<LineBox *>(body)->verticalScrollBar()->sliderPosition();
                        model_.operatorScroll(panel, id, line);
                    });
            break;
        default:
            break;
    }
}

void QtView::afterInput(int panel, int control, Input result) {
    if (result != Input::Accepted) {
        QWidget *widget = body(panel, control);
        const Control *model = model_.control(panel, control);
        if (widget != nullptr && model != nullptr &&
            (result == Input::BadValue || result == Input::TooLong)) {
            // The operator reads Russian; the model's reasons are for scripts and logs.
            const QString reason = result == Input::TooLong
                                       ? QStringLiteral("Не более %1 симв.").arg(model->maxLength)
                                       : QStringLiteral("Введите число");
            QToolTip::showText(widget->mapToGlobal(QPoint(0, widget->height())), reason, widget);
        } else {
            QApplication::beep();
        }
    }
    // Accepted or not, the widget shows what the model holds now.
    syncControl(panel, control);
}

void QtView::syncPanel(int handle) {
    const panel::Panel *model = model_.panel(handle);
    PanelWidgets *widgets = ensurePanel(handle);
    if (model == nullptr || widgets == nullptr || !widgets->surface) return;
    PanelSurface &surface = *widgets->surface;
    QPalette palette = surface.palette();
    palette.setColor(QPalette::Window, rgb(model->background));
    surface.setPalette(palette);
    if (model->parent != 0 && model->pageIndex < 0) {
        const panel::Geometry &g = model->geometry;
        surface.setGeometry(g.left, g.top, g.width, g.height);
        surface.setVisible(model->visible);
        return;
    }
    if (model->parent != 0) {
        // A page: its caption lives on the tab, its place is the tab's.
        const Control *tab = model_.control(model->parent, model->tabControl);
        QWidget *tabBody = body(model->parent, model->tabControl);
        if (tab != nullptr && tabBody != nullptr) {
            auto &parentWidgets = panels_[model->parent];
            syncPages(model->parent, *tab, parentWidgets.controls[model->tabControl]);
        }
        return;
    }
    surface.setWindowTitle(qs(model->title));
    if (mainPanel_ == 0 && model->visible) mainPanel_ = handle;
    ownWindow(handle, *model, surface);
    // Only a change of the model's geometry moves the window: a panel the operator dragged
    // stays where it was put when the program changes, say, its title.
    const panel::Geometry &g = model->geometry;
    if (!widgets->placed || widgets->placedAt.top != g.top || widgets->placedAt.left != g.left) {
        surface.move(g.left, g.top);
    }
    if (!widgets->placed || widgets->placedAt.width != g.width ||
        widgets->placedAt.height != g.height || surface.sizable() != model->sizable) {
        surface.setSizeFromModel(g.width, g.height, model->sizable);
    }
    widgets->placed = true;
    widgets->placedAt = g;
    const bool modal =
        std::find(model_.popups().begin(), model_.popups().end(), handle) != model_.popups().end();
    const Qt::WindowModality wanted = modal ? Qt::ApplicationModal : Qt::NonModal;
    if (surface.windowModality() != wanted) {
        // Modality takes effect only when the window is shown again.
        const bool wasVisible = surface.isVisible();
        if (wasVisible) surface.hide();
        surface.setWindowModality(wanted);
        if (wasVisible && model->visible) surface.show();
    }
    if (surface.isVisible() != model->visible) {
        surface.setVisible(model->visible);
        if (model->visible && QGuiApplication::platformName() != QLatin1String("offscreen")) {
            surface.raise();
            surface.activateWindow();
        }
    }
}

void QtView::ownWindow(int handle, const panel::Panel &model, PanelSurface &surface) {
    const bool owned = mainPanel_ != 0 && handle != mainPanel_;
    PanelSurface *owner = owned ? this->surface(mainPanel_) : nullptr;
    if (surface.parentWidget() == owner && (owner == nullptr || surface.isWindow())) return;
    // A dialog-type window with a parent has that parent's window as its transient parent:
    // the window manager keeps it above the main window and gives it no taskbar entry.
    Qt::WindowFlags flags = owner != nullptr ? Qt::Dialog : Qt::Window;
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
             Qt::WindowCloseButtonHint;
    if (owner == nullptr) flags |= Qt::WindowMinimizeButtonHint;
    if (model.sizable) flags |= Qt::WindowMaximizeButtonHint;
    const QPoint at = surface.pos();
    surface.setParent(owner, flags);  // hides the window; the caller shows it again
    surface.move(at);
}

void QtView::pressDefault(int handle) {
    const panel::Panel *model = model_.panel(handle);
    if (model == nullptr || model->defaultControl == 0) return;
    afterInput(handle, model->defaultControl, model_.operatorCommit(handle, model->defaultControl));
}

void QtView::syncControl(int panel, int id) {
    const panel::Panel *owner = model_.panel(panel);
    const Control *control = model_.control(panel, id);
    auto it = panels_.find(panel);
    if (owner == nullptr || control == nullptr || it == panels_.end()) return;
    auto c = it->second.controls.find(id);
    if (c == it->second.controls.end() || !c->second.body) return;
    ControlWidgets &w = c->second;
    syncLook(*owner, *control, w);
    syncItems(*control, w);
    syncLines(*control, w);
    syncValue(*control, w);
    if (control->kind == Kind::Tab) syncPages(panel, *control, w);
}

void QtView::syncLook(const panel::Panel &owner, const Control &control, ControlWidgets &w) {
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
            button.setText(mnemonicText(qs(control.label)));
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
        case Kind::Picture: {
            auto &picture = static_cast<PictureBox &>(body);
            if (w.shownImage != control.image || !picture.hasImage()) {
                w.shownImage = control.image;
                picture.showFile(picturePath(control.image));
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
        const QString caption = mnemonicText(qs(control.label));
        w.label->setText(caption);
        // Labels are in the panel's face even where the text is monospaced.
        w.label->setFont(font("Arial"));
        w.label->setEnabled(!control.dimmed);
        placeLabel(control, *w.label);
        w.label->setVisible(control.visible && !control.label.empty());
    }
}

void QtView::placeLabel(const Control &control, QLabel &label) {
    // Above the control, as instrument panels label their fields; to its left when the
    // control sits at the panel's top edge.
    const QFontMetrics metrics(label.font());
    const int width = metrics.horizontalAdvance(qs(control.displayLabel())) + 4;
    const int height = metrics.height();
    const auto &g = control.geometry;
    if (g.top >= height + kLabelGap) {
        label.setGeometry(g.left, g.top - height - kLabelGap, width, height);
    } else {
        label.setGeometry(std::max(0, g.left - width - 4), g.top + (g.height - height) / 2, width,
                          height);
    }
}

void QtView::syncValue(const Control &control, ControlWidgets &w) {
    QWidget &body = *w.body;
    const QSignalBlocker blocker(&body);
    switch (control.kind) {
        case Kind::Numeric:
            static_cast<EntryField &>(body).showModelText(qs(panel::formatValue(control)));
            break;
        case Kind::String:
            static_cast<EntryField &>(body).showModelText(qs(control.text));
            break;
        case Kind::TextMessage:
            static_cast<QLabel &>(body).setText(control.text.empty() ? qs(control.displayLabel())
                                                                     : qs(control.text));
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
        case Kind::Tab: {
            auto &tabs = static_cast<QTabWidget &>(body);
            if (control.index >= 0 && control.index < tabs.count()) {
                fillPage(control);
                tabs.setCurrentIndex(control.index);
            }
            break;
        }
        default:
            break;
    }
}

void QtView::syncItems(const Control &control, ControlWidgets &w) {
    QWidget &body = *w.body;
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

void QtView::syncLines(const Control &control, ControlWidgets &w) {
    if (control.kind != Kind::TextBox) return;
    auto &box = static_cast<LineBox &>(*w.body);
    const auto &lines = control.lines;
    if (!panel::linesOnlyGrew(w.shownLines, lines)) {
        QStringList all;
        for (const auto &line : lines)
            all << qs(line);
        box.showLines(all);
    } else if (lines.size() > w.shownLines.size()) {
        QStringList tail;
        for (auto it = lines.begin() + static_cast<std::ptrdiff_t>(w.shownLines.size());
             it != lines.end(); ++it) {
            tail << qs(*it);
        }
        box.appendLines(tail);
    }
    w.shownLines = lines;
    box.showFirstLine(control.firstVisibleLine);
}

void QtView::syncPages(int panel, const Control &control, ControlWidgets &w) {
    auto &tabs = static_cast<QTabWidget &>(*w.body);
    const QSignalBlocker blocker(&tabs);
    int index = 0;
    for (int page : control.pages) {
        PanelWidgets *pageWidgets = ensurePanel(page);
        const panel::Panel *model = model_.panel(page);
        if (pageWidgets == nullptr || model == nullptr || !pageWidgets->surface) continue;
        PanelSurface *surface = pageWidgets->surface;
        const QString caption =
            mnemonicText(qs(model->title.empty() ? model->constant : model->title));
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
    (void)panel;
    if (control.index >= 0 && control.index < tabs.count()) {
        fillPage(control);
        tabs.setCurrentIndex(control.index);
    }
}

QString QtView::picturePath(const std::string &image) const {
    if (image.empty()) return {};
    const QString name = qs(image);
    if (QFileInfo(name).isAbsolute()) return name;
    return QDir(pictureFolder_).filePath(name);
}

void QtView::dropPanel(int handle) {
    auto it = panels_.find(handle);
    if (it == panels_.end()) return;
    QPointer<PanelSurface> surface = it->second.surface;
    // Pages go with their panel: forget every entry whose surface lies inside this one.
    for (auto other = panels_.begin(); other != panels_.end();) {
        if (other->first != handle && other->second.surface && surface &&
            surface->isAncestorOf(other->second.surface)) {
            other = panels_.erase(other);
        } else {
            ++other;
        }
    }
    panels_.erase(handle);
    if (handle == mainPanel_) {
        // Owned windows outlive their owner's widgets: they stand alone until another
        // main window appears.
        mainPanel_ = 0;
        for (const auto &[other, widgets] : panels_) {
            if (widgets.surface && surface && widgets.surface->parentWidget() == surface) {
                const panel::Panel *model = model_.panel(other);
                if (model != nullptr && model->parent == 0) syncPanel(other);
            }
        }
    }
    if (surface) {
        surface->hide();
        surface->deleteLater();
        doomed_.emplace_back(surface.data());
    }
}

void QtView::panelChanged(int panel, PanelChange change) {
    if (change == PanelChange::Discarded) {
        dropPanel(panel);
        return;
    }
    // Widgets wait until the panel is first shown: loading costs only the model.
    if (wanted(panel)) syncPanel(panel);
}

void QtView::controlChanged(int panel, int control, ControlChange change) {
    // Controls of a panel not yet built are built from the model when it is.
    if (!wanted(panel)) return;
    PanelWidgets *widgets = ensurePanel(panel);
    const Control *model = model_.control(panel, control);
    if (widgets == nullptr || !widgets->filled) return;
    if (model == nullptr) {
        // Gone from the model: take its widgets away.
        auto c = widgets->controls.find(control);
        if (c != widgets->controls.end()) {
            if (c->second.body) c->second.body->deleteLater();
            if (c->second.label) c->second.label->deleteLater();
            widgets->controls.erase(c);
        }
        return;
    }
    auto c = widgets->controls.find(control);
    if (c == widgets->controls.end() || !c->second.body) {
        buildControl(panel, *widgets, *model);
        return;
    }
    ControlWidgets &w = c->second;
    switch (change) {
        case ControlChange::Created:
        case ControlChange::Attributes:
            syncControl(panel, control);
            break;
        case ControlChange::Value:
            syncValue(*model, w);
            break;
        case ControlChange::Items:
            syncItems(*model, w);
            syncValue(*model, w);
            break;
        case ControlChange::Lines:
            syncLines(*model, w);
            break;
    }
}

void QtView::popupChanged(int panel, bool) {
    if (wanted(panel)) syncPanel(panel);
}

void QtView::showMessage(const std::string &title, const std::string &text) {
    QMessageBox box(QMessageBox::Information, qs(title), qs(text), QMessageBox::Ok,
                    surface(mainPanel_));
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
    QFileDialog dialog(surface(mainPanel_), qs(request.title), qs(request.startDirectory));
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

bool QtView::shot(int panel, const std::string &file, std::string &error) {
    // A panel never shown is built for its picture.
    if (const int top = topLevel(panel); top != 0 && !built(top)) syncPanel(top);
    PanelWidgets *widgets = ensurePanel(panel);
    fillPanel(panel);
    if (widgets == nullptr || !widgets->surface) {
        error = "no panel with handle " + std::to_string(panel);
        return false;
    }
    const QString target = qs(file);
    const QFileInfo info(target);
    if (!QDir().mkpath(info.absolutePath())) {
        error = "cannot create the folder " + info.absolutePath().toStdString();
        return false;
    }
    const QPixmap picture = widgets->surface->grab();
    if (picture.isNull() || !picture.save(target, "PNG")) {
        error = "cannot write the picture " + file;
        return false;
    }
    return true;
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
