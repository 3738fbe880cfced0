// Bench file loader: strict YAML, every error with its line, nothing half-used.
#include <yaml-cpp/yaml.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <system_error>

#include "sim_internal.h"
#include "trl4sim/bench.h"

namespace trl4sim {
namespace {

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

[[noreturn]] void fail(const YAML::Node &node, const std::string &message) {
    throw LoadError{node.Mark().line + 1, message};
}

std::string inQuotes(std::string_view s) {
    std::string out(1, '"');
    out.append(s);
    out += '"';
    return out;
}

// Checks that node is a mapping with only the allowed keys, each once.
void checkKeys(const YAML::Node &node, std::string_view what,
               std::initializer_list<std::string_view> allowed) {
    if (!node.IsMap()) fail(node, std::string(what) + " must be a mapping");
    std::set<std::string, std::less<>> seen;
    for (const auto &item : node) {
        if (!item.first.IsScalar())
            fail(item.first, "keys of " + std::string(what) + " must be names");
        const std::string &key = item.first.Scalar();
        bool known = false;
        for (auto a : allowed)
            known = known || a == key;
        if (!known) {
            std::string list;
            for (auto a : allowed)
                list += (list.empty() ? "" : ", ") + std::string(a);
            fail(item.first, "unknown key " + inQuotes(key) + " in " + std::string(what) +
                                 " (known: " + list + ")");
        }
        if (!seen.insert(key).second) fail(item.first, "key " + inQuotes(key) + " appears twice");
    }
}

const std::string &scalar(const YAML::Node &node, std::string_view what) {
    if (!node.IsScalar()) fail(node, std::string(what) + " must be a single value");
    return node.Scalar();
}

// Decimal or 0x-hexadecimal integer within [lo, hi].
int64_t integer(const YAML::Node &node, std::string_view what, int64_t lo, int64_t hi) {
    const std::string &s = scalar(node, what);
    std::string_view v = s;
    bool negative = false;
    if (!v.empty() && (v[0] == '-' || v[0] == '+')) {
        negative = v[0] == '-';
        v.remove_prefix(1);
    }
    int base = 10;
    if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
        base = 16;
        v.remove_prefix(2);
    }
    uint64_t magnitude = 0;
    auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), magnitude, base);
    if (v.empty() || ec != std::errc() || end != v.data() + v.size() ||
        magnitude > (uint64_t{1} << 62)) {
        fail(node, std::string(what) + " must be an integer, not " + inQuotes(s));
    }
    const int64_t value =
        negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    if (value < lo || value > hi) {
        fail(node, std::string(what) + " " + s + " is out of range " + std::to_string(lo) + ".." +
                       std::to_string(hi));
    }
    return value;
}

// A status may be written as a signed number or as its 32-bit pattern (0xBFFF0015).
int32_t status(const YAML::Node &node, std::string_view what) {
    const int64_t v = integer(node, what, INT32_MIN, UINT32_MAX);
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v) & 0xFFFFFFFFu));
}

double real(const YAML::Node &node, std::string_view what) {
    const std::string &s = scalar(node, what);
    double value = 0;
    const char *first = s.data();
    if (!s.empty() && s[0] == '+') ++first;
    auto [end, ec] = std::from_chars(first, s.data() + s.size(), value);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size() || !std::isfinite(value)) {
        fail(node, std::string(what) + " must be a finite number, not " + inQuotes(s));
    }
    return value;
}

// A finite number strictly between -limit and +limit.
double realWithin(const YAML::Node &node, std::string_view what, double limit) {
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

bool boolean(const YAML::Node &node, std::string_view what) {
    const std::string &s = scalar(node, what);
    if (s == "true" || s == "yes") return true;
    if (s == "false" || s == "no") return false;
    fail(node, std::string(what) + " must be true or false, not " + inQuotes(s));
}

std::string text(const YAML::Node &node, std::string_view what, size_t maxBytes) {
    const std::string &s = scalar(node, what);
    if (s.size() > maxBytes) {
        fail(node, std::string(what) + " is longer than " + std::to_string(maxBytes) + " bytes");
    }
    if (s.find('\0') != std::string::npos) fail(node, std::string(what) + " contains a NUL byte");
    return s;
}

template <size_t N>
std::array<double, N> reals(const YAML::Node &node, std::string_view what) {
    if (!node.IsSequence() || node.size() != N) {
        fail(node, std::string(what) + " must be a list of " + std::to_string(N) + " numbers");
    }
    std::array<double, N> out{};
    for (size_t i = 0; i < N; ++i)
        out[i] = real(node[i], what);
    return out;
}

uint16_t interfaceType(const YAML::Node &node) {
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

Mezzanine mezzanine(const YAML::Node &node, int &position) {
    checkKeys(node, "a mezzanine",
              {"position", "type", "eeprom", "offsets", "gain-error", "frequency-error-ppm",
               "self-test"});
    if (!node["position"]) fail(node, "a mezzanine needs a position (1-4)");
    position = static_cast<int>(integer(node["position"], "position", 1, 4));
    Mezzanine m;
    m.typeCode = node["type"] ? static_cast<uint16_t>(integer(node["type"], "type", 0, 0xFFFF))
                              : kTypeGenerator;
    if (node["eeprom"]) m.eeprom = reals<kCoeffCount>(node["eeprom"], "eeprom");
    if (node["offsets"]) m.offsets = reals<2>(node["offsets"], "offsets");
    if (const YAML::Node g = node["gain-error"]) {
        if (!g.IsSequence() || g.size() != 2) {
            fail(g, "gain-error must be a list of 2 numbers (channel 1, channel 2)");
        }
        for (size_t c = 0; c < 2; ++c)
            m.gainError[c] = realWithin(g[c], "gain-error", kMaxGainError);
    }
    if (const YAML::Node f = node["frequency-error-ppm"]) {
        m.frequencyErrorPpm = realWithin(f, "frequency-error-ppm", kMaxFrequencyErrorPpm);
    }
    if (const YAML::Node st = node["self-test"]) {
        checkKeys(st, "self-test", {"code", "message"});
        if (st["code"]) {
            m.selfTest.code =
                static_cast<int16_t>(integer(st["code"], "code", INT16_MIN, INT16_MAX));
        }
        if (st["message"]) m.selfTest.message = text(st["message"], "message", kMaxTextBytes);
    }
    return m;
}

Carrier carrier(const YAML::Node &node) {
    checkKeys(node, "a carrier", {"name", "memory", "mezzanines"});
    Carrier c;
    if (!node["name"]) fail(node, "a carrier needs a name");
    c.name = text(node["name"], "carrier name", kMaxTextBytes);
    if (!node["memory"]) fail(node, "a carrier needs its memory size in bytes");
    c.memory = static_cast<uint32_t>(integer(node["memory"], "memory", 0, UINT32_MAX));
    if (const YAML::Node list = node["mezzanines"]) {
        if (!list.IsSequence()) fail(list, "mezzanines must be a list");
        std::set<int> taken;
        for (const auto &item : list) {
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
Meter meter(const YAML::Node &node) {
    checkKeys(node, "a meter", {"kind", "inputs", "accuracy", "seed", "settling", "fault"});
    Meter m;
    if (!node["kind"]) fail(node, "a meter needs its kind (ac-voltmeter or frequency-counter)");
    const std::string kind = scalar(node["kind"], "kind");
    if (kind == "ac-voltmeter") {
        m.kind = MeterKind::AcVoltmeter;
    } else if (kind == "frequency-counter") {
        m.kind = MeterKind::FrequencyCounter;
    } else {
        fail(node["kind"],
             "meter kind must be ac-voltmeter or frequency-counter, not " + inQuotes(kind));
    }
    const YAML::Node inputs = node["inputs"];
    if (!inputs || !inputs.IsSequence() || inputs.size() == 0 || inputs.size() > kMaxMeterInputs) {
        fail(inputs ? inputs : node, "a meter needs a list of 1 or 2 inputs");
    }
    for (const auto &item : inputs) {
        checkKeys(item, "a meter input", {"carrier", "position", "channel"});
        if (!item["carrier"]) fail(item, "a meter input needs the carrier it is wired to");
        MeterInput in;
        in.carrier = text(item["carrier"], "carrier", kMaxNameBytes);
        if (item["position"])
            in.position = static_cast<int>(integer(item["position"], "position", 1, 4));
        if (item["channel"])
            in.channel = static_cast<int>(integer(item["channel"], "channel", 1, 2));
        m.inputs.push_back(std::move(in));
    }
    if (auto n = node["accuracy"]) m.accuracy = realWithin(n, "accuracy", 0.1);
    if (m.accuracy < 0) fail(node["accuracy"], "accuracy must not be negative");
    if (auto n = node["seed"]) m.seed = static_cast<uint64_t>(integer(n, "seed", 0, UINT32_MAX));
    if (auto n = node["settling"]) m.settling = realWithin(n, "settling", 3600);
    if (m.settling < 0) fail(node["settling"], "settling must not be negative");
    if (auto n = node["fault"]) {
        const std::string f = scalar(n, "fault");
        if (f == "none") {
            m.fault = MeterFault::None;
        } else if (f == "no-answer") {
            m.fault = MeterFault::NoAnswer;
        } else if (f == "error") {
            m.fault = MeterFault::ErrorReply;
        } else if (f == "overload") {
            m.fault = MeterFault::Overload;
        } else {
            fail(n, "meter fault must be none, no-answer, error or overload, not " + inQuotes(f));
        }
    }
    return m;
}

Resource resource(const YAML::Node &node) {
    checkKeys(node, "a resource",
              {"name", "interface", "interface-number", "slot", "manufacturer", "mainframe", "la",
               "model", "address", "idn", "open-status", "locked", "carrier", "meter"});
    Resource r;
    if (!node["name"]) fail(node, "a resource needs a name");
    r.name = text(node["name"], "resource name", kMaxNameBytes);
    if (r.name.empty()) fail(node["name"], "a resource name must not be empty");
    for (char c : r.name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            fail(node["name"], "resource name contains a control character");
    }
    if (!node["interface"]) fail(node, "resource " + inQuotes(r.name) + " needs an interface");
    r.intfType = interfaceType(node["interface"]);
    if (auto n = node["interface-number"]) {
        r.intfNum = static_cast<uint16_t>(integer(n, "interface-number", 0, 0xFFFF));
    }
    if (auto n = node["slot"]) r.slot = static_cast<int16_t>(integer(n, "slot", -1, 255));
    if (auto n = node["manufacturer"]) {
        r.manfId = static_cast<uint16_t>(integer(n, "manufacturer", 0, 0xFFFF));
    }
    if (auto n = node["mainframe"]) {
        r.mainframeLA = static_cast<int16_t>(integer(n, "mainframe", -1, 255));
    }
    if (auto n = node["la"]) r.vxiLA = static_cast<int16_t>(integer(n, "la", -1, 255));
    if (auto n = node["model"]) r.modelCode = static_cast<uint16_t>(integer(n, "model", 0, 0xFFFF));
    if (auto n = node["address"]) r.tcpipAddr = text(n, "address", kMaxTextBytes);
    if (auto n = node["idn"]) {
        if (!n.IsNull()) r.idn = text(n, "idn", kMaxReplyBytes);
    }
    if (auto n = node["open-status"]) r.openStatus = status(n, "open-status");
    if (auto n = node["locked"]) r.lockedElsewhere = boolean(n, "locked");
    if (auto n = node["carrier"]) r.carrier = carrier(n);
    if (auto n = node["meter"]) r.meter = meter(n);
    if (r.meter && r.carrier) fail(node, "a resource is a carrier or a meter, not both");
    return r;
}

Fault fault(const YAML::Node &node) {
    checkKeys(node, "a fault", {"call", "status", "on-call"});
    Fault f;
    if (!node["call"]) fail(node, "a fault needs the call it applies to");
    f.call = text(node["call"], "call", 64);
    if (!isKnownCall(f.call))
        fail(node["call"], "no VISA or driver call is named " + inQuotes(f.call));
    if (!node["status"]) fail(node, "a fault needs the status it returns");
    f.status = status(node["status"], "status");
    if (f.status == 0) fail(node["status"], "a fault with status 0 changes nothing");
    if (auto n = node["on-call"])
        f.onCall = static_cast<uint32_t>(integer(n, "on-call", 1, UINT32_MAX));
    f.line = node.Mark().line + 1;
    return f;
}

Bench bench(const YAML::Node &root) {
    if (root.IsNull())
        throw LoadError{1, "the bench is empty: expected a mapping with \"resources\""};
    checkKeys(root, "the bench", {"resources", "faults"});
    Bench b;
    const YAML::Node list = root["resources"];
    if (!list) fail(root, "the bench needs a \"resources\" list");
    if (!list.IsSequence() && !list.IsNull()) fail(list, "resources must be a list");
    std::set<std::string> names;
    for (const auto &item : list) {
        Resource r = resource(item);
        std::string key;
        for (char c : r.name)
            key += static_cast<char>(asciiLower(c));
        if (!names.insert(key).second)
            fail(item, "resource " + inQuotes(r.name) + " is given twice");
        b.resources.push_back(std::move(r));
    }
    for (size_t i = 0; i < b.resources.size(); ++i) {
        if (!b.resources[i].meter) continue;
        for (const MeterInput &in : b.resources[i].meter->inputs) {
            const Resource *c = findResource(b, in.carrier);
            if (c == nullptr || !c->carrier) {
                fail(list[i], "meter " + inQuotes(b.resources[i].name) + " is wired to " +
                                  inQuotes(in.carrier) + ", which is no carrier of this bench");
            }
        }
    }
    if (const YAML::Node faults = root["faults"]) {
        if (!faults.IsSequence() && !faults.IsNull()) fail(faults, "faults must be a list");
        for (const auto &item : faults)
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
    try {
        const YAML::Node root = YAML::Load(std::string(text));
        Bench parsed = bench(root);
        parsed.source = where;
        out = std::move(parsed);
        return true;
    } catch (const LoadError &e) {
        error = where + ":" + std::to_string(e.line) + ": " + e.message;
    } catch (const YAML::Exception &e) {
        error = where + ":" + std::to_string(e.mark.line + 1) + ": " + e.msg;
    } catch (const std::exception &e) {
        error = where + ": " + e.what();
    }
    return false;
}

}  // namespace trl4sim
