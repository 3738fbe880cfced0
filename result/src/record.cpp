// The record beside the protocol, read back (RFC 4180, the columns the program writes). Every
// row is checked against what the program itself would have written for it: its numbers read
// back exactly, its errors and verdicts follow from its nominal, tolerance and readings, and
// a point of a full procedure is the one its list holds at that number.
#include "trl4/result_record.h"

#include <charconv>
#include <cmath>
#include <optional>

#include "text.h"

namespace trl4::result {

namespace {

// The columns, in order; a record written before the points were named ends after the
// checksum, and rows of the later form may follow its header.
constexpr std::string_view kColumns[] = {"time",
                                         "crate",
                                         "slot",
                                         "position",
                                         "carrier",
                                         "kind",
                                         "nominal",
                                         "tolerance_percent",
                                         "reading_1",
                                         "abs_error_1",
                                         "rel_error_percent_1",
                                         "verdict_1",
                                         "read_by_1",
                                         "reading_2",
                                         "abs_error_2",
                                         "rel_error_percent_2",
                                         "verdict_2",
                                         "read_by_2",
                                         "mathlib_version",
                                         "mathlib_crc32",
                                         "procedure",
                                         "point"};
constexpr std::size_t kAllColumns = std::size(kColumns);
constexpr std::size_t kEarlierColumns = 20;
// Far more fields than a row has: a longer row is refused without keeping them all.
constexpr std::size_t kMaxFields = 64;

struct Line {
    int number = 0;
    std::vector<std::string> fields;
    std::string fault;  // why it is not a row of fields at all
};

// Splits the text into rows of fields. A row that breaks the format is kept with its fault,
// and reading goes on at the next line.
class Splitter {
  public:
    explicit Splitter(std::string_view text) : text_(text) {}

    bool next(Line &line) {
        if (at_ >= text_.size()) return false;
        line = Line{};
        line.number = lineNo_;
        std::string field;
        bool quoted = false, afterQuote = false;
        while (true) {
            if (at_ >= text_.size()) {
                if (quoted && !afterQuote) return fail(line, "кавычки не закрыты до конца файла");
                return fail(line, "строка не закончена переводом строки");
            }
            const char c = text_[at_];
            if (quoted && !afterQuote) {
                ++at_;
                if (c == '"') {
                    if (at_ < text_.size() && text_[at_] == '"') {
                        field += '"';
                        ++at_;
                    } else {
                        afterQuote = true;
                    }
                    continue;
                }
                if (c == '\n') ++lineNo_;
                field += c;
                if (field.size() > 4 * kMaxFieldChars) return fail(line, "поле слишком длинное");
                continue;
            }
            if (c == ',' || c == '\r' || c == '\n') {
                if (c == '\r') {
                    if (at_ + 1 >= text_.size() || text_[at_ + 1] != '\n')
                        return fail(line, "возврат каретки без перевода строки");
                    ++at_;
                }
                ++at_;
                if (line.fields.size() == kMaxFields) return fail(line, "слишком много полей");
                line.fields.push_back(std::move(field));
                field.clear();
                quoted = afterQuote = false;
                if (c == ',') continue;
                ++lineNo_;
                return true;
            }
            if (afterQuote) return fail(line, "текст после закрывающей кавычки");
            if (c == '"') {
                if (!field.empty()) return fail(line, "кавычка внутри поля без кавычек");
                quoted = true;
                ++at_;
                continue;
            }
            field += c;
            ++at_;
            if (field.size() > 4 * kMaxFieldChars) return fail(line, "поле слишком длинное");
        }
    }

  private:
    // Keeps the fault and goes on after the next line break.
    bool fail(Line &line, const char *why) {
        line.fault = why;
        while (at_ < text_.size() && text_[at_] != '\n')
            ++at_;
        if (at_ < text_.size()) ++at_;
        ++lineNo_;
        return true;
    }

    std::string_view text_;
    std::size_t at_ = 0;
    int lineNo_ = 1;
};

std::optional<double> number(std::string_view text) {
    double value = 0;
    const char *end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, value);
    if (text.empty() || r.ec != std::errc() || r.ptr != end) return std::nullopt;
    return value;
}

std::optional<unsigned> whole(std::string_view text, unsigned highest) {
    unsigned value = 0;
    const char *end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, value);
    if (text.empty() || r.ec != std::errc() || r.ptr != end || value > highest) return std::nullopt;
    return value;
}

bool digits(std::string_view text, std::size_t from, std::size_t count) {
    for (std::size_t i = from; i < from + count; ++i)
        if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    return true;
}

int twoDigits(std::string_view text, std::size_t from) {
    return (text[from] - '0') * 10 + (text[from + 1] - '0');
}

// "2026-12-06T09:05:07+03:00", as the program writes the local time.
bool isoTime(std::string_view t) {
    if (t.size() != 25 || !digits(t, 0, 4) || t[4] != '-' || !digits(t, 5, 2) || t[7] != '-' ||
        !digits(t, 8, 2) || t[10] != 'T' || !digits(t, 11, 2) || t[13] != ':' ||
        !digits(t, 14, 2) || t[16] != ':' || !digits(t, 17, 2) || (t[19] != '+' && t[19] != '-') ||
        !digits(t, 20, 2) || t[22] != ':' || !digits(t, 23, 2)) {
        return false;
    }
    const int month = twoDigits(t, 5), day = twoDigits(t, 8);
    return month >= 1 && month <= 12 && day >= 1 && day <= 31 && twoDigits(t, 11) <= 23 &&
           twoDigits(t, 14) <= 59 && twoDigits(t, 17) <= 60 && twoDigits(t, 20) <= 14 &&
           twoDigits(t, 23) <= 59;
}

// Text the result files may carry, not too long.
const char *textFault(std::string_view t) {
    if (const char *why = text::fault(t)) return why;
    return text::chars(t) > kMaxFieldChars ? "поле слишком длинное" : nullptr;
}

// The same value, NaN as NaN: a row's numbers are the program's own arithmetic read back.
bool same(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || a == b;
}

class RowReader {
  public:
    RowReader(const Line &line, RecordRow &row) : line_(line), row_(row) {}

    // Empty when the row is what the program writes; else why not.
    std::string read() {
        const auto &f = line_.fields;
        for (std::size_t i = 0; i < f.size(); ++i) {
            if (const char *fault = textFault(f[i])) return std::string(kColumns[i]) + ": " + fault;
        }
        row_.line = line_.number;
        row_.time = f[0];
        if (!row_.time.empty() && !isoTime(row_.time)) return bad(0);
        const auto crate = whole(f[1], 65535), slot = whole(f[2], 65535),
                   position = whole(f[3], 65535);
        if (!crate) return bad(1);
        if (!slot) return bad(2);
        if (!position) return bad(3);
        row_.crate = *crate;
        row_.slot = *slot;
        row_.position = *position;
        row_.carrier = f[4];
        if (f[5] == "amplitude") {
            row_.kind = Kind::Amplitude;
        } else if (f[5] == "frequency") {
            row_.kind = Kind::Frequency;
        } else {
            return bad(5);
        }
        const auto nominal = number(f[6]), tolerance = number(f[7]);
        if (!nominal || !(*nominal > 0) || std::isinf(*nominal)) return bad(6);
        if (!tolerance || !(*tolerance > 0) || std::isinf(*tolerance)) return bad(7);
        row_.nominal = *nominal;
        row_.tolerancePercent = *tolerance;
        for (std::size_t c = 0; c < 2; ++c) {
            const std::string why = channel(8 + 5 * c, row_.channels[c]);
            if (!why.empty()) return why;
        }
        row_.mathlibVersion = f[18];
        row_.mathlibCrc = f[19];
        return f.size() == kAllColumns ? procedure(f[20], f[21]) : std::string();
    }

  private:
    std::string bad(std::size_t column) const {
        return std::string(kColumns[column]) + ": неверное значение \"" + line_.fields[column] +
               "\"";
    }

    std::string channel(std::size_t first, RecordedChannel &out) const {
        const auto &f = line_.fields;
        const auto reading = number(f[first]), abs = number(f[first + 1]),
                   rel = number(f[first + 2]);
        if (!reading) return bad(first);
        if (!abs) return bad(first + 1);
        if (!rel) return bad(first + 2);
        const double X = row_.nominal, v = *reading;
        if (!same(*abs, X - v))
            return std::string(kColumns[first + 1]) + ": не сходится с показанием";
        if (!same(*rel, (X - v) / X * 100))
            return std::string(kColumns[first + 2]) + ": не сходится с показанием";
        if (f[first + 3] != "норма" && f[first + 3] != "НЕ НОРМА") return bad(first + 3);
        out.pass = f[first + 3] == "норма";
        // A deviation exactly at the tolerance passes; one that is not a number does not.
        if (out.pass != (row_.tolerancePercent >= std::fabs(X - v) / X * 100))
            return std::string(kColumns[first + 3]) + ": не следует из погрешности и допуска";
        if (f[first + 4].empty()) return bad(first + 4);
        out.reading = v;
        out.absError = *abs;
        out.relErrorPercent = *rel;
        out.readBy = f[first + 4];
        return {};
    }

    std::string procedure(const std::string &kind, const std::string &point) const {
        if (kind == "single") {
            if (!point.empty()) return bad(21);
            return {};
        }
        if (kind != "full") return bad(20);
        const std::vector<double> list = fullPoints(row_.kind);
        const auto n = whole(point, static_cast<unsigned>(list.size()));
        if (!n || *n == 0) return bad(21);
        if (list[*n - 1] != row_.nominal) return "point: в полной поверке это не та точка";
        row_.fullPoint = static_cast<int>(*n);
        return {};
    }

    const Line &line_;
    RecordRow &row_;
};

}  // namespace

std::vector<double> fullPoints(Kind kind) {
    if (kind == Kind::Amplitude) return {10.0, 5.0, 0.01};
    return {25000.0, 10000.0, 1000.0, 1.0};
}

std::string RecordProblem::text() const {
    return line > 0 ? "строка " + std::to_string(line) + ": " + reason : reason;
}

bool parseRecord(std::string_view text, std::vector<RecordRow> &rows,
                 std::vector<RecordProblem> &problems) {
    rows.clear();
    problems.clear();
    if (text.size() > kMaxRecordBytes) {
        problems.push_back({0, "запись больше " + std::to_string(kMaxRecordBytes) + " байт"});
        return false;
    }
    Splitter splitter(text);
    Line line;
    if (!splitter.next(line)) {
        problems.push_back({0, "запись пуста"});
        return false;
    }
    std::size_t columns = 0;
    for (const std::size_t n : {kEarlierColumns, kAllColumns}) {
        if (line.fault.empty() && line.fields.size() == n &&
            std::equal(line.fields.begin(), line.fields.end(), kColumns)) {
            columns = n;
        }
    }
    if (columns == 0) {
        problems.push_back({line.number, "это не заголовок записи точек поверки"});
        return false;
    }
    std::size_t more = 0;
    while (splitter.next(line)) {
        std::string why = line.fault;
        RecordRow row;
        if (why.empty() && line.fields.size() != columns && line.fields.size() != kAllColumns) {
            why =
                "полей " + std::to_string(line.fields.size()) + ", а не " + std::to_string(columns);
        }
        if (why.empty()) why = RowReader(line, row).read();
        if (why.empty()) {
            rows.push_back(std::move(row));
        } else if (problems.size() < kMaxProblems) {
            problems.push_back({line.number, why});
        } else {
            ++more;
        }
    }
    if (more > 0) problems.push_back({0, "и ещё строк с ошибками: " + std::to_string(more)});
    return problems.empty();
}

}  // namespace trl4::result
