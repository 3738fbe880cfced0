#include "operator.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <random>

#include "bench.h"
#include "panel/script.h"
#include "panel/view.h"
#include "trl4/app.h"
#include "trl4sim/bench.h"
#include "userint.h"

namespace campaign {
namespace {

namespace fs = std::filesystem;

constexpr const char *kRoleKeys[4] = {"amplitude-1", "amplitude-2", "frequency-1", "frequency-2"};

// Where a point came from: the button the operator pressed last that sets up points.
enum class Procedure { None, Calibration, Single, Full };

// What a field may hold now: an offer, and whether the program put it there (the nominal).
struct FieldState {
    Offer offer;
    bool prefilled = false;
};

struct Meter {
    std::string resource;
    std::string identity;  // *IDN? without its line end; empty: it does not answer
};

std::string lower(std::string s) {
    for (char &c : s)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return s;
}

std::string readFile(const fs::path &file) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return {};
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Harness;
Harness *g_harness = nullptr;

class Harness {
  public:
    Harness(uint64_t seed, int actions, std::FILE *script, Report report)
        : rng_(seed), budget_(actions), script_(script), report_(report) {}

    void start();
    void pump(panel::Model &model);
    void popupChanged(panel::Model &model, int panel, bool installed);
    void meterAnswered(const trl4sim::MeterAnswer &answer);
    void finish(int exitCode);
    bool interactive() const { return fileDialogDue_; }
    std::string fileAnswer() const { return fileAnswer_; }

    SessionResult result;

  private:
    Rng rng_;
    int budget_;
    std::FILE *script_;
    Report report_;
    std::string lastAction_;
    int passes_ = 0;
    int wrapUpPasses_ = 0;
    std::vector<Point> points_;
    std::vector<std::array<std::vector<FieldState>, 2>> fields_;  // per point
    bool pointOpen_ = false;
    Procedure procedure_ = Procedure::None;
    bool unattended_ = false;
    std::array<std::string, 4> assigned_;
    std::vector<Meter> meters_;
    std::vector<std::pair<std::string, int>> mezzanines_;  // resource, position
    std::vector<std::string> protocolNames_{"trl4.log"};
    // By protocol name: how many points had been set up when the operator first named it.
    std::map<std::string, size_t> firstPoint_;
    GrowthWatch growth_;
    std::map<std::string, size_t> seenBytes_;
    std::map<std::string, std::vector<size_t>> bounds_;
    EepromWatch eeprom_;
    bool warned_ = false;
    bool exitConfirmed_ = false;
    bool fileDialogDue_ = false;
    std::string fileAnswer_;

    void violation(const std::string &invariant, const std::string &detail) {
        for (const Violation &v : result.violations) {
            if (v.invariant == invariant && v.detail == detail) return;
        }
        result.violations.push_back({invariant, detail});
    }
    double uniform(double a, double b) {
        return std::uniform_real_distribution<double>(a, b)(rng_);
    }
    bool chance(double p) { return uniform(0, 1) < p; }
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    void checkFiles();
    void checkEeprom();
    void checkOutputs(panel::Model &model);
    std::string mezzanineRunning() const;
    std::string statusLine(panel::Model &model) const;
    const Meter *meter(const std::string &resource) const;
    std::string typedValue(double nominal, int kind, bool calibration);
    std::string fileName();
    bool act(panel::Model &model);
    bool wrapUp(panel::Model &model);
    bool perform(panel::Model &model, int panel, const panel::Control &c);
    void note(const std::string &line) {
        if (line.rfind("# ", 0) != 0) lastAction_ = line;
        if (script_ != nullptr) {
            std::fprintf(script_, "%s\n", line.c_str());
            std::fflush(script_);
        }
    }
    void remember(const std::string &name) {
        if (std::find(protocolNames_.begin(), protocolNames_.end(), name) == protocolNames_.end()) {
            protocolNames_.push_back(name);
            firstPoint_[name] = points_.size();
        }
    }
};

class CampaignView final : public panel::View {
  public:
    explicit CampaignView(panel::Model &m) : model_(m) {}
    const char *name() const override { return "campaign"; }
    // Only a file dialog the operator asked for waits for an answer; message boxes are
    // printed and a test routine's delay takes no time.
    bool interactive() const override { return g_harness->interactive(); }
    void pump() override { g_harness->pump(model_); }
    void waitAndPump(std::chrono::milliseconds) override { pump(); }
    void panelChanged(int, panel::PanelChange) override {}
    void controlChanged(int, int, panel::ControlChange) override {}
    void popupChanged(int panel, bool installed) override {
        g_harness->popupChanged(model_, panel, installed);
    }
    void showMessage(const std::string &title, const std::string &text) override {
        std::printf("message %s %s\n", panel::quoteText(title).c_str(),
                    panel::quoteText(text).c_str());
    }
    int selectFile(const panel::FileRequest &, std::string &path) override {
        path = g_harness->fileAnswer();
        return path.empty() ? VAL_NO_FILE_SELECTED : VAL_NEW_FILE_SELECTED;
    }
    bool shot(int, const std::string &, std::string &) override { return false; }

  private:
    panel::Model &model_;
};

void observeMeter(const trl4sim::MeterAnswer &answer, void *) {
    if (g_harness) g_harness->meterAnswered(answer);
}

void Harness::start() {
    const auto bench = trl4sim::current();
    if (!bench) return;
    for (const trl4sim::Resource &r : bench->resources) {
        if (r.meter) {
            std::string idn = r.idn.value_or("");
            while (!idn.empty() && (idn.back() == '\n' || idn.back() == '\r' || idn.back() == ' '))
                idn.pop_back();
            meters_.push_back({r.name, idn});
        }
        if (!r.carrier) continue;
        for (int position = 1; position <= 4; ++position) {
            const trl4sim::Mezzanine &m = r.carrier->positions[static_cast<size_t>(position - 1)];
            if (m.typeCode != trl4sim::kTypeGenerator) continue;
            const std::string key = r.name + "/" + std::to_string(position);
            mezzanines_.emplace_back(r.name, position);
            trl4sim::Coefficients block{};
            if (trl4sim::readEeprom(r, position, block) == trl4sim::EepromState::Stored)
                eeprom_.add(key, block, m.offsets);
            eeprom_.add(key, trl4sim::kDefaultCoefficients, m.offsets);
        }
    }
    // The assignment the program reads at start-up.
    const char *settings = std::getenv("TRL4_SETTINGS_DIR");
    const std::string text = settings ? readFile(fs::path(settings) / "meters.yaml") : "";
    for (size_t role = 0; role < 4; ++role) {
        const std::string key = std::string(kRoleKeys[role]) + ": \"";
        const size_t at = text.find(key);
        if (at == std::string::npos) continue;
        const size_t from = at + key.size();
        assigned_[role] = text.substr(from, text.find('"', from) - from);
    }
    trl4sim::observeMeters(observeMeter, nullptr);
}

const Meter *Harness::meter(const std::string &resource) const {
    for (const Meter &m : meters_) {
        if (lower(m.resource) == lower(resource)) return &m;
    }
    return nullptr;
}

std::string Harness::mezzanineRunning() const {
    for (const auto &[resource, position] : mezzanines_) {
        if (trl4sim::readMeter(resource, position, 1) || trl4sim::readMeter(resource, position, 2))
            return resource + "/" + std::to_string(position);
    }
    return {};
}

std::string Harness::statusLine(panel::Model &model) const {
    const int mp = model.findPanel("MP");
    const panel::Panel *p = model.panel(mp);
    const panel::Control *c = p ? p->control(std::string_view("ERROR_MESSAGE")) : nullptr;
    return c ? c->text : std::string();
}

void Harness::meterAnswered(const trl4sim::MeterAnswer &answer) {
    note("# " + std::string(answer.meter) + " input " + std::to_string(answer.input) +
         " answered \"" + std::string(answer.reply) + "\"");
    if (!pointOpen_) return;
    Point &p = points_.back();
    std::string_view reply = answer.reply;
    if (!reply.empty() && reply.front() == '+') reply.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(reply.data(), reply.data() + reply.size(), value);
    if (reply.empty() || ec != std::errc() || end != reply.data() + reply.size() ||
        !std::isfinite(value) || std::fabs(value) >= 9.9e37)
        return;
    if (p.kind == 0) value *= std::sqrt(2.0);
    const std::string name(answer.meter);
    const Meter *m = meter(name);
    // Which channel asked: a meter serving both channels of the kind is asked input by input.
    const size_t first = static_cast<size_t>(2 * p.kind);
    const bool one = lower(assigned_[first]) == lower(name);
    const bool two = lower(assigned_[first + 1]) == lower(name);
    for (size_t c = 0; c < 2; ++c) {
        const bool asked =
            c == 0 ? one && (!two || answer.input == 1) : two && (!one || answer.input == 2);
        if (!asked) continue;
        Offer offer{value, {assigned_[first + c], name}};
        if (m && !m->identity.empty()) offer.readBy.push_back(m->identity);
        p.offers[c].push_back(offer);
        fields_.back()[c].push_back({offer, false});
    }
}

void Harness::popupChanged(panel::Model &model, int panel, bool installed) {
    const panel::Panel *p = model.panel(panel);
    if (p == nullptr || p->constant != "VP") return;
    if (!installed) {
        pointOpen_ = false;
        return;
    }
    Point point;
    const panel::Control *unit = p->control(std::string_view("ED_IZM"));
    point.kind = unit && unit->text == "Гц" ? 1 : 0;
    const panel::Control *v1 = p->control(std::string_view("VAL_1"));
    const panel::Control *v2 = p->control(std::string_view("VAL_2"));
    point.nominal = v1 ? v1->number : 0;
    point.calibration = procedure_ == Procedure::Calibration;
    point.unattended = procedure_ == Procedure::Full && unattended_;
    point.mezzanine = mezzanineRunning();
    std::array<std::vector<FieldState>, 2> fields;
    fields[0].push_back({{v1 ? v1->number : 0, {"typed"}}, true});
    fields[1].push_back({{v2 ? v2->number : 0, {"typed"}}, true});
    char line[160];
    std::snprintf(line, sizeof line, "# point %zu set up: %s %.17g, %s, outputs of %s",
                  points_.size() + 1, point.kind == 0 ? "amplitude" : "frequency", point.nominal,
                  point.calibration  ? "calibration"
                  : point.unattended ? "unattended"
                                     : "typed",
                  point.mezzanine.empty() ? "none" : point.mezzanine.c_str());
    std::string meters;
    for (const std::string &a : assigned_)
        meters += " '" + a + "'";
    note(line + std::string(", meters") + meters);
    points_.push_back(point);
    fields_.push_back(fields);
    pointOpen_ = true;
    ++result.points;
}

void Harness::checkFiles() {
    for (const std::string &name : protocolNames_) {
        for (const std::string &file : {name, name + ".csv"}) {
            std::error_code ec;
            if (!fs::is_regular_file(file, ec)) continue;
            const std::string bytes = readFile(file);
            // Each point record as it appears: a report shows which action wrote it, and the
            // check places it only on a point set up before then.
            size_t &seen = seenBytes_[file];
            std::vector<size_t> &bounds = bounds_[file];
            if (bytes.size() > seen && file == name + ".csv") {
                const std::string added = bytes.substr(seen);
                for (size_t at = 0, end; (end = added.find("\r\n", at)) != std::string::npos;
                     at = end + 2) {
                    note("# " + file + ": " + added.substr(at, end - at));
                    if (seen > 0 || at > 0) bounds.push_back(points_.size());
                }
            } else if (bytes.size() > seen) {
                for (size_t n = protocolPoints(bytes); bounds.size() < n;)
                    bounds.push_back(points_.size());
            }
            seen = bytes.size();
            Violation v;
            if (!growth_.observe(file, bytes, v)) violation(v.invariant, v.detail);
        }
    }
}

void Harness::checkEeprom() {
    const auto bench = trl4sim::current();
    if (!bench) return;
    for (const auto &[resource, position] : mezzanines_) {
        const trl4sim::Resource *r = trl4sim::findResource(*bench, resource);
        trl4sim::Coefficients block{};
        if (r == nullptr ||
            trl4sim::readEeprom(*r, position, block) != trl4sim::EepromState::Stored)
            continue;
        Violation v;
        if (!eeprom_.observe(resource + "/" + std::to_string(position), block, points_, v))
            violation(v.invariant, v.detail);
    }
}

void Harness::checkOutputs(panel::Model &model) {
    if (!model.popups().empty()) return;
    const std::string running = mezzanineRunning();
    if (running.empty()) {
        warned_ = false;
    } else if (!statusLine(model).empty()) {
        warned_ = true;
    } else if (!warned_) {
        violation("with no pop-up waiting the generator is stopped or the status line says so",
                  running + " outputs on after action " + std::to_string(result.actions) + " (" +
                      lastAction_ + ")");
    }
}

std::string Harness::typedValue(double nominal, int kind, bool calibration) {
    double v = nominal;
    const int form = below(20);
    if (form < 12) {
        static const double deltas[] = {0,     1e-5,  -1e-5, 1e-4,  -1e-4, 2e-4,  -3e-4,
                                        1e-3,  -1e-3, 0.01,  -0.01, 0.1,   -0.15, 0.19,
                                        -0.19, 0.25,  -0.25, 0.5,   2.0};
        v = nominal * (1 + deltas[below(static_cast<int>(std::size(deltas)))]);
    } else if (form < 14 && calibration) {
        static const double window[] = {8.0, 12.0, 12.5, 7.9, 900.0, 1100.0, 1101.0, 899.0};
        v = window[below(4) + (kind == 1 ? 4 : 0)];
    } else if (form < 16) {
        v = chance(0.5) ? -nominal : 0.0;
    } else if (form < 17) {
        v = chance(0.5) ? 1e300 : 9.9e37;
    } else if (form < 18) {
        static const char *const garbage[] = {"abc", "", "1e999", "nan", "--1", "1.2.3", "10 V"};
        return garbage[below(static_cast<int>(std::size(garbage)))];
    } else {
        v = nominal * (1 + uniform(-0.003, 0.003));
    }
    char text[64];
    switch (below(4)) {
        case 0:
            std::snprintf(text, sizeof text, "%.6E", v);
            break;
        case 1: {  // a comma-decimal desktop's way
            std::snprintf(text, sizeof text, "%.10g", v);
            for (char *c = text; *c; ++c)
                if (*c == '.') *c = ',';
            break;
        }
        default:
            std::snprintf(text, sizeof text, "%.10g", v);
    }
    return text;
}

std::string Harness::fileName() {
    static const char *const names[] = {
        "trl4.log", "p1.log", "p2.log", "протокол.log",  "a,\"b\".log", "nodir/x.log",
        ".",        "sub",    "",       "/proc/trl4.log"};
    std::string name = names[below(static_cast<int>(std::size(names)))];
    if (chance(0.03)) name = std::string(300, 'x') + ".log";
    if (name == "sub") fs::create_directories("sub");
    return name;
}

// Weights of what a person does, by control; anything else shown and enabled is 0.5.
double weight(const std::string &name) {
    static const std::map<std::string, double> weights = {
        {"VP.OK_3", 6},
        {"VP.COMMANDBUTTON_2", 1.5},
        {"VP.VAL_1", 5},
        {"VP.VAL_2", 5},
        {"VP.MEASURE", 4},
        {"CP.START_U", 3},
        {"CP.START_F", 3},
        {"CP.READ_EEPROM", 2},
        {"CP.WRITE_EEPROM", 3},
        {"CP.RESET_CF", 1},
        {"PP.U_ALL", 2},
        {"PP.F_ALL", 2},
        {"PP.SET_U", 1.5},
        {"PP.SET_U_2", 1.5},
        {"PP.AUTO", 1.5},
        {"PP.FILE_NAME", 1.5},
        {"PP.BROWSE", 0.5},
        {"PP.SHOW_LOG", 0.3},
        {"MP.TAB", 3},
        {"MP.MEZ_NUM", 1.5},
        {"MP.MEZ_SELECT", 0.7},
        {"MP.ERROR_MESSAGE_OK", 2},
        {"MP.CALIBR", 1},
        {"MP.SELFTEST", 0.3},
        {"MP.RESET", 0.5},
        {"MP.COMMANDBUTTON", 0.2},
        {"MP.METERS", 0.7},
        {"MP.ABOUT", 0.2},
        {"MP.MP_EXIT", 0.15},
        {"MI.CLOSE", 1.5},
        {"SI.LIST", 2},
        {"SI.OK", 2},
        {"SI.CANCEL", 0.3},
        {"EXIT_POPUP.EXIT_YES", 0.2},
        {"EXIT_POPUP.EXIT_NO", 1},
        {"ABOUT.COMMANDBUTTON", 3},
        {"ST.CLOSE", 3},
        {"CHLP.COMMANDBUTTON_2", 3},
    };
    const auto it = weights.find(name);
    return it != weights.end() ? it->second : 0.5;
}

bool Harness::perform(panel::Model &model, int panel, const panel::Control &c) {
    const panel::Panel *p = model.panel(panel);
    const std::string name = p->constant + "." + c.constant;
    const int id = c.id;
    panel::Input in = panel::Input::NotOperable;
    // Types text into the control; a refusal is noted as such, and the panel checked instead.
    const auto typeIn = [&](const std::string &text) {
        in = model.operatorSetText(panel, id, text, true);
        if (in != panel::Input::Accepted) {
            note("# refused: set " + name + " " + panel::quoteText(text));
            note("expect-visible " + p->constant);
            return false;
        }
        note("set " + name + " " + panel::quoteText(text));
        return true;
    };
    switch (c.kind) {
        case panel::Kind::Button:
            if (name == "PP.BROWSE") {
                fileDialogDue_ = true;
                fileAnswer_ = chance(0.2) ? std::string() : fileName();
                if (!fileAnswer_.empty()) remember(fileAnswer_);
            }
            in = model.operatorCommit(panel, id);
            if (in != panel::Input::Accepted) break;
            note("press " + name);
            if (name == "PP.BROWSE")
                note(fileAnswer_.empty() ? "file cancel" : "file " + panel::quoteText(fileAnswer_));
            if (name == "CP.START_U" || name == "CP.START_F") procedure_ = Procedure::Calibration;
            if (name == "PP.SET_U" || name == "PP.SET_U_2") procedure_ = Procedure::Single;
            if (name == "PP.U_ALL" || name == "PP.F_ALL") {
                procedure_ = Procedure::Full;
                const int pp = model.findPanel("PP");
                const panel::Control *automatic =
                    model.panel(pp) ? model.panel(pp)->control(std::string_view("AUTO")) : nullptr;
                unattended_ = automatic && automatic->number != 0;
            }
            if (name == "EXIT_POPUP.EXIT_YES") exitConfirmed_ = true;
            // "Ввести" offers what each field may hold now; an unattended point's nominal
            // was nobody's reading.
            if (name == "VP.OK_3" && pointOpen_) {
                for (size_t ch = 0; ch < 2; ++ch) {
                    for (const FieldState &f : fields_.back()[ch]) {
                        if (!f.prefilled || !points_.back().unattended)
                            points_.back().offers[ch].push_back(f.offer);
                    }
                }
            }
            break;
        case panel::Kind::Numeric: {
            std::string text;
            if (name == "VP.VAL_1" || name == "VP.VAL_2") {
                const Point *pt = pointOpen_ ? &points_.back() : nullptr;
                text =
                    typedValue(pt ? pt->nominal : 10.0, pt ? pt->kind : 0, pt && pt->calibration);
            } else {
                static const char *const values[] = {"10",    "5",     "0.01", "1",     "0.5",
                                                     "0",     "-1",    "11",   "25000", "1000",
                                                     "96000", "96001", "1e9",  "2,5",   "abc"};
                text = values[below(static_cast<int>(std::size(values)))];
            }
            if (!typeIn(text)) return true;
            if (pointOpen_ && (name == "VP.VAL_1" || name == "VP.VAL_2")) {
                std::string dotted = text;
                for (char &ch : dotted)
                    if (ch == ',') ch = '.';
                double typed = 0;
                const auto [end, ec] =
                    std::from_chars(dotted.data(), dotted.data() + dotted.size(), typed);
                if (ec != std::errc() || end != dotted.data() + dotted.size())
                    typed = model.control(panel, id)->number;
                fields_.back()[name == "VP.VAL_1" ? 0 : 1] = {{{typed, {"typed"}}, false}};
            }
            break;
        }
        case panel::Kind::String: {
            const std::string text = fileName();
            if (!typeIn(text)) return true;
            remember(text);
            break;
        }
        case panel::Kind::CheckBox: {
            const int value = c.number != 0 ? 0 : 1;
            in = model.operatorSetNumber(panel, id, value, true);
            if (in == panel::Input::Accepted) note("set " + name + " " + std::to_string(value));
            break;
        }
        case panel::Kind::Ring:
        case panel::Kind::Tab: {
            const int count =
                static_cast<int>(c.kind == panel::Kind::Tab ? c.pages.size() : c.items.size());
            if (count == 0) return false;
            const int index = below(count);
            std::string label = c.kind == panel::Kind::Ring
                                    ? c.items[static_cast<size_t>(index)].label
                                    : std::string();
            const double value =
                c.kind == panel::Kind::Ring ? c.items[static_cast<size_t>(index)].number : index;
            in = model.operatorSelect(panel, id, index);
            if (in != panel::Input::Accepted) break;
            char text[32];
            std::snprintf(text, sizeof text, "%g", value);
            note("set " + name + " " + text);
            if (p->constant == "MI") {
                static const char *const roles[] = {"AMP_1", "AMP_2", "FREQ_1", "FREQ_2"};
                const std::string missing = " (не отвечает)";
                if (label == "не назначен") label.clear();
                if (label.size() > missing.size() &&
                    label.compare(label.size() - missing.size(), missing.size(), missing) == 0)
                    label.resize(label.size() - missing.size());
                for (size_t role = 0; role < 4; ++role) {
                    if (c.constant == roles[role]) assigned_[role] = label;
                }
            }
            break;
        }
        case panel::Kind::ListBox:
            if (c.items.empty()) return false;
            if (c.index >= 0 && chance(0.4)) {
                in = model.operatorDoubleClick(panel, id);
                if (in == panel::Input::Accepted) note("dblclick " + name);
            } else {
                const int index = below(static_cast<int>(c.items.size()));
                in = model.operatorSelect(panel, id, index);
                if (in == panel::Input::Accepted)
                    note("select " + name + " " + std::to_string(index));
            }
            break;
        default:
            return false;
    }
    return in == panel::Input::Accepted;
}

// Ends the session as a person would: the pending pop-up cancelled, the dialogs closed, then
// the exit and its question answered "yes".
bool Harness::wrapUp(panel::Model &model) {
    static const char *const order[] = {"VP.COMMANDBUTTON_2",  "MI.CLOSE",  "SI.CANCEL", "ST.CLOSE",
                                        "EXIT_POPUP.EXIT_YES", "MP.MP_EXIT"};
    for (const char *target : order) {
        const std::string full(target);
        const size_t dot = full.find('.');
        const int panel = model.findPanel(full.substr(0, dot));
        const panel::Panel *p = model.panel(panel);
        const panel::Control *c = p ? p->control(std::string_view(full).substr(dot + 1)) : nullptr;
        if (c && model.controlAcceptsInput(panel, c->id) == panel::Input::Accepted &&
            perform(model, panel, *c))
            return true;
    }
    return false;
}

bool Harness::act(panel::Model &model) {
    struct Choice {
        int panel;
        const panel::Control *control;  // null: the panel's close box
        double weight;
    };
    std::vector<Choice> choices;
    double total = 0;
    for (const int handle : model.panelHandles()) {
        if (model.panelAcceptsInput(handle) != panel::Input::Accepted) continue;
        const panel::Panel *p = model.panel(handle);
        if (p->constant.empty()) continue;
        for (const panel::Control &c : p->controls) {
            if (model.controlAcceptsInput(handle, c.id) != panel::Input::Accepted) continue;
            double w = weight(p->constant + "." + c.constant);
            if (budget_ <= 0 && c.constant == "MP_EXIT") w = 0;
            choices.push_back({handle, &c, w});
            total += w;
        }
        if (p->parent == 0) {
            choices.push_back({handle, nullptr, 0.1});
            total += 0.1;
        }
    }
    // A person sometimes only looks: the procedure goes on by itself.
    const double idle = 1.0;
    double r = uniform(0, total + idle);
    for (const Choice &choice : choices) {
        r -= choice.weight;
        if (r >= 0) continue;
        if (choice.control == nullptr) {
            const panel::Panel *p = model.panel(choice.panel);
            if (model.operatorClose(choice.panel) != panel::Input::Accepted) return false;
            note("close " + p->constant);
            return true;
        }
        return perform(model, choice.panel, *choice.control);
    }
    note("expect-visible MP");
    return true;
}

void Harness::pump(panel::Model &model) {
    fileDialogDue_ = false;
    ++passes_;
    checkFiles();
    checkEeprom();
    checkOutputs(model);
    if (exitConfirmed_ && wrapUpPasses_ > 200) return;
    if (result.actions >= budget_) {
        if (++wrapUpPasses_ > 2000) {
            violation("the operator can end the session", "still running " +
                                                              std::to_string(wrapUpPasses_) +
                                                              " passes after the session's end");
            finish(-1);
            if (report_ != nullptr) report_(result);
            std::fflush(nullptr);
            std::_Exit(1);
        }
        if (wrapUp(model) || act(model)) ++result.actions;
        return;
    }
    if (act(model)) ++result.actions;
}

void Harness::finish(int exitCode) {
    trl4sim::observeMeters(nullptr, nullptr);
    for (size_t i = 0; i < points_.size(); ++i)
        result.ledger.push_back("point " + std::to_string(i + 1) + ": " +
                                (points_[i].calibration
                                     ? "calibration of " + points_[i].mezzanine + ", "
                                     : std::string()) +
                                showOffers(points_[i]));
    checkFiles();
    checkEeprom();
    if (exitCode != 0)
        violation("the program exits as the operator asked",
                  "exit code " + std::to_string(exitCode));
    if (!exitConfirmed_ && exitCode != -1)
        violation("the program exits as the operator asked", "it ended with no \"yes\" to exit");
    // A driver that refuses every stop and close leaves its outputs on whatever the program
    // does; the program must have told the operator so while it still could.
    const std::string running = mezzanineRunning();
    if (!running.empty() && exitCode != -1 && !warned_)
        violation("the generator is stopped after the program ends", running);
    for (const std::string &name : protocolNames_) {
        std::error_code ec;
        if (fs::is_regular_file(name, ec)) {
            for (const Violation &v :
                 checkProtocol(points_, readFile(name), name, firstPoint_[name], bounds_[name]))
                violation(v.invariant, v.detail);
        }
        if (fs::is_regular_file(name + ".csv", ec)) {
            const std::string text = readFile(name + ".csv");
            for (const Violation &v : checkRecord(points_, text, name + ".csv", firstPoint_[name],
                                                  bounds_[name + ".csv"]))
                violation(v.invariant, v.detail);
            const auto rows = std::count(text.begin(), text.end(), '\n');
            result.recorded += rows > 0 ? static_cast<int>(rows) - 1 : 0;
        }
    }
}

}  // namespace

SessionResult runSession(uint64_t seed, int actions, std::FILE *script, Report report) {
    Harness harness(seed, actions, script, report);
    g_harness = &harness;
    harness.start();
    static char arg0[] = "trl4_campaign", arg1[] = "--view", arg2[] = "qt";
    static char *argv[] = {arg0, arg1, arg2, nullptr};
    const int code = RunFrontPanel(3, argv, [](panel::Model &m, int &, char **) -> panel::View * {
        return new CampaignView(m);
    });
    harness.finish(code);
    g_harness = nullptr;
    return harness.result;
}

}  // namespace campaign
