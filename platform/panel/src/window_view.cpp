#include "panel/window_view.h"

#include <algorithm>
#include <system_error>

#include "panel/program_files.h"
#include "text.h"

namespace panel {

namespace {

constexpr int kLabelGap = 1;

// What an entry field or a text message shows of the model.
std::string shownText(const Control &control) {
    switch (control.kind) {
        case Kind::Numeric:
            return formatValue(control);
        case Kind::String:
            return control.text;
        case Kind::TextMessage:
            return control.text.empty() ? control.displayLabel() : control.text;
        default:
            return {};
    }
}

// Whether `now` is the `shown` lines with more added at the end, so a view appends them
// instead of showing everything again.
bool linesOnlyGrew(const std::vector<std::string> &shown, const std::vector<std::string> &now) {
    return !shown.empty() && now.size() >= shown.size() &&
           std::equal(shown.begin(), shown.end(), now.begin());
}

}  // namespace

int topLevelPanel(const Model &model, int handle) {
    const Panel *panel = model.panel(handle);
    // Parents come before their pages, so the walk ends.
    while (panel != nullptr && panel->parent != 0) {
        handle = panel->parent;
        panel = model.panel(handle);
    }
    return panel == nullptr ? 0 : handle;
}

std::string mnemonicLabel(const std::string &label) {
    const bool shortcut = label.rfind("__", 0) == 0 && label.size() > 2;
    std::string out = shortcut ? "&" : "";
    for (std::size_t i = shortcut ? 2 : 0; i < label.size(); ++i) {
        if (label[i] == '&') out += '&';
        out += label[i];
    }
    return out;
}

Geometry labelPlace(const Geometry &control, int textWidth, int textHeight) {
    const int width = textWidth + 4;
    if (control.top >= textHeight + kLabelGap) {
        return {control.top - textHeight - kLabelGap, control.left, width, textHeight};
    }
    return {control.top + (control.height - textHeight) / 2, std::max(0, control.left - width - 4),
            width, textHeight};
}

WindowView::WindowView(Model &model)
    : model_(model), pictureFolder_(findProgramFile("resources")) {}

WindowView::~WindowView() {
    detach();
}

void WindowView::detach() {
    if (model_.view() == this) model_.setView(nullptr);
}

void WindowView::showExisting() {
    for (int handle : model_.panelHandles()) {
        if (wanted(handle)) syncPanel(handle);
    }
}

WindowView::PanelRecord *WindowView::record(int handle) {
    const auto it = panels_.find(handle);
    return it == panels_.end() ? nullptr : &it->second;
}

WindowView::ControlRecord *WindowView::record(int panel, int control) {
    PanelRecord *owner = record(panel);
    if (owner == nullptr) return nullptr;
    const auto it = owner->controls.find(control);
    return it == owner->controls.end() ? nullptr : &it->second;
}

bool WindowView::builtControl(int panel, int control) const {
    const auto it = panels_.find(panel);
    return it != panels_.end() && it->second.controls.count(control) != 0;
}

bool WindowView::wanted(int handle) const {
    const int top = topLevelPanel(model_, handle);
    if (top == 0) return false;
    if (built(top)) return true;
    const Panel *model = model_.panel(top);
    return model != nullptr && model->visible;
}

std::filesystem::path WindowView::picturePath(const std::string &image) const {
    if (image.empty()) return {};
    const std::filesystem::path name = text::pathOf(image);
    if (name.is_absolute() || pictureFolder_.empty()) return name;
    return pictureFolder_ / name;
}

// ---- Building: a panel's widgets wait until it is first shown -----------------------------

bool WindowView::ensurePanel(int handle) {
    if (built(handle)) return true;
    const Panel *model = model_.panel(handle);
    if (model == nullptr) return false;
    if (model->parent != 0 && !ensurePanel(model->parent)) return false;
    // Building the parent may have built this page already, through its tab control.
    if (built(handle)) return true;
    const Updating updating(*this);
    if (!createPanel(handle, *model)) return false;
    panels_[handle].parent = model->parent;
    // A page behind another waits for its turn in front.
    const Control *tab =
        model->pageIndex >= 0 ? model_.control(model->parent, model->tabControl) : nullptr;
    if (tab == nullptr || tab->index == model->pageIndex) fillPanel(handle);
    return true;
}

void WindowView::fillPage(const Control &tab) {
    if (tab.index >= 0 && static_cast<std::size_t>(tab.index) < tab.pages.size()) {
        fillPanel(tab.pages[static_cast<std::size_t>(tab.index)]);
    }
}

void WindowView::fillPanel(int handle) {
    PanelRecord *own = record(handle);
    const Panel *model = model_.panel(handle);
    if (own == nullptr || own->filled || model == nullptr) return;
    own->filled = true;
    for (const Control &control : model->controls)
        buildControl(handle, control);
    // Panels loaded into this one come with it.
    for (int other : model_.panelHandles()) {
        const Panel *inner = model_.panel(other);
        if (inner != nullptr && inner->parent == handle && inner->pageIndex < 0) {
            ensurePanel(other);
            syncPanel(other);
        }
    }
}

void WindowView::buildControl(int panel, const Control &control) {
    PanelRecord *own = record(panel);
    const Panel *owner = model_.panel(panel);
    if (own == nullptr || owner == nullptr || own->controls.count(control.id) != 0) return;
    const Updating updating(*this);
    if (!createControl(panel, control)) return;
    syncControl(*owner, control, own->controls[control.id]);
}

// ---- Keeping in step ----------------------------------------------------------------------

void WindowView::syncPanel(int handle) {
    const Panel *model = model_.panel(handle);
    if (model == nullptr || !ensurePanel(handle)) return;
    const Updating updating(*this);
    paintPanel(handle, *model);
    if (model->parent != 0 && model->pageIndex < 0) {
        placeInner(handle, *model);
        return;
    }
    if (model->parent != 0) {
        // A page: its caption lives on the tab, its place is the tab's.
        const Control *tab = model_.control(model->parent, model->tabControl);
        if (tab != nullptr && builtControl(model->parent, model->tabControl)) {
            syncPages(model->parent, *tab);
        }
        return;
    }
    syncTopLevel(handle, *model, panels_[handle]);
}

void WindowView::syncTopLevel(int handle, const Panel &model, PanelRecord &own) {
    if (mainPanel_ == 0 && model.visible) mainPanel_ = handle;
    // Every panel but the main window is owned by it: above it, no taskbar entry of its own.
    // Only a change of the model's geometry moves the window: a panel the operator dragged
    // stays where it was put when the program changes, say, its title.
    const Geometry &g = model.geometry;
    WindowPlacement place;
    place.owner = mainPanel_ != 0 && handle != mainPanel_ ? mainPanel_ : 0;
    place.move = !own.placed || own.placedAt.top != g.top || own.placedAt.left != g.left;
    place.resize = !own.placed || own.placedAt.width != g.width || own.placedAt.height != g.height;
    const auto &popups = model_.popups();
    place.modal = std::find(popups.begin(), popups.end(), handle) != popups.end();
    placeWindow(handle, model, place);
    own.placed = true;
    own.placedAt = g;
    applyInputRule();
    showWindow(handle, model);
}

void WindowView::applyInputRule() {
    // An installed pop-up alone takes input, as the model has it.
    const int popup = model_.popups().empty() ? 0 : model_.popups().back();
    for (const auto &[handle, own] : panels_) {
        if (own.parent == 0 && model_.panel(handle) != nullptr) {
            takeInput(handle, popup == 0 || popup == handle);
        }
    }
}

void WindowView::syncControl(const Panel &owner, const Control &control, ControlRecord &own) {
    const Updating updating(*this);
    showLook(owner, control);
    showItems(owner.handle, control);
    syncLines(owner.handle, control, own);
    syncValue(owner.handle, control, own);
}

void WindowView::syncValue(int panel, const Control &control, ControlRecord &own) {
    if (control.kind == Kind::Tab) {
        syncPages(panel, control);
        return;
    }
    own.shownText = shownText(control);
    showValue(panel, control, own.shownText);
}

void WindowView::syncLines(int panel, const Control &control, ControlRecord &own) {
    if (control.kind != Kind::TextBox) return;
    // A growing protocol is appended to, not rewritten.
    const std::size_t kept =
        linesOnlyGrew(own.shownLines, control.lines) ? own.shownLines.size() : 0;
    showLines(panel, control, kept);
    own.shownLines = control.lines;
}

void WindowView::syncPages(int panel, const Control &tab) {
    const Updating updating(*this);
    std::vector<int> pages;
    for (int page : tab.pages) {
        if (ensurePanel(page) && model_.panel(page) != nullptr) pages.push_back(page);
    }
    showPages(panel, tab, pages);
    const bool hasFront = tab.index >= 0 && static_cast<std::size_t>(tab.index) < pages.size();
    if (hasFront) fillPage(tab);
    frontPage(panel, tab, pages, hasFront);
}

void WindowView::dropPanel(int handle) {
    if (!built(handle)) return;
    const Updating updating(*this);
    // Pages and panels loaded into this one go with it.
    std::vector<int> gone;
    for (const auto &[other, own] : panels_) {
        int at = other;
        while (at != 0 && at != handle) {
            const PanelRecord *up = record(at);
            at = up == nullptr ? 0 : up->parent;
        }
        if (at == handle) gone.push_back(other);
    }
    dropWindows(handle, gone);
    for (int other : gone)
        panels_.erase(other);
    if (handle == mainPanel_) {
        // Owned windows outlive their owner: they stand alone until another main window
        // appears.
        mainPanel_ = 0;
        std::vector<int> owned;
        for (const auto &[other, own] : panels_) {
            if (own.parent == 0) owned.push_back(other);
        }
        for (int other : owned)
            ownerGone(other);
    }
    applyInputRule();
}

// ---- What the model says changed --------------------------------------------------------

void WindowView::panelChanged(int panel, PanelChange change) {
    if (change == PanelChange::Discarded) {
        dropPanel(panel);
        return;
    }
    // Widgets wait until the panel is first shown: loading costs only the model.
    if (wanted(panel)) syncPanel(panel);
}

void WindowView::controlChanged(int panel, int control, ControlChange change) {
    // Controls of a panel not yet built are built from the model when it is.
    if (!wanted(panel) || !ensurePanel(panel)) return;
    PanelRecord *own = record(panel);
    const Panel *owner = model_.panel(panel);
    if (own == nullptr || owner == nullptr || !own->filled) return;
    const Control *model = owner->control(control);
    auto it = own->controls.find(control);
    const Updating updating(*this);
    if (model == nullptr) {
        // Gone from the model: take its widgets away.
        if (it != own->controls.end()) {
            destroyControl(panel, control);
            own->controls.erase(it);
        }
        return;
    }
    if (it == own->controls.end()) {
        buildControl(panel, *model);
        return;
    }
    switch (change) {
        case ControlChange::Created:
        case ControlChange::Attributes:
            syncControl(*owner, *model, it->second);
            break;
        case ControlChange::Value:
            syncValue(panel, *model, it->second);
            break;
        case ControlChange::Items:
            showItems(panel, *model);
            syncValue(panel, *model, it->second);
            break;
        case ControlChange::Lines:
            syncLines(panel, *model, it->second);
            break;
    }
}

void WindowView::popupChanged(int panel, bool) {
    if (wanted(panel)) syncPanel(panel);
    applyInputRule();
}

// ---- Operator input -----------------------------------------------------------------------

void WindowView::afterInput(int panel, int control, Input result) {
    const Panel *owner = model_.panel(panel);
    const Control *model = model_.control(panel, control);
    if (result != Input::Accepted) {
        if (model != nullptr && builtControl(panel, control) &&
            (result == Input::BadValue || result == Input::TooLong)) {
            // The operator reads Russian; the model's reasons are for scripts and logs.
            refuseInput(panel, control,
                        result == Input::TooLong
                            ? "Не более " + std::to_string(model->maxLength) + " симв."
                            : std::string("Введите число"));
        } else {
            beep();
        }
    }
    // Accepted or not, the control shows what the model holds now.
    ControlRecord *own = record(panel, control);
    if (owner != nullptr && model != nullptr && own != nullptr) syncControl(*owner, *model, *own);
}

void WindowView::inputCommit(int panel, int control) {
    if (updating()) return;
    afterInput(panel, control, model_.operatorCommit(panel, control));
}

void WindowView::inputText(int panel, int control, const std::string &typed) {
    const Control *model = model_.control(panel, control);
    const ControlRecord *own = record(panel, control);
    if (updating() || model == nullptr || own == nullptr || model->mode != Mode::Hot ||
        typed == own->shownText) {
        return;
    }
    afterInput(panel, control, model_.operatorSetText(panel, control, typed, true));
}

void WindowView::inputToggle(int panel, int control) {
    const Control *model = model_.control(panel, control);
    if (updating() || model == nullptr) return;
    // A click is the operator's toggle: the model decides, the box follows it.
    afterInput(panel, control,
               model_.operatorSetNumber(panel, control, model->number != 0 ? 0 : 1, true));
}

void WindowView::inputSelect(int panel, int control, int index) {
    const Control *model = model_.control(panel, control);
    if (updating() || model == nullptr || index < 0 || index == model->index) return;
    afterInput(panel, control, model_.operatorSelect(panel, control, index));
}

void WindowView::inputDoubleClick(int panel, int control) {
    if (updating()) return;
    afterInput(panel, control, model_.operatorDoubleClick(panel, control));
}

void WindowView::inputScroll(int panel, int control, int firstVisibleLine) {
    // Scrolling is the operator's own business; the model only hears where it went.
    if (updating()) return;
    model_.operatorScroll(panel, control, firstVisibleLine);
}

void WindowView::inputClose(int panel) {
    // The close box asks; the model decides whether the panel goes.
    if (updating()) return;
    if (model_.operatorClose(panel) != Input::Accepted) beep();
}

void WindowView::inputEscape(int panel) {
    if (panel != mainPanel_) inputClose(panel);
}

void WindowView::inputResize(int panel, int width, int height) {
    if (updating()) return;
    model_.operatorResize(panel, width, height);
}

void WindowView::inputDefault(int panel) {
    const Panel *model = model_.panel(panel);
    if (updating() || model == nullptr || model->defaultControl == 0) return;
    afterInput(panel, model->defaultControl, model_.operatorCommit(panel, model->defaultControl));
}

// ---- Pictures -------------------------------------------------------------------------

bool WindowView::shot(int panel, const std::string &file, std::string &error) {
    // A panel never shown is built for its picture.
    if (const int top = topLevelPanel(model_, panel); top != 0 && !built(top)) syncPanel(top);
    const bool ready = ensurePanel(panel);
    fillPanel(panel);
    if (!ready) {
        error = "no panel with handle " + std::to_string(panel);
        return false;
    }
    const std::filesystem::path target = text::pathOf(file);
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::absolute(target, ec).parent_path();
    if (!ec) std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = "cannot create the folder " + text::textOf(folder);
        return false;
    }
    std::string why;
    if (!picture(panel, target, why)) {
        error = "cannot write the picture " + file + (why.empty() ? "" : ": " + why);
        return false;
    }
    return true;
}

}  // namespace panel
