// Any text is a record read whole or refused line by line, each refusal with its reason; the
// rows read are judged without fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "trl4/result.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    std::vector<trl4::result::RecordRow> rows;
    std::vector<trl4::result::RecordProblem> problems;
    const bool read = trl4::result::parseRecord(text, rows, problems);
    if (read != problems.empty()) std::abort();
    if (problems.size() > trl4::result::kMaxProblems + 1) std::abort();
    for (const auto &p : problems)
        if (p.reason.empty()) std::abort();
    int previous = 0;
    for (const auto &row : rows) {
        if (row.line <= previous || !(row.nominal > 0)) std::abort();
        previous = row.line;
    }
    for (const auto &v : trl4::result::judgeRecord(rows)) {
        if (v.complete() && v.fit() != v.reasons().empty()) std::abort();
        (void)v.date();
        (void)v.meters();
    }
    return 0;
}
