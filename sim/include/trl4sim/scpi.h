// The SCPI subset the simulated meters understand: common commands, MEASure queries with an
// optional channel list, and the error queue. Mnemonics match in their short or long form,
// in any letter case.
#pragma once

#include <string_view>
#include <vector>

namespace trl4sim::scpi {

enum class Header { Identify, Reset, ClearStatus, MeasureVoltageAc, MeasureFrequency, NextError };

// One program message unit. A unit that names no known command carries the SCPI error code
// it raises (negative) and no header worth acting on.
struct Unit {
    Header header = Header::Identify;
    int channel = 0;  // from "(@n)"; 0 when none was given
    int error = 0;
};

inline constexpr int kUndefinedHeader = -113;
inline constexpr int kParameterNotAllowed = -108;
inline constexpr int kIllegalParameterValue = -224;
inline constexpr int kTriggerIgnored = -211;
inline constexpr int kDataStale = -230;
inline constexpr int kQueueOverflow = -350;
inline constexpr int kMaxChannel = 99;

// Splits one line (its end already taken off) into units at the semicolons.
std::vector<Unit> parse(std::string_view line);

// The standard text of an error code this subset raises, or "Unknown error".
std::string_view errorText(int code);

}  // namespace trl4sim::scpi
