// The conclusion the program draws from the record: a mezzanine is fit when every point of
// its last full amplitude and its last full frequency verification is "норма".
#include <algorithm>

#include "text.h"
#include "trl4/result.h"

namespace trl4::result {

namespace {

Mezzanine mezzanineOf(const RecordRow &row) {
    return {row.crate, row.slot, row.position, row.carrier};
}

const char *kindName(Kind kind) {
    return kind == Kind::Amplitude ? "Амплитуда" : "Частота";
}

const char *unit(Kind kind) {
    return kind == Kind::Amplitude ? "В" : "Гц";
}

template <class F>
void eachRow(const MezzanineVerdict &v, F f) {
    for (const auto *run : {&v.amplitude, &v.frequency}) {
        if (!run->has_value()) continue;
        for (const RecordRow &row : (*run)->rows)
            f(row);
    }
}

}  // namespace

std::string instrumentKey(const std::string &carrier, unsigned position) {
    return carrier + " / " + std::to_string(position);
}

bool MezzanineVerdict::fit() const {
    if (!complete()) return false;
    bool fit = true;
    eachRow(*this, [&](const RecordRow &row) {
        for (const RecordedChannel &c : row.channels)
            fit = fit && c.pass;
    });
    return fit;
}

std::vector<std::string> MezzanineVerdict::reasons() const {
    std::vector<std::string> out;
    eachRow(*this, [&](const RecordRow &row) {
        for (std::size_t c = 0; c < row.channels.size(); ++c) {
            const RecordedChannel &ch = row.channels[c];
            if (ch.pass) continue;
            out.push_back(std::string(kindName(row.kind)) + " " +
                          text::protocolNumber(row.nominal) + " " + unit(row.kind) + ", канал " +
                          std::to_string(c + 1) + ": погрешность " +
                          text::protocolNumber(ch.relErrorPercent) + " % при допуске " +
                          text::protocolNumber(row.tolerancePercent) + " %");
        }
    });
    return out;
}

std::string MezzanineVerdict::incompleteness() const {
    if (!amplitude && !frequency)
        return "нет записанной целиком полной поверки амплитуды и частоты";
    if (!amplitude) return "нет записанной целиком полной поверки амплитуды";
    if (!frequency) return "нет записанной целиком полной поверки частоты";
    return {};
}

std::string MezzanineVerdict::date() const {
    const RecordRow *latest = nullptr;
    eachRow(*this, [&](const RecordRow &row) {
        if (latest == nullptr || row.line > latest->line) latest = &row;
    });
    return latest == nullptr || latest->time.empty() ? std::string() : latest->time.substr(0, 10);
}

std::vector<std::string> MezzanineVerdict::meters() const {
    std::vector<std::string> out;
    eachRow(*this, [&](const RecordRow &row) {
        for (const RecordedChannel &c : row.channels) {
            if (c.readBy != "typed" && std::find(out.begin(), out.end(), c.readBy) == out.end())
                out.push_back(c.readBy);
        }
    });
    return out;
}

bool MezzanineVerdict::typedReadings() const {
    bool typed = false;
    eachRow(*this, [&](const RecordRow &row) {
        for (const RecordedChannel &c : row.channels)
            typed = typed || c.readBy == "typed";
    });
    return typed;
}

std::vector<MezzanineVerdict> judgeRecord(const std::vector<RecordRow> &rows) {
    std::vector<MezzanineVerdict> out;
    // The run under way for each mezzanine: a full procedure's points are recorded one after
    // the other, so anything else between them ends it unfinished.
    std::vector<std::optional<FullRun>> underWay;
    for (const RecordRow &row : rows) {
        const Mezzanine m = mezzanineOf(row);
        auto at = std::find_if(out.begin(), out.end(),
                               [&](const MezzanineVerdict &v) { return v.mezzanine == m; });
        if (at == out.end()) {
            out.push_back(MezzanineVerdict{m, {}, {}});
            underWay.emplace_back();
            at = out.end() - 1;
        }
        std::optional<FullRun> &run = underWay[static_cast<std::size_t>(at - out.begin())];
        if (row.fullPoint == 1) {
            run = FullRun{row.kind, {row}};
        } else if (row.fullPoint > 1 && run && run->kind == row.kind &&
                   run->rows.size() == static_cast<std::size_t>(row.fullPoint - 1)) {
            run->rows.push_back(row);
        } else {
            run.reset();
            continue;
        }
        if (run->rows.size() == fullPoints(row.kind).size()) {
            (row.kind == Kind::Amplitude ? at->amplitude : at->frequency) = std::move(run);
            run.reset();
        }
    }
    return out;
}

}  // namespace trl4::result
