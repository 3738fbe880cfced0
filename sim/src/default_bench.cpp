// The bench a fresh installation sees: carriers of every kind, and the neighbours a search
// must pass over (another maker's module, slot 0 and slot 13, an unknown model, a foreign USB
// device, a silent device, one that opens only with a warning, a GPIB instrument), and an AC
// voltmeter and a frequency counter wired to both outputs of the first carrier's position 1.
#include "trl4sim/bench.h"

namespace trl4sim {

namespace {

constexpr std::string_view kBuiltin = R"yaml(
resources:
  - name: "VXI0::24::INSTR"
    interface: VXI
    slot: 3
    manufacturer: 0xE76
    mainframe: 0
    la: 24
    model: 0x10D
    carrier:
      name: "Н.М. №0241"
      memory: 33554432
      mezzanines:
        - {position: 1, gain-error: [0.0125, -0.0093], frequency-error-ppm: 180,
           eeprom: [0, 8385211.5, 8391002.25, 0, 0, 1.000012], offsets: [0.0012, -0.0007]}
        - {position: 2, gain-error: [-0.0062, 0.0087], frequency-error-ppm: -95,
           eeprom: [0, 8387920, 8386115.75, 0, 0, 0.999987], offsets: [-0.0004, 0.0009]}
        - {position: 3, gain-error: [0.0218, -0.0154], frequency-error-ppm: 62,
           eeprom: [0, 8388001, 8388310.5, 0, 0, 1.000003], offsets: [0.0002, 0.0001]}
        - {position: 4, gain-error: [0.031, -0.027], frequency-error-ppm: 240,
           offsets: [0.0015, -0.0011]}
  - name: "VXI0::40::INSTR"
    interface: VXI
    slot: 5
    manufacturer: 0xE76
    mainframe: 0
    la: 40
    model: 0x155
    carrier:
      name: "Н.М.У. №0517"
      memory: 67108864
      mezzanines:
        - {position: 1, type: 7}
        - {position: 2, gain-error: [-0.0046, 0.0112], frequency-error-ppm: -130,
           eeprom: [0, 8386502, 8389117, 0, 0, 1.000021], offsets: [0.0006, 0.0003]}
        - {position: 4, gain-error: [0.0073, -0.0058], frequency-error-ppm: 45,
           eeprom: [0, 8388899, 8387444, 0, 0, 0.999995], offsets: [-0.0002, -0.0005]}
  - name: "VXI0::136::INSTR"
    interface: VXI
    slot: 2
    manufacturer: 0xE76
    mainframe: 128
    la: 136
    model: 0x177
    carrier:
      name: "Н.М.М. №0033"
      memory: 16777216
      mezzanines:
        - {position: 1, gain-error: [0.0095, 0.0031], frequency-error-ppm: 20,
           eeprom: [0, 8388100, 8388200, 0, 0, 1.000001], offsets: [0.0001, 0.0002]}
        - {position: 3, gain-error: [-0.0129, -0.0047], frequency-error-ppm: -60,
           eeprom: [0, 8388300, 8388400, 0, 0, 1.000002], offsets: [0.0003, 0.0004]}
  - name: "GPIB-VXI0::72::INSTR"
    interface: GPIB-VXI
    slot: 7
    manufacturer: 0xE76
    mainframe: 0
    la: 72
    model: 0xF177
    carrier:
      name: "Н.М.М. №0090"
      memory: 16777216
      mezzanines:
        - {position: 2, gain-error: [0.0064, -0.0081], frequency-error-ppm: 110,
           eeprom: [0, 8388500, 8388600, 0, 0, 1], offsets: [0, 0]}
  - name: "VXI0::0::INSTR"
    interface: VXI
    slot: 0
    manufacturer: 0xE76
    mainframe: 0
    la: 0
    model: 0x10D
    carrier:
      name: "Н.М. №0001"
      memory: 33554432
      mezzanines:
        - {position: 1, gain-error: [0.0052, 0.0039], frequency-error-ppm: 75}
  - name: "VXI0::33::INSTR"
    interface: VXI
    slot: 13
    manufacturer: 0xE76
    mainframe: 0
    la: 33
    model: 0x155
    carrier:
      name: "Н.М.У. №0013"
      memory: 67108864
      mezzanines:
        - {position: 1, gain-error: [-0.0071, 0.0044], frequency-error-ppm: -35}
  - name: "VXI0::56::INSTR"
    interface: VXI
    slot: 8
    manufacturer: 0xFB1
    mainframe: 0
    la: 56
    model: 0x10D
  - name: "VXI0::64::INSTR"
    interface: VXI
    slot: 9
    manufacturer: 0xE76
    mainframe: 0
    la: 64
    model: 0x1A0
  - name: "GPIB0::22::INSTR"
    interface: GPIB
    idn: "ZELKORTECH,KSPBASE,0022,1.00\n"
  - name: "USB0::0x2F1C::0x0107::VK5400123::INSTR"
    interface: USB
    idn: "VOLTEK,DMM-7,VK5400123,A.02.01\n"
    meter:
      kind: ac-voltmeter
      inputs:
        - {carrier: "VXI0::24::INSTR", position: 1, channel: 1}
        - {carrier: "VXI0::24::INSTR", position: 1, channel: 2}
      accuracy: 0.00002
      seed: 4123
      settling: 0.8
  - name: "GPIB0::11::INSTR"
    interface: GPIB
    idn: "VOLTEK,FC-3,FC0311,1.20\n"
    meter:
      kind: frequency-counter
      inputs:
        - {carrier: "VXI0::24::INSTR", position: 1, channel: 1}
        - {carrier: "VXI0::24::INSTR", position: 1, channel: 2}
      accuracy: 0.0000002
      seed: 311
      settling: 1.5
  - name: "USB0::0x1A2B::0x0004::KSP2101::INSTR"
    interface: USB
    idn: "ZELKORTECH,KSPBASE,2101,1.07\n"
    carrier:
      name: "NodaBOX №2101"
      memory: 33554432
      mezzanines:
        - {position: 1, gain-error: [0.0142, -0.0066], frequency-error-ppm: 150,
           eeprom: [0, 8388000, 8388050, 0, 0, 1.000004], offsets: [0.0005, -0.0003]}
        - {position: 3, gain-error: [-0.0038, 0.0095], frequency-error-ppm: -210,
           eeprom: [0, 8387700, 8388900, 0, 0, 0.999998], offsets: [0.0001, 0.0006],
           self-test: {code: 3, message: "Ошибка памяти формы канала 2"}}
  - name: "TCPIP0::192.168.1.50::inst0::INSTR"
    interface: TCPIP
    address: "192.168.1.50"
    idn: "ZELKORTECH,KSPBASE,3344,1.07\n"
    carrier:
      name: "NodaBOX №3344"
      memory: 33554432
      mezzanines:
        - {position: 1, gain-error: [0.0088, -0.0121], frequency-error-ppm: 90,
           eeprom: [0, 8388400, 8388333, 0, 0, 1.000007], offsets: [-0.0001, 0.0002]}
        - {position: 2, gain-error: [-0.0057, 0.0063], frequency-error-ppm: -40,
           eeprom: [0, 8388111, 8388222, 0, 0, 1.000006], offsets: [0.0004, 0.0004]}
  - name: "TCPIP0::192.168.1.77::inst0::INSTR"
    interface: TCPIP
    address: "192.168.1.77"
  - name: "USB0::0x1A2B::0x0004::KSP2200::INSTR"
    interface: USB
    open-status: 0x3FFF0077
    idn: "ZELKORTECH,KSPBASE,2200,1.07\n"
    carrier:
      name: "NodaBOX №2200"
      memory: 33554432
      mezzanines:
        - {position: 1, gain-error: [0.0048, -0.0036], frequency-error-ppm: 30}
  - name: "USB0::0x1A2B::0x0004::KSP2305::INSTR"
    interface: USB
    idn: "ZELKORTECH,KSPBASE,2305\n"
    carrier:
      name: "NodaBOX №2305"
      memory: 33554432
      mezzanines:
        - {position: 4, gain-error: [0.0105, 0.0077], frequency-error-ppm: -120,
           eeprom: [0, 8388607, 8388607, 0, 0, 1], offsets: [0, 0]}
)yaml";

}  // namespace

std::string_view builtinBenchText() {
    return kBuiltin;
}

}  // namespace trl4sim
