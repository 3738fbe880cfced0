// Reading the machine-readable record beside the protocol back: every row checked, a row
// that is not what the program writes refused with its line and the reason.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace trl4::result {

enum class Kind { Amplitude, Frequency };

struct RecordedChannel {
    double reading = 0;
    double absError = 0;
    double relErrorPercent = 0;
    bool pass = false;
    std::string readBy;  // "typed" or the meter's identity
};

struct RecordRow {
    int line = 0;      // where the row starts in the file, from 1
    std::string time;  // ISO 8601 with its offset, or empty when the clock was not read
    unsigned crate = 0, slot = 0, position = 0;
    std::string carrier;
    Kind kind = Kind::Amplitude;
    double nominal = 0;
    double tolerancePercent = 0;
    std::array<RecordedChannel, 2> channels;
    std::string mathlibVersion, mathlibCrc;
    // The point's number in its full procedure's list, from 1; 0 for a single check, and for
    // every row of a record written before the record named its points.
    int fullPoint = 0;
};

// The points of a full procedure of each kind, in the order it sets them up.
std::vector<double> fullPoints(Kind kind);

// Outside input is bounded: larger files, rows or fields are refused.
inline constexpr std::size_t kMaxRecordBytes = 16 * 1024 * 1024;
inline constexpr std::size_t kMaxFieldChars = 1024;
inline constexpr std::size_t kMaxProblems = 20;

struct RecordProblem {
    int line = 0;
    std::string reason;
    // "строка N: reason"
    std::string text() const;
};

// Reads a whole record. True when every row was read; otherwise rows holds the rows that
// were, and problems names each refused line (the first kMaxProblems, then how many more).
bool parseRecord(std::string_view text, std::vector<RecordRow> &rows,
                 std::vector<RecordProblem> &problems);

}  // namespace trl4::result
