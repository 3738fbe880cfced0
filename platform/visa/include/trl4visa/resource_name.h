// VISA resource names: the address grammar of every interface the bench can hold, and the
// expanded form in which two spellings of one resource are the same text. Keywords are
// case-insensitive; a board number left out is 0, a class left out is INSTR, a LAN device
// name left out is inst0, USB codes may be hex (0x...) or decimal. A GPIB secondary address 0
// and a USB interface number 0 name the device that the address without them names (generic
// clients write them out when opening: GPIB0::12::0::INSTR is GPIB0::12::INSTR).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trl4visa {

inline constexpr size_t kMaxResourceNameBytes = 255;

struct ResourceName {
    uint16_t interfaceType = 0;  // VI_INTF_GPIB ... VI_INTF_USB
    uint16_t board = 0;
    std::string resourceClass;  // "INSTR", "SOCKET", "INTFC", "BACKPLANE", "MEMACC", ...
    // Every default written out, keywords in capitals, numbers in their one form (USB codes
    // "0x" and four hex digits); other text (host, LAN device, serial number) as given.
    std::string expanded;
    // The address between board and class, field by field as in the expanded form:
    // GPIB {primary[, secondary]}, TCPIP {host, device} or {host, port}, USB {manufacturer,
    // model, serial[, interface]}, VXI {la}, PXI {"bus-device[.function]"} and so on.
    std::vector<std::string> address;
};

// None when the text is not a resource name of the grammar.
std::optional<ResourceName> parseResourceName(std::string_view name);

// What names compare by: the expanded form without regard to ASCII case; a name outside the
// grammar (a bench may list one) is its own key, without regard to case.
std::string resourceKey(std::string_view name);

inline bool sameResource(std::string_view a, std::string_view b) {
    return resourceKey(a) == resourceKey(b);
}

}  // namespace trl4visa
