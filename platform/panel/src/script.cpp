// Operator scripts: reader and runner.
#include "panel/script.h"

#include "panel/kinds.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>

#include "panel/view.h"
#include "text.h"

namespace panel {
namespace {

const std::map<std::string, ActionKind, std::less<>> kActions = {
    {"press", ActionKind::Press},
    {"set", ActionKind::Set},
    {"select", ActionKind::Select},
    {"dblclick", ActionKind::DoubleClick},
    {"close", ActionKind::Close},
    {"file", ActionKind::File},
    {"expect", ActionKind::Expect},
    {"expect-title", ActionKind::ExpectTitle},
    {"expect-message", ActionKind::ExpectMessage},
    {"expect-visible", ActionKind::ExpectVisible},
    {"expect-hidden", ActionKind::ExpectHidden},
    {"expect-color", ActionKind::ExpectColor},
    {"expect-background", ActionKind::ExpectBackground},
    {"dump", ActionKind::Dump},
    {"shot", ActionKind::Shot},
};

// Argument shapes: P = panel name, C = PANEL.CONTROL, V = word or text, T = text, N = index,
// K = colour.
const char *shapeOf(ActionKind kind) {
    switch (kind) {
        case ActionKind::Press:
        case ActionKind::DoubleClick:
            return "C";
        case ActionKind::Set:
        case ActionKind::Expect:
            return "CV";
        case ActionKind::ExpectColor:
        case ActionKind::ExpectBackground:
            return "CK";
        case ActionKind::Select:
            return "CN";
        case ActionKind::Close:
        case ActionKind::ExpectVisible:
        case ActionKind::ExpectHidden:
        case ActionKind::Dump:
            return "P";
        case ActionKind::File:
        case ActionKind::FileCancel:
            return "V";
        case ActionKind::ExpectTitle:
            return "PT";
        case ActionKind::ExpectMessage:
            return "T";
        case ActionKind::Shot:
            return "PV";
    }
    return "";
}

const char *usage(ActionKind kind) {
    switch (kind) {
        case ActionKind::Press:
            return "press PANEL.CONTROL";
        case ActionKind::Set:
            return "set PANEL.CONTROL VALUE";
        case ActionKind::Select:
            return "select PANEL.CONTROL INDEX";
        case ActionKind::DoubleClick:
            return "dblclick PANEL.CONTROL";
        case ActionKind::Close:
            return "close PANEL";
        case ActionKind::File:
        case ActionKind::FileCancel:
            return "file \"PATH\" or file cancel";
        case ActionKind::Expect:
            return "expect PANEL.CONTROL VALUE";
        case ActionKind::ExpectTitle:
            return "expect-title PANEL \"TEXT\"";
        case ActionKind::ExpectMessage:
            return "expect-message \"TEXT\"";
        case ActionKind::ExpectVisible:
            return "expect-visible PANEL";
        case ActionKind::ExpectHidden:
            return "expect-hidden PANEL";
        case ActionKind::ExpectColor:
            return "expect-color PANEL.CONTROL 0xRRGGBB";
        case ActionKind::ExpectBackground:
            return "expect-background PANEL.CONTROL 0xRRGGBB";
        case ActionKind::Dump:
            return "dump PANEL";
        case ActionKind::Shot:
            return "shot PANEL FILE.png";
    }
    return "";
}

// "0xRRGGBB": one to six hexadecimal digits after 0x.
bool parseColour(std::string_view text, int &colour) {
    if (text.size() < 3 || text.size() > 8 || text[0] != '0' ||
        (text[1] != 'x' && text[1] != 'X')) {
        return false;
    }
    colour = 0;
    for (char c : text.substr(2)) {
        int digit = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
        if (digit < 0) return false;
        colour = colour * 16 + digit;
    }
    return true;
}

std::string colourText(std::uint32_t colour) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", colour & 0xFFFFFFu);
    return text;
}

std::string numberText(double value, DataType type) {
    if (type != DataType::Double || value == std::floor(value)) {
        if (std::fabs(value) < 1e15) return formatNumber(value, Format::Integer, 0);
    }
    // "%.15g" of the C locale, in any process locale.
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    return ec == std::errc() ? std::string(buffer, end) : std::string();
}

}  // namespace

std::string quoteText(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out += c;
        }
    }
    return out + "\"";
}

bool parseScript(std::string_view source, const std::string &name, Script &out,
                 std::string &error) {
    Script script;
    script.name = name;
    std::vector<text::Token> tokens;
    int line = 0;
    std::size_t start = 0;
    auto fail = [&](const std::string &why) {
        error = name + ":" + std::to_string(line) + ": " + why;
        return false;
    };
    while (start <= source.size()) {
        std::size_t end = source.find('\n', start);
        std::string_view text = source.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        ++line;
        if (!text::validUtf8(text)) return fail("the line is not valid UTF-8");
        std::string why;
        if (!text::tokenize(text, tokens, why)) return fail(why);
        if (!tokens.empty()) {
            if (tokens[0].quoted) return fail("a line must start with an action");
            auto found = kActions.find(tokens[0].text);
            if (found == kActions.end()) return fail("unknown action '" + tokens[0].text + "'");
            Action action;
            action.kind = found->second;
            action.line = line;
            std::string shape = shapeOf(action.kind);
            if (tokens.size() != shape.size() + 1) {
                return fail(std::string("expected: ") + usage(action.kind));
            }
            for (std::size_t i = 0; i < shape.size(); ++i) {
                const text::Token &t = tokens[i + 1];
                switch (shape[i]) {
                    case 'P':
                        if (t.quoted || !text::isName(t.text)) {
                            return fail("'" + t.text + "' is not a panel name");
                        }
                        action.panel = t.text;
                        break;
                    case 'C': {
                        auto dot = t.text.find('.');
                        if (t.quoted || dot == std::string::npos ||
                            !text::isName(t.text.substr(0, dot)) ||
                            !text::isName(t.text.substr(dot + 1))) {
                            return fail("'" + t.text + "' is not of the form PANEL.CONTROL");
                        }
                        action.panel = t.text.substr(0, dot);
                        action.control = t.text.substr(dot + 1);
                        break;
                    }
                    case 'N': {
                        double n = 0.0;
                        if (t.quoted || !parseNumber(t.text, n) || n < 0 || n > 1e6 ||
                            n != std::floor(n)) {
                            return fail("'" + t.text + "' is not an item index (0, 1, ...)");
                        }
                        action.index = static_cast<int>(n);
                        break;
                    }
                    case 'K':
                        if (t.quoted || !parseColour(t.text, action.index)) {
                            return fail("'" + t.text + "' is not a colour (0xRRGGBB)");
                        }
                        action.value = t.text;
                        break;
                    case 'T':
                        if (!t.quoted) return fail("the text must be in double quotes");
                        action.value = t.text;
                        break;
                    default:  // 'V'
                        if (t.text.empty() && !t.quoted) return fail("missing value");
                        action.value = t.text;
                        if (action.kind == ActionKind::File && !t.quoted) {
                            if (t.text != "cancel") {
                                return fail("expected: file \"PATH\" or file cancel");
                            }
                            action.kind = ActionKind::FileCancel;
                        }
                        if (action.kind == ActionKind::File && t.text.empty()) {
                            return fail("the file path is empty");
                        }
                        break;
                }
            }
            script.actions.push_back(std::move(action));
        }
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    out = std::move(script);
    return true;
}

bool loadScriptFile(const std::string &path, Script &out, std::string &error) {
    std::string text;
    if (!text::readWholeFile(path, "operator script", text, error)) return false;
    return parseScript(text, path, out, error);
}

// ---- Runner --------------------------------------------------------------------------------

ScriptRunner::ScriptRunner(Model &model, Script script, std::string shotsDirectory, std::FILE *out)
    : model_(model), script_(std::move(script)), shots_(std::move(shotsDirectory)), out_(out) {}

const Action *ScriptRunner::nextAction() const {
    return exhausted() ? nullptr : &script_.actions[next_];
}

ScriptRunner::Step ScriptRunner::step() {
    if (exhausted()) return Step::Exhausted;
    const Action &action = script_.actions[next_++];
    lastLine_ = action.line;
    return run(action) ? Step::Taken : Step::Failed;
}

bool ScriptRunner::fail(const Action &action, const std::string &why) {
    error_ = script_.name + ":" + std::to_string(action.line) + ": " + why;
    return false;
}

bool ScriptRunner::resolve(const Action &action, int &panel, int &control) {
    panel = model_.findPanel(action.panel);
    if (panel == 0) return fail(action, "no panel " + action.panel);
    control = 0;
    if (action.control.empty()) return true;
    const Control *c = model_.panel(panel)->control(action.control);
    if (!c) return fail(action, "panel " + action.panel + " has no control " + action.control);
    control = c->id;
    return true;
}

std::string ScriptRunner::valueText(int, const Control &c) const {
    switch (c.kind) {
        case Kind::Numeric:
        case Kind::CheckBox:
            return formatValue(c);
        case Kind::String:
        case Kind::TextMessage:
            return quoteText(c.text);
        case Kind::TextBox:
            return quoteText(text::joinLines(c.lines));
        case Kind::Ring:
        case Kind::ListBox: {
            if (c.index < 0 || c.index >= static_cast<int>(c.items.size())) return "-";
            const Item &item = c.items[static_cast<std::size_t>(c.index)];
            std::string value =
                c.type == DataType::Text ? quoteText(item.text) : numberText(item.number, c.type);
            return value + " (" + quoteText(item.label) + ")";
        }
        case Kind::Tab:
            return std::to_string(c.index);
        default:
            return "-";
    }
}

void ScriptRunner::dump(int handle) {
    const Panel *p = model_.panel(handle);
    Input state = model_.panelAcceptsInput(handle);
    bool seen = state == Input::Accepted || state == Input::BlockedByPopup;
    std::fprintf(out_, "panel %s %s %s\n", p->constant.c_str(), quoteText(p->title).c_str(),
                 seen ? "visible" : "hidden");
    for (const auto &c : p->controls) {
        std::string line = p->constant + "." + c.constant + " " + kindInfo(c.kind).keyword;
        if (c.takesValue()) line += " = " + valueText(handle, c);
        if (c.dimmed) line += " dimmed";
        if (!c.visible) line += " hidden";
        // Colours only where the panel or the program set them: the rest show the defaults.
        const Control plain;
        if (c.textColor != plain.textColor || c.textBackground != plain.textBackground) {
            line += " text-color " + colourText(c.textColor) + " text-background " +
                    colourText(c.textBackground);
        }
        std::fprintf(out_, "%s\n", line.c_str());
    }
    std::fflush(out_);
}

bool ScriptRunner::run(const Action &a) {
    int panel = 0;
    int control = 0;
    std::string name = a.control.empty() ? a.panel : a.panel + "." + a.control;
    auto refused = [&](const char *what, Input input, const std::string &detail = {}) {
        return fail(a, std::string("cannot ") + what + " " + name + ": " +
                           (detail.empty() ? describe(input) : detail));
    };
    switch (a.kind) {
        case ActionKind::File:
            answers_.push_back({false, a.value});
            return true;
        case ActionKind::FileCancel:
            answers_.push_back({true, {}});
            return true;
        case ActionKind::ExpectMessage: {
            if (messages_.empty()) return fail(a, "no message box left to check");
            std::string shown = messages_.front();
            messages_.pop_front();
            if (shown != a.value) {
                return fail(a, "the message box said " + quoteText(shown) + ", expected " +
                                   quoteText(a.value));
            }
            return true;
        }
        default:
            break;
    }
    if (!resolve(a, panel, control)) return false;
    switch (a.kind) {
        case ActionKind::Press: {
            Input r = model_.operatorCommit(panel, control);
            return r == Input::Accepted || refused("press", r);
        }
        case ActionKind::Set: {
            std::string why;
            Input r = model_.operatorSetText(panel, control, a.value, true, &why);
            return r == Input::Accepted || refused("set", r, why);
        }
        case ActionKind::Select: {
            Input r = model_.operatorSelect(panel, control, a.index);
            return r == Input::Accepted || refused("select in", r);
        }
        case ActionKind::DoubleClick: {
            Input r = model_.operatorDoubleClick(panel, control);
            return r == Input::Accepted || refused("double-click", r);
        }
        case ActionKind::Close: {
            Input r = model_.operatorClose(panel);
            return r == Input::Accepted || refused("close", r);
        }
        case ActionKind::Expect: {
            const Control &c = *model_.control(panel, control);
            if (!c.takesValue()) return fail(a, name + " holds no value");
            bool same = false;
            std::string why;
            switch (c.kind) {
                case Kind::String:
                case Kind::TextMessage:
                    same = c.text == a.value;
                    break;
                case Kind::TextBox:
                    same = text::joinLines(c.lines) == a.value;
                    break;
                case Kind::Numeric:
                case Kind::CheckBox: {
                    double expected = 0.0;
                    if (!parseNumber(a.value, expected, &why))
                        return fail(a, "expected value " + why);
                    // Compared as `set` would write it: clamped, rounded, then shown.
                    Control probe = c;
                    probe.number = coerceToControl(c, expected);
                    same = probe.number == c.number || formatValue(probe) == formatValue(c);
                    break;
                }
                case Kind::Ring:
                case Kind::ListBox: {
                    if (c.index < 0) break;
                    const Item &item = c.items[static_cast<std::size_t>(c.index)];
                    if (c.type == DataType::Text) {
                        same = item.text == a.value;
                    } else {
                        double expected = 0.0;
                        if (!parseNumber(a.value, expected, &why)) {
                            return fail(a, "expected value " + why);
                        }
                        same = item.number == expected;
                    }
                    break;
                }
                case Kind::Tab: {
                    double expected = 0.0;
                    if (!parseNumber(a.value, expected, &why))
                        return fail(a, "expected value " + why);
                    same = expected == c.index;
                    break;
                }
                default:
                    break;
            }
            if (!same) {
                return fail(a, name + " holds " + valueText(panel, c) + ", expected " +
                                   (c.type == DataType::Text ? quoteText(a.value) : a.value));
            }
            return true;
        }
        case ActionKind::ExpectTitle: {
            const Panel &p = *model_.panel(panel);
            if (p.title != a.value) {
                return fail(a, "the title of " + a.panel + " is " + quoteText(p.title) +
                                   ", expected " + quoteText(a.value));
            }
            return true;
        }
        case ActionKind::ExpectVisible:
        case ActionKind::ExpectHidden: {
            Input state = model_.panelAcceptsInput(panel);
            bool seen = state == Input::Accepted || state == Input::BlockedByPopup;
            bool want = a.kind == ActionKind::ExpectVisible;
            if (seen != want) {
                return fail(a, a.panel + " is " + (seen ? "visible" : "hidden") + ", expected " +
                                   (want ? "visible" : "hidden"));
            }
            return true;
        }
        case ActionKind::ExpectColor:
        case ActionKind::ExpectBackground: {
            const Control &c = *model_.control(panel, control);
            const bool text = a.kind == ActionKind::ExpectColor;
            const std::uint32_t shown = text ? c.textColor : c.textBackground;
            if (shown != static_cast<std::uint32_t>(a.index)) {
                return fail(a, std::string("the ") + (text ? "text colour" : "text background") +
                                   " of " + name + " is " + colourText(shown) + ", expected " +
                                   colourText(static_cast<std::uint32_t>(a.index)));
            }
            return true;
        }
        case ActionKind::Dump:
            dump(panel);
            return true;
        case ActionKind::Shot: {
            std::filesystem::path file = text::pathOf(a.value);
            if (!shots_.empty() && file.is_relative()) file = text::pathOf(shots_) / file;
            View *view = model_.view();
            std::string why;
            if (view && view->shot(panel, text::textOf(file), why)) return true;
            if (!view || !view->interactive()) {
                // Scripts run unchanged in both views; without pictures the shot is skipped.
                std::fprintf(stderr, "%s:%d: shot skipped: %s\n", script_.name.c_str(), a.line,
                             view ? why.c_str() : "no view");
                return true;
            }
            return fail(a, "shot of " + a.panel + " failed: " + why);
        }
        default:
            return true;
    }
}

void ScriptRunner::messageShown(const std::string &title, const std::string &text) {
    std::fprintf(out_, "message %s %s\n", quoteText(title).c_str(), quoteText(text).c_str());
    std::fflush(out_);
    messages_.push_back(text);
}

int ScriptRunner::answerFileDialog(std::string &path) {
    if (answers_.empty()) {
        const Action *next = nextAction();
        if (next && (next->kind == ActionKind::File || next->kind == ActionKind::FileCancel)) {
            step();
        }
    }
    if (answers_.empty()) {
        error_ = script_.name + ":" + std::to_string(lastLine_) +
                 ": a file dialog opened but the script gives no 'file' answer";
        return UIE_SCRIPT;
    }
    FileAnswer answer = answers_.front();
    answers_.pop_front();
    if (answer.cancel) return VAL_NO_FILE_SELECTED;
    std::error_code ec;
    std::filesystem::path chosen = std::filesystem::absolute(text::pathOf(answer.path), ec);
    if (ec) chosen = text::pathOf(answer.path);
    path = text::textOf(chosen.lexically_normal());
    return std::filesystem::exists(chosen, ec) ? VAL_EXISTING_FILE_SELECTED : VAL_NEW_FILE_SELECTED;
}

}  // namespace panel
