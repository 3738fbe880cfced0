// VISA resource names: the address grammar of every interface the bench can hold, and the
// expanded form in which two spellings of one resource are the same text. Keywords are
// case-insensitive; a board number left out is 0, a class left out is INSTR, a LAN device
// name left out is inst0, USB codes may be hex (0x...) or decimal. A GPIB secondary address 0
// and a USB interface number 0 name the device that the address without them names (generic
// clients write them out when opening: GPIB0::12::0::INSTR is GPIB0::12::INSTR).
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trl4::visa {

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

namespace detail {

// The interface type numbers of the standard (VI_INTF_*), kept here so that the parser
// stands without the library's header.
enum : uint16_t { Gpib = 1, Vxi = 2, GpibVxi = 3, Asrl = 4, Pxi = 5, Tcpip = 6, Usb = 7 };

struct Interface {
    std::string_view keyword;
    uint16_t type;
};
// "GPIB-VXI" before "GPIB", which is its prefix.
inline constexpr std::array<Interface, 7> kInterfaces{{{"GPIB-VXI", GpibVxi},
                                                       {"GPIB", Gpib},
                                                       {"VXI", Vxi},
                                                       {"ASRL", Asrl},
                                                       {"TCPIP", Tcpip},
                                                       {"USB", Usb},
                                                       {"PXI", Pxi}}};

inline constexpr std::array<std::string_view, 7> kClasses{"INSTR",  "SOCKET",  "INTFC", "BACKPLANE",
                                                          "MEMACC", "SERVANT", "RAW"};

inline char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
inline char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
inline bool digit(char c) {
    return c >= '0' && c <= '9';
}
inline bool alnum(char c) {
    return digit(c) || (upper(c) >= 'A' && upper(c) <= 'Z');
}

inline bool sameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i])) return false;
    return true;
}

inline bool startsWithWord(std::string_view text, std::string_view word) {
    return text.size() >= word.size() && sameWord(text.substr(0, word.size()), word);
}

// Decimal digits only, at most `max`; leading zeros are the same number.
inline std::optional<uint32_t> decimal(std::string_view s, uint32_t max) {
    if (s.empty()) return std::nullopt;
    uint32_t value = 0;
    for (char c : s) {
        if (!digit(c)) return std::nullopt;
        value = value * 10 + static_cast<uint32_t>(c - '0');
        if (value > max) return std::nullopt;
    }
    return value;
}

// A USB vendor or product code: "0x" and hex digits, or decimal.
inline std::optional<uint32_t> code16(std::string_view s) {
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        uint32_t value = 0;
        for (char c : s.substr(2)) {
            const char u = upper(c);
            uint32_t d = 0;
            if (digit(u)) {
                d = static_cast<uint32_t>(u - '0');
            } else if (u >= 'A' && u <= 'F') {
                d = static_cast<uint32_t>(u - 'A' + 10);
            } else {
                return std::nullopt;
            }
            value = value * 16 + d;
            if (value > 0xFFFF) return std::nullopt;
        }
        return value;
    }
    return decimal(s, 0xFFFF);
}

inline bool textOf(std::string_view s, std::string_view extra) {
    if (s.empty()) return false;
    for (char c : s)
        if (!alnum(c) && extra.find(c) == std::string_view::npos) return false;
    return true;
}

// A host: a name or dotted address, or an IPv6 address in brackets.
inline bool host(std::string_view s) {
    if (s.size() > 2 && s.front() == '[' && s.back() == ']')
        return textOf(s.substr(1, s.size() - 2), ":.%");
    return textOf(s, ".-_");
}

// Splits at "::", except inside brackets (an IPv6 host). Empty fields are kept, to be refused.
inline std::vector<std::string_view> fields(std::string_view s) {
    std::vector<std::string_view> out;
    size_t start = 0;
    int depth = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '[') ++depth;
        if (s[i] == ']' && depth > 0) --depth;
        if (depth == 0 && s[i] == ':' && i + 1 < s.size() && s[i + 1] == ':') {
            out.push_back(s.substr(start, i - start));
            start = i + 2;
            ++i;
        }
    }
    out.push_back(s.substr(start));
    return out;
}

inline std::string number(uint32_t n) {
    return std::to_string(n);
}

inline std::string hex4(uint32_t n) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", n);
    return text;
}

// The address fields of one interface and class, in expanded form ("" for none), or none.
using Fields = std::vector<std::string_view>;

inline std::optional<std::string> vxiAddress(const Fields &f, std::string_view cls) {
    if (cls == "INSTR" && f.size() == 1) {
        if (auto la = decimal(f[0], 255)) return number(*la);
    } else if (cls == "BACKPLANE" && f.size() <= 1) {
        if (f.empty()) return std::string("0");
        if (auto la = decimal(f[0], 255)) return number(*la);
    } else if ((cls == "MEMACC" || cls == "SERVANT") && f.empty()) {
        return std::string();
    }
    return std::nullopt;
}

inline std::optional<std::string> gpibAddress(const Fields &f, std::string_view cls) {
    if (cls == "INSTR" && (f.size() == 1 || f.size() == 2)) {
        auto primary = decimal(f[0], 30);
        if (!primary) return std::nullopt;
        if (f.size() == 1) return number(*primary);
        auto secondary = decimal(f[1], 30);
        if (!secondary) return std::nullopt;
        if (*secondary == 0) return number(*primary);
        return number(*primary) + "::" + number(*secondary);
    }
    if ((cls == "INTFC" || cls == "SERVANT") && f.empty()) return std::string();
    return std::nullopt;
}

inline std::optional<std::string> tcpipAddress(const Fields &f, std::string_view cls) {
    if (cls == "INSTR" && (f.size() == 1 || f.size() == 2) && host(f[0])) {
        if (f.size() == 1) return std::string(f[0]) + "::inst0";
        if (textOf(f[1], ",._-")) return std::string(f[0]) + "::" + std::string(f[1]);
    } else if (cls == "SOCKET" && f.size() == 2 && host(f[0])) {
        if (auto port = decimal(f[1], 65535)) return std::string(f[0]) + "::" + number(*port);
    } else if (cls == "SERVANT" && f.empty()) {
        return std::string();
    }
    return std::nullopt;
}

inline std::optional<std::string> usbAddress(const Fields &f, std::string_view cls) {
    if ((cls != "INSTR" && cls != "RAW") || f.size() < 3 || f.size() > 4) return std::nullopt;
    auto manufacturer = code16(f[0]);
    auto model = code16(f[1]);
    if (!manufacturer || !model || !textOf(f[2], "_-.")) return std::nullopt;
    std::string out = hex4(*manufacturer) + "::" + hex4(*model) + "::" + std::string(f[2]);
    if (f.size() == 4) {
        auto interfaceNumber = decimal(f[3], 255);
        if (!interfaceNumber) return std::nullopt;
        if (*interfaceNumber != 0) out += "::" + number(*interfaceNumber);
    }
    return out;
}

// "CHASSISn" and the like: the word, then a decimal number.
inline std::optional<uint32_t> tagged(std::string_view s, std::string_view word, uint32_t max) {
    if (!startsWithWord(s, word)) return std::nullopt;
    return decimal(s.substr(word.size()), max);
}

inline std::string pciAddress(uint32_t bus, uint32_t device, uint32_t function) {
    std::string out = number(bus) + "-" + number(device);
    if (function != 0) out += "." + number(function);
    return out;
}

// PXI has three spellings of an instrument: PXI[bus]::device[::function],
// PXI[interface]::bus-device[.function] and PXI[interface]::CHASSISn::SLOTn[::FUNCn]. The
// first two name one PCI address and expand to the second; board is the interface's number.
inline std::optional<std::string> pxiAddress(const Fields &f, std::string_view cls,
                                             uint16_t &board) {
    if (cls == "MEMACC" && f.empty()) return std::string();
    if (cls == "BACKPLANE" && f.size() == 1) {
        if (auto chassis = decimal(f[0], 65535)) return number(*chassis);
        return std::nullopt;
    }
    if (cls != "INSTR" || f.empty() || f.size() > 3) return std::nullopt;
    if (startsWithWord(f[0], "CHASSIS")) {
        if (f.size() < 2) return std::nullopt;
        auto chassis = tagged(f[0], "CHASSIS", 65535);
        auto slot = tagged(f[1], "SLOT", 65535);
        if (!chassis || !slot) return std::nullopt;
        std::string out = "CHASSIS" + number(*chassis) + "::SLOT" + number(*slot);
        if (f.size() == 3) {
            auto function = tagged(f[2], "FUNC", 7);
            if (!function) return std::nullopt;
            out += "::FUNC" + number(*function);
        }
        return out;
    }
    if (const size_t dash = f[0].find('-'); dash != std::string_view::npos) {
        if (f.size() != 1) return std::nullopt;
        const std::string_view rest = f[0].substr(dash + 1);
        const size_t dot = rest.find('.');
        auto bus = decimal(f[0].substr(0, dash), 255);
        auto device = decimal(rest.substr(0, dot), 31);
        auto function = dot == std::string_view::npos ? std::optional<uint32_t>(0)
                                                      : decimal(rest.substr(dot + 1), 7);
        if (!bus || !device || !function) return std::nullopt;
        return pciAddress(*bus, *device, *function);
    }
    if (f.size() > 2 || board > 255) return std::nullopt;
    auto device = decimal(f[0], 31);
    auto function = f.size() == 2 ? decimal(f[1], 7) : std::optional<uint32_t>(0);
    if (!device || !function) return std::nullopt;
    const uint32_t bus = board;
    board = 0;
    return pciAddress(bus, *device, *function);
}

}  // namespace detail

// None when the text is not a resource name of the grammar.
inline std::optional<ResourceName> parseResourceName(std::string_view name) {
    using namespace detail;
    if (name.empty() || name.size() > kMaxResourceNameBytes) return std::nullopt;
    for (char c : name)
        if (c <= ' ' || c >= 0x7F) return std::nullopt;
    const Interface *intf = nullptr;
    for (const Interface &i : kInterfaces) {
        if (startsWithWord(name, i.keyword)) {
            intf = &i;
            break;
        }
    }
    if (intf == nullptr) return std::nullopt;
    std::string_view rest = name.substr(intf->keyword.size());
    size_t digits = 0;
    while (digits < rest.size() && digit(rest[digits]))
        ++digits;
    ResourceName out;
    out.interfaceType = intf->type;
    if (digits > 0) {
        auto board = decimal(rest.substr(0, digits), 65535);
        if (!board) return std::nullopt;
        out.board = static_cast<uint16_t>(*board);
    }
    rest.remove_prefix(digits);
    Fields f;
    if (!rest.empty()) {
        if (rest.size() < 2 || rest.substr(0, 2) != "::") return std::nullopt;
        f = fields(rest.substr(2));
    }
    for (std::string_view field : f)
        if (field.empty()) return std::nullopt;
    out.resourceClass = "INSTR";
    if (!f.empty()) {
        for (std::string_view cls : kClasses) {
            if (sameWord(f.back(), cls)) {
                out.resourceClass = std::string(cls);
                f.pop_back();
                break;
            }
        }
    }
    // A single colon has no place in an address field outside an IPv6 host.
    for (std::string_view field : f)
        if (field.find(':') != std::string_view::npos && field.front() != '[') return std::nullopt;
    std::optional<std::string> address;
    switch (intf->type) {
        case Vxi:
        case GpibVxi:
            if (intf->type == GpibVxi && out.resourceClass == "SERVANT") return std::nullopt;
            address = vxiAddress(f, out.resourceClass);
            break;
        case Gpib:
            address = gpibAddress(f, out.resourceClass);
            break;
        case Asrl:
            if (out.resourceClass == "INSTR" && f.empty()) address = std::string();
            break;
        case Tcpip:
            address = tcpipAddress(f, out.resourceClass);
            break;
        case Usb:
            address = usbAddress(f, out.resourceClass);
            break;
        case Pxi:
            address = pxiAddress(f, out.resourceClass, out.board);
            break;
        default:
            break;
    }
    if (!address) return std::nullopt;
    out.expanded = std::string(intf->keyword) + number(out.board) + "::";
    if (!address->empty()) {
        out.expanded += *address + "::";
        for (std::string_view field : fields(*address))
            out.address.emplace_back(field);
    }
    out.expanded += out.resourceClass;
    return out;
}

// What names compare by: the expanded form without regard to ASCII case; a name outside the
// grammar (a bench may list one) is its own key, without regard to case.
inline std::string resourceKey(std::string_view name) {
    using namespace detail;
    const auto parsed = parseResourceName(name);
    std::string key = parsed ? parsed->expanded : std::string(name);
    for (char &c : key)
        c = lower(c);
    return key;
}

inline bool sameResource(std::string_view a, std::string_view b) {
    return resourceKey(a) == resourceKey(b);
}

}  // namespace trl4::visa
