#include "bench.h"

#include <cstdio>
#include <vector>

namespace campaign {
namespace {

double uniform(Rng &rng, double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(rng);
}

int between(Rng &rng, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(rng);
}

bool chance(Rng &rng, double p) {
    return uniform(rng, 0, 1) < p;
}

template <class T>
const T &pick(Rng &rng, const std::vector<T> &from) {
    return from[static_cast<size_t>(between(rng, 0, static_cast<int>(from.size()) - 1))];
}

std::string num(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

struct Output {
    std::string carrier;
    int position;
};

// Calls whose failure a session meets, the generator's and the meters' most often.
const std::vector<std::string> kCalls = {
    "ksptrl4_stop",
    "ksptrl4_stop",
    "ksptrl4_start",
    "ksptrl4_readFlash",
    "ksptrl4_writeFlash",
    "ksptrl4_resetCoeff",
    "ksptrl4_connect",
    "ksptrl4_connect",
    "ksptrl4_init",
    "ksptrl4_close",
    "ksptrl4_config",
    "ksptrl4_setRange",
    "ksptrl4_setSineFreq",
    "ksptrl4_reset",
    "ksptrl4_GetRepetParams",
    "ksptrl4_displacement",
    "ksptrl4_get_attribute",
    "ksptrl4_alloc",
    "ksptrl4_self_test",
    "ksptrl4_setSourceMode",
    "ksptrl4_setRepetParams",
    "kspbase_init",
    "kspbase_mem_q",
    "kspbase_m_type_q",
    "kspbase_m_get_attribute",
    "viRead",
    "viWrite",
    "viOpen",
    "viFindRsrc",
    "viFindNext",
    "viGetAttribute",
    "viSetAttribute",
    "viOpenDefaultRM",
};
// Errors and warnings, the driver's own and VISA's.
const std::vector<std::string> kErrors = {"0xBFFC0C06", "0xBFFF0015", "0xBFFC0C01",
                                          "0xBFFF0000", "0xBFFC0C0C", "0xBFFC0C03"};
const std::vector<std::string> kWarnings = {"0x3FFC0C05", "0x3FFC0C04", "0x3FFF0005", "0x3FFC0801",
                                            "0x3FFF007D"};

}  // namespace

BenchFiles randomBench(Rng &rng) {
    std::string yaml = "resources:\n";
    std::vector<Output> outputs;
    const int carriers = between(rng, 1, 3);
    for (int i = 0; i < carriers; ++i) {
        std::string name;
        if (chance(rng, 0.7)) {
            const int la = 8 * (i + 1) + between(rng, 0, 7);
            name = "VXI0::" + std::to_string(la) + "::INSTR";
            yaml += "  - {name: \"" + name + "\", interface: VXI, slot: " + std::to_string(i + 2) +
                    ", manufacturer: 0xE76, mainframe: 0, la: " + std::to_string(la) +
                    ", model: " + pick(rng, std::vector<std::string>{"0x10D", "0x155", "0x177"}) +
                    ",\n";
        } else {
            const int serial = 2100 + i;
            name = "USB0::0x1A2B::0x0004::KSP" + std::to_string(serial) + "::INSTR";
            yaml += "  - {name: \"" + name + "\", interface: USB, idn: \"ZELKORTECH,KSPBASE," +
                    std::to_string(serial) + ",1.07\\n\",\n";
        }
        yaml += "     carrier: {name: \"Н.М. №" + std::to_string(100 + i) +
                "\", memory: 33554432, mezzanines: [";
        bool first = true;
        for (int position = 1; position <= 4; ++position) {
            if (!chance(rng, position == 1 && i == 0 ? 0.9 : 0.5)) continue;
            yaml += first ? "\n" : ",\n";
            first = false;
            if (chance(rng, 0.1)) {
                yaml += "       {position: " + std::to_string(position) + ", type: 7}";
                continue;
            }
            outputs.push_back({name, position});
            yaml += "       {position: " + std::to_string(position) + ", gain-error: [" +
                    num(uniform(rng, -0.03, 0.03)) + ", " + num(uniform(rng, -0.03, 0.03)) +
                    "], frequency-error-ppm: " + num(uniform(rng, -300, 300)) + ", offsets: [" +
                    num(uniform(rng, -0.002, 0.002)) + ", " + num(uniform(rng, -0.002, 0.002)) +
                    "]";
            if (chance(rng, 0.75)) {
                yaml += ", eeprom: [0, " + num(8388607.0 * (1 + uniform(rng, -0.01, 0.01))) + ", " +
                        num(8388607.0 * (1 + uniform(rng, -0.01, 0.01))) + ", 0, 0, " +
                        num(1 + uniform(rng, -1e-4, 1e-4)) + "]";
            }
            if (chance(rng, 0.1))
                yaml += ", self-test: {code: 3, message: \"Ошибка памяти формы канала 2\"}";
            yaml += "}";
        }
        yaml += "]}}\n";
    }

    std::vector<std::string> meters;
    const int meterCount = outputs.empty() ? 0 : between(rng, 0, 3);
    for (int k = 0; k < meterCount; ++k) {
        const std::string name = "GPIB0::" + std::to_string(10 + k) + "::INSTR";
        meters.push_back(name);
        const bool voltmeter = chance(rng, 0.5);
        yaml += "  - {name: \"" + name + "\", interface: GPIB, ";
        if (chance(rng, 0.85)) {
            yaml += "idn: \"VOLTEK," + std::string(voltmeter ? "AV-3" : "FC-3") + ",00" +
                    std::to_string(1000 + between(rng, 0, 8999)) + ",1.4\\n\", ";
        }
        // Most meters read both outputs of one mezzanine; some one output, some elsewhere.
        const Output &at = chance(rng, 0.6) ? outputs.front() : pick(rng, outputs);
        std::string inputs = "{carrier: \"" + at.carrier +
                             "\", position: " + std::to_string(at.position) + ", channel: 1}";
        if (chance(rng, 0.75)) {
            const Output &second = chance(rng, 0.8) ? at : pick(rng, outputs);
            inputs += ", {carrier: \"" + second.carrier +
                      "\", position: " + std::to_string(second.position) + ", channel: 2}";
        } else if (chance(rng, 0.3)) {
            inputs = "{carrier: \"" + at.carrier + "\", position: " + std::to_string(at.position) +
                     ", channel: 2}";
        }
        std::string fault = "none";
        if (chance(rng, 0.15))
            fault =
                pick(rng, std::vector<std::string>{"no-answer", "error", "overload", "negative"});
        yaml +=
            "\n     meter: {kind: " +
            std::string(voltmeter ? "ac-voltmeter" : "frequency-counter") + ", inputs: [" + inputs +
            "], accuracy: " + pick(rng, std::vector<std::string>{"0", "0.00002", "0.001", "0.05"}) +
            ", seed: " + std::to_string(between(rng, 1, 1000)) + ", fault: " + fault + "}}\n";
    }

    const int faults = pick(rng, std::vector<int>{0, 0, 1, 1, 1, 2, 2, 3});
    if (faults > 0) yaml += "faults:\n";
    for (int f = 0; f < faults; ++f) {
        yaml += "  - {call: " + pick(rng, kCalls) +
                ", status: " + (chance(rng, 0.5) ? pick(rng, kErrors) : pick(rng, kWarnings));
        if (!chance(rng, 0.2)) yaml += ", on-call: " + std::to_string(between(rng, 1, 20));
        yaml += "}\n";
    }

    // The operator's choice per reading: a meter (mostly of the right kind), none, or one that
    // is not on the bus.
    static const char *const kRoles[] = {"amplitude-1", "amplitude-2", "frequency-1",
                                         "frequency-2"};
    std::string assignment = "# p_trl4: the outside meters assigned to the readings\n";
    for (const char *role : kRoles) {
        std::string chosen;
        if (!meters.empty() && chance(rng, 0.6)) {
            chosen = pick(rng, meters);
        } else if (chance(rng, 0.1)) {
            chosen = "GPIB0::29::INSTR";
        }
        assignment += std::string(role) + ": \"" + chosen + "\"\n";
    }
    return {yaml, assignment};
}

}  // namespace campaign
