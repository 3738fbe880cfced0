#include "records.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace campaign {
namespace {

// The verdicts as the protocol file holds them (Windows-1251) and as the record does (UTF-8).
constexpr std::string_view kPass1251 = "\xED\xEE\xF0\xEC\xE0   ";
constexpr std::string_view kFail1251 = "\xCD\xC5 \xCD\xCE\xD0\xCC\xC0";
constexpr std::string_view kPassUtf8 = "норма";
constexpr std::string_view kFailUtf8 = "НЕ НОРМА";

bool same(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

std::optional<double> number(std::string_view text) {
    double v = 0;
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return {};
    return v;
}

std::string show(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

}  // namespace

std::string showOffers(const Point &p) {
    std::string out = p.kind == 0 ? "amplitude " : "frequency ";
    out += show(p.nominal) + (p.unattended ? " unattended" : " typed") + ", offered:";
    for (size_t c = 0; c < 2; ++c) {
        out += " ch" + std::to_string(c + 1) + " {";
        for (const Offer &o : p.offers[c]) {
            out += " " + show(o.value) + " by";
            for (const std::string &who : o.readBy)
                out += " '" + who + "'";
            out += ";";
        }
        out += " }";
    }
    return out;
}

namespace {

std::vector<std::string> lines(std::string_view bytes) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = bytes.find("\r\n", at);
        if (end == std::string_view::npos) end = bytes.size();
        out.emplace_back(bytes.substr(at, end - at));
        at = end + 2;
    }
    return out;
}

// The first line of a point record: a number, blanks, a number and "%".
bool pointHead(const std::string &line) {
    const size_t gap = line.find(' ');
    if (gap == std::string::npos || line.empty() || line.back() != '%') return false;
    const size_t second = line.find_first_not_of(' ', gap);
    if (second == std::string::npos) return false;
    return number(line.substr(0, gap)) &&
           number(std::string_view(line).substr(second, line.size() - 1 - second));
}

// A line of numbers alone that no point record accounts for.
bool strayNumbers(const std::string &line) {
    if (line.empty() || line.find_first_not_of('-') == std::string::npos) return false;
    return line.find_first_not_of("0123456789.+-eE %nainf") == std::string::npos;
}

std::vector<std::vector<std::string>> csvRows(std::string_view text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string cell;
    bool quoted = false, any = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        any = true;
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(std::move(cell));
            cell.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            row.push_back(std::move(cell));
            cell.clear();
            rows.push_back(std::move(row));
            row.clear();
            any = false;
            ++i;
        } else {
            cell += c;
        }
    }
    if (any) {
        row.push_back(std::move(cell));
        rows.push_back(std::move(row));
    }
    return rows;
}

bool offered(const Offer &o, double value, const std::string *readBy) {
    if (!same(o.value, value)) return false;
    if (readBy == nullptr) return true;
    for (const std::string &who : o.readBy) {
        if (who == *readBy) return true;
    }
    return false;
}

bool channelOffered(const Point &p, size_t c, double value, const std::string *readBy) {
    for (const Offer &o : p.offers[c]) {
        if (offered(o, value, readBy)) return true;
    }
    return false;
}

}  // namespace

double tolerance(int kind, double X) {
    if (kind == 0) return 0.004 * (10.0 / X - 1.0) + 0.02 + 0.0005 / X;
    if (X < 2.0) return 0.1;
    if (X < 20000.0) return 0.08;
    return 0.15;
}

bool passes(double X, double T, double v) {
    return T >= std::fabs(X - v) / X * 100;
}

std::array<std::string, 2> protocolPoint(double X, double T, double m1, double m2) {
    char first[128], second[256];
    std::snprintf(first, sizeof first, "%-13.6lg               %lg%%", X, T);
    const std::string v1(passes(X, T, m1) ? kPass1251 : kFail1251);
    const std::string v2(passes(X, T, m2) ? kPass1251 : kFail1251);
    std::snprintf(second, sizeof second,
                  "%-13.6lg %-13.6lg %-13.6lg %s     %-13.6lg %-13.6lg %-13.6lg %s", m1, X - m1,
                  (X - m1) / X * 100, v1.c_str(), m2, X - m2, (X - m2) / X * 100, v2.c_str());
    return {first, second};
}

namespace {

// Assigns entries to points in their order, as many as can be (a longest common subsequence):
// an entry no point allows then stands out instead of pushing the others off their points.
// Returns each entry's point, or -1.
std::vector<int> align(const std::vector<std::vector<char>> &fits, size_t points) {
    const size_t rows = fits.size();
    std::vector<std::vector<int>> best(rows + 1, std::vector<int>(points + 1, 0));
    for (size_t r = rows; r-- > 0;) {
        for (size_t p = points; p-- > 0;) {
            int b = std::max(best[r + 1][p], best[r][p + 1]);
            if (fits[r][p]) b = std::max(b, 1 + best[r + 1][p + 1]);
            best[r][p] = b;
        }
    }
    std::vector<int> out(rows, -1);
    size_t r = 0, p = 0;
    while (r < rows && p < points) {
        if (fits[r][p] && best[r][p] == 1 + best[r + 1][p + 1]) {
            out[r++] = static_cast<int>(p++);
        } else if (best[r][p] == best[r][p + 1]) {
            ++p;  // a point passed over costs nothing; an entry left out is a finding
        } else {
            ++r;
        }
    }
    return out;
}

// The points entry r of a file may be for: set up after the file was named and after the
// entry before it appeared (the one set up at once after that entry included, since an
// unattended procedure sets up its next point before the operator sees the entry), and
// before the entry itself appeared.
std::pair<size_t, size_t> window(const std::vector<size_t> &bounds, size_t r, size_t first,
                                 size_t points) {
    size_t low = first, last = points;
    if (r > 0 && r - 1 < bounds.size() && bounds[r - 1] > 0) low = std::max(low, bounds[r - 1] - 1);
    if (r < bounds.size()) last = std::min(bounds[r], points);
    return {low, std::max(low, last)};
}

// The points an unplaced entry lies between: from the one the last entry before it took to the
// one the next entry took (either may be the one it was written for).
std::pair<size_t, size_t> gap(const std::vector<int> &placed, size_t entry, size_t points) {
    size_t from = 0, to = points;
    for (size_t r = entry; r-- > 0;) {
        if (placed[r] >= 0) {
            from = static_cast<size_t>(placed[r]);
            break;
        }
    }
    for (size_t r = entry + 1; r < placed.size(); ++r) {
        if (placed[r] >= 0) {
            to = static_cast<size_t>(placed[r]) + 1;
            break;
        }
    }
    return {from, to};
}

}  // namespace

size_t protocolPoints(std::string_view bytes) {
    size_t n = 0;
    const std::vector<std::string> text = lines(bytes);
    for (size_t i = 0; i < text.size(); ++i) {
        if (pointHead(text[i])) ++n, ++i;
    }
    return n;
}

std::vector<Violation> checkProtocol(const std::vector<Point> &points, std::string_view bytes,
                                     const std::string &name, size_t first,
                                     const std::vector<size_t> &bounds) {
    std::vector<Violation> out;
    const std::vector<std::string> text = lines(bytes);
    std::vector<size_t> records;  // line index of each point record
    for (size_t i = 0; i < text.size(); ++i) {
        if (pointHead(text[i])) {
            records.push_back(i++);
        } else if (strayNumbers(text[i])) {
            out.push_back({"protocol holds only headers and point records",
                           name + " line " + std::to_string(i + 1) + ": '" + text[i] + "'"});
        }
    }
    const auto second = [&](size_t i) { return i + 1 < text.size() ? text[i + 1] : std::string(); };
    std::vector<std::vector<char>> fits(records.size(), std::vector<char>(points.size(), 0));
    for (size_t r = 0; r < records.size(); ++r) {
        const auto [low, last] = window(bounds, r, first, points.size());
        for (size_t j = low; j < last; ++j) {
            const Point &p = points[j];
            if (p.calibration) continue;
            const double T = tolerance(p.kind, p.nominal);
            if (protocolPoint(p.nominal, T, 0, 0)[0] != text[records[r]]) continue;
            for (const Offer &a : p.offers[0]) {
                for (const Offer &b : p.offers[1]) {
                    if (protocolPoint(p.nominal, T, a.value, b.value)[1] == second(records[r]))
                        fits[r][j] = 1;
                }
            }
        }
    }
    const std::vector<int> placed = align(fits, points.size());
    for (size_t r = 0; r < records.size(); ++r) {
        if (placed[r] >= 0) continue;
        const size_t i = records[r];
        auto [from, to] = gap(placed, r, points.size());
        const auto [low, last] = window(bounds, r, first, points.size());
        from = std::max(from, low);
        to = std::min(to, last);
        std::string candidates;
        int shown = 0;
        for (size_t j = from; j < to; ++j) {
            if (!points[j].calibration &&
                protocolPoint(points[j].nominal, tolerance(points[j].kind, points[j].nominal), 0,
                              0)[0] == text[i] &&
                ++shown <= 3)
                candidates +=
                    "point " + std::to_string(j + 1) + ": " + showOffers(points[j]) + "; ";
        }
        out.push_back(
            {"protocol point holds readings typed or measured for it, judged by "
             "the formulas",
             name + " line " + std::to_string(i + 1) + ": '" + text[i] + "' / '" + second(i) +
                 "'; " + (shown > 0 ? candidates : "no such point was offered")});
    }
    return out;
}

std::vector<Violation> checkRecord(const std::vector<Point> &points, std::string_view text,
                                   const std::string &name, size_t first,
                                   const std::vector<size_t> &bounds) {
    std::vector<Violation> out;
    const auto rows = csvRows(text);
    if (rows.empty()) return out;
    std::map<std::string, size_t> column;
    for (size_t i = 0; i < rows[0].size(); ++i)
        column[rows[0][i]] = i;
    const char *needed[] = {"kind", "nominal", "tolerance_percent"};
    for (const char *n : needed) {
        if (!column.count(n)) {
            out.push_back({"record has its columns", name + ": no column " + n});
            return out;
        }
    }
    struct Row {
        size_t number;
        int kind;
        double nominal;
        double v[2];
        std::string by[2];
    };
    std::vector<Row> parsed;
    for (size_t r = 1; r < rows.size(); ++r) {
        const auto &row = rows[r];
        const std::string where = name + " row " + std::to_string(r);
        const auto cell = [&](const std::string &col) -> std::string {
            const auto it = column.find(col);
            return it != column.end() && it->second < row.size() ? row[it->second] : std::string();
        };
        const int kind = cell("kind") == "amplitude" ? 0 : cell("kind") == "frequency" ? 1 : -1;
        const auto X = number(cell("nominal"));
        const auto T = number(cell("tolerance_percent"));
        if (kind < 0 || !X || !T) {
            out.push_back({"record rows are complete", where + ": kind, nominal or tolerance"});
            continue;
        }
        if (!same(*T, tolerance(kind, *X)))
            out.push_back({"record tolerance is the formula's",
                           where + ": " + cell("tolerance_percent") + " for " + cell("nominal")});
        Row entry{r, kind, *X, {0, 0}, {}};
        bool complete = true;
        for (int c = 0; c < 2; ++c) {
            const std::string n = std::to_string(c + 1);
            const auto reading = number(cell("reading_" + n));
            const auto abs = number(cell("abs_error_" + n));
            const auto rel = number(cell("rel_error_percent_" + n));
            if (!reading || !abs || !rel) {
                complete = false;
                out.push_back({"record rows are complete", where + ": channel " + n});
                continue;
            }
            entry.v[c] = *reading;
            entry.by[c] = cell("read_by_" + n);
            if (!same(*abs, *X - *reading) || !same(*rel, (*X - *reading) / *X * 100))
                out.push_back({"record errors are the formula's",
                               where + " channel " + n + ": " + cell("abs_error_" + n) + ", " +
                                   cell("rel_error_percent_" + n) + " for reading " +
                                   cell("reading_" + n)});
            const std::string_view verdict = passes(*X, *T, *reading) ? kPassUtf8 : kFailUtf8;
            if (cell("verdict_" + n) != verdict)
                out.push_back({"record verdict is the formula's",
                               where + " channel " + n + ": '" + cell("verdict_" + n) +
                                   "' for reading " + cell("reading_" + n) + ", nominal " +
                                   cell("nominal")});
        }
        if (complete) parsed.push_back(entry);
    }
    const auto fitsPoint = [&](const Row &row, const Point &p, bool readBy) {
        return !p.calibration && p.kind == row.kind && same(p.nominal, row.nominal) &&
               channelOffered(p, 0, row.v[0], readBy ? &row.by[0] : nullptr) &&
               channelOffered(p, 1, row.v[1], readBy ? &row.by[1] : nullptr);
    };
    std::vector<std::vector<char>> fits(parsed.size(), std::vector<char>(points.size(), 0));
    for (size_t r = 0; r < parsed.size(); ++r) {
        const auto [low, last] = window(bounds, r, first, points.size());
        for (size_t j = low; j < last; ++j)
            fits[r][j] = fitsPoint(parsed[r], points[j], true) ? 1 : 0;
    }
    const std::vector<int> placed = align(fits, points.size());
    for (size_t r = 0; r < parsed.size(); ++r) {
        if (placed[r] >= 0) continue;
        const Row &row = parsed[r];
        auto [from, to] = gap(placed, r, points.size());
        const auto [low, last] = window(bounds, r, first, points.size());
        from = std::max(from, low);
        to = std::min(to, last);
        const Point *valuesOnly = nullptr;
        const Point *taken = nullptr;  // a point it fits that another entry was placed on
        std::string candidates;
        int shown = 0;
        for (size_t j = from; j < to; ++j) {
            const Point &p = points[j];
            if (p.calibration || p.kind != row.kind || !same(p.nominal, row.nominal)) continue;
            if (fitsPoint(row, p, true)) taken = &p;
            if (!valuesOnly && fitsPoint(row, p, false)) valuesOnly = &p;
            if (++shown <= 3)
                candidates += "point " + std::to_string(j + 1) + ": " + showOffers(p) + "; ";
        }
        const std::string got = name + " row " + std::to_string(row.number) + ": readings " +
                                show(row.v[0]) + " by '" + row.by[0] + "', " + show(row.v[1]) +
                                " by '" + row.by[1] + "'; ";
        if (taken) {
            out.push_back({"record holds each accepted point once",
                           got + "it fits only a point another row took: " + showOffers(*taken)});
        } else if (valuesOnly) {
            out.push_back({"record credits each channel's reading to whoever gave it",
                           got + showOffers(*valuesOnly)});
        } else {
            out.push_back({"record point holds readings typed or measured for it",
                           got + (shown > 0 ? candidates : "no such point was offered")});
        }
    }
    return out;
}

bool GrowthWatch::observe(const std::string &name, const std::string &bytes, Violation &out) {
    std::string &before = seen_[name];
    size_t differs = 0;
    while (differs < before.size() && differs < bytes.size() && before[differs] == bytes[differs])
        ++differs;
    const bool grown = differs == before.size();
    if (!grown) {
        out = {"protocol and record only grow", name + ": byte " + std::to_string(differs) +
                                                    " of the " + std::to_string(before.size()) +
                                                    " written earlier changed (now " +
                                                    std::to_string(bytes.size()) + " bytes)"};
    }
    before = bytes;
    return grown;
}

std::string describe(const Block &block) {
    std::string out = "[";
    for (size_t i = 0; i < block.size(); ++i)
        out += (i ? ", " : "") + show(block[i]);
    return out + "]";
}

void EepromWatch::add(const std::string &mezzanine, const Block &initial,
                      std::array<double, 2> offsets) {
    Mezzanine &m = mezzanines_[mezzanine];
    m.allowed.push_back(initial);
    m.offsets = offsets;
}

bool EepromWatch::elementAllowed(const Mezzanine &m, const std::string &name, size_t i, double v,
                                 const std::vector<Point> &points) const {
    for (const Block &b : m.allowed) {
        if (same(b[i], v)) return true;
    }
    if (i != 1 && i != 2 && i != 5) return false;
    const int kind = i == 5 ? 1 : 0;
    const size_t channel = i == 2 ? 1 : 0;
    // What element i can become, point after point. A calibration computes from the driver's
    // record, which may hold an earlier calibration's result that never reached the EEPROM (its
    // write failed after the record took it): so chains of calibrations count, in their order,
    // up to a few steps long.
    constexpr int kLongestChain = 3;
    constexpr size_t kMostValues = 50000;
    struct Reached {
        double value;
        int steps;
    };
    std::vector<Reached> reached;
    for (const Block &b : m.allowed)
        reached.push_back({b[i], 0});
    const auto matches = [&](const Reached &r) {
        // The driver's reference is 1000 Hz to within its tuning word's step, at each step.
        const double tolerance = kind == 0 ? 1e-12 : 1e-7 * r.steps;
        return std::fabs(r.value - v) <= tolerance * std::fabs(r.value);
    };
    for (const Point &p : points) {
        if (!p.calibration || p.kind != kind || p.mezzanine != name) continue;
        const size_t before = reached.size();
        for (const Offer &o : p.offers[channel]) {
            const double meas = o.value;
            const bool inWindow =
                kind == 0 ? meas >= 8.0 && meas <= 12.0 : meas >= 900.0 && meas <= 1100.0;
            if (!inWindow) continue;
            for (size_t k = 0; k < before; ++k) {
                const Reached from = reached[k];
                // A calibration straight from a block of its own is always taken; only the
                // chains are bounded, so a long session never loses its later points.
                if (from.steps >= kLongestChain) continue;
                if (from.steps > 0 && reached.size() >= kMostValues) continue;
                if (kind == 1) {
                    reached.push_back({from.value * meas / 1000.0, from.steps + 1});
                    continue;
                }
                for (const double z : {0.0, m.offsets[channel]})
                    reached.push_back({(from.value * (10.0 - z)) / (meas - z), from.steps + 1});
            }
        }
    }
    for (const Reached &r : reached) {
        if (r.steps > 0 && matches(r)) return true;
    }
    return false;
}

bool EepromWatch::observe(const std::string &mezzanine, const Block &block,
                          const std::vector<Point> &points, Violation &out) {
    Mezzanine &m = mezzanines_[mezzanine];
    for (const Block &b : m.allowed) {
        bool equal = true;
        for (size_t i = 0; i < b.size(); ++i)
            equal = equal && same(b[i], block[i]);
        if (equal) return true;
    }
    for (size_t i = 0; i < block.size(); ++i) {
        if (!elementAllowed(m, mezzanine, i, block[i], points)) {
            std::string known;
            for (const Block &b : m.allowed)
                known += " " + describe(b);
            out = {"EEPROM holds only its own, default or calibrated coefficients",
                   mezzanine + " holds " + describe(block) + ": element " + std::to_string(i) +
                       " comes from none of its own blocks" + known +
                       " nor from a calibration of it"};
            return false;
        }
    }
    m.allowed.push_back(block);
    return true;
}

}  // namespace campaign
