// The bench loader, the installed bench, fault injection, EEPROM state files and the trace.
#include <gmock/gmock.h>

#include "bench_fixture.h"

using ::testing::HasSubstr;
using trl4sim::Coefficients;
using trl4sim::EepromState;

namespace {

constexpr std::string_view kOneCarrier = R"yaml(
resources:
  - name: "VXI0::24::INSTR"
    interface: VXI
    slot: 3
    carrier:
      name: "Н.М. тест"
      memory: 1024
      mezzanines:
        - {position: 1, eeprom: [1, 2, 3, 4, 5, 6]}
        - {position: 2}
)yaml";

// A USB carrier, its mezzanine list at line 8.
const std::string kMezzanines =
    "resources:\n  - name: A\n    interface: USB\n    carrier:\n      name: c\n      memory: 1\n"
    "      mezzanines:\n";

struct BadBench {
    const char *what;
    std::string text;
    int line;
    const char *message;
};

// Each one is refused as a whole, naming the line and the reason.
const BadBench kBadBenches[] = {
    {"unknown key", "resources:\n  - name: A\n    interface: VXI\n    slto: 3\n", 4,
     "unknown key \"slto\""},
    {"bad number", "resources:\n  - name: A\n    interface: VXI\n    slot: 0xZZ\n", 4,
     "slot must be an integer"},
    {"slot out of range", "resources:\n  - name: A\n    interface: VXI\n    slot: 300\n", 4,
     "out of range"},
    {"same name twice, other case",
     "resources:\n  - name: \"VXI0::1::INSTR\"\n    interface: VXI\n"
     "  - name: \"vxi0::1::instr\"\n    interface: VXI\n",
     4, "given twice"},
    {"missing name", "resources:\n  - interface: VXI\n", 2, "needs a name"},
    {"missing interface", "resources:\n  - name: A\n", 2, "needs an interface"},
    {"unknown interface", "resources:\n  - name: A\n    interface: FIREWIRE\n", 3, "not one of"},
    {"position 5", kMezzanines + "        - {position: 5}\n", 8, "out of range 1..4"},
    {"position twice", kMezzanines + "        - {position: 2}\n        - {position: 2}\n", 9,
     "given twice"},
    {"five coefficients",
     kMezzanines + "        - position: 1\n          eeprom: [1, 2, 3, 4, 5]\n", 9,
     "list of 6 numbers"},
    {"not finite", kMezzanines + "        - {position: 1, offsets: [.nan, 0]}\n", 8,
     "finite number"},
    {"gain error of one channel",
     kMezzanines + "        - position: 1\n          gain-error: [0.01]\n", 9, "list of 2 numbers"},
    {"gain error of half",
     kMezzanines + "        - position: 1\n          gain-error:\n            - 0.01\n"
                   "            - -0.5\n",
     11, "gain-error -0.5 must lie strictly between -0.5 and 0.5"},
    {"frequency error of a tenth",
     kMezzanines + "        - {position: 1, frequency-error-ppm: 1e5}\n", 8,
     "strictly between -100000 and 100000"},
    {"frequency error not a number",
     kMezzanines + "        - {position: 1, frequency-error-ppm: fast}\n", 8, "finite number"},
    {"carrier without memory",
     "resources:\n  - name: A\n    interface: USB\n    carrier:\n"
     "      name: c\n",
     5, "memory size"},
    {"fault on no such call", "resources: []\nfaults:\n  - {call: viFindNxt, status: -1}\n", 3,
     "no VISA or driver call is named \"viFindNxt\""},
    {"fault that changes nothing", "resources: []\nfaults:\n  - {call: viOpen, status: 0}\n", 3,
     "status 0"},
    {"fault on call 0", "resources: []\nfaults:\n  - {call: viOpen, status: -1, on-call: 0}\n", 3,
     "on-call"},
    {"key twice", "resources: []\nresources: []\n", 2, "appears twice"},
    {"YAML syntax", "resources:\n  - name: \"A\n    interface: VXI\n", 2, ""},
    {"empty", "", 1, "empty"},
    {"no resources list", "faults: []\n", 1, "needs a \"resources\" list"},
    {"resources not a list", "resources: 5\n", 1, "must be a list"},
    {"control character in a name",
     "resources:\n  - name: \"VXI0::1\\n::INSTR\"\n    interface: VXI\n", 2, "control character"},
    {"bad boolean", "resources:\n  - name: A\n    interface: USB\n    locked: perhaps\n", 4,
     "true or false"},
};

}  // namespace

TEST_F(BenchTest, BadBenchIsRefusedWithItsLineAndReason) {
    for (const BadBench &bad : kBadBenches) {
        SCOPED_TRACE(bad.what);
        trl4sim::Bench untouched;
        untouched.source = "before";
        std::string error;
        EXPECT_FALSE(trl4sim::parseBench(bad.text, "b.yaml", untouched, error));
        EXPECT_EQ(untouched.source, "before");
        EXPECT_THAT(error, HasSubstr("b.yaml:" + std::to_string(bad.line) + ":"));
        EXPECT_THAT(error, HasSubstr(bad.message));
    }
}

TEST_F(BenchTest, RefusedBenchReplacesTheOldOneAndSaysWhy) {
    install(kOneCarrier);
    ASSERT_TRUE(trl4sim::current());
    const uint64_t before = trl4sim::generation();
    std::string error;
    EXPECT_FALSE(trl4sim::installBenchText("resources:\n  - name: A\n", &error));
    EXPECT_EQ(trl4sim::current(), nullptr);  // never half-used, never the previous one
    EXPECT_THAT(trl4sim::refusal(), HasSubstr("bench text:2:"));
    EXPECT_NE(trl4sim::generation(), before);
    install(kOneCarrier);
    EXPECT_TRUE(trl4sim::refusal().empty());
}

TEST_F(BenchTest, BenchFileFromEnvironment) {
    const auto file = dir_ / "bench.yaml";
    std::ofstream(file) << kOneCarrier;
    trl4::test::setEnv("TRL4_BENCH", file);
    ASSERT_TRUE(trl4sim::reloadFromEnvironment());
    auto bench = trl4sim::current();
    ASSERT_TRUE(bench);
    EXPECT_EQ(bench->source, file.string());
    ASSERT_EQ(bench->resources.size(), 1u);
    const trl4sim::Resource &r = bench->resources[0];
    EXPECT_EQ(r.intfType, 2);
    EXPECT_EQ(r.slot, 3);
    EXPECT_FALSE(r.manfId.has_value());
    EXPECT_EQ(r.carrier->name, "Н.М. тест");
    EXPECT_EQ(r.carrier->positions[1].typeCode, trl4sim::kTypeGenerator);
    EXPECT_EQ(r.carrier->positions[2].typeCode, 0);

    trl4::test::setEnv("TRL4_BENCH", dir_ / "missing.yaml");
    std::string error;
    EXPECT_FALSE(trl4sim::reloadFromEnvironment(&error));
    EXPECT_THAT(error, HasSubstr("missing.yaml"));
    EXPECT_THAT(error, HasSubstr("cannot read"));
    trl4::test::setEnv("TRL4_BENCH", nullptr);
    EXPECT_TRUE(trl4sim::reloadFromEnvironment());
    EXPECT_EQ(trl4sim::current()->source, "built-in bench");
}

TEST_F(BenchTest, NumbersInHexSignedAndStatusPatterns) {
    install(R"yaml(
resources:
  - {name: A, interface: 7, manufacturer: 0xE76, model: 0xF177, slot: -1, open-status: 0xBFFF0011}
faults:
  - {call: viRead, status: -1073807339}
)yaml");
    auto bench = trl4sim::current();
    const trl4sim::Resource &r = bench->resources[0];
    EXPECT_EQ(r.intfType, 7);
    EXPECT_EQ(r.manfId, 0xE76);
    EXPECT_EQ(r.modelCode, 0xF177);
    EXPECT_EQ(r.slot, -1);
    EXPECT_EQ(static_cast<uint32_t>(r.openStatus), 0xBFFF0011u);
    EXPECT_EQ(static_cast<uint32_t>(bench->faults[0].status), 0xBFFF0015u);
}

TEST_F(BenchTest, BuiltinBenchLoadsAndFitsTheSearchBuffer) {
    trl4sim::Bench bench;
    std::string error;
    ASSERT_TRUE(trl4sim::parseBench(trl4sim::builtinBenchText(), "built-in", bench, error))
        << error;
    EXPECT_GE(bench.resources.size(), 14u);
    for (const auto &r : bench.resources)
        EXPECT_LT(r.name.size(), 256u) << r.name;
}

TEST_F(BenchTest, ExampleBenchFileLoads) {
    trl4::test::setEnv("TRL4_BENCH", TRL4_EXAMPLE_BENCH);
    std::string error;
    ASSERT_TRUE(trl4sim::reloadFromEnvironment(&error)) << error;
    auto bench = trl4sim::current();
    ASSERT_EQ(bench->resources.size(), 4u);
    EXPECT_EQ(bench->resources[1].carrier->positions[3].selfTest.code, 3);
    ASSERT_TRUE(bench->resources[3].meter);
    EXPECT_EQ(bench->resources[3].meter->inputs.at(1).channel, 2);
    const trl4sim::Mezzanine &m = bench->resources[0].carrier->positions[0];
    EXPECT_EQ(m.gainError[1], -0.027);
    EXPECT_EQ(m.frequencyErrorPpm, 180);
    EXPECT_EQ(bench->faults.size(), 2u);
}

TEST_F(BenchTest, FaultOnItsNthCallOnlyOrOnEveryCall) {
    install(R"yaml(
resources: []
faults:
  - {call: viFindNext, status: -5, on-call: 2}
  - {call: viClear, status: 7}
)yaml");
    EXPECT_EQ(trl4sim::injectedFault("viFindNext"), 0);
    EXPECT_EQ(trl4sim::injectedFault("viFindNext"), -5);
    EXPECT_EQ(trl4sim::injectedFault("viFindNext"), 0);
    EXPECT_EQ(trl4sim::injectedFault("viClear"), 7);
    EXPECT_EQ(trl4sim::injectedFault("viClear"), 7);
    EXPECT_EQ(trl4sim::injectedFault("viOpen"), 0);
    // A new bench starts counting again.
    install("resources: []\nfaults:\n  - {call: viFindNext, status: -5, on-call: 2}\n");
    EXPECT_EQ(trl4sim::injectedFault("viFindNext"), 0);
    EXPECT_EQ(trl4sim::injectedFault("viFindNext"), -5);
}

TEST_F(BenchTest, EepromSurvivesARestartBitForBit) {
    install(kOneCarrier);
    const trl4sim::Resource r = trl4sim::current()->resources[0];
    Coefficients c{};
    EXPECT_EQ(trl4sim::readEeprom(r, 1, c), EepromState::Stored);  // factory contents
    EXPECT_EQ(c, (Coefficients{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(trl4sim::readEeprom(r, 2, c), EepromState::Blank);
    EXPECT_EQ(trl4sim::readEeprom(r, 3, c), EepromState::Unreadable);  // empty position

    const Coefficients written{1.0 / 3.0, 8388607.0, -2.5e-300, 0, 1e300, 0.999999999999};
    std::string error;
    ASSERT_TRUE(trl4sim::writeEeprom(r, 2, written, &error)) << error;
    install(kOneCarrier);  // the program starts again
    const trl4sim::Resource again = trl4sim::current()->resources[0];
    Coefficients read{};
    EXPECT_EQ(trl4sim::readEeprom(again, 2, read), EepromState::Stored);
    EXPECT_EQ(read, written);
    EXPECT_EQ(trl4sim::readEeprom(again, 1, read), EepromState::Stored);
    EXPECT_EQ(read, (Coefficients{1, 2, 3, 4, 5, 6}));  // the other mezzanine is its own

    // Nothing but finished records in the state folder.
    for (const auto &f : std::filesystem::directory_iterator(trl4sim::stateDirectory())) {
        EXPECT_EQ(f.path().extension(), ".eeprom") << f.path();
    }
}

TEST_F(BenchTest, EepromWriteIsAllOrNothing) {
    install(kOneCarrier);
    const trl4sim::Resource r = trl4sim::current()->resources[0];
    ASSERT_TRUE(trl4sim::writeEeprom(r, 2, Coefficients{1, 1, 1, 1, 1, 1}));
    std::filesystem::path record;
    for (const auto &f : std::filesystem::directory_iterator(trl4sim::stateDirectory())) {
        record = f.path();
    }
    ASSERT_FALSE(record.empty());

    // A record cut short (as a non-atomic writer could leave it) is reported, not half-read.
    std::string text;
    std::getline(std::ifstream(record), text, '\0');
    std::ofstream(record, std::ios::trunc) << text.substr(0, text.size() / 2);
    Coefficients c{};
    std::string error;
    EXPECT_EQ(trl4sim::readEeprom(r, 2, c, &error), EepromState::Unreadable);
    EXPECT_THAT(error, HasSubstr("damaged"));

    // When the record cannot be replaced, the write fails and leaves no temporary behind.
    std::filesystem::remove(record);
    std::filesystem::create_directory(record);
    std::filesystem::create_directory(record / "occupied");
    EXPECT_FALSE(trl4sim::writeEeprom(r, 2, Coefficients{2, 2, 2, 2, 2, 2}, &error));
    EXPECT_THAT(error, HasSubstr("cannot store"));
    int files = 0;
    for (const auto &f : std::filesystem::directory_iterator(trl4sim::stateDirectory())) {
        ++files;
        EXPECT_EQ(f.path(), record);
    }
    EXPECT_EQ(files, 1);
}

TEST_F(BenchTest, DefaultStateDirectoryFollowsThePlatformsConvention) {
    trl4::test::setEnv("TRL4_STATE_DIR", nullptr);
#ifdef _WIN32
    trl4::test::setEnv("LOCALAPPDATA", "C:\\Users\\op\\AppData\\Local");
    EXPECT_EQ(trl4sim::stateDirectory(),
              std::filesystem::path("C:\\Users\\op\\AppData\\Local") / "trl4");
#else
    trl4::test::setEnv("XDG_STATE_HOME", "/xdg/state");
    EXPECT_EQ(trl4sim::stateDirectory(), std::filesystem::path("/xdg/state/trl4"));
    trl4::test::setEnv("XDG_STATE_HOME",
                       "relative");  // not absolute: ignored, as the convention says
    trl4::test::setEnv("HOME", "/home/op");
    EXPECT_EQ(trl4sim::stateDirectory(), std::filesystem::path("/home/op/.local/state/trl4"));
#endif
}

TEST_F(BenchTest, TraceAppendsLinesOnlyWhenAsked) {
    trl4sim::trace("not written");
    const auto file = traceOn();
    trl4sim::trace("first");
    trl4sim::trace("second");
    EXPECT_EQ(lines(file), (std::vector<std::string>{"first", "second"}));
}
