// The printed protocol: one self-contained page in Russian for A4 (print CSS, inline SVG, no
// script, nothing fetched), each mezzanine from a new sheet. Its numbers are written as the
// protocol file writes them, so the two can be compared text for text.
#include <algorithm>
#include <charconv>
#include <cmath>

#include "text.h"
#include "trl4/result.h"

namespace trl4::result {

namespace {

using text::escaped;
using text::protocolNumber;

constexpr const char *kStyle = R"(
@page { size: A4; margin: 14mm 12mm 14mm 16mm; }
* { box-sizing: border-box; }
body { margin: 0; font-family: "Liberation Sans", Arial, sans-serif; font-size: 9.5pt;
       color: #000; background: #fff; }
.sheet { width: 182mm; margin: 0 auto; }
.sheet + .sheet { break-before: page; }
h1 { font-size: 13pt; text-align: center; margin: 0 0 1mm; }
.subtitle { text-align: center; margin: 0 0 4mm; }
h2 { font-size: 10.5pt; margin: 3mm 0 1.2mm; }
h3 { font-size: 10pt; margin: 0 0 1mm; }
table { border-collapse: collapse; width: 100%; }
th, td { border: 0.4pt solid #000; padding: 0.8mm 1.5mm; vertical-align: top;
         overflow-wrap: anywhere; }
th { background: #eee; font-weight: bold; text-align: center; }
table.facts th { width: 40%; text-align: left; background: none; font-weight: normal; }
.pair { display: grid; grid-template-columns: 1fr 1fr; column-gap: 5mm; }
td.n { text-align: right; font-family: "Liberation Mono", "Courier New", monospace;
       white-space: nowrap; }
td.fail { font-weight: bold; }
.block { break-inside: avoid; margin: 0 0 2.5mm; }
svg { display: block; width: 100%; height: auto; margin-top: 1mm; }
.conclusion { font-size: 11pt; margin: 2mm 0; }
.signatures { break-inside: avoid; margin-top: 8mm; }
.signatures td { border: none; padding: 4mm 0 0; }
.line { display: inline-block; width: 55mm; border-bottom: 0.4pt solid #000; }
.small { font-size: 8pt; }
)";

const char *unit(Kind kind) {
    return kind == Kind::Amplitude ? "В" : "Гц";
}

// YYYY-MM-DD as a Russian reader writes it.
std::string russianDate(const std::string &iso) {
    if (iso.size() != 10) return iso;
    return iso.substr(8, 2) + "." + iso.substr(5, 2) + "." + iso.substr(0, 4);
}

// A coordinate of the chart: one decimal, whatever the locale.
std::string coord(double v) {
    char out[32];
    const auto r =
        std::to_chars(out, out + sizeof out, std::round(v * 10) / 10, std::chars_format::fixed);
    return std::string(out, r.ptr);
}

class Page {
  public:
    Page(const Entries &entries, std::string &out) : entries_(entries), out_(out) {}

    void sheet(const MezzanineVerdict &v, const std::string &protocolName) {
        const InstrumentEntries &in =
            entries_.instruments.at(instrumentKey(v.mezzanine.carrier, v.mezzanine.position));
        const LabEntries &lab = entries_.lab;
        const VerificationEntries &now = entries_.verification;
        out_ +=
            "<section class=\"sheet\">\n<h1>ПРОТОКОЛ ПОВЕРКИ</h1>\n<p class=\"subtitle\">"
            "генератора произвольных форм ТРЛ4 (мезонин), заводской № " +
            escaped(in.serialNumber) + "</p>\n";

        out_ += "<div class=\"pair\">\n<div>\n<h2>Поверка</h2>\n<table class=\"facts\">\n";
        fact("Организация", lab.name);
        fact("Шифр знака поверки", lab.cipher);
        fact("Поверитель", lab.verifier);
        fact("Методика поверки", lab.procedureTitle);
        fact("Вид поверки", now.type == 1 ? "первичная" : "периодическая");
        fact("Дата поверки", russianDate(v.date()));
        fact("Файл протокола", protocolName);
        out_ += "</table>\n</div>\n";

        out_ += "<div>\n<h2>Средство измерений</h2>\n<table class=\"facts\">\n";
        fact("Наименование", "Генератор произвольных форм ТРЛ4 (мезонин)");
        fact("Номер типа в реестре", in.typeNumber);
        fact("Модификация", in.modification);
        fact("Заводской номер", in.serialNumber);
        fact("Год выпуска", in.manufactureYear);
        fact("Владелец", in.owner);
        fact("Носитель", v.mezzanine.carrier);
        fact("Крейт, слот, позиция", std::to_string(v.mezzanine.crate) + ", " +
                                         std::to_string(v.mezzanine.slot) + ", " +
                                         std::to_string(v.mezzanine.position));
        out_ += "</table>\n</div>\n</div>\n";

        out_ += "<div class=\"pair\">\n<div>\n<h2>Условия поверки</h2>\n<table class=\"facts\">\n";
        fact("Температура", now.temperature);
        fact("Давление", now.pressure);
        fact("Влажность", now.humidity);
        out_ += "</table>\n</div>\n<div>\n";
        software(v);
        out_ += "</div>\n</div>\n";
        means(v);

        out_ += "<h2>Результаты</h2>\n";
        for (const auto *run : {&v.amplitude, &v.frequency}) {
            for (std::size_t channel = 0; channel < 2; ++channel)
                results(**run, channel);
        }

        conclusion(v, in);
        out_ += "</section>\n";
    }

  private:
    void fact(const std::string &label, const std::string &value) {
        if (text::blank(value)) return;
        out_ += "<tr><th>" + escaped(label) + "</th><td>" + escaped(value) + "</td></tr>\n";
    }

    static std::string meanText(const MeanEntries &m) {
        if (!text::blank(m.standardNumber))
            return "эталон, регистрационный номер " + m.standardNumber;
        return "номер типа в реестре " + m.typeNumber + ", заводской номер " + m.serialNumber;
    }

    void means(const MezzanineVerdict &v) {
        out_ += "<h2>Средства поверки</h2>\n<table class=\"facts\">\n";
        for (const std::string &meter : v.meters())
            fact(meter, meanText(entries_.meters.at(meter)));
        if (v.typedReadings()) {
            for (const MeanEntries &m : entries_.verification.typedMeans)
                fact("Показания введены вручную", meanText(m));
        }
        out_ += "</table>\n";
    }

    void software(const MezzanineVerdict &v) {
        // The library as it was checked when each point was recorded.
        std::vector<std::string> seen;
        for (const auto *run : {&v.amplitude, &v.frequency}) {
            for (const RecordRow &row : (*run)->rows) {
                const std::string text = row.mathlibVersion.empty() && row.mathlibCrc.empty()
                                             ? std::string("не найдена при запуске программы")
                                             : "версия " + row.mathlibVersion +
                                                   ", контрольная сумма (CRC32) " + row.mathlibCrc;
                if (std::find(seen.begin(), seen.end(), text) == seen.end()) seen.push_back(text);
            }
        }
        out_ +=
            "<h2>Метрологически значимое программное обеспечение</h2>\n"
            "<table class=\"facts\">\n";
        for (const std::string &s : seen)
            fact("Библиотека ksptrl4_math", s);
        out_ += "</table>\n";
    }

    void results(const FullRun &run, std::size_t channel) {
        const char *u = unit(run.kind);
        out_ += "<div class=\"block\">\n<h3>";
        out_ += run.kind == Kind::Amplitude ? "Амплитуда" : "Частота";
        out_ += ", канал " + std::to_string(channel + 1) + "</h3>\n<table>\n<tr><th>Номинал, ";
        out_ += u;
        out_ += "</th><th>Измерено, ";
        out_ += u;
        out_ += "</th><th>Погрешность абс., ";
        out_ += u;
        out_ += "</th><th>Погрешность отн., %</th><th>Допуск, ±%</th><th>Результат</th></tr>\n";
        for (const RecordRow &row : run.rows) {
            const RecordedChannel &c = row.channels[channel];
            out_ += "<tr><td class=\"n\">" + protocolNumber(row.nominal) + "</td><td class=\"n\">" +
                    protocolNumber(c.reading) + "</td><td class=\"n\">" +
                    protocolNumber(c.absError) + "</td><td class=\"n\">" +
                    protocolNumber(c.relErrorPercent) + "</td><td class=\"n\">" +
                    protocolNumber(row.tolerancePercent) + "</td><td" +
                    (c.pass ? ">норма" : " class=\"fail\">НЕ НОРМА") + "</td></tr>\n";
        }
        out_ += "</table>\n";
        chart(run, channel);
        out_ += "</div>\n";
    }

    // Each point's relative error against its own tolerance band: every band is drawn the
    // same height, so the margin left at each point reads at a glance whatever its tolerance.
    void chart(const FullRun &run, std::size_t channel) {
        constexpr double kWidth = 680, kLeft = 90, kMid = 48, kBand = 24;
        const double column = (kWidth - kLeft) / static_cast<double>(run.rows.size());
        out_ +=
            "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 680 110\" "
            "font-family=\"Liberation Sans, Arial, sans-serif\" font-size=\"10\" role=\"img\">\n"
            "<title>Относительная погрешность в полосе допуска</title>\n";
        out_ += "<text x=\"4\" y=\"" + coord(kMid - kBand + 4) + "\">+допуск</text>\n";
        out_ += "<text x=\"4\" y=\"" + coord(kMid + 4) + "\">0</text>\n";
        out_ += "<text x=\"4\" y=\"" + coord(kMid + kBand + 4) + "\">−допуск</text>\n";
        out_ += "<text x=\"4\" y=\"105\">номинал, допуск</text>\n";
        out_ += "<line x1=\"" + coord(kLeft) + "\" y1=\"" + coord(kMid) + "\" x2=\"" +
                coord(kWidth - 4) + "\" y2=\"" + coord(kMid) +
                "\" stroke=\"#000\" stroke-width=\"0.6\" stroke-dasharray=\"3 2\"/>\n";
        for (std::size_t i = 0; i < run.rows.size(); ++i) {
            const RecordRow &row = run.rows[i];
            const RecordedChannel &c = row.channels[channel];
            const double x = kLeft + column * (static_cast<double>(i) + 0.5);
            out_ += "<rect x=\"" + coord(x - 22) + "\" y=\"" + coord(kMid - kBand) +
                    "\" width=\"44\" height=\"" + coord(2 * kBand) +
                    "\" fill=\"#dfe9f5\" stroke=\"#3a5f8a\" stroke-width=\"0.8\"/>\n";
            // Positive errors upwards; beyond twice the tolerance the mark stays at the edge.
            const double ratio = c.relErrorPercent / row.tolerancePercent;
            const bool shown = std::isfinite(ratio);
            const double clipped = shown ? std::clamp(ratio, -1.8, 1.8) : 1.8;
            const double y = kMid - clipped * kBand;
            if (c.pass) {
                out_ += "<circle cx=\"" + coord(x) + "\" cy=\"" + coord(y) +
                        "\" r=\"3.5\" fill=\"#1b7a2e\"/>\n";
            } else {
                out_ += "<path d=\"M" + coord(x - 4) + " " + coord(y - 4) + "L" + coord(x + 4) +
                        " " + coord(y + 4) + "M" + coord(x - 4) + " " + coord(y + 4) + "L" +
                        coord(x + 4) + " " + coord(y - 4) +
                        "\" stroke=\"#c00000\" stroke-width=\"2\"/>\n";
            }
            out_ += "<text x=\"" + coord(x + 26) + "\" y=\"" + coord(y + 3.5) + "\">" +
                    (shown ? protocolNumber(c.relErrorPercent) + " %" : std::string("?")) +
                    "</text>\n";
            out_ += "<text x=\"" + coord(x) + "\" y=\"105\" text-anchor=\"middle\">" +
                    protocolNumber(row.nominal) + " " + unit(run.kind) + ", ±" +
                    protocolNumber(row.tolerancePercent) + " %</text>\n";
        }
        out_ += "</svg>\n";
    }

    void conclusion(const MezzanineVerdict &v, const InstrumentEntries &in) {
        const LabEntries &lab = entries_.lab;
        out_ += "<h2>Заключение</h2>\n";
        if (v.fit()) {
            int months = 0;
            std::from_chars(lab.intervalMonths.data(),
                            lab.intervalMonths.data() + lab.intervalMonths.size(), months);
            out_ +=
                "<p class=\"conclusion\">Средство измерений <b>пригодно</b> к применению.</p>\n"
                "<table class=\"facts\">\n";
            fact("Действительно до", russianDate(validUntil(v.date(), months)));
            fact("Номер наклейки", in.stickerNumber);
            fact("Знак поверки в паспорте",
                 entries_.verification.signPassport ? "нанесён" : "не нанесён");
            fact("Знак поверки на средстве измерений",
                 entries_.verification.signInstrument ? "нанесён" : "не нанесён");
            out_ += "</table>\n";
        } else {
            out_ +=
                "<p class=\"conclusion\">Средство измерений <b>непригодно</b> к "
                "применению.</p>\n<p>Причины:</p>\n<ul>\n";
            for (const std::string &r : v.reasons())
                out_ += "<li>" + escaped(r) + "</li>\n";
            out_ += "</ul>\n";
        }
        out_ +=
            "<table class=\"signatures\">\n<tr><td>Поверитель</td><td><span class=\"line\">"
            "</span></td><td>" +
            escaped(lab.verifier) + "</td></tr>\n<tr><td>Дата поверки</td><td colspan=\"2\">" +
            russianDate(v.date()) + "</td></tr>\n<tr><td>Дата протокола</td><td colspan=\"2\">" +
            russianDate(entries_.printedOn) + "</td></tr>\n</table>\n";
    }

    const Entries &entries_;
    std::string &out_;
};

}  // namespace

std::string printedProtocol(const Entries &entries, const std::vector<MezzanineVerdict> &verdicts,
                            const std::string &protocolName) {
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>Протокол поверки — " +
        escaped(protocolName) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
    Page page(entries, out);
    for (const MezzanineVerdict &v : verdicts)
        if (v.complete()) page.sheet(v, protocolName);
    out += "</body>\n</html>\n";
    return out;
}

}  // namespace trl4::result
