// Resource names: each rule of the grammar, the expanded form, and what compares equal.
#include <gmock/gmock.h>

#include <string>

#include "trl4visa/resource_name.h"
#include "visa.h"

using trl4visa::parseResourceName;
using trl4visa::resourceKey;
using trl4visa::sameResource;

namespace {

// The expanded form, or "refused".
std::string expanded(const std::string &name) {
    const auto parsed = parseResourceName(name);
    return parsed ? parsed->expanded : "refused";
}

void expectSpellings(const char *canonical, std::initializer_list<const char *> spellings) {
    for (const char *s : spellings) {
        EXPECT_EQ(expanded(s), canonical) << s;
        EXPECT_TRUE(sameResource(s, canonical)) << s;
    }
}

TEST(ResourceName, KeywordsAndClassesIgnoreCase) {
    expectSpellings("VXI0::24::INSTR", {"vxi0::24::instr", "Vxi0::24::InStR"});
    expectSpellings("GPIB-VXI0::72::INSTR", {"gpib-vxi0::72::instr", "GPIB-vxi::72"});
    expectSpellings("TCPIP0::10.0.0.7::5025::SOCKET", {"tcpip::10.0.0.7::5025::socket"});
    // Text that is no keyword keeps its spelling in the expanded form, and still compares
    // without regard to case, as every name did before.
    EXPECT_EQ(expanded("usb::0x1a2b::4::ksp2101"), "USB0::0x1A2B::0x0004::ksp2101::INSTR");
    EXPECT_TRUE(sameResource("USB0::0x1A2B::0x0004::KSP2101::INSTR", "usb::0x1a2b::4::ksp2101"));
}

TEST(ResourceName, BoardDefaultsToZeroAndIsReported) {
    expectSpellings("GPIB0::12::INSTR", {"GPIB::12::INSTR", "GPIB00::12::INSTR", "GPIB0::12"});
    const auto parsed = parseResourceName("GPIB3::12::INSTR");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->board, 3);
    EXPECT_EQ(parsed->interfaceType, VI_INTF_GPIB);
    EXPECT_FALSE(sameResource("GPIB3::12::INSTR", "GPIB0::12::INSTR"));
    EXPECT_EQ(expanded("VXI65535::1"), "VXI65535::1::INSTR");
    EXPECT_EQ(expanded("VXI65536::1"), "refused");
    EXPECT_EQ(expanded("VXIA::1::INSTR"), "refused");
}

TEST(ResourceName, ClassDefaultsToInstr) {
    expectSpellings("VXI0::24::INSTR", {"VXI::24", "VXI0::24"});
    expectSpellings("ASRL1::INSTR", {"ASRL1", "asrl1::instr"});
    expectSpellings("ASRL0::INSTR", {"ASRL", "ASRL::INSTR"});
    const auto parsed = parseResourceName("GPIB0::INTFC");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->resourceClass, "INTFC");
    EXPECT_EQ(parseResourceName("GPIB::12")->resourceClass, "INSTR");
}

TEST(ResourceName, LanDeviceNameDefaultsToInst0) {
    expectSpellings("TCPIP0::10.0.0.7::inst0::INSTR",
                    {"TCPIP::10.0.0.7::INSTR", "TCPIP0::10.0.0.7", "tcpip::10.0.0.7::inst0"});
    EXPECT_TRUE(sameResource("TCPIP::10.0.0.7::INST0", "TCPIP0::10.0.0.7::inst0::INSTR"));
    EXPECT_EQ(expanded("TCPIP::lab-dmm.example::hislip0"),
              "TCPIP0::lab-dmm.example::hislip0::INSTR");
    EXPECT_EQ(expanded("TCPIP::10.0.0.7::gpib0,12::INSTR"), "TCPIP0::10.0.0.7::gpib0,12::INSTR");
    EXPECT_FALSE(sameResource("TCPIP::10.0.0.7::inst1::INSTR", "TCPIP::10.0.0.7::INSTR"));
    // An IPv6 host keeps its colons inside its brackets.
    EXPECT_EQ(expanded("TCPIP::[fe80::1]::INSTR"), "TCPIP0::[fe80::1]::inst0::INSTR");
    for (const char *bad : {"TCPIP::INSTR", "TCPIP::a b::INSTR", "TCPIP::h::dev::x::INSTR",
                            "TCPIP::[fe80::1::INSTR"}) {
        EXPECT_EQ(expanded(bad), "refused") << bad;
    }
}

TEST(ResourceName, SocketsNeedAPortInRange) {
    EXPECT_EQ(expanded("TCPIP::10.0.0.7::05025::SOCKET"), "TCPIP0::10.0.0.7::5025::SOCKET");
    EXPECT_EQ(expanded("TCPIP::10.0.0.7::65535::SOCKET"), "TCPIP0::10.0.0.7::65535::SOCKET");
    for (const char *bad : {"TCPIP::10.0.0.7::SOCKET", "TCPIP::10.0.0.7::65536::SOCKET",
                            "TCPIP::10.0.0.7::http::SOCKET", "TCPIP::10.0.0.7::-1::SOCKET"}) {
        EXPECT_EQ(expanded(bad), "refused") << bad;
    }
}

TEST(ResourceName, GpibSecondaryAddresses) {
    EXPECT_EQ(expanded("GPIB::12::5::INSTR"), "GPIB0::12::5::INSTR");
    expectSpellings("GPIB0::12::INSTR", {"GPIB0::12::0::INSTR", "gpib::12::00"});
    EXPECT_FALSE(sameResource("GPIB0::12::5::INSTR", "GPIB0::12::INSTR"));
    EXPECT_EQ(parseResourceName("GPIB::12::5")->address, (std::vector<std::string>{"12", "5"}));
    EXPECT_EQ(expanded("GPIB::30::30"), "GPIB0::30::30::INSTR");
    for (const char *bad : {"GPIB::31::INSTR", "GPIB::12::31::INSTR", "GPIB::12::1::2::INSTR",
                            "GPIB::INSTR", "GPIB::+1::INSTR"}) {
        EXPECT_EQ(expanded(bad), "refused") << bad;
    }
}

TEST(ResourceName, UsbCodesInHexOrDecimalAndTheInterfaceOptional) {
    expectSpellings("USB0::0x2F1C::0x0107::VK5400123::INSTR",
                    {"USB::12060::263::VK5400123::INSTR", "USB0::0x2f1c::0X107::VK5400123",
                     "USB::0x2F1C::263::VK5400123::0::INSTR"});
    EXPECT_EQ(expanded("USB::1::2::S-1::3::INSTR"), "USB0::0x0001::0x0002::S-1::3::INSTR");
    EXPECT_FALSE(sameResource("USB::1::2::S::3::INSTR", "USB::1::2::S::INSTR"));
    EXPECT_EQ(expanded("USB::1::2::S::RAW"), "USB0::0x0001::0x0002::S::RAW");
    for (const char *bad :
         {"USB::0x10000::1::S::INSTR", "USB::65536::1::S::INSTR", "USB::0x::1::S::INSTR",
          "USB::0xG1::1::S::INSTR", "USB::1::2::INSTR", "USB::1::2::S::256::INSTR",
          "USB::1::2::S::1::2::INSTR", "USB::1::2::S:T::INSTR"}) {
        EXPECT_EQ(expanded(bad), "refused") << bad;
    }
}

TEST(ResourceName, VxiLogicalAddressesAndOtherClasses) {
    EXPECT_EQ(expanded("VXI::0"), "VXI0::0::INSTR");
    EXPECT_EQ(expanded("VXI::255"), "VXI0::255::INSTR");
    EXPECT_EQ(expanded("VXI::BACKPLANE"), "VXI0::0::BACKPLANE");
    EXPECT_EQ(expanded("VXI::128::BACKPLANE"), "VXI0::128::BACKPLANE");
    EXPECT_EQ(expanded("GPIB-VXI1::MEMACC"), "GPIB-VXI1::MEMACC");
    EXPECT_EQ(expanded("VXI::SERVANT"), "VXI0::SERVANT");
    EXPECT_EQ(parseResourceName("GPIB-VXI::72")->interfaceType, VI_INTF_GPIB_VXI);
    for (const char *bad : {"VXI::256::INSTR", "VXI::24::1::INSTR", "VXI::INSTR",
                            "GPIB-VXI::SERVANT", "VXI::24::SOCKET", "VXI0::24::INSTR::X"}) {
        EXPECT_EQ(expanded(bad), "refused") << bad;
    }
}

TEST(ResourceName, PxiSpellingsOfOneAddress) {
    // PXI[bus]::device[::function] and PXI[interface]::bus-device[.function] name one device.
    expectSpellings("PXI0::3-15::INSTR",
                    {"PXI3::15::INSTR", "PXI::3-15", "PXI0::3-15.0::INSTR", "PXI3::15::0::INSTR"});
    expectSpellings("PXI0::0-9.2::INSTR", {"PXI::9::2::INSTR", "PXI0::0-9.2"});
    EXPECT_EQ(expanded("PXI1::2-3.4::INSTR"), "PXI1::2-3.4::INSTR");
    EXPECT_EQ(parseResourceName("PXI3::15::INSTR")->board, 0);  // the 3 is the bus
    EXPECT_EQ(expanded("pxi::chassis1::slot3"), "PXI0::CHASSIS1::SLOT3::INSTR");
    EXPECT_EQ(expanded("PXI::CHASSIS1::SLOT3::FUNC2::INSTR"),
              "PXI0::CHASSIS1::SLOT3::FUNC2::INSTR");
    EXPECT_EQ(expanded("PXI0::MEMACC"), "PXI0::MEMACC");
    for (const char *bad : {"PXI::32::INSTR", "PXI::1::8::INSTR", "PXI256::1::INSTR",
                            "PXI::1-2::3::INSTR", "PXI::1-.2::INSTR", "PXI::CHASSIS1::INSTR",
                            "PXI::CHASSIS1::SLOT3::FUNC8::INSTR", "PXI::CHASSIS::SLOT3"}) {
        EXPECT_EQ(expanded(bad), "refused") << bad;
    }
}

TEST(ResourceName, MalformedNamesAreRefused) {
    for (const char *bad :
         {"", "INSTR", "FOO0::1::INSTR", "VXI0::", "VXI0::::24::INSTR", "VXI0:24::INSTR",
          "VXI0::24::INSTR ", " VXI0::24::INSTR", "VXI0::2\n4::INSTR",
          "VXI0::24::", "USB::1::2::сер::INSTR", "GPIB::12::INSTR::INSTR", "ASRL1::2::INSTR"}) {
        EXPECT_EQ(expanded(bad), "refused") << bad;
    }
    EXPECT_EQ(expanded("USB::1::2::" + std::string(245, 'S')), "refused");  // 256 bytes
    EXPECT_EQ(expanded("VXI::99999999999999999999::INSTR"), "refused");
}

TEST(ResourceName, NamesOutsideTheGrammarCompareByCaseOnly) {
    // A bench may list such a name; it is found only as written, in any case.
    EXPECT_EQ(resourceKey("VXI0::256::INSTR"), "vxi0::256::instr");
    EXPECT_TRUE(sameResource("Чужой", "Чужой"));
    EXPECT_TRUE(sameResource("usb0::7::INSTR", "USB0::7::instr"));
    EXPECT_FALSE(sameResource("USB0::7::INSTR", "USB::7::INSTR"));
    EXPECT_FALSE(sameResource("VXI0::256::INSTR", "VXI0::0::INSTR"));
}

}  // namespace
