// The panel resource reader: a line-oriented format checked in full before anything is built.
#include "panel/resource.h"

#include "panel/kinds.h"

#include "text.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace panel {
namespace {

using text::Token;
using text::tokenize;
using text::validUtf8;

using text::isName;

const std::map<std::string, DataType, std::less<>> kTypes = {
    {"double", DataType::Double}, {"int", DataType::Int},   {"short", DataType::Short},
    {"ushort", DataType::UShort}, {"text", DataType::Text},
};

const std::map<std::string, Format, std::less<>> kFormats = {
    {"integer", Format::Integer},
    {"fixed", Format::Fixed},
    {"exponent", Format::Exponent},
    {"engineering", Format::Engineering},
};

struct PendingValue {
    Token token;
    int line = 0;
};

struct Frame {
    enum Type { Panel, Control, Page } type = Panel;
    PanelSpec panel;  // Panel and Page
    ControlSpec control;
    std::set<std::string> seen;
    std::map<std::string, int> fieldLines;
    bool hasType = false;
    bool hasMode = false;
    bool hasFormat = false;
    bool hasMin = false;
    bool hasMax = false;
    std::string closeControlName;
    std::string defaultControlName;
    std::vector<PendingValue> values;                         // the `value` field (at most one)
    std::vector<std::pair<PendingValue, std::string>> items;  // value, label
};

class Parser {
  public:
    Parser(const std::string &fileName, Resource &out, std::string &error)
        : file_(fileName), out_(out), error_(error) {}

    bool run(std::string_view text);

  private:
    const std::string &file_;
    Resource &out_;
    std::string &error_;
    std::vector<Frame> stack_;
    bool header_ = false;
    int line_ = 0;
    std::set<int> resourceIds_;
    std::set<std::string> panelNames_;

    bool fail(int line, const std::string &why) {
        error_ = file_ + ":" + std::to_string(line) + ": " + why;
        return false;
    }
    bool fail(const std::string &why) { return fail(line_, why); }

    bool statement(const std::vector<Token> &t);
    bool openPanel(const std::vector<Token> &t);
    bool openControl(const std::vector<Token> &t);
    bool openPage(const std::vector<Token> &t);
    bool close();
    bool panelField(Frame &f, const std::string &key, const std::vector<Token> &t);
    bool controlField(Frame &f, const std::string &key, const std::vector<Token> &t);
    bool finishControl(Frame &f);
    bool finishPanel(Frame &f);

    bool name(const Token &t, std::string &value, const char *what);
    bool integer(const Token &t, long min, long max, int &value, const char *what);
    bool number(const Token &t, double &value, const char *what);
    bool colour(const Token &t, std::uint32_t &value);
    bool yesNo(const Token &t, bool &value);
    bool geometry(const std::vector<Token> &t, Geometry &g, bool screen);
    bool args(const std::vector<Token> &t, std::size_t count);
    bool once(Frame &f, const std::string &key);
};

bool Parser::args(const std::vector<Token> &t, std::size_t count) {
    if (t.size() == count + 1) return true;
    return fail("'" + t[0].text + "' takes " + std::to_string(count) + " argument" +
                (count == 1 ? "" : "s") + ", not " + std::to_string(t.size() - 1));
}

bool Parser::once(Frame &f, const std::string &key) {
    if (!f.seen.insert(key).second) {
        return fail("'" + key + "' given twice (first on line " +
                    std::to_string(f.fieldLines[key]) + ")");
    }
    f.fieldLines[key] = line_;
    return true;
}

bool Parser::name(const Token &t, std::string &value, const char *what) {
    if (t.quoted || !isName(t.text))
        return fail("bad " + std::string(what) + " name '" + t.text + "'");
    value = t.text;
    return true;
}

bool Parser::integer(const Token &t, long min, long max, int &value, const char *what) {
    double d = 0.0;
    std::string why;
    if (t.quoted || !parseNumber(t.text, d, &why) || d != std::floor(d)) {
        return fail(std::string(what) + " '" + t.text + "' is not a whole number");
    }
    if (d < static_cast<double>(min) || d > static_cast<double>(max)) {
        return fail(std::string(what) + " " + t.text + " is out of range " + std::to_string(min) +
                    ".." + std::to_string(max));
    }
    value = static_cast<int>(d);
    return true;
}

bool Parser::number(const Token &t, double &value, const char *what) {
    std::string why;
    if (t.quoted) return fail(std::string(what) + " \"" + t.text + "\" must not be quoted");
    if (!parseNumber(t.text, value, &why)) return fail(std::string(what) + " " + why);
    return true;
}

bool Parser::colour(const Token &t, std::uint32_t &value) {
    const std::string &s = t.text;
    if (t.quoted || s.size() != 8 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X')) {
        return fail("colour '" + s + "' is not of the form 0xRRGGBB");
    }
    std::uint32_t v = 0;
    for (std::size_t i = 2; i < 8; ++i) {
        char c = s[i];
        std::uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<std::uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        } else {
            return fail("colour '" + s + "' is not of the form 0xRRGGBB");
        }
        v = v * 16 + digit;
    }
    value = v;
    return true;
}

bool Parser::yesNo(const Token &t, bool &value) {
    if (!t.quoted && t.text == "yes") {
        value = true;
    } else if (!t.quoted && t.text == "no") {
        value = false;
    } else {
        return fail("expected yes or no, not '" + t.text + "'");
    }
    return true;
}

bool Parser::geometry(const std::vector<Token> &t, Geometry &g, bool screen) {
    if (!args(t, 4)) return false;
    long lowest = screen ? -100000 : 0;
    return integer(t[1], lowest, 100000, g.top, "top") &&
           integer(t[2], lowest, 100000, g.left, "left") &&
           integer(t[3], 1, 100000, g.width, "width") &&
           integer(t[4], 1, 100000, g.height, "height");
}

bool Parser::run(std::string_view text) {
    std::size_t start = 0;
    std::vector<Token> tokens;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        std::string_view line = text.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        ++line_;
        if (!validUtf8(line)) return fail("the line is not valid UTF-8");
        std::string why;
        if (!tokenize(line, tokens, why)) return fail(why);
        if (!tokens.empty() && !statement(tokens)) return false;
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    if (!header_) return fail(1, "the file does not start with 'uir 1'");
    if (!stack_.empty()) {
        const Frame &f = stack_.back();
        int line = f.type == Frame::Control ? f.control.line : f.panel.line;
        return fail(line, "this block is not closed by 'end'");
    }
    if (out_.panels.empty()) return fail("the file holds no panel");
    return true;
}

bool Parser::statement(const std::vector<Token> &t) {
    const Token &key = t[0];
    if (key.quoted) return fail("a line must start with a keyword");
    if (!header_) {
        if (key.text != "uir") return fail("the file does not start with 'uir 1'");
        if (!args(t, 1)) return false;
        if (t[1].text != "1" || t[1].quoted) return fail("unknown format version " + t[1].text);
        header_ = true;
        return true;
    }
    if (key.text == "uir") return fail("'uir' may only be the first statement");
    if (key.text == "panel") return openPanel(t);
    if (key.text == "control") return openControl(t);
    if (key.text == "page") return openPage(t);
    if (key.text == "end") {
        if (!args(t, 0)) return false;
        return close();
    }
    if (stack_.empty()) return fail("unknown keyword '" + key.text + "' outside a panel");
    Frame &f = stack_.back();
    if (f.type == Frame::Control) return controlField(f, key.text, t);
    return panelField(f, key.text, t);
}

bool Parser::openPanel(const std::vector<Token> &t) {
    if (!stack_.empty()) return fail("a panel cannot sit inside another block; missing 'end'?");
    if (!args(t, 2)) return false;
    Frame f;
    f.type = Frame::Panel;
    f.panel.line = line_;
    if (!name(t[1], f.panel.constant, "panel")) return false;
    if (!integer(t[2], 1, 1000000, f.panel.resourceId, "resource id")) return false;
    if (!panelNames_.insert(f.panel.constant).second) {
        return fail("duplicate panel name " + f.panel.constant);
    }
    if (!resourceIds_.insert(f.panel.resourceId).second) {
        return fail("duplicate resource id " + std::to_string(f.panel.resourceId));
    }
    stack_.push_back(std::move(f));
    return true;
}

bool Parser::openControl(const std::vector<Token> &t) {
    if (stack_.empty() || stack_.back().type == Frame::Control) {
        return fail("a control must sit inside a panel or a page");
    }
    if (!args(t, 3)) return false;
    Frame f;
    f.type = Frame::Control;
    f.control.line = line_;
    Control &c = f.control.control;
    if (!name(t[1], c.constant, "control")) return false;
    if (!integer(t[2], 2, 1000000, c.id, "control id")) return false;
    const KindInfo *kind = t[3].quoted ? nullptr : kindByKeyword(t[3].text);
    if (!kind) return fail("unknown control kind '" + t[3].text + "'");
    c.kind = kind->kind;
    if (c.kind == Kind::Tab && stack_.back().type == Frame::Page) {
        return fail("a tab control cannot sit on a tab page");
    }
    for (const auto &other : stack_.back().panel.controls) {
        if (other.control.id == c.id) {
            return fail("duplicate control id " + std::to_string(c.id) + " (line " +
                        std::to_string(other.line) + ")");
        }
        if (other.control.constant == c.constant) {
            return fail("duplicate control name " + c.constant + " (line " +
                        std::to_string(other.line) + ")");
        }
    }
    stack_.push_back(std::move(f));
    return true;
}

bool Parser::openPage(const std::vector<Token> &t) {
    if (stack_.empty() || stack_.back().type != Frame::Control ||
        stack_.back().control.control.kind != Kind::Tab) {
        return fail("a page must sit inside a tab control");
    }
    if (!args(t, 2)) return false;
    Frame f;
    f.type = Frame::Page;
    f.panel.line = line_;
    if (!name(t[1], f.panel.constant, "page")) return false;
    if (!integer(t[2], 0, 1000, f.panel.pageIndex, "page index")) return false;
    std::size_t expected = stack_.back().control.pages.size();
    if (static_cast<std::size_t>(f.panel.pageIndex) != expected) {
        return fail("page " + std::to_string(f.panel.pageIndex) + " out of order; expected page " +
                    std::to_string(expected));
    }
    if (!panelNames_.insert(f.panel.constant).second) {
        return fail("duplicate panel name " + f.panel.constant);
    }
    stack_.push_back(std::move(f));
    return true;
}

bool Parser::panelField(Frame &f, const std::string &key, const std::vector<Token> &t) {
    PanelSpec &p = f.panel;
    bool page = f.type == Frame::Page;
    if ((!page && key == "title") || (page && key == "label")) {
        if (!once(f, key) || !args(t, 1)) return false;
        if (!t[1].quoted) return fail("'" + key + "' takes a quoted text");
        p.title = t[1].text;
        return true;
    }
    if (key == "geometry") return once(f, key) && geometry(t, p.geometry, !page);
    if (key == "callback") {
        if (!once(f, key) || !args(t, 1)) return false;
        if (!name(t[1], p.callbackName, "callback")) return false;
        p.callbackLine = line_;
        return true;
    }
    if (key == "background") return once(f, key) && args(t, 1) && colour(t[1], p.background);
    if (!page && key == "close-control") {
        if (!once(f, key) || !args(t, 1)) return false;
        f.closeControlName = t[1].text;
        return true;
    }
    if (!page && key == "default-control") {
        if (!once(f, key) || !args(t, 1)) return false;
        f.defaultControlName = t[1].text;
        return true;
    }
    if (!page && key == "sizable") return once(f, key) && args(t, 1) && yesNo(t[1], p.sizable);
    return fail("unknown keyword '" + key + "' for a " + (page ? "page" : "panel"));
}

bool Parser::controlField(Frame &f, const std::string &key, const std::vector<Token> &t) {
    Control &c = f.control.control;
    const KindInfo &kind = kindInfo(c.kind);
    auto notFor = [&]() { return fail("'" + key + "' is not allowed on a " + kind.keyword); };
    if (key == "geometry") return once(f, key) && geometry(t, c.geometry, false);
    if (key == "mode") {
        if (kind.modes == ModeRule::None) return notFor();
        if (!once(f, key) || !args(t, 1)) return false;
        if (t[1].text == "hot" && !t[1].quoted) {
            c.mode = Mode::Hot;
        } else if (t[1].text == "indicator" && !t[1].quoted &&
                   kind.modes == ModeRule::HotOrIndicator) {
            c.mode = Mode::Indicator;
        } else {
            return fail("unknown mode '" + t[1].text + "'");
        }
        f.hasMode = true;
        return true;
    }
    if (key == "type") {
        if (!once(f, key) || !args(t, 1)) return false;
        auto type = kTypes.find(t[1].text);
        if (t[1].quoted || type == kTypes.end()) return fail("unknown type '" + t[1].text + "'");
        bool ok = false;
        switch (kind.types) {
            case TypeRule::Number:
                ok = type->second != DataType::Text;
                break;
            case TypeRule::Any:
                ok = true;
                break;
            case TypeRule::Text:
                ok = type->second == DataType::Text;
                break;
            case TypeRule::None:
            case TypeRule::Flag:
                return notFor();
        }
        if (!ok) return fail("type '" + t[1].text + "' does not suit this control");
        c.type = type->second;
        f.hasType = true;
        return true;
    }
    if (key == "label") {
        if (!kind.hasLabel) return notFor();
        if (!once(f, key) || !args(t, 1)) return false;
        if (!t[1].quoted) return fail("'label' takes a quoted text");
        c.label = t[1].text;
        return true;
    }
    if (key == "value") {
        if (!kind.valueLine) return notFor();
        if (!once(f, key) || !args(t, 1)) return false;
        f.values.push_back({t[1], line_});
        return true;
    }
    if (key == "min" || key == "max" || key == "step") {
        if (c.kind != Kind::Numeric) return notFor();
        if (!once(f, key) || !args(t, 1)) return false;
        double v = 0.0;
        if (!number(t[1], v, key.c_str())) return false;
        if (key == "min") {
            c.min = v;
            f.hasMin = true;
        } else if (key == "max") {
            c.max = v;
            f.hasMax = true;
        } else {
            if (!(v > 0)) return fail("step must be above 0");
            c.step = v;
        }
        return true;
    }
    if (key == "format") {
        if (c.kind != Kind::Numeric) return notFor();
        if (!once(f, key) || !args(t, 1)) return false;
        auto format = kFormats.find(t[1].text);
        if (t[1].quoted || format == kFormats.end()) {
            return fail("unknown format '" + t[1].text + "'");
        }
        c.format = format->second;
        f.hasFormat = true;
        return true;
    }
    if (key == "precision") {
        if (c.kind != Kind::Numeric) return notFor();
        return once(f, key) && args(t, 1) && integer(t[1], 0, 15, c.precision, "precision");
    }
    if (key == "max-length") {
        if (c.kind != Kind::String) return notFor();
        return once(f, key) && args(t, 1) && integer(t[1], 0, 1000000, c.maxLength, "max-length");
    }
    if (key == "item") {
        if (!kind.hasItems) return notFor();
        if (!args(t, 2)) return false;
        if (!t[1].quoted) return fail("an item's label is a quoted text");
        f.items.push_back({{t[2], line_}, t[1].text});
        return true;
    }
    if (key == "callback") {
        if (!kind.takesCallback) return notFor();
        if (!once(f, key) || !args(t, 1)) return false;
        if (!name(t[1], c.callbackName, "callback")) return false;
        f.control.callbackLine = line_;
        return true;
    }
    if (key == "text-color") return once(f, key) && args(t, 1) && colour(t[1], c.textColor);
    if (key == "background") return once(f, key) && args(t, 1) && colour(t[1], c.background);
    if (key == "text-background") {
        return once(f, key) && args(t, 1) && colour(t[1], c.textBackground);
    }
    if (key == "font") {
        if (!once(f, key) || !args(t, 1)) return false;
        if (!t[1].quoted || t[1].text.empty()) return fail("'font' takes a quoted name");
        c.font = t[1].text;
        return true;
    }
    if (key == "dimmed") return once(f, key) && args(t, 1) && yesNo(t[1], c.dimmed);
    if (key == "visible") return once(f, key) && args(t, 1) && yesNo(t[1], c.visible);
    if (key == "image") {
        if (c.kind != Kind::Picture) return notFor();
        if (!once(f, key) || !args(t, 1)) return false;
        if (!t[1].quoted || t[1].text.empty()) return fail("'image' takes a quoted file name");
        if (t[1].text.find('/') != std::string::npos || t[1].text.find('\\') != std::string::npos ||
            t[1].text.find("..") != std::string::npos) {
            return fail("'image' names a file in the resources folder, not a path");
        }
        c.image = t[1].text;
        return true;
    }
    return fail("unknown keyword '" + key + "' for a control");
}

bool Parser::finishControl(Frame &f) {
    Control &c = f.control.control;
    int headerLine = f.control.line;
    if (!f.seen.count("geometry"))
        return fail(headerLine, "control " + c.constant + ": no geometry");
    const KindInfo &kind = kindInfo(c.kind);
    if (kind.modes == ModeRule::HotOrIndicator && !f.hasMode) {
        return fail(headerLine, "control " + c.constant + ": no mode (hot or indicator)");
    }
    if (kind.modes == ModeRule::HotOnly) c.mode = Mode::Hot;
    if (kind.types == TypeRule::Number || kind.types == TypeRule::Any) {
        if (!f.hasType) return fail(headerLine, "control " + c.constant + ": no type");
    } else if (kind.types == TypeRule::Text) {
        c.type = DataType::Text;
    }
    if (kind.types == TypeRule::Flag) {
        c.type = DataType::Int;
        c.min = 0;
        c.max = 1;
    }
    if (kind.types == TypeRule::Number || kind.types == TypeRule::Flag) {  // a number value
        if (!f.hasFormat) c.format = c.type == DataType::Double ? Format::Fixed : Format::Integer;
        if (c.min > c.max) {
            return fail(f.fieldLines["max"],
                        "limits inverted: min " + formatNumber(c.min, Format::Fixed, 6) +
                            " is above max " + formatNumber(c.max, Format::Fixed, 6));
        }
        if (c.type != DataType::Double) {
            if (f.hasMin && (c.min < typeMin(c.type) || c.min > typeMax(c.type))) {
                return fail(f.fieldLines["min"], "min is outside the range of the type");
            }
            if (f.hasMax && (c.max < typeMin(c.type) || c.max > typeMax(c.type))) {
                return fail(f.fieldLines["max"], "max is outside the range of the type");
            }
        }
        double value = 0.0;
        if (!f.values.empty()) {
            const PendingValue &v = f.values.front();
            line_ = v.line;
            if (!number(v.token, value, "value")) return false;
            if (value < c.min || value > c.max) {
                return fail(v.line, "value " + v.token.text + " is outside the limits");
            }
            if (c.type != DataType::Double &&
                (value != std::floor(value) || value < typeMin(c.type) ||
                 value > typeMax(c.type))) {
                return fail(v.line, "value " + v.token.text + " does not fit the type");
            }
        } else {
            value = std::max(c.min, std::min(c.max, 0.0));
        }
        c.number = c.defaultNumber = value;
    } else if (kind.valueLine && !f.values.empty()) {
        const PendingValue &v = f.values.front();
        if (!v.token.quoted) return fail(v.line, "the value of a text control is a quoted text");
        if (c.maxLength > 0 && utf8Length(v.token.text) > static_cast<std::size_t>(c.maxLength)) {
            return fail(v.line, "value is longer than max-length");
        }
        c.text = c.defaultText = v.token.text;
        if (c.kind == Kind::TextBox && !c.text.empty()) {
            c.lines.clear();
            std::size_t start = 0;
            while (true) {
                std::size_t end = c.text.find('\n', start);
                c.lines.push_back(
                    c.text.substr(start, end == std::string::npos ? end : end - start));
                if (end == std::string::npos) break;
                start = end + 1;
            }
        }
    }
    for (const auto &[pending, label] : f.items) {
        Item item;
        item.label = label;
        if (c.type == DataType::Text) {
            if (!pending.token.quoted) return fail(pending.line, "the item value is a quoted text");
            item.text = pending.token.text;
        } else {
            line_ = pending.line;
            if (!number(pending.token, item.number, "item value")) return false;
            if (item.number < typeMin(c.type) || item.number > typeMax(c.type) ||
                (c.type != DataType::Double && item.number != std::floor(item.number))) {
                return fail(pending.line,
                            "item value " + pending.token.text + " does not fit the type");
            }
        }
        c.items.push_back(std::move(item));
    }
    c.index = c.items.empty() ? -1 : 0;
    if (c.kind == Kind::Tab) {
        if (f.control.pages.empty())
            return fail(headerLine, "tab control " + c.constant + " has no pages");
        c.index = 0;
        for (const auto &page : f.control.pages) {
            const Geometry &g = page.geometry;
            if (g.top + g.height > c.geometry.height || g.left + g.width > c.geometry.width) {
                return fail(page.line, "page " + page.constant + " does not fit its tab control");
            }
        }
    }
    return true;
}

bool Parser::finishPanel(Frame &f) {
    PanelSpec &p = f.panel;
    bool page = f.type == Frame::Page;
    if (!f.seen.count(page ? "label" : "title")) {
        return fail(p.line, std::string(page ? "page " : "panel ") + p.constant + ": no " +
                                (page ? "label" : "title"));
    }
    if (!f.seen.count("geometry")) {
        return fail(p.line, std::string(page ? "page " : "panel ") + p.constant + ": no geometry");
    }
    for (const auto &c : p.controls) {
        const Geometry &g = c.control.geometry;
        if (g.top + g.height > p.geometry.height || g.left + g.width > p.geometry.width) {
            return fail(c.line, "control " + c.control.constant + " lies outside its panel");
        }
    }
    const auto resolve = [&](const char *field, const std::string &wanted, int &id) {
        if (wanted.empty()) return true;
        for (const auto &c : p.controls) {
            if (c.control.constant == wanted) id = c.control.id;
        }
        if (id != 0) return true;
        return fail(f.fieldLines[field],
                    std::string(field) + " names no control of this panel: " + wanted);
    };
    return resolve("close-control", f.closeControlName, p.closeControl) &&
           resolve("default-control", f.defaultControlName, p.defaultControl);
}

bool Parser::close() {
    if (stack_.empty()) return fail("'end' without a block");
    Frame f = std::move(stack_.back());
    stack_.pop_back();
    if (f.type == Frame::Control) {
        if (!finishControl(f)) return false;
        stack_.back().panel.controls.push_back(std::move(f.control));
    } else if (f.type == Frame::Page) {
        if (!finishPanel(f)) return false;
        stack_.back().control.pages.push_back(std::move(f.panel));
    } else {
        if (!finishPanel(f)) return false;
        out_.panels.push_back(std::move(f.panel));
    }
    return true;
}

}  // namespace

const PanelSpec *Resource::find(int resourceId) const {
    for (const auto &p : panels) {
        if (p.resourceId == resourceId) return &p;
    }
    return nullptr;
}

std::size_t Resource::controlCount() const {
    std::size_t count = 0;
    for (const auto &p : panels) {
        for (const auto &c : p.controls) {
            ++count;
            for (const auto &page : c.pages)
                count += page.controls.size();
        }
    }
    return count;
}

bool parseResource(std::string_view text, const std::string &fileName, Resource &out,
                   std::string &error) {
    Resource parsed;
    parsed.fileName = fileName;
    Parser parser(fileName, parsed, error);
    if (!parser.run(text)) return false;
    out = std::move(parsed);
    return true;
}

bool loadResourceFile(const std::string &path, Resource &out, std::string &error) {
    std::string text;
    if (!text::readWholeFile(path, "panel resource", text, error)) return false;
    return parseResource(text, path, out, error);
}

namespace {

bool resolveControl(const Resource &r, const ControlSpec &def, const CallbackLookup &lookup,
                    CtrlCallbackPtr &out, std::string &error) {
    out = nullptr;
    if (def.control.callbackName.empty()) return true;
    CtrlCallbackPtr control = nullptr;
    PanelCallbackPtr panelCb = nullptr;
    std::string where = r.fileName + ":" + std::to_string(def.callbackLine) + ": ";
    if (!lookup || !lookup(def.control.callbackName, &control, &panelCb)) {
        error = where + "unknown callback '" + def.control.callbackName + "'";
        return false;
    }
    if (!control) {
        error = where + "'" + def.control.callbackName +
                "' is a panel callback, not a control callback";
        return false;
    }
    out = control;
    return true;
}

bool resolvePanel(const Resource &r, const PanelSpec &def, const CallbackLookup &lookup,
                  PanelCallbackPtr &out, std::string &error) {
    out = nullptr;
    if (def.callbackName.empty()) return true;
    CtrlCallbackPtr control = nullptr;
    PanelCallbackPtr panelCb = nullptr;
    std::string where = r.fileName + ":" + std::to_string(def.callbackLine) + ": ";
    if (!lookup || !lookup(def.callbackName, &control, &panelCb)) {
        error = where + "unknown callback '" + def.callbackName + "'";
        return false;
    }
    if (!panelCb) {
        error = where + "'" + def.callbackName + "' is a control callback, not a panel callback";
        return false;
    }
    out = panelCb;
    return true;
}

// Builds the model panel of one definition (controls resolved); pages are added by the caller.
bool makePanel(const Resource &r, const PanelSpec &def, const CallbackLookup &lookup, Panel &out,
               std::string &error) {
    out.resourceId = def.resourceId;
    out.constant = def.constant;
    out.title = def.title;
    out.geometry = def.geometry;
    out.background = def.background;
    out.pageIndex = def.pageIndex;
    out.callbackName = def.callbackName;
    out.closeControl = def.closeControl;
    out.defaultControl = def.defaultControl;
    out.sizable = def.sizable;
    if (!resolvePanel(r, def, lookup, out.callback, error)) return false;
    for (const auto &c : def.controls) {
        Control control = c.control;
        if (!resolveControl(r, c, lookup, control.callback, error)) return false;
        out.controls.push_back(std::move(control));
    }
    return true;
}

}  // namespace

int buildPanel(Model &model, const Resource &resource, int resourceId, int parent,
               const CallbackLookup &lookup, std::string &error) {
    const PanelSpec *def = resource.find(resourceId);
    if (!def) {
        error = resource.fileName + ": no panel with resource id " + std::to_string(resourceId);
        return UIE_NO_SUCH_RESOURCE;
    }
    if (parent != 0 && !model.panel(parent)) {
        error = "parent panel " + std::to_string(parent) + " does not exist";
        return UIE_BAD_PANEL;
    }
    // Everything is resolved before the model changes.
    Panel top;
    if (!makePanel(resource, *def, lookup, top, error)) return UIE_CALLBACK;
    top.resourceId = def->resourceId;
    top.parent = parent;
    struct PageBuild {
        int tab;
        Panel panel;
    };
    std::vector<PageBuild> pages;
    for (const auto &c : def->controls) {
        for (const auto &pageSpec : c.pages) {
            PageBuild page{c.control.id, {}};
            if (!makePanel(resource, pageSpec, lookup, page.panel, error)) return UIE_CALLBACK;
            page.panel.resourceId = 0;
            page.panel.tabControl = c.control.id;
            page.panel.visible = true;
            pages.push_back(std::move(page));
        }
    }
    int handle = model.addPanel(std::move(top), false);
    std::vector<int> pageHandles;
    for (auto &page : pages) {
        page.panel.parent = handle;
        int pageHandle = model.addPanel(std::move(page.panel), false);
        pageHandles.push_back(pageHandle);
        model.control(handle, page.tab)->pages.push_back(pageHandle);
    }
    model.notifyPanel(handle, PanelChange::Created);
    for (int h : pageHandles)
        model.notifyPanel(h, PanelChange::Created);
    return handle;
}

}  // namespace panel
