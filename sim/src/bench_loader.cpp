// Bench file loader: strict YAML, every error with its line, nothing half-used.
#include <charconv>
#include <optional>
#include <set>
#include <string>

#include "sim_internal.h"
#include "trl4/resource_name.h"
#include "trl4/yaml.h"
#include "trl4sim/bench.h"

namespace trl4sim {
namespace {

using trl4::yaml::Node;

constexpr size_t kMaxBenchBytes = 1 << 20;
constexpr size_t kMaxReplyBytes = 65536;
constexpr size_t kMaxTextBytes = 255;
// A generator further off than this is broken, not uncalibrated: its driver could not correct it.
constexpr double kMaxGainError = 0.5;
constexpr double kMaxFrequencyErrorPpm = 100000;

struct LoadError {
    int line;
    std::string message;
};

[[noreturn]] void fail(const Node &node, const std::string &message) {
    throw LoadError{node.line(), message};
}

std::string inQuotes(std::string_view s) {
    std::string out(1, '"');
    out.append(s);
    out += '"';
    return out;
}

// Checks that node is a mapping with only the allowed keys (the reader refuses a key twice).
void checkKeys(const Node &node, std::string_view what,
               std::initializer_list<std::string_view> allowed) {
    if (!node.isMapping()) fail(node, std::string(what) + " must be a mapping");
    for (const Node &value : node.children()) {
        const std::string &key = value.key();
        bool known = false;
        for (auto a : allowed)
            known = known || a == key;
        if (!known) {
            std::string list;
            for (auto a : allowed)
                list += (list.empty() ? "" : ", ") + std::string(a);
            throw LoadError{value.keyLine(), "unknown key " + inQuotes(key) + " in " +
                                                 std::string(what) + " (known: " + list + ")"};
        }
    }
}

const std::string &scalar(const Node &node, std::string_view what) {
    if (!node.isScalar()) fail(node, std::string(what) + " must be a single value");
    return node.text();
}

// Decimal or 0x-hexadecimal integer within [lo, hi].
int64_t integer(const Node &node, std::string_view what, int64_t lo, int64_t hi) {
    const std::string &s = scalar(node, what);
    const std::optional<int64_t> value = node.toInteger();
    if (!value) fail(node, std::string(what) + " must be an integer, not " + inQuotes(s));
    if (*value < lo || *value > hi) {
        fail(node, std::string(what) + " " + s + " is out of range " + std::to_string(lo) + ".." +
                       std::to_string(hi));
    }
    return *value;
}

// A status may be written as a signed number or as its 32-bit pattern (0xBFFF0015).
int32_t status(const Node &node, std::string_view what) {
    const int64_t v = integer(node, what, INT32_MIN, UINT32_MAX);
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v) & 0xFFFFFFFFu));
}

double real(const Node &node, std::string_view what) {
    const std::string &s = scalar(node, what);
    const std::optional<double> value = node.toReal();
    if (!value) fail(node, std::string(what) + " must be a finite number, not " + inQuotes(s));
    return *value;
}

// A finite number strictly between -limit and +limit.
double realWithin(const Node &node, std::string_view what, double limit) {
    const double v = real(node, what);
    if (!(v > -limit && v < limit)) {
        char text[32];
        // As "%g" writes it under the C locale, whatever the process locale.
        const std::string bound(
            text,
            std::to_chars(text, text + sizeof text, limit, std::chars_format::general, 6).ptr);
        fail(node, std::string(what) + " " + scalar(node, what) + " must lie strictly between -" +
                       bound + " and " + bound);
    }
    return v;
}

bool boolean(const Node &node, std::string_view what) {
    const std::string &s = scalar(node, what);
    const std::optional<bool> value = node.toBool();
    if (!value) fail(node, std::string(what) + " must be true or false, not " + inQuotes(s));
    return *value;
}

std::string text(const Node &node, std::string_view what, size_t maxBytes) {
    const std::string &s = scalar(node, what);
    if (s.size() > maxBytes) {
        fail(node, std::string(what) + " is longer than " + std::to_string(maxBytes) + " bytes");
    }
    if (s.find('\0') != std::string::npos) fail(node, std::string(what) + " contains a NUL byte");
    return s;
}

template <size_t N>
std::array<double, N> reals(const Node &node, std::string_view what) {
    if (!node.isSequence() || node.size() != N) {
        fail(node, std::string(what) + " must be a list of " + std::to_string(N) + " numbers");
    }
    std::array<double, N> out{};
    for (size_t i = 0; i < N; ++i)
        out[i] = real(node[i], what);
    return out;
}

uint16_t interfaceType(const Node &node) {
    static const std::pair<std::string_view, uint16_t> names[] = {
        {"GPIB", 1}, {"VXI", 2},   {"GPIB-VXI", 3}, {"ASRL", 4},
        {"PXI", 5},  {"TCPIP", 6}, {"USB", 7}};
    const std::string &s = scalar(node, "interface");
    std::string upper;
    for (char c : s)
        upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    for (const auto &[name, type] : names) {
        if (upper == name) return type;
    }
    if (!s.empty() && s[0] >= '0' && s[0] <= '9') {
        return static_cast<uint16_t>(integer(node, "interface", 0, 0xFFFF));
    }
    fail(node, "interface " + inQuotes(s) +
                   " is not one of VXI, GPIB-VXI, GPIB, ASRL, PXI, TCPIP, USB or a number");
}

Mezzanine mezzanine(const Node &node, int &position) {
    checkKeys(node, "a mezzanine",
              {"position", "type", "eeprom", "offsets", "gain-error", "frequency-error-ppm",
               "self-test"});
    const Node *at = node.find("position");
    if (!at) fail(node, "a mezzanine needs a position (1-4)");
    position = static_cast<int>(integer(*at, "position", 1, 4));
    Mezzanine m;
    const Node *type = node.find("type");
    m.typeCode = type ? static_cast<uint16_t>(integer(*type, "type", 0, 0xFFFF)) : kTypeGenerator;
    if (const Node *n = node.find("eeprom")) m.eeprom = reals<kCoeffCount>(*n, "eeprom");
    if (const Node *n = node.find("offsets")) m.offsets = reals<2>(*n, "offsets");
    if (const Node *g = node.find("gain-error")) {
        if (!g->isSequence() || g->size() != 2) {
            fail(*g, "gain-error must be a list of 2 numbers (channel 1, channel 2)");
        }
        for (size_t c = 0; c < 2; ++c)
            m.gainError[c] = realWithin((*g)[c], "gain-error", kMaxGainError);
    }
    if (const Node *f = node.find("frequency-error-ppm")) {
        m.frequencyErrorPpm = realWithin(*f, "frequency-error-ppm", kMaxFrequencyErrorPpm);
    }
    if (const Node *st = node.find("self-test")) {
        checkKeys(*st, "self-test", {"code", "message"});
        if (const Node *n = st->find("code")) {
            m.selfTest.code = static_cast<int16_t>(integer(*n, "code", INT16_MIN, INT16_MAX));
        }
        if (const Node *n = st->find("message")) {
            m.selfTest.message = text(*n, "message", kMaxTextBytes);
        }
    }
    return m;
}

Carrier carrier(const Node &node) {
    checkKeys(node, "a carrier", {"name", "memory", "mezzanines"});
    Carrier c;
    const Node *name = node.find("name");
    if (!name) fail(node, "a carrier needs a name");
    c.name = text(*name, "carrier name", kMaxTextBytes);
    const Node *memory = node.find("memory");
    if (!memory) fail(node, "a carrier needs its memory size in bytes");
    c.memory = static_cast<uint32_t>(integer(*memory, "memory", 0, UINT32_MAX));
    if (const Node *list = node.find("mezzanines")) {
        if (!list->isSequence()) fail(*list, "mezzanines must be a list");
        std::set<int> taken;
        for (const Node &item : list->children()) {
            int position = 0;
            Mezzanine m = mezzanine(item, position);
            if (!taken.insert(position).second) {
                fail(item, "position " + std::to_string(position) + " is given twice");
            }
            c.positions[static_cast<size_t>(position - 1)] = std::move(m);
        }
    }
    return c;
}

// Meter keys: what it measures, the generator outputs wired to its inputs, its accuracy,
// noise seed, settling time and fault.
Meter meter(const Node &node) {
    checkKeys(node, "a meter", {"kind", "inputs", "accuracy", "seed", "settling", "fault"});
    Meter m;
    const Node *kindNode = node.find("kind");
    if (!kindNode) fail(node, "a meter needs its kind (ac-voltmeter or frequency-counter)");
    const std::string &kind = scalar(*kindNode, "kind");
    if (kind == "ac-voltmeter") {
        m.kind = MeterKind::AcVoltmeter;
    } else if (kind == "frequency-counter") {
        m.kind = MeterKind::FrequencyCounter;
    } else {
        fail(*kindNode,
             "meter kind must be ac-voltmeter or frequency-counter, not " + inQuotes(kind));
    }
    const Node *inputs = node.find("inputs");
    if (!inputs || !inputs->isSequence() || inputs->size() == 0 ||
        inputs->size() > kMaxMeterInputs) {
        fail(inputs ? *inputs : node, "a meter needs a list of 1 or 2 inputs");
    }
    for (const Node &item : inputs->children()) {
        checkKeys(item, "a meter input", {"carrier", "position", "channel"});
        const Node *carrierNode = item.find("carrier");
        if (!carrierNode) fail(item, "a meter input needs the carrier it is wired to");
        MeterInput in;
        in.carrier = text(*carrierNode, "carrier", kMaxNameBytes);
        if (const Node *n = item.find("position"))
            in.position = static_cast<int>(integer(*n, "position", 1, 4));
        if (const Node *n = item.find("channel"))
            in.channel = static_cast<int>(integer(*n, "channel", 1, 2));
        m.inputs.push_back(std::move(in));
    }
    if (const Node *n = node.find("accuracy")) {
        m.accuracy = realWithin(*n, "accuracy", 0.1);
        if (m.accuracy < 0) fail(*n, "accuracy must not be negative");
    }
    if (const Node *n = node.find("seed"))
        m.seed = static_cast<uint64_t>(integer(*n, "seed", 0, UINT32_MAX));
    if (const Node *n = node.find("settling")) {
        m.settling = realWithin(*n, "settling", 3600);
        if (m.settling < 0) fail(*n, "settling must not be negative");
    }
    if (const Node *n = node.find("fault")) {
        const std::string &f = scalar(*n, "fault");
        if (f == "none") {
            m.fault = MeterFault::None;
        } else if (f == "no-answer") {
            m.fault = MeterFault::NoAnswer;
        } else if (f == "error") {
            m.fault = MeterFault::ErrorReply;
        } else if (f == "overload") {
            m.fault = MeterFault::Overload;
        } else if (f == "negative") {
            m.fault = MeterFault::Negative;
        } else {
            fail(*n, "meter fault must be none, no-answer, error, overload or negative, not " +
                         inQuotes(f));
        }
    }
    return m;
}

Resource resource(const Node &node) {
    checkKeys(node, "a resource",
              {"name", "interface", "interface-number", "slot", "manufacturer", "mainframe", "la",
               "model", "address", "idn", "open-status", "locked", "carrier", "meter"});
    Resource r;
    const Node *name = node.find("name");
    if (!name) fail(node, "a resource needs a name");
    r.name = text(*name, "resource name", kMaxNameBytes);
    if (r.name.empty()) fail(*name, "a resource name must not be empty");
    for (char c : r.name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            fail(*name, "resource name contains a control character");
    }
    const Node *intf = node.find("interface");
    if (!intf) fail(node, "resource " + inQuotes(r.name) + " needs an interface");
    r.intfType = interfaceType(*intf);
    if (const Node *n = node.find("interface-number")) {
        r.intfNum = static_cast<uint16_t>(integer(*n, "interface-number", 0, 0xFFFF));
    }
    if (const Node *n = node.find("slot")) {
        r.slot = static_cast<int16_t>(integer(*n, "slot", -1, 255));
    }
    if (const Node *n = node.find("manufacturer")) {
        r.manfId = static_cast<uint16_t>(integer(*n, "manufacturer", 0, 0xFFFF));
    }
    if (const Node *n = node.find("mainframe")) {
        r.mainframeLA = static_cast<int16_t>(integer(*n, "mainframe", -1, 255));
    }
    if (const Node *n = node.find("la")) r.vxiLA = static_cast<int16_t>(integer(*n, "la", -1, 255));
    if (const Node *n = node.find("model")) {
        r.modelCode = static_cast<uint16_t>(integer(*n, "model", 0, 0xFFFF));
    }
    if (const Node *n = node.find("address")) r.tcpipAddr = text(*n, "address", kMaxTextBytes);
    if (const Node *n = node.find("idn")) {
        if (!n->isNull()) r.idn = text(*n, "idn", kMaxReplyBytes);
    }
    if (const Node *n = node.find("open-status")) r.openStatus = status(*n, "open-status");
    if (const Node *n = node.find("locked")) r.lockedElsewhere = boolean(*n, "locked");
    if (const Node *n = node.find("carrier")) r.carrier = carrier(*n);
    if (const Node *n = node.find("meter")) r.meter = meter(*n);
    if (r.meter && r.carrier) fail(node, "a resource is a carrier or a meter, not both");
    return r;
}

Fault fault(const Node &node) {
    checkKeys(node, "a fault", {"call", "status", "on-call"});
    Fault f;
    const Node *call = node.find("call");
    if (!call) fail(node, "a fault needs the call it applies to");
    f.call = text(*call, "call", 64);
    if (!isKnownCall(f.call)) fail(*call, "no VISA or driver call is named " + inQuotes(f.call));
    const Node *st = node.find("status");
    if (!st) fail(node, "a fault needs the status it returns");
    f.status = status(*st, "status");
    if (f.status == 0) fail(*st, "a fault with status 0 changes nothing");
    if (const Node *n = node.find("on-call")) {
        f.onCall = static_cast<uint32_t>(integer(*n, "on-call", 1, UINT32_MAX));
    }
    f.line = node.line();
    return f;
}

Bench bench(const Node &root) {
    if (root.isNull())
        throw LoadError{1, "the bench is empty: expected a mapping with \"resources\""};
    checkKeys(root, "the bench", {"resources", "faults"});
    Bench b;
    const Node *list = root.find("resources");
    if (!list) fail(root, "the bench needs a \"resources\" list");
    if (!list->isSequence() && !list->isNull()) fail(*list, "resources must be a list");
    std::set<std::string> names;
    for (const Node &item : list->children()) {
        Resource r = resource(item);
        // Two spellings of one resource are one resource.
        if (!names.insert(trl4::visa::resourceKey(r.name)).second)
            fail(item, "resource " + inQuotes(r.name) + " is given twice");
        b.resources.push_back(std::move(r));
    }
    for (size_t i = 0; i < b.resources.size(); ++i) {
        if (!b.resources[i].meter) continue;
        for (const MeterInput &in : b.resources[i].meter->inputs) {
            const Resource *c = findResource(b, in.carrier);
            if (c == nullptr || !c->carrier) {
                fail((*list)[i], "meter " + inQuotes(b.resources[i].name) + " is wired to " +
                                     inQuotes(in.carrier) + ", which is no carrier of this bench");
            }
        }
    }
    if (const Node *faults = root.find("faults")) {
        if (!faults->isSequence() && !faults->isNull()) fail(*faults, "faults must be a list");
        for (const Node &item : faults->children())
            b.faults.push_back(fault(item));
    }
    return b;
}

}  // namespace

bool parseBench(std::string_view text, std::string_view source, Bench &out, std::string &error) {
    const std::string where(source);
    if (text.size() > kMaxBenchBytes) {
        error = where + ":1: the bench is larger than 1 MiB";
        return false;
    }
    Node root;
    trl4::yaml::Error syntax;
    if (!trl4::yaml::parse(text, root, syntax)) {
        error = where + ":" + std::to_string(syntax.line) + ": " + syntax.message;
        return false;
    }
    try {
        Bench parsed = bench(root);
        parsed.source = where;
        out = std::move(parsed);
        return true;
    } catch (const LoadError &e) {
        error = where + ":" + std::to_string(e.line) + ": " + e.message;
    } catch (const std::exception &e) {
        error = where + ": " + e.what();
    }
    return false;
}

}  // namespace trl4sim
