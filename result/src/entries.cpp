// What the lab supplies, checked against the registry's rules before anything is written:
// each missing or malformed entry is named as the dialog names it.
#include <algorithm>
#include <charconv>

#include "text.h"
#include "trl4/result.h"
#include "trl4/utf8.h"

namespace trl4::result {

namespace {

class Checker {
  public:
    explicit Checker(std::vector<std::string> &problems) : problems_(problems) {}

    // A text of 1..most characters; optional ones may be left empty.
    bool text(const std::string &label, const std::string &value, std::size_t most,
              bool required = true) {
        if (text::blank(value)) {
            if (required) add(label, "не заполнено");
            return !required && value.empty();
        }
        if (const char *why = text::fault(value)) return add(label, why);
        if (text::chars(value) > most)
            return add(label, "длиннее " + std::to_string(most) + " символов");
        return true;
    }

    bool pattern(const std::string &label, const std::string &value,
                 bool (*matches)(const std::string &), const char *rule) {
        if (value.empty()) return add(label, "не заполнено");
        return matches(value) || add(label, rule);
    }

    bool add(const std::string &label, const std::string &why) {
        problems_.push_back(label + ": " + why);
        return false;
    }

  private:
    std::vector<std::string> &problems_;
};

bool cipher(const std::string &value) {
    if (!utf8::valid(value)) return false;
    std::size_t n = 0;
    for (std::size_t i = 0; i < value.size(); i += utf8::sequenceLength(value, i), ++n) {
        const char32_t c = utf8::firstCodePoint(std::string_view(value).substr(i));
        if (c < U'А' || c > U'Я') return false;
    }
    return n >= 1 && n <= 3;
}

bool allDigits(const std::string &value, std::size_t count) {
    if (value.size() != count) return false;
    for (const char c : value)
        if (c < '0' || c > '9') return false;
    return true;
}

bool sticker(const std::string &value) {
    return allDigits(value, 11);
}

bool year(const std::string &value) {
    return allDigits(value, 4) && value >= "1900";
}

bool months(const std::string &value) {
    int n = 0;
    const auto r = std::from_chars(value.data(), value.data() + value.size(), n);
    return r.ec == std::errc() && r.ptr == value.data() + value.size() && n >= 1 && n <= 600 &&
           value[0] != '0';
}

bool isoDate(const std::string &value, int &y, int &m, int &d) {
    if (value.size() != 10 || value[4] != '-' || value[7] != '-') return false;
    const auto part = [&](std::size_t at, std::size_t n, int &out) {
        const auto r = std::from_chars(value.data() + at, value.data() + at + n, out);
        return r.ec == std::errc() && r.ptr == value.data() + at + n;
    };
    return part(0, 4, y) && part(5, 2, m) && part(8, 2, d) && m >= 1 && m <= 12 && d >= 1 &&
           d <= 31;
}

int daysIn(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
}

void checkMean(Checker &check, const std::string &who, const MeanEntries &mean) {
    const bool standard = !text::blank(mean.standardNumber);
    const bool instrument = !text::blank(mean.typeNumber) || !text::blank(mean.serialNumber);
    if (standard && instrument) {
        check.add(who, "либо номер типа и заводской номер, либо номер эталона, не то и другое");
    } else if (standard) {
        check.text(who + ", регистрационный номер эталона", mean.standardNumber, 32);
    } else if (instrument) {
        check.text(who + ", номер типа в реестре", mean.typeNumber, 32);
        check.text(who + ", заводской номер", mean.serialNumber, 128);
    } else {
        check.add(who, "нужны номер типа в реестре и заводской номер или номер эталона");
    }
}

}  // namespace

std::vector<std::string> checkEntries(const Entries &entries,
                                      const std::vector<MezzanineVerdict> &verdicts) {
    std::vector<std::string> problems;
    Checker check(problems);
    bool any = false, typed = false, fit = false;
    for (const MezzanineVerdict &v : verdicts) {
        if (!v.complete()) continue;
        any = true;
        typed = typed || v.typedReadings();
        fit = fit || v.fit();
    }
    if (!any) {
        check.add("Результат поверки", "в записи нет мезонина с обеими полными поверками");
        return problems;
    }
    const LabEntries &lab = entries.lab;
    check.text("Организация", lab.name, 512, false);
    check.pattern("Шифр знака поверки", lab.cipher, cipher, "от 1 до 3 заглавных русских букв");
    check.text("Поверитель", lab.verifier, 128);
    check.text("Методика поверки", lab.procedureTitle, 128);
    if (fit) {
        check.pattern("Межповерочный интервал", lab.intervalMonths, months,
                      "целое число месяцев от 1 до 600");
    }

    for (const MezzanineVerdict &v : verdicts) {
        if (!v.complete()) continue;
        const std::string who =
            "Мезонин " + v.mezzanine.carrier + " поз. " + std::to_string(v.mezzanine.position);
        if (v.date().empty()) check.add(who, "в записи нет даты поверки");
        const auto at =
            entries.instruments.find(instrumentKey(v.mezzanine.carrier, v.mezzanine.position));
        const InstrumentEntries none;
        const InstrumentEntries &in = at == entries.instruments.end() ? none : at->second;
        check.text(who + ", номер типа в реестре", in.typeNumber, 32);
        check.text(who + ", модификация", in.modification, 128);
        check.text(who + ", заводской номер", in.serialNumber, 128);
        if (!in.manufactureYear.empty())
            check.pattern(who + ", год выпуска", in.manufactureYear, year, "четыре цифры");
        check.text(who + ", владелец", in.owner, 512, false);
        if (v.fit()) check.pattern(who + ", номер наклейки", in.stickerNumber, sticker, "11 цифр");
        for (const std::string &meter : v.meters()) {
            const auto m = entries.meters.find(meter);
            checkMean(check, "Прибор " + meter,
                      m == entries.meters.end() ? MeanEntries{} : m->second);
        }
    }

    const VerificationEntries &now = entries.verification;
    check.text("Температура", now.temperature, 128);
    check.text("Давление", now.pressure, 128);
    check.text("Влажность", now.humidity, 128);
    if (now.type != 1 && now.type != 2) check.add("Вид поверки", "не выбран");
    if (typed) {
        if (now.typedMeans.empty())
            check.add("Средства поверки", "часть показаний введена вручную: укажите приборы");
        for (std::size_t i = 0; i < now.typedMeans.size(); ++i)
            checkMean(check, "Средство поверки " + std::to_string(i + 1), now.typedMeans[i]);
    }
    int y = 0, m = 0, d = 0;
    if (!isoDate(entries.printedOn, y, m, d)) check.add("Дата протокола", "не ГГГГ-ММ-ДД");
    return problems;
}

std::string validUntil(const std::string &date, int months) {
    int y = 0, m = 0, d = 0;
    if (!isoDate(date, y, m, d) || months < 1) return {};
    // The day before the same date after the interval; where that month is shorter, its
    // last day.
    const int total = (m - 1) + months;
    y += total / 12;
    m = total % 12 + 1;
    if (d > daysIn(y, m)) {
        d = daysIn(y, m);
    } else if (--d == 0) {
        if (--m == 0) {
            m = 12;
            --y;
        }
        d = daysIn(y, m);
    }
    char out[16];
    const auto put = [&](char *at, int value, int width) {
        for (int i = width - 1; i >= 0; --i, value /= 10)
            at[i] = static_cast<char>('0' + value % 10);
    };
    put(out, y, 4);
    out[4] = '-';
    put(out + 5, m, 2);
    out[7] = '-';
    put(out + 8, d, 2);
    return std::string(out, 10);
}

}  // namespace trl4::result
