// The panel model: state, the program's writes and the operator's input with its rules.
#include "panel/model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>

#include "panel/kinds.h"
#include "panel/view.h"
#include "trl4/utf8.h"

namespace panel {

// ---- Control and panel helpers -------------------------------------------------------------

std::string Control::displayLabel() const {
    if (label.size() >= 2 && label[0] == '_' && label[1] == '_') return label.substr(2);
    return label;
}

char32_t Control::shortcut() const {
    if (label.size() < 3 || label[0] != '_' || label[1] != '_') return 0;
    return trl4::utf8::firstCodePoint(std::string_view(label).substr(2));
}

bool Control::takesValue() const {
    return kindInfo(kind).holdsValue;
}

Control *Panel::control(int id) {
    for (auto &c : controls) {
        if (c.id == id) return &c;
    }
    return nullptr;
}

const Control *Panel::control(int id) const {
    for (const auto &c : controls) {
        if (c.id == id) return &c;
    }
    return nullptr;
}

const Control *Panel::control(std::string_view constantName) const {
    for (const auto &c : controls) {
        if (c.constant == constantName) return &c;
    }
    return nullptr;
}

const char *describe(Input input) {
    switch (input) {
        case Input::Accepted:
            return "accepted";
        case Input::NoSuchPanel:
            return "no such panel";
        case Input::NoSuchControl:
            return "no such control";
        case Input::PanelHidden:
            return "the panel is not shown";
        case Input::BlockedByPopup:
            return "a pop-up panel is installed and takes all input";
        case Input::PageNotShown:
            return "the tab page is not the one shown";
        case Input::Indicator:
            return "the control is an indicator";
        case Input::Dimmed:
            return "the control is dimmed";
        case Input::ControlHidden:
            return "the control is hidden";
        case Input::NotOperable:
            return "the control cannot be operated that way";
        case Input::BadValue:
            return "the value is not valid for the control";
        case Input::NoSuchItem:
            return "no such item";
        case Input::TooLong:
            return "the text is longer than the field allows";
    }
    return "refused";
}

// ---- Model -------------------------------------------------------------------------------

Model::Model() = default;
Model::~Model() = default;

int Model::addControl(int handle, Control control) {
    Panel *p = panel(handle);
    if (!p) return UIE_BAD_PANEL;
    int id = 1;
    for (const auto &other : p->controls)
        id = std::max(id, other.id);
    control.id = id + 1;
    p->controls.push_back(std::move(control));
    notifyControl(handle, id + 1, ControlChange::Created);
    return id + 1;
}

int Model::addPanel(Panel panel, bool notify) {
    int handle = nextHandle_++;
    panel.handle = handle;
    std::sort(panel.controls.begin(), panel.controls.end(),
              [](const Control &a, const Control &b) { return a.id < b.id; });
    panels_[handle] = std::make_unique<Panel>(std::move(panel));
    if (notify) notifyPanel(handle, PanelChange::Created);
    return handle;
}

Panel *Model::panel(int handle) {
    auto it = panels_.find(handle);
    return it == panels_.end() ? nullptr : it->second.get();
}

const Panel *Model::panel(int handle) const {
    auto it = panels_.find(handle);
    return it == panels_.end() ? nullptr : it->second.get();
}

std::vector<int> Model::panelHandles() const {
    std::vector<int> handles;
    handles.reserve(panels_.size());
    for (const auto &entry : panels_)
        handles.push_back(entry.first);
    return handles;
}

int Model::findPanel(std::string_view constantName) const {
    int newest = 0;
    for (const auto &[handle, p] : panels_) {
        if (p->constant != constantName || p->discarding) continue;
        Input state = panelAcceptsInput(handle);
        if (state == Input::Accepted || state == Input::BlockedByPopup) return handle;
        newest = handle;
    }
    return newest;
}

Control *Model::control(int panelHandle, int id) {
    Panel *p = panel(panelHandle);
    return p ? p->control(id) : nullptr;
}

const Control *Model::control(int panelHandle, int id) const {
    const Panel *p = panel(panelHandle);
    return p ? p->control(id) : nullptr;
}

void Model::notifyPanel(int handle, PanelChange change) {
    if (view_) view_->panelChanged(handle, change);
}

void Model::notifyControl(int handle, int id, ControlChange change) {
    if (view_) view_->controlChanged(handle, id, change);
}

int Model::discardPanel(int handle) {
    Panel *p = panel(handle);
    if (!p) return UIE_BAD_PANEL;
    if (p->discarding) return UIE_BUSY;
    p->discarding = true;
    // Children (tab pages, panels loaded into this one) go first.
    std::vector<int> children;
    for (const auto &[h, child] : panels_) {
        if (child->parent == handle) children.push_back(h);
    }
    for (int child : children)
        discardPanel(child);
    // Callbacks learn of the discard while the panel still exists; they may call anything,
    // so the panel is looked up again after each one.
    std::vector<int> ids;
    if ((p = panel(handle)) != nullptr) {
        for (const auto &c : p->controls)
            ids.push_back(c.id);
    }
    for (int id : ids)
        deliver(Event{handle, id, EVENT_DISCARD, 0, 0});
    deliver(Event{handle, 0, EVENT_DISCARD, 0, 0});

    bool wasPopup = std::find(popups_.begin(), popups_.end(), handle) != popups_.end();
    popups_.erase(std::remove(popups_.begin(), popups_.end(), handle), popups_.end());
    panels_.erase(handle);
    if (wasPopup && view_) view_->popupChanged(handle, false);
    notifyPanel(handle, PanelChange::Discarded);
    return 0;
}

int Model::showPanel(int handle, bool shown) {
    Panel *p = panel(handle);
    if (!p) return UIE_BAD_PANEL;
    if (p->parent != 0 && p->pageIndex >= 0) {
        // A page is seen through its tab; showing it brings it to the front.
        if (shown) {
            Control *tab = control(p->parent, p->tabControl);
            if (tab && tab->index != p->pageIndex) {
                tab->index = p->pageIndex;
                notifyControl(p->parent, p->tabControl, ControlChange::Value);
            }
        }
        return 0;
    }
    if (!shown) {
        // Hiding a pop-up removes it: an invisible modal panel would lock every other panel.
        auto it = std::find(popups_.begin(), popups_.end(), handle);
        if (it != popups_.end()) {
            popups_.erase(it);
            if (view_) view_->popupChanged(handle, false);
        }
    }
    if (p->visible == shown) return 0;
    p->visible = shown;
    notifyPanel(handle, shown ? PanelChange::Shown : PanelChange::Hidden);
    return 0;
}

int Model::installPopup(int handle) {
    Panel *p = panel(handle);
    if (!p) return UIE_BAD_PANEL;
    if (p->parent != 0 || p->discarding) return UIE_POPUP;
    if (std::find(popups_.begin(), popups_.end(), handle) != popups_.end()) return UIE_POPUP;
    popups_.push_back(handle);
    if (!p->visible) {
        p->visible = true;
        notifyPanel(handle, PanelChange::Shown);
    }
    if (view_) view_->popupChanged(handle, true);
    return 0;
}

int Model::removePopup() {
    if (popups_.empty()) return UIE_POPUP;
    int handle = popups_.back();
    popups_.pop_back();
    if (view_) view_->popupChanged(handle, false);
    Panel *p = panel(handle);
    if (p && p->visible) {
        p->visible = false;
        notifyPanel(handle, PanelChange::Hidden);
    }
    return 0;
}

namespace {

// How many choices a ring, list box or tab offers; -1 for a control that offers none.
int choiceCount(const Control &c) {
    const KindInfo &kind = kindInfo(c.kind);
    if (kind.hasItems) return static_cast<int>(c.items.size());
    if (kind.hasIndex) return static_cast<int>(c.pages.size());
    return -1;
}

int findItem(const Control &c, double number, std::string_view text) {
    for (std::size_t i = 0; i < c.items.size(); ++i) {
        bool same =
            c.type == DataType::Text ? c.items[i].text == text : c.items[i].number == number;
        if (same) return static_cast<int>(i);
    }
    return -1;
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (true) {
        std::size_t end = text.find('\n', start);
        std::string_view line =
            text.substr(start, end == std::string_view::npos ? end : end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return lines;
}

}  // namespace

double coerceToControl(const Control &c, double value) {
    double lo = typeMin(c.type);
    double hi = typeMax(c.type);
    if (!c.keepOutOfRange) {
        lo = std::max(c.min, lo);
        hi = std::min(c.max, hi);
    }
    if (lo > hi) std::swap(lo, hi);
    value = std::clamp(value, lo, hi);
    if (c.type != DataType::Double) value = std::nearbyint(value);
    return value;
}

int Model::setNumber(int handle, int id, double value) {
    Control *c = control(handle, id);
    if (!c) return panel(handle) ? UIE_BAD_CONTROL : UIE_BAD_PANEL;
    if (std::isnan(value)) return UIE_BAD_VALUE;
    switch (c->kind) {
        case Kind::Numeric:
        case Kind::CheckBox:
            if (!c->isNumeric()) return UIE_BAD_VALUE;
            c->number = coerceToControl(*c, value);
            break;
        case Kind::Ring:
        case Kind::ListBox: {
            if (c->type == DataType::Text) return UIE_BAD_VALUE;
            if (c->items.empty()) return UIE_NO_ITEMS;
            int index = findItem(*c, value, {});
            if (index < 0) return UIE_BAD_VALUE;
            c->index = index;
            break;
        }
        case Kind::Tab:
            return setIndex(
                handle, id,
                std::isfinite(value) && std::fabs(value) < 1e9 ? static_cast<int>(value) : -1);
        default:
            return UIE_BAD_VALUE;
    }
    notifyControl(handle, id, ControlChange::Value);
    return 0;
}

int Model::setText(int handle, int id, std::string_view value) {
    Control *c = control(handle, id);
    if (!c) return panel(handle) ? UIE_BAD_CONTROL : UIE_BAD_PANEL;
    switch (c->kind) {
        case Kind::String:
        case Kind::TextMessage: {
            std::string text(value);
            if (c->maxLength > 0 && utf8Length(text) > static_cast<std::size_t>(c->maxLength)) {
                // Keep whole characters up to the limit.
                text.resize(trl4::utf8::prefixBytes(text, static_cast<std::size_t>(c->maxLength)));
            }
            c->text = std::move(text);
            break;
        }
        case Kind::TextBox:
            c->lines = value.empty() ? std::vector<std::string>{} : splitLines(value);
            c->firstVisibleLine = 0;
            notifyControl(handle, id, ControlChange::Lines);
            return 0;
        case Kind::Ring:
        case Kind::ListBox: {
            if (c->type != DataType::Text) return UIE_BAD_VALUE;
            if (c->items.empty()) return UIE_NO_ITEMS;
            int index = findItem(*c, 0.0, value);
            if (index < 0) return UIE_BAD_VALUE;
            c->index = index;
            break;
        }
        default:
            return UIE_BAD_VALUE;
    }
    notifyControl(handle, id, ControlChange::Value);
    return 0;
}

int Model::resetControl(int handle, int id) {
    Control *c = control(handle, id);
    if (!c) return panel(handle) ? UIE_BAD_CONTROL : UIE_BAD_PANEL;
    switch (c->kind) {
        case Kind::Numeric:
        case Kind::CheckBox:
            c->number = c->defaultNumber;
            break;
        case Kind::String:
        case Kind::TextMessage:
            c->text = c->defaultText;
            break;
        case Kind::TextBox:
            c->lines =
                c->defaultText.empty() ? std::vector<std::string>{} : splitLines(c->defaultText);
            c->firstVisibleLine = 0;
            notifyControl(handle, id, ControlChange::Lines);
            return 0;
        case Kind::Ring:
        case Kind::ListBox:
            // Items were put there by the program and stay; the first one is the default.
            c->index = c->items.empty() ? -1 : 0;
            break;
        default:
            return 0;  // nothing to reset (buttons, decorations; a tab keeps its page)
    }
    notifyControl(handle, id, ControlChange::Value);
    return 0;
}

int Model::resetPanel(int handle) {
    Panel *p = panel(handle);
    if (!p) return UIE_BAD_PANEL;
    std::vector<int> ids;
    for (const auto &c : p->controls)
        ids.push_back(c.id);
    for (int id : ids)
        resetControl(handle, id);
    return 0;
}

int Model::insertItem(int handle, int id, int index, Item item) {
    Control *c = control(handle, id);
    if (!c) return panel(handle) ? UIE_BAD_CONTROL : UIE_BAD_PANEL;
    if (!kindInfo(c->kind).hasItems) return UIE_BAD_CONTROL;
    int size = static_cast<int>(c->items.size());
    if (index == -1) index = size;
    if (index < 0 || index > size) return UIE_INDEX;
    c->items.insert(c->items.begin() + index, std::move(item));
    if (c->index < 0) {
        c->index = 0;
    } else if (index <= c->index) {
        ++c->index;  // the highlighted item stays the same
    }
    notifyControl(handle, id, ControlChange::Items);
    return 0;
}

int Model::clearItems(int handle, int id) {
    Control *c = control(handle, id);
    if (!c) return panel(handle) ? UIE_BAD_CONTROL : UIE_BAD_PANEL;
    if (!kindInfo(c->kind).hasItems) return UIE_BAD_CONTROL;
    c->items.clear();
    c->index = -1;
    notifyControl(handle, id, ControlChange::Items);
    return 0;
}

int Model::setIndex(int handle, int id, int index) {
    Control *c = control(handle, id);
    if (!c) return panel(handle) ? UIE_BAD_CONTROL : UIE_BAD_PANEL;
    int count = choiceCount(*c);
    if (count < 0) return UIE_BAD_CONTROL;
    if (count == 0) return UIE_NO_ITEMS;
    if (index < 0 || index >= count) return UIE_INDEX;
    c->index = index;
    notifyControl(handle, id, ControlChange::Value);
    return 0;
}

int Model::insertLines(int handle, int id, int index, std::string_view text) {
    Control *c = control(handle, id);
    if (!c) return panel(handle) ? UIE_BAD_CONTROL : UIE_BAD_PANEL;
    if (c->kind != Kind::TextBox) return UIE_BAD_CONTROL;
    int size = static_cast<int>(c->lines.size());
    if (index == -1) index = size;
    if (index < 0 || index > size) return UIE_INDEX;
    auto lines = splitLines(text);
    c->lines.insert(c->lines.begin() + index, lines.begin(), lines.end());
    notifyControl(handle, id, ControlChange::Lines);
    return 0;
}

int Model::visibleLines(const Control &control) {
    return std::max(1, (control.geometry.height - 4) / 16);
}

int Model::setFirstVisibleLine(int handle, int id, int line) {
    Control *c = control(handle, id);
    if (!c) return panel(handle) ? UIE_BAD_CONTROL : UIE_BAD_PANEL;
    if (c->kind != Kind::TextBox) return UIE_BAD_ATTRIBUTE;
    int last = std::max(0, static_cast<int>(c->lines.size()) - 1);
    c->firstVisibleLine = std::clamp(line, 0, last);
    notifyControl(handle, id, ControlChange::Attributes);
    return 0;
}

// ---- Operator input ------------------------------------------------------------------------

Input Model::panelAcceptsInput(int handle) const {
    const Panel *p = panel(handle);
    if (!p || p->discarding) return Input::NoSuchPanel;
    // Walk up to the top-level panel; every page on the way must be the one its tab shows.
    const Panel *top = p;
    while (top->parent != 0) {
        const Panel *parent = panel(top->parent);
        if (!parent) return Input::NoSuchPanel;
        if (top->pageIndex >= 0) {
            const Control *tab = parent->control(top->tabControl);
            if (!tab || !tab->visible) return Input::PageNotShown;
            if (tab->index != top->pageIndex) return Input::PageNotShown;
        } else if (!top->visible) {
            return Input::PanelHidden;
        }
        top = parent;
    }
    if (!top->visible) return Input::PanelHidden;
    if (!popups_.empty() && popups_.back() != top->handle) return Input::BlockedByPopup;
    return Input::Accepted;
}

Input Model::checkControlInput(int handle, int id, const Control **out) const {
    Input state = panelAcceptsInput(handle);
    if (state != Input::Accepted) return state;
    const Control *c = control(handle, id);
    if (!c) return Input::NoSuchControl;
    *out = c;
    if (!kindInfo(c->kind).operable) return Input::NotOperable;
    if (!c->visible) return Input::ControlHidden;
    if (c->dimmed) return Input::Dimmed;
    if (c->mode == Mode::Indicator) return Input::Indicator;
    return Input::Accepted;
}

Input Model::controlAcceptsInput(int handle, int id) const {
    const Control *c = nullptr;
    return checkControlInput(handle, id, &c);
}

Input Model::operatorCommit(int handle, int id) {
    const Control *c = nullptr;
    Input state = checkControlInput(handle, id, &c);
    if (state != Input::Accepted) return state;
    if (kindInfo(c->kind).hasItems && c->items.empty()) {
        return Input::NoSuchItem;
    }
    Panel *p = panel(handle);
    p->activeControl = id;
    post(Event{handle, id, EVENT_COMMIT, 0, 0});
    return Input::Accepted;
}

Input Model::operatorSetNumber(int handle, int id, double value, bool commit) {
    const Control *c = nullptr;
    Input state = checkControlInput(handle, id, &c);
    if (state != Input::Accepted) return state;
    if ((c->kind != Kind::Numeric && c->kind != Kind::CheckBox) || !c->isNumeric() ||
        std::isnan(value))
        return Input::BadValue;
    setNumber(handle, id, value);
    post(Event{handle, id, EVENT_VAL_CHANGED, 0, 0});
    if (commit) post(Event{handle, id, EVENT_COMMIT, 0, 0});
    return Input::Accepted;
}

Input Model::operatorSetText(int handle, int id, std::string_view typed, bool commit,
                             std::string *error) {
    const Control *c = nullptr;
    Input state = checkControlInput(handle, id, &c);
    if (state != Input::Accepted) return state;
    switch (c->kind) {
        case Kind::Numeric:
        case Kind::CheckBox: {
            double value = 0.0;
            if (!parseNumber(typed, value, error)) return Input::BadValue;
            return operatorSetNumber(handle, id, value, commit);
        }
        case Kind::String:
        case Kind::TextBox:
            if (c->kind == Kind::String && c->maxLength > 0 &&
                utf8Length(typed) > static_cast<std::size_t>(c->maxLength)) {
                if (error) {
                    *error =
                        "the field takes at most " + std::to_string(c->maxLength) + " characters";
                }
                return Input::TooLong;
            }
            setText(handle, id, typed);
            break;
        case Kind::Ring:
        case Kind::ListBox: {
            double number = 0.0;
            if (c->type != DataType::Text && !parseNumber(typed, number, error)) {
                return Input::BadValue;
            }
            int index = findItem(*c, number, typed);
            if (index < 0) {
                if (error) *error = "no item has the value '" + std::string(typed) + "'";
                return Input::NoSuchItem;
            }
            setIndex(handle, id, index);
            break;
        }
        case Kind::Tab: {
            double number = 0.0;
            if (!parseNumber(typed, number, error)) return Input::BadValue;
            if (number < 0 || number >= static_cast<double>(c->pages.size()) ||
                number != std::floor(number)) {
                if (error) *error = "no page " + std::string(typed);
                return Input::NoSuchItem;
            }
            setIndex(handle, id, static_cast<int>(number));
            break;
        }
        default:
            if (error) *error = "the control holds no value";
            return Input::NotOperable;
    }
    post(Event{handle, id, EVENT_VAL_CHANGED, 0, 0});
    if (commit) post(Event{handle, id, EVENT_COMMIT, 0, 0});
    return Input::Accepted;
}

Input Model::operatorSelect(int handle, int id, int index) {
    const Control *c = nullptr;
    Input state = checkControlInput(handle, id, &c);
    if (state != Input::Accepted) return state;
    int count = choiceCount(*c);
    if (count < 0) return Input::NotOperable;
    if (index < 0 || index >= count) return Input::NoSuchItem;
    Kind kind = c->kind;
    setIndex(handle, id, index);
    if (kind == Kind::ListBox) {
        post(Event{handle, id, EVENT_LEFT_CLICK, index, 0});
    } else {
        post(Event{handle, id, EVENT_VAL_CHANGED, 0, 0});
        post(Event{handle, id, EVENT_COMMIT, 0, 0});
    }
    return Input::Accepted;
}

Input Model::operatorDoubleClick(int handle, int id) {
    const Control *c = nullptr;
    Input state = checkControlInput(handle, id, &c);
    if (state != Input::Accepted) return state;
    if (c->kind != Kind::ListBox) return Input::NotOperable;
    if (c->items.empty() || c->index < 0) return Input::NoSuchItem;
    post(Event{handle, id, EVENT_LEFT_DOUBLE_CLICK, c->index, 0});
    return Input::Accepted;
}

Input Model::operatorClose(int handle) {
    Input state = panelAcceptsInput(handle);
    if (state != Input::Accepted) return state;
    Panel *p = panel(handle);
    if (p->parent != 0) return Input::NotOperable;  // pages and child panels have no close box
    post(Event{handle, 0, EVENT_CLOSE, 0, 0});
    // The close box stands for the close control only while that control could be pressed.
    const Control *closer = p->closeControl != 0 ? p->control(p->closeControl) : nullptr;
    if (closer && closer->visible && !closer->dimmed) {
        post(Event{handle, p->closeControl, EVENT_COMMIT, 0, 0});
    }
    return Input::Accepted;
}

Input Model::operatorResize(int handle, int width, int height) {
    Input state = panelAcceptsInput(handle);
    if (state != Input::Accepted) return state;
    Panel *p = panel(handle);
    if (p->parent != 0) return Input::NotOperable;
    if (width < 1 || height < 1 || width > 100000 || height > 100000) return Input::BadValue;
    p->geometry.width = width;
    p->geometry.height = height;
    notifyPanel(handle, PanelChange::Attributes);
    post(Event{handle, 0, EVENT_PANEL_SIZE, 0, 0});
    return Input::Accepted;
}

Input Model::operatorScroll(int handle, int id, int firstVisibleLine) {
    Input state = panelAcceptsInput(handle);
    if (state != Input::Accepted) return state;
    const Control *c = control(handle, id);
    if (!c) return Input::NoSuchControl;
    if (c->kind != Kind::TextBox) return Input::NotOperable;
    if (!c->visible) return Input::ControlHidden;
    setFirstVisibleLine(handle, id, firstVisibleLine);
    return Input::Accepted;
}

// ---- Events --------------------------------------------------------------------------------

void Model::post(const Event &event) {
    queue_.push_back(event);
}

int Model::dispatch() {
    int count = 0;
    while (!queue_.empty()) {
        Event event = queue_.front();
        queue_.pop_front();
        deliver(event);
        ++count;
    }
    return count;
}

void Model::deliver(const Event &event) {
    const Panel *p = panel(event.panel);
    if (!p) return;  // discarded while the event waited
    // Copy what the call needs: the callback may discard the panel or add controls.
    try {
        if (event.control != 0) {
            const Control *c = p->control(event.control);
            if (!c || !c->callback) return;
            CtrlCallbackPtr callback = c->callback;
            void *data = c->callbackData;
            callback(event.panel, event.control, event.event, data, event.data1, event.data2);
        } else {
            if (!p->callback) return;
            PanelCallbackPtr callback = p->callback;
            void *data = p->callbackData;
            callback(event.panel, event.event, data, event.data1, event.data2);
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "panel callback failed: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "panel callback failed\n");
    }
}

}  // namespace panel
