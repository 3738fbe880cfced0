// SCPI parsing for the simulated meters.
#include "trl4sim/scpi.h"

#include <array>
#include <utility>

#include "sim_internal.h"

namespace trl4sim::scpi {
namespace {

struct Mnemonic {
    std::string_view shortForm, longForm;
};

bool sameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    }
    return true;
}

bool matches(std::string_view node, Mnemonic m) {
    return sameLetters(node, m.shortForm) || sameLetters(node, m.longForm);
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// "(@n)" with 1 <= n <= kMaxChannel; 0 when the text is anything else.
int channelList(std::string_view p) {
    if (p.size() < 4 || p.substr(0, 2) != "(@" || p.back() != ')') return 0;
    p = p.substr(2, p.size() - 3);
    if (p.empty() || p.size() > 2) return 0;
    int n = 0;
    for (char c : p) {
        if (c < '0' || c > '9') return 0;
        n = n * 10 + (c - '0');
    }
    return n >= 1 && n <= kMaxChannel ? n : 0;
}

constexpr Mnemonic kMeasure{"MEAS", "MEASURE"}, kVoltage{"VOLT", "VOLTAGE"}, kAc{"AC", "AC"},
    kFrequency{"FREQ", "FREQUENCY"}, kSystem{"SYST", "SYSTEM"}, kError{"ERR", "ERROR"},
    kNext{"NEXT", "NEXT"};

// The header's path nodes (a leading colon allowed) against one command's mnemonics.
template <size_t N>
bool pathIs(std::string_view path, const std::array<Mnemonic, N> &nodes, size_t optionalTail) {
    if (!path.empty() && path.front() == ':') path.remove_prefix(1);
    size_t i = 0;
    while (true) {
        const size_t colon = path.find(':');
        const std::string_view node = path.substr(0, colon);
        if (i >= N || !matches(node, nodes[i])) return false;
        ++i;
        if (colon == std::string_view::npos) break;
        path.remove_prefix(colon + 1);
    }
    return i == N || i == N - optionalTail;
}

Unit unit(std::string_view text) {
    text = trim(text);
    const size_t space = text.find_first_of(" \t");
    std::string_view header = text.substr(0, space);
    const std::string_view parameters =
        space == std::string_view::npos ? std::string_view() : trim(text.substr(space));
    Unit u;
    if (header.empty() || header.back() != '?') {
        // The meters take no settings: only "*RST" and "*CLS" are commands without a reply.
        if (sameLetters(header, "*RST")) {
            u.header = Header::Reset;
        } else if (sameLetters(header, "*CLS")) {
            u.header = Header::ClearStatus;
        } else {
            u.error = kUndefinedHeader;
            return u;
        }
    } else {
        header.remove_suffix(1);
        if (sameLetters(header, "*IDN")) {
            u.header = Header::Identify;
        } else if (pathIs(header, std::array{kMeasure, kVoltage, kAc}, 0)) {
            u.header = Header::MeasureVoltageAc;
        } else if (pathIs(header, std::array{kMeasure, kFrequency}, 0)) {
            u.header = Header::MeasureFrequency;
        } else if (pathIs(header, std::array{kSystem, kError, kNext}, 1)) {
            u.header = Header::NextError;
        } else {
            u.error = kUndefinedHeader;
            return u;
        }
    }
    if (parameters.empty()) return u;
    const bool measures =
        u.header == Header::MeasureVoltageAc || u.header == Header::MeasureFrequency;
    if (!measures) {
        u.error = kParameterNotAllowed;
    } else if ((u.channel = channelList(parameters)) == 0) {
        u.error = kIllegalParameterValue;
    }
    return u;
}

}  // namespace

std::vector<Unit> parse(std::string_view line) {
    std::vector<Unit> units;
    while (true) {
        const size_t semicolon = line.find(';');
        const std::string_view part = line.substr(0, semicolon);
        // An empty unit between separators is no command; an empty line is nothing at all.
        if (!trim(part).empty() || semicolon != std::string_view::npos) units.push_back(unit(part));
        if (semicolon == std::string_view::npos) break;
        line.remove_prefix(semicolon + 1);
    }
    return units;
}

std::string_view errorText(int code) {
    static constexpr std::pair<int, std::string_view> kTexts[] = {
        {0, "No error"},
        {kParameterNotAllowed, "Parameter not allowed"},
        {kUndefinedHeader, "Undefined header"},
        {kIllegalParameterValue, "Illegal parameter value"},
        {kTriggerIgnored, "Trigger ignored"},
        {kDataStale, "Data corrupt or stale"},
        {kQueueOverflow, "Queue overflow"}};
    for (const auto &[c, text] : kTexts) {
        if (c == code) return text;
    }
    return "Unknown error";
}

}  // namespace trl4sim::scpi
