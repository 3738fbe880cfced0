// The simulated bench behind the VISA and driver stand-ins: resources, carriers, generator
// mezzanines, EEPROM contents and injected faults. One bench per process: every stand-in links
// this one shared library.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "trl4sim/trace.h"

namespace trl4sim {

inline constexpr size_t kCoeffCount = 6;
using Coefficients = std::array<double, kCoeffCount>;

// What a mezzanine driver holds when the EEPROM is blank or the operator asks for defaults:
// full-scale amplitude codes for both channels and a unit frequency factor.
inline constexpr Coefficients kDefaultCoefficients{0.0, 8388607.0, 8388607.0, 0.0, 0.0, 1.0};
inline constexpr uint16_t kTypeGenerator = 11;
inline constexpr size_t kMaxNameBytes = 255;  // a resource name fits a 256-byte search buffer

struct SelfTest {
    int16_t code = 0;
    std::string message = "Самоконтроль пройден";
};

struct Mezzanine {
    uint16_t typeCode = 0;                // 0: the position is empty
    std::optional<Coefficients> eeprom;   // factory contents; none: the EEPROM is blank
    std::array<double, 2> offsets{0, 0};  // output offsets of channels 1 and 2, volts
    // True output characteristics: channel c gives (1 + gainError[c]) times the volts its
    // DAC codes stand for; the reference clock runs at (1 + frequencyErrorPpm / 1e6) times
    // its nominal rate.
    std::array<double, 2> gainError{0, 0};
    double frequencyErrorPpm = 0;
    SelfTest selfTest;
};

struct Carrier {
    std::string name;
    uint32_t memory = 0;  // waveform memory in bytes
    std::array<Mezzanine, 4> positions;
};

// An outside meter on the bus. Input n (read with the channel list "(@n)"; input 1 also
// without one) is wired to one generator output.
struct MeterInput {
    std::string carrier;  // resource name of the carrier
    int position = 1;
    int channel = 1;
};
enum class MeterKind { AcVoltmeter, FrequencyCounter };
enum class MeterFault { None, NoAnswer, ErrorReply, Overload, Negative };
struct Meter {
    MeterKind kind = MeterKind::AcVoltmeter;
    std::vector<MeterInput> inputs;
    double accuracy = 0;  // relative: a reading lies within value * (1 +- accuracy)
    uint64_t seed = 1;    // of the reading noise, so that runs repeat
    double settling = 0;  // seconds of simulated time a measurement waits for its input
    MeterFault fault = MeterFault::None;
};
inline constexpr size_t kMaxMeterInputs = 2;

struct Resource {
    std::string name;
    uint16_t intfType = 0;
    uint16_t intfNum = 0;
    std::optional<int16_t> slot;
    std::optional<int16_t> mainframeLA;
    std::optional<int16_t> vxiLA;
    std::optional<uint16_t> manfId;
    std::optional<uint16_t> modelCode;
    std::optional<std::string> tcpipAddr;
    std::optional<std::string> idn;  // none: the device does not answer "*IDN?"
    int32_t openStatus = 0;          // negative: cannot be opened; positive: opens with a warning
    bool lockedElsewhere = false;    // another program holds an exclusive lock
    std::optional<Carrier> carrier;
    std::optional<Meter> meter;
};

struct Fault {
    std::string call;
    int32_t status = 0;
    uint32_t onCall = 0;  // 0: every call; N: only the Nth call
    int line = 0;
};

struct Bench {
    std::string source;  // file name or "built-in"
    std::vector<Resource> resources;
    std::vector<Fault> faults;
};

// Parses bench text. On failure returns false and error names the source, the line and what
// is wrong; out is then untouched.
bool parseBench(std::string_view text, std::string_view source, Bench &out, std::string &error);

// The text of the bench compiled into the library.
std::string_view builtinBenchText();

// The installed bench; loads it on first use from TRL4_BENCH or the built-in text. Null while
// the bench is refused: every stand-in call then fails and refusal() says why.
std::shared_ptr<const Bench> current();
std::string refusal();
// Changes whenever another bench is installed, so stand-ins can drop their sessions.
uint64_t generation();

// Installs a bench from text (tests) or from the environment again (a "restart"). A bench
// that does not parse is refused as a whole; the previous one is not kept.
bool installBenchText(std::string_view text, std::string *error = nullptr);
bool reloadFromEnvironment(std::string *error = nullptr);

// Counts a call of the named VISA or driver operation and returns the status a fault of the
// bench injects into it, or 0 when none does.
int32_t injectedFault(std::string_view call);

// Lookup by any spelling of the name (case, defaults left out), as VISA treats resource names.
const Resource *findResource(const Bench &bench, std::string_view name);

// EEPROM contents of the mezzanine at position 1-4 of the carrier behind a resource; they
// persist in the state folder. Factory contents from the bench apply until the first write.
enum class EepromState { Stored, Blank, Unreadable };
EepromState readEeprom(const Resource &resource, int position, Coefficients &out,
                       std::string *error = nullptr);
bool writeEeprom(const Resource &resource, int position, const Coefficients &values,
                 std::string *error = nullptr);
std::filesystem::path stateDirectory();

// What a driver has set up on one output while it runs, as the output stage receives it:
// the peak volts the DAC codes stand for and the frequency the nominal reference clock gives.
// The mezzanine's true errors are not in it; the meter sees them.
struct OutputSetup {
    double amplitude = 0;
    double frequency = 0;
};
// A driver publishes the setup of output channel 1 or 2 of the mezzanine at position 1-4
// when it starts it, and none when it stops it or its session ends.
void setOutput(std::string_view resource, int position, int channel,
               std::optional<OutputSetup> setup);

// Peak volts of the sine, hertz.
struct MeterReading {
    double amplitude;
    double frequency;
};
// What an outside meter on output channel 1 or 2 of the mezzanine at position 1-4 of the
// carrier behind `resource` would read now; none while that output is stopped.
std::optional<MeterReading> readMeter(std::string_view resource, int position, int channel);

// A meter resource's answer to one line written to it (its end taken off): the reply text to
// queue for reading, empty when the line asks for none or the meter stays silent.
std::string meterExchange(const Resource &meter, std::string_view line);

// A meter's status byte as far as the bench keeps it: kErrorAvailable while its error queue
// holds an error (whether its output queue holds a reply the caller knows).
inline constexpr uint8_t kErrorAvailable = 0x04;
inline constexpr uint8_t kMessageAvailable = 0x10;
uint8_t meterStatusByte(const Resource &meter);

// A bus trigger reaching a meter, which awaits none and queues "Trigger ignored".
void meterTrigger(const Resource &meter);

// Simulated seconds the meters have spent measuring since the bench was installed.
double meterSeconds();

// What a meter answered to one measurement query, for a test harness that checks the records
// made from it: the meter's resource as the bench names it, the input asked (1 or 2) and the
// reply text (empty when the meter gave none). Read-only: the observer changes nothing.
struct MeterAnswer {
    std::string_view meter;
    int input = 1;
    std::string_view reply;
};
using MeterObserver = void (*)(const MeterAnswer &answer, void *context);
// One observer per process, called on the measuring thread; null removes it.
void observeMeters(MeterObserver observer, void *context);

}  // namespace trl4sim
