// The simulated outside meters: an AC voltmeter and a frequency counter reading the generator
// outputs they are wired to, with their error queues, seeded noise and faults.
#include <charconv>
#include <cmath>
#include <deque>
#include <map>
#include <mutex>

#include "sim_internal.h"
#include "trl4/resource_name.h"
#include "trl4sim/bench.h"
#include "trl4sim/scpi.h"

namespace trl4sim {
namespace {

constexpr size_t kErrorQueueSize = 20;
// SCPI's overload value.
constexpr double kOverload = 9.9e37;

struct MeterState {
    std::deque<int> errors;
    uint64_t readings = 0;
};

struct Meters {
    std::mutex mutex;
    uint64_t generation = 0;
    std::map<std::string, MeterState> states;  // by resource key
    double seconds = 0;
    MeterObserver observer = nullptr;
    void *observerContext = nullptr;
};

Meters &meters() {
    static Meters m;
    return m;
}

// One value of a well-mixed sequence, so each reading's noise depends only on the seed and
// the reading's number.
uint64_t mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15u;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
    return x ^ (x >> 31);
}

// Uniform in [-1, 1).
double noise(uint64_t seed, uint64_t n) {
    const uint64_t bits = mix(seed ^ mix(n)) >> 11;
    return static_cast<double>(bits) / 4503599627370496.0 - 1.0;
}

void pushError(MeterState &s, int code) {
    if (s.errors.size() + 1 < kErrorQueueSize) {
        s.errors.push_back(code);
    } else if (s.errors.size() + 1 == kErrorQueueSize) {
        s.errors.push_back(scpi::kQueueOverflow);
    }
}

std::string number(double v) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, v, std::chars_format::scientific, 9);
    return std::string(text, end.ptr);
}

// What the input reads: RMS volts of the sine or hertz; 0 while the output is stopped.
double inputValue(const Meter &m, const MeterInput &in) {
    const std::optional<MeterReading> r = readMeter(in.carrier, in.position, in.channel);
    if (!r) return 0.0;
    return m.kind == MeterKind::AcVoltmeter ? r->amplitude / std::sqrt(2.0) : r->frequency;
}

std::string measure(const Resource &resource, MeterState &s, const scpi::Unit &u, double &seconds) {
    const Meter &m = *resource.meter;
    const bool rightKind =
        (u.header == scpi::Header::MeasureVoltageAc) == (m.kind == MeterKind::AcVoltmeter);
    const int input = u.channel == 0 ? 1 : u.channel;
    if (!rightKind) {
        pushError(s, scpi::kUndefinedHeader);
        return {};
    }
    if (static_cast<size_t>(input) > m.inputs.size()) {
        pushError(s, scpi::kIllegalParameterValue);
        return {};
    }
    seconds += m.settling;
    switch (m.fault) {
        case MeterFault::NoAnswer:
            return {};
        case MeterFault::ErrorReply:
            pushError(s, scpi::kDataStale);
            return {};
        case MeterFault::Overload:
            return number(kOverload) + "\n";
        case MeterFault::None:
        case MeterFault::Negative:
            break;
    }
    const double value = inputValue(m, m.inputs[static_cast<size_t>(input - 1)]);
    const double read = value * (1.0 + m.accuracy * noise(m.seed, s.readings++));
    // A meter wired with its leads crossed, or reading the wrong quantity.
    return number(m.fault == MeterFault::Negative ? -read : read) + "\n";
}

// The state of one meter of the installed bench; the caller holds the mutex.
MeterState &stateOf(Meters &all, const Resource &resource) {
    const uint64_t now = generation();
    if (all.generation != now) {
        all.states.clear();
        all.seconds = 0;
        all.generation = now;
    }
    return all.states[trl4::visa::resourceKey(resource.name)];
}

}  // namespace

std::string meterExchange(const Resource &resource, std::string_view line) {
    if (!resource.meter) return {};
    Meters &all = meters();
    std::lock_guard lock(all.mutex);
    MeterState &s = stateOf(all, resource);
    std::string reply;
    for (const scpi::Unit &u : scpi::parse(line)) {
        if (u.error != 0) {
            pushError(s, u.error);
            continue;
        }
        switch (u.header) {
            case scpi::Header::Identify:
                if (resource.idn) reply += *resource.idn;
                break;
            case scpi::Header::Reset:
                s.readings = 0;
                break;
            case scpi::Header::ClearStatus:
                s.errors.clear();
                break;
            case scpi::Header::NextError: {
                const int code = s.errors.empty() ? 0 : s.errors.front();
                if (!s.errors.empty()) s.errors.pop_front();
                reply += (code == 0 ? "+0" : std::to_string(code)) + ",\"" +
                         std::string(scpi::errorText(code)) + "\"\n";
                break;
            }
            case scpi::Header::MeasureVoltageAc:
            case scpi::Header::MeasureFrequency: {
                const std::string answer = measure(resource, s, u, all.seconds);
                if (all.observer != nullptr) {
                    std::string_view text = answer;
                    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
                    all.observer(MeterAnswer{resource.name, u.channel == 0 ? 1 : u.channel, text},
                                 all.observerContext);
                }
                reply += answer;
                break;
            }
        }
    }
    return reply;
}

void observeMeters(MeterObserver observer, void *context) {
    Meters &all = meters();
    std::lock_guard lock(all.mutex);
    all.observer = observer;
    all.observerContext = context;
}

uint8_t meterStatusByte(const Resource &resource) {
    if (!resource.meter) return 0;
    Meters &all = meters();
    std::lock_guard lock(all.mutex);
    return stateOf(all, resource).errors.empty() ? 0 : kErrorAvailable;
}

void meterTrigger(const Resource &resource) {
    if (!resource.meter) return;
    Meters &all = meters();
    std::lock_guard lock(all.mutex);
    // The meters measure on MEASure queries only; no trigger is ever awaited.
    pushError(stateOf(all, resource), scpi::kTriggerIgnored);
}

double meterSeconds() {
    Meters &all = meters();
    std::lock_guard lock(all.mutex);
    return all.generation == generation() ? all.seconds : 0.0;
}

}  // namespace trl4sim
