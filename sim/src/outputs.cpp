// The generator outputs as an outside meter sees them: the driver's setup through the
// mezzanine's true gain and clock errors.
#include <map>
#include <mutex>
#include <tuple>

#include "sim_internal.h"
#include "trl4/resource_name.h"
#include "trl4sim/bench.h"

namespace trl4sim {
namespace {

using Key = std::tuple<std::string, int, int>;

struct Outputs {
    std::mutex mutex;
    uint64_t generation = 0;  // the bench the setups were made on
    std::map<Key, OutputSetup> running;
};

Outputs &outputs() {
    static Outputs o;
    return o;
}

// The driver names a carrier as the program opened it, a meter as the bench lists it.
Key key(std::string_view resource, int position, int channel) {
    return {trl4::visa::resourceKey(resource), position, channel};
}

}  // namespace

void setOutput(std::string_view resource, int position, int channel,
               std::optional<OutputSetup> setup) {
    const uint64_t now = generation();
    Outputs &o = outputs();
    std::lock_guard lock(o.mutex);
    if (o.generation != now) {
        o.running.clear();
        o.generation = now;
    }
    if (setup) {
        o.running[key(resource, position, channel)] = *setup;
    } else {
        o.running.erase(key(resource, position, channel));
    }
}

std::optional<MeterReading> readMeter(std::string_view resource, int position, int channel) {
    const std::shared_ptr<const Bench> bench = current();
    if (!bench || position < 1 || position > 4 || channel < 1 || channel > 2) return std::nullopt;
    const Resource *r = findResource(*bench, resource);
    if (r == nullptr || !r->carrier) return std::nullopt;
    const Mezzanine &m = r->carrier->positions[static_cast<size_t>(position - 1)];
    if (m.typeCode != kTypeGenerator) return std::nullopt;
    const uint64_t now = generation();
    Outputs &o = outputs();
    std::lock_guard lock(o.mutex);
    if (o.generation != now) return std::nullopt;
    auto it = o.running.find(key(resource, position, channel));
    if (it == o.running.end()) return std::nullopt;
    const size_t ch = static_cast<size_t>(channel - 1);
    return MeterReading{it->second.amplitude * (1.0 + m.gainError[ch]),
                        it->second.frequency * (1.0 + m.frequencyErrorPpm * 1e-6)};
}

}  // namespace trl4sim
