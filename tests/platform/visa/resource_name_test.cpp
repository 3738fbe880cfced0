// Resource names: each rule of the grammar, the expanded form, and what compares equal.
#include <gmock/gmock.h>

#include <string>
#include <tuple>
#include <utility>

#include "trl4/resource_name.h"
#include "visa.h"

using trl4::visa::parseResourceName;
using trl4::visa::sameResource;

namespace {

constexpr const char *kRefused = "refused";

// Each name with its expected expanded form, or kRefused; a name that parses is the same
// resource as its expanded form.
void expectExpanded(std::initializer_list<std::pair<std::string, const char *>> cases) {
    for (const auto &[name, expected] : cases) {
        const auto parsed = parseResourceName(name);
        EXPECT_EQ(parsed ? parsed->expanded : kRefused, expected) << name;
        EXPECT_EQ(parsed.has_value(), sameResource(name, expected)) << name;
    }
}

TEST(ResourceName, KeywordsIgnoreCaseAndOtherTextKeepsItsSpelling) {
    expectExpanded({{"vxi0::24::instr", "VXI0::24::INSTR"},
                    {"GPIB-vxi::72", "GPIB-VXI0::72::INSTR"},
                    {"usb::0x1a2b::4::ksp2101", "USB0::0x1A2B::0x0004::ksp2101::INSTR"},
                    {"tcpip::10.0.0.7::5025::socket", "TCPIP0::10.0.0.7::5025::SOCKET"}});
    // As every name did before, the rest compares without regard to case too.
    EXPECT_TRUE(sameResource("USB0::0x1A2B::0x0004::KSP2101::INSTR", "usb::6699::4::ksp2101"));
    EXPECT_TRUE(sameResource("TCPIP::10.0.0.7::INST0", "TCPIP0::10.0.0.7::inst0::INSTR"));
}

TEST(ResourceName, BoardDefaultsToZeroAndClassToInstr) {
    expectExpanded({{"GPIB::12", "GPIB0::12::INSTR"},
                    {"GPIB00::12::INSTR", "GPIB0::12::INSTR"},
                    {"ASRL1", "ASRL1::INSTR"},
                    {"ASRL", "ASRL0::INSTR"},
                    {"VXI65535::1", "VXI65535::1::INSTR"},
                    {"VXI65536::1", kRefused},
                    {"VXIA::1::INSTR", kRefused}});
    const auto parsed = parseResourceName("GPIB3::INTFC");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(std::make_tuple(parsed->interfaceType, parsed->board, parsed->resourceClass),
              std::make_tuple(VI_INTF_GPIB, 3, "INTFC"));
    EXPECT_FALSE(sameResource("GPIB3::12::INSTR", "GPIB0::12::INSTR"));
}

TEST(ResourceName, LanDeviceDefaultsToInst0AndSocketsNeedAPort) {
    expectExpanded({{"TCPIP::10.0.0.7", "TCPIP0::10.0.0.7::inst0::INSTR"},
                    {"TCPIP::lab-dmm.example::hislip0", "TCPIP0::lab-dmm.example::hislip0::INSTR"},
                    {"TCPIP::10.0.0.7::gpib0,12", "TCPIP0::10.0.0.7::gpib0,12::INSTR"},
                    {"TCPIP::[fe80::1]::INSTR", "TCPIP0::[fe80::1]::inst0::INSTR"},
                    {"TCPIP::h::05025::SOCKET", "TCPIP0::h::5025::SOCKET"},
                    {"TCPIP::h::SOCKET", kRefused},
                    {"TCPIP::h::65536::SOCKET", kRefused},
                    {"TCPIP::INSTR", kRefused},
                    {"TCPIP::h::dev::x::INSTR", kRefused},
                    {"TCPIP::[fe80::1::INSTR", kRefused}});
    EXPECT_FALSE(sameResource("TCPIP::h::inst1", "TCPIP::h"));
}

TEST(ResourceName, GpibSecondaryAddressZeroIsTheDeviceWithout) {
    expectExpanded({{"GPIB::12::5", "GPIB0::12::5::INSTR"},
                    {"GPIB::12::0::INSTR", "GPIB0::12::INSTR"},
                    {"GPIB::30::30", "GPIB0::30::30::INSTR"},
                    {"GPIB::31", kRefused},
                    {"GPIB::12::31", kRefused},
                    {"GPIB::12::1::2::INSTR", kRefused},
                    {"GPIB::+1", kRefused}});
    EXPECT_FALSE(sameResource("GPIB0::12::5::INSTR", "GPIB0::12::INSTR"));
}

TEST(ResourceName, UsbCodesInHexOrDecimalAndTheInterfaceOptional) {
    expectExpanded({{"USB::12060::263::VK5400123", "USB0::0x2F1C::0x0107::VK5400123::INSTR"},
                    {"USB::0X2f1c::263::VK5400123::0", "USB0::0x2F1C::0x0107::VK5400123::INSTR"},
                    {"USB::1::2::S-1::3::INSTR", "USB0::0x0001::0x0002::S-1::3::INSTR"},
                    {"USB::1::2::S::RAW", "USB0::0x0001::0x0002::S::RAW"},
                    {"USB::0x10000::1::S", kRefused},
                    {"USB::65536::1::S", kRefused},
                    {"USB::0x::1::S", kRefused},
                    {"USB::1::2::INSTR", kRefused},
                    {"USB::1::2::S::256", kRefused},
                    {"USB::1::2::S:T", kRefused}});
}

TEST(ResourceName, VxiAndPxiAddresses) {
    // PXI[bus]::device[::function] and PXI[interface]::bus-device[.function] name one device.
    expectExpanded({{"VXI::255", "VXI0::255::INSTR"},
                    {"VXI::BACKPLANE", "VXI0::0::BACKPLANE"},
                    {"GPIB-VXI1::MEMACC", "GPIB-VXI1::MEMACC"},
                    {"VXI::256", kRefused},
                    {"GPIB-VXI::SERVANT", kRefused},
                    {"PXI3::15::INSTR", "PXI0::3-15::INSTR"},
                    {"PXI0::3-15.0", "PXI0::3-15::INSTR"},
                    {"PXI::9::2", "PXI0::0-9.2::INSTR"},
                    {"pxi::chassis1::slot3::func2", "PXI0::CHASSIS1::SLOT3::FUNC2::INSTR"},
                    {"PXI::32", kRefused},
                    {"PXI::1::8", kRefused},
                    {"PXI256::1", kRefused},
                    {"PXI::1-2::3", kRefused},
                    {"PXI::CHASSIS1::INSTR", kRefused}});
}

TEST(ResourceName, MalformedNamesAreRefusedAndOthersCompareByCaseOnly) {
    expectExpanded({{"", kRefused},
                    {"FOO0::1::INSTR", kRefused},
                    {"VXI0::", kRefused},
                    {"VXI0::::24", kRefused},
                    {"VXI0:24::INSTR", kRefused},
                    {"VXI0::24::INSTR ", kRefused},
                    {"VXI0::2\n4", kRefused},
                    {"USB::1::2::сер", kRefused},
                    {"ASRL1::2::INSTR", kRefused},
                    {"VXI::99999999999999999999", kRefused},
                    {"USB::1::2::" + std::string(245, 'S'), kRefused}});  // 256 bytes
    // A bench may list a name outside the grammar: it is found only as written, in any case.
    EXPECT_TRUE(sameResource("usb0::7::INSTR", "USB0::7::instr"));
    EXPECT_FALSE(sameResource("USB0::7::INSTR", "USB::7::INSTR"));
}

}  // namespace
