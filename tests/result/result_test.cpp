// The result a lab hands in: the record read back and every malformed line refused, the
// conclusion drawn from the last whole full verifications, the lab's entries checked, and the
// registry's XML and the printed page written. The files are left in "exports" for the
// schema check and the print check that follow.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "../support/scratch.h"
#include "trl4/result.h"
#include "trl4/result_settings.h"

namespace {

using namespace trl4::result;

const std::string kHeader =
    "time,crate,slot,position,carrier,kind,nominal,tolerance_percent,"
    "reading_1,abs_error_1,rel_error_percent_1,verdict_1,read_by_1,"
    "reading_2,abs_error_2,rel_error_percent_2,verdict_2,read_by_2,"
    "mathlib_version,mathlib_crc32,procedure,point\r\n";
const std::string kEarlierHeader = kHeader.substr(0, kHeader.find(",procedure")) + "\r\n";

constexpr const char *kVoltmeter = "ZELKORTECH,VK-54,VK5400123,2.1";
constexpr const char *kCounter = "ZELKORTECH,CH-31,CH310042,1.4";

std::string shortest(double v) {
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, v);
    return std::string(text, r.ptr);
}

std::string quoted(const std::string &field) {
    if (field.find_first_of(",\"") == std::string::npos) return field;
    std::string out = "\"";
    for (const char c : field)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// A row as the program writes it for these readings.
struct Mez {
    unsigned position = 1;
    std::string carrier = "Н.М. №0241";
};
std::string row(const Mez &m, Kind kind, double X, double T, double m1, double m2, int point,
                const std::string &by = "", const char *time = "2026-12-07T10:15:00+03:00") {
    std::string out = std::string(time) + ",24,3," + std::to_string(m.position) + "," +
                      quoted(m.carrier) + "," +
                      (kind == Kind::Amplitude ? "amplitude" : "frequency") + "," + shortest(X) +
                      "," + shortest(T);
    const std::string who =
        by.empty() ? std::string(kind == Kind::Amplitude ? kVoltmeter : kCounter) : by;
    for (const double v : {m1, m2}) {
        out += "," + shortest(v) + "," + shortest(X - v) + "," + shortest((X - v) / X * 100) + "," +
               (T >= std::fabs(X - v) / X * 100 ? "норма" : "НЕ НОРМА") + "," + quoted(who);
    }
    out += ",1.0,5D2C01A7,";
    out += point > 0 ? "full," + std::to_string(point) : std::string("single,");
    return out + "\r\n";
}

// A full amplitude verification; `off` moves channel 2's reading at 10 V.
std::string amplitudeRun(const Mez &m, double off = 0, const std::string &by = "") {
    const double points[][2] = {{10.0, 0.02005}, {5.0, 0.0241}, {0.01, 4.066}};
    std::string out;
    int n = 0;
    for (const auto &[X, T] : points) {
        out += row(m, Kind::Amplitude, X, T, X * (1 + 1e-5), X * (1 - 2e-5) + (n == 0 ? off : 0),
                   n + 1, by);
        ++n;
    }
    return out;
}

std::string frequencyRun(const Mez &m, const std::string &by = "") {
    const double points[][2] = {{25000.0, 0.15}, {10000.0, 0.08}, {1000.0, 0.08}, {1.0, 0.1}};
    std::string out;
    int n = 0;
    for (const auto &[X, T] : points)
        out += row(m, Kind::Frequency, X, T, X * (1 + 2e-4), X * (1 - 3e-4), ++n, by);
    return out;
}

std::string fullRuns(const Mez &m, double off = 0, const std::string &by = "") {
    return amplitudeRun(m, off, by) + frequencyRun(m, by);
}

bool parse(const std::string &text, std::vector<RecordRow> &rows,
           std::vector<RecordProblem> &problems) {
    return parseRecord(text, rows, problems);
}

std::string slurp(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::size_t count(const std::string &text, const std::string &what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

Entries goodEntries(const std::vector<Mez> &mezzanines = {Mez{}}) {
    Entries e;
    e.lab = {"ФБУ «Тестовый ЦСМ»", "ГЛ", "Иванова А. Б.", "МП 2301-017-2026. ГСИ. Генераторы ТРЛ4",
             "12"};
    std::uint64_t sticker = 10000000001;
    for (const Mez &m : mezzanines) {
        e.instruments[instrumentKey(m.carrier, m.position)] = {
            "81234-21", "ТРЛ4-2",        "0241-" + std::to_string(m.position),
            "2021",     "АО «Заказчик»", std::to_string(sticker++)};
    }
    e.meters[kVoltmeter] = {"54321-13", "VK5400123", ""};
    e.meters[kCounter] = {"", "", "3.2.ЗЛК.0042.2024"};
    e.verification = {"23,1 °C", "100,2 кПа", "45 %", 2, true, false, {}};
    e.printedOn = "2026-12-08";
    return e;
}

class Export : public ::testing::Test {
  protected:
    // A protocol in "exports" with this record beside it, and no result files yet.
    std::string protocol(const std::string &name, const std::string &record) {
        std::filesystem::create_directories("exports");
        const std::string path = (std::filesystem::path("exports") / name).string();
        std::filesystem::remove(xmlPath(path));
        std::filesystem::remove(htmlPath(path));
        std::ofstream(recordPath(path), std::ios::binary) << record;
        return path;
    }
    std::vector<std::string> problems;
};

TEST(RecordFile, ReadsWhatTheProgramWritesUnderEitherHeader) {
    std::vector<RecordRow> rows;
    std::vector<RecordProblem> problems;
    ASSERT_TRUE(parse(kHeader + fullRuns(Mez{}), rows, problems)) << problems[0].text();
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[0].line, 2);
    EXPECT_EQ(rows[0].carrier, "Н.М. №0241");
    EXPECT_EQ(rows[0].channels[0].readBy, kVoltmeter);
    EXPECT_EQ(rows[0].channels[0].reading, 10.0 * (1 + 1e-5));
    EXPECT_EQ(rows[6].kind, Kind::Frequency);
    EXPECT_EQ(rows[6].fullPoint, 4);
    // An earlier record: its rows name no points; a later program appends rows that do.
    std::string earlier = row(Mez{}, Kind::Amplitude, 10, 0.02005, 10, 10, 1);
    earlier.resize(earlier.rfind(",full"));
    ASSERT_TRUE(parse(
        kEarlierHeader + earlier + "\r\n" + row(Mez{}, Kind::Amplitude, 10, 0.02005, 10, 10, 1),
        rows, problems));
    EXPECT_EQ(rows[0].fullPoint, 0);
    EXPECT_EQ(rows[1].fullPoint, 1);
}

TEST(RecordFile, RefusesEachMalformedLineWithItsNumberAndReason) {
    const std::string good = row(Mez{}, Kind::Amplitude, 10, 0.02005, 10.001, 9.9975, 1);
    const auto edit = [&](const std::string &from, const std::string &to) {
        std::string r = good;
        const auto at = r.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return r.replace(at, from.size(), to);
    };
    const std::pair<std::string, std::string> cases[] = {
        {edit("amplitude", "voltage"), "kind: неверное значение \"voltage\""},
        {edit(",10,", ",0,"), "nominal: неверное значение"},
        {edit("10.001", "10.002"), "abs_error_1: не сходится с показанием"},
        {edit("НЕ НОРМА", "норма"), "verdict_2: не следует из погрешности и допуска"},
        {edit("2026-12-07T", "2026-13-07T"), "time: неверное значение"},
        {edit(",24,", ",-1,"), "crate: неверное значение"},
        {edit("full,1", "full,2"), "point: в полной поверке это не та точка"},
        {edit("full,1", "full,9"), "point: неверное значение"},
        {edit("full,1", "partial,1"), "procedure: неверное значение"},
        {edit(",24,3,", ",24,"), "полей 21, а не 22"},
        {edit("Н.М.", "\"Н.М.\"x"), "текст после закрывающей кавычки"},
        {edit("Н.М.", "Н\"М"), "кавычка внутри поля без кавычек"},
        {edit("Н.М.", "Н\x01М"), "carrier: управляющий символ в тексте"},
        {edit("Н.М.", "Н\xC3М"), "carrier: текст не в UTF-8"},
        {edit("Н.М.", "Н\rМ"), "возврат каретки без перевода строки"},
        {edit(kVoltmeter, std::string(1100, 'x')), "read_by_1: поле слишком длинное"},
    };
    for (const auto &[line, reason] : cases) {
        std::vector<RecordRow> rows;
        std::vector<RecordProblem> problems;
        EXPECT_FALSE(parse(kHeader + good + line + good, rows, problems)) << reason;
        ASSERT_EQ(problems.size(), 1u) << reason;
        EXPECT_EQ(problems[0].line, 3) << reason;
        EXPECT_NE(problems[0].text().find(reason), std::string::npos) << problems[0].text();
        EXPECT_EQ(problems[0].text().rfind("строка 3: ", 0), 0u);
        // The rows around it are read, and counted after a quoted line break too.
        EXPECT_EQ(rows.size(), 2u) << reason;
    }
}

TEST(RecordFile, RefusesWhatIsNoRecordAndKeepsItsInputBounded) {
    std::vector<RecordRow> rows;
    std::vector<RecordProblem> problems;
    EXPECT_FALSE(parse("", rows, problems));
    EXPECT_EQ(problems.at(0).text(), "запись пуста");
    EXPECT_FALSE(parse("time,kind\r\n", rows, problems));
    EXPECT_EQ(problems.at(0).text(), "строка 1: это не заголовок записи точек поверки");
    const std::string good = row(Mez{}, Kind::Amplitude, 10, 0.02005, 10, 10, 1);
    EXPECT_FALSE(parse(kHeader + good.substr(0, good.size() - 2), rows, problems));
    EXPECT_EQ(problems.at(0).text(), "строка 2: строка не закончена переводом строки");
    EXPECT_FALSE(parse(kHeader + good + "\"open,\r\n", rows, problems));
    EXPECT_EQ(problems.at(0).text(), "строка 3: кавычки не закрыты до конца файла");
    std::string many = kHeader;
    for (int i = 0; i < 30; ++i)
        many += "x\r\n";
    EXPECT_FALSE(parse(many, rows, problems));
    ASSERT_EQ(problems.size(), kMaxProblems + 1);
    EXPECT_EQ(problems.back().text(), "и ещё строк с ошибками: 10");
    EXPECT_FALSE(parse(std::string(kMaxRecordBytes + 1, 'x'), rows, problems));
    EXPECT_EQ(problems.size(), 1u);
}

TEST(Conclusion, TheLastWholeFullVerificationOfEachKindCounts) {
    const Mez m;
    // A whole failing amplitude run, then a whole passing one, then one cancelled after its
    // first point and a single check: the passing whole one is the last full verification.
    std::vector<RecordRow> rows;
    std::vector<RecordProblem> problems;
    ASSERT_TRUE(parse(kHeader + fullRuns(m, -0.01) + amplitudeRun(m) +
                          row(m, Kind::Amplitude, 10, 0.02005, 9, 9, 1) +
                          row(m, Kind::Amplitude, 10, 0.02005, 9, 9, 0),
                      rows, problems));
    std::vector<MezzanineVerdict> verdicts = judgeRecord(rows);
    ASSERT_EQ(verdicts.size(), 1u);
    ASSERT_TRUE(verdicts[0].complete());
    EXPECT_EQ(verdicts[0].amplitude->rows.front().line, 9);
    EXPECT_TRUE(verdicts[0].fit());
    EXPECT_EQ(verdicts[0].meters(), (std::vector<std::string>{kVoltmeter, kCounter}));
    EXPECT_FALSE(verdicts[0].typedReadings());

    // A frequency run broken by another point of the same mezzanine is no full verification.
    std::string broken = kHeader + fullRuns(m);
    broken.insert(broken.find("2026-12-07T10:15:00+03:00,24,3,1,Н.М. №0241,frequency,1000,"),
                  row(m, Kind::Amplitude, 5, 0.0241, 5, 5, 0));
    ASSERT_TRUE(parse(broken, rows, problems));
    verdicts = judgeRecord(rows);
    EXPECT_FALSE(verdicts[0].complete());
    EXPECT_EQ(verdicts[0].incompleteness(), "нет записанной целиком полной поверки частоты");
}

TEST(Conclusion, UnfitWithEveryFailingPointAsAReason) {
    std::vector<RecordRow> rows;
    std::vector<RecordProblem> problems;
    ASSERT_TRUE(parse(kHeader + fullRuns(Mez{}, -0.0025, "typed"), rows, problems));
    const std::vector<MezzanineVerdict> verdicts = judgeRecord(rows);
    EXPECT_FALSE(verdicts[0].fit());
    EXPECT_TRUE(verdicts[0].typedReadings());
    EXPECT_TRUE(verdicts[0].meters().empty());
    const std::vector<std::string> reasons = verdicts[0].reasons();
    ASSERT_EQ(reasons.size(), 1u);
    EXPECT_EQ(reasons[0], "Амплитуда 10 В, канал 2: погрешность 0.027 % при допуске 0.02005 %");
    EXPECT_EQ(verdicts[0].date(), "2026-12-07");
}

TEST(Entries, EachMissingOrMalformedEntryIsNamed) {
    std::vector<RecordRow> rows;
    std::vector<RecordProblem> problems;
    ASSERT_TRUE(parse(kHeader + fullRuns(Mez{}), rows, problems));
    const std::vector<MezzanineVerdict> verdicts = judgeRecord(rows);
    EXPECT_TRUE(checkEntries(goodEntries(), verdicts).empty());
    const std::string who = "Мезонин Н.М. №0241 поз. 1";
    const std::vector<std::pair<void (*)(Entries &), std::string>> cases = {
        {[](Entries &e) { e.lab.cipher = "AB"; }, "Шифр знака поверки: от 1 до 3 заглавных"},
        {[](Entries &e) { e.lab.cipher = "ГЛЁ"; }, "Шифр знака поверки: от 1 до 3 заглавных"},
        {[](Entries &e) { e.lab.cipher = "АБВГ"; }, "Шифр знака поверки: от 1 до 3 заглавных"},
        {[](Entries &e) { e.lab.verifier = "  "; }, "Поверитель: не заполнено"},
        {[](Entries &e) { e.lab.procedureTitle = std::string(129, 'M'); },
         "Методика поверки: длиннее 128 символов"},
        {[](Entries &e) { e.lab.intervalMonths = "012"; }, "Межповерочный интервал: целое"},
        {[](Entries &e) { e.instruments.clear(); }, who + ", номер типа в реестре: не заполнено"},
        {[](Entries &e) { e.instruments.begin()->second.stickerNumber = "1234567890"; },
         who + ", номер наклейки: 11 цифр"},
        {[](Entries &e) { e.instruments.begin()->second.manufactureYear = "21"; },
         who + ", год выпуска: четыре цифры"},
        {[](Entries &e) { e.instruments.begin()->second.owner = "A\x02"; },
         who + ", владелец: управляющий символ в тексте"},
        {[](Entries &e) { e.meters[kCounter].typeNumber = "1"; },
         std::string("Прибор ") + kCounter + ": либо номер типа"},
        {[](Entries &e) { e.meters.erase(kVoltmeter); },
         std::string("Прибор ") + kVoltmeter + ": нужны номер типа"},
        {[](Entries &e) { e.verification.humidity.clear(); }, "Влажность: не заполнено"},
        {[](Entries &e) { e.verification.type = 0; }, "Вид поверки: не выбран"},
    };
    for (const auto &[spoil, named] : cases) {
        Entries e = goodEntries();
        spoil(e);
        const std::vector<std::string> wrong = checkEntries(e, verdicts);
        ASSERT_FALSE(wrong.empty()) << named;
        EXPECT_EQ(wrong[0].rfind(named, 0), 0u) << wrong[0];
    }
}

TEST(Entries, AnUnfitInstrumentNeedsNoStickerAndTypedReadingsNeedTheirMeans) {
    std::vector<RecordRow> rows;
    std::vector<RecordProblem> problems;
    ASSERT_TRUE(parse(kHeader + fullRuns(Mez{}, -0.01, "typed"), rows, problems));
    const std::vector<MezzanineVerdict> verdicts = judgeRecord(rows);
    Entries e = goodEntries();
    e.instruments.begin()->second.stickerNumber.clear();
    e.lab.intervalMonths.clear();
    EXPECT_EQ(checkEntries(e, verdicts),
              std::vector<std::string>{
                  "Средства поверки: часть показаний введена вручную: укажите приборы"});
    e.verification.typedMeans = {{"54321-13", "VK5400124", ""}};
    EXPECT_TRUE(checkEntries(e, verdicts).empty());
}

TEST(Entries, ValidUntilTheDayBeforeTheSameDateAfterTheInterval) {
    EXPECT_EQ(validUntil("2026-12-07", 12), "2027-12-06");
    EXPECT_EQ(validUntil("2026-03-01", 1), "2026-03-31");
    EXPECT_EQ(validUntil("2026-01-01", 12), "2026-12-31");
    EXPECT_EQ(validUntil("2024-02-29", 12), "2025-02-28");
    EXPECT_EQ(validUntil("2026-01-31", 1), "2026-02-28");
    EXPECT_EQ(validUntil("2026-11-15", 24), "2028-11-14");
    EXPECT_EQ(validUntil("2026-1-15", 24), "");
}

TEST_F(Export, AFitMezzanine) {
    const std::string path = protocol("fit.log", kHeader + fullRuns(Mez{}));
    ASSERT_TRUE(exportResult(path, goodEntries(), problems)) << problems.at(0);
    const std::string xml = slurp(xmlPath(path));
    EXPECT_EQ(count(xml, "<gost:result>"), 1u);
    EXPECT_NE(xml.find("<gost:vrfDate>2026-12-07</gost:vrfDate>\n"
                       "    <gost:validDate>2027-12-06</gost:validDate>\n"
                       "    <gost:type>2</gost:type>"),
              std::string::npos);
    EXPECT_NE(xml.find("<gost:stickerNum>10000000001</gost:stickerNum>\n"
                       "      <gost:signPass>true</gost:signPass>\n"
                       "      <gost:signMi>false</gost:signMi>"),
              std::string::npos);
    EXPECT_NE(xml.find("<gost:mieta>\n        <gost:number>3.2.ЗЛК.0042.2024</gost:number>"),
              std::string::npos);
    EXPECT_NE(xml.find("<gost:typeNum>54321-13</gost:typeNum>"), std::string::npos);
    const std::string html = slurp(htmlPath(path));
    EXPECT_NE(html.find("<b>пригодно</b>"), std::string::npos);
    EXPECT_EQ(count(html, "<svg "), 4u);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_NE(html.find("<td class=\"n\">10.0001</td><td class=\"n\">-0.0001</td><td "
                        "class=\"n\">-0.001</td><td class=\"n\">0.02005</td><td>норма</td>"),
              std::string::npos);
    EXPECT_NE(html.find("версия 1.0, контрольная сумма (CRC32) 5D2C01A7"), std::string::npos);
}

TEST_F(Export, AnUnfitMezzanine) {
    const std::string path = protocol("unfit.log", kHeader + fullRuns(Mez{}, -0.0025));
    Entries e = goodEntries();
    e.instruments.begin()->second.stickerNumber.clear();
    ASSERT_TRUE(exportResult(path, e, problems)) << problems.at(0);
    const std::string xml = slurp(xmlPath(path));
    EXPECT_EQ(xml.find("validDate"), std::string::npos);
    EXPECT_EQ(xml.find("applicable>"), xml.find("inapplicable>") + 2);
    EXPECT_NE(xml.find("<gost:reasons>Амплитуда 10 В, канал 2: погрешность 0.027 % при допуске "
                       "0.02005 %</gost:reasons>"),
              std::string::npos);
    const std::string html = slurp(htmlPath(path));
    EXPECT_NE(html.find("<b>непригодно</b>"), std::string::npos);
    EXPECT_EQ(count(html, "НЕ НОРМА"), 1u);
}

TEST_F(Export, TwoMezzaninesInOneProtocolEachWithItsOwnEntries) {
    const Mez first, second{3, "Н.М. №0241"};
    const std::string path =
        protocol("two.log", kHeader + fullRuns(first) + fullRuns(second, -0.01) +
                                row(second, Kind::Amplitude, 10, 0.02005, 10, 10, 0));
    Entries e = goodEntries({first, second});
    ASSERT_TRUE(exportResult(path, e, problems)) << problems.at(0);
    const std::string xml = slurp(xmlPath(path));
    EXPECT_EQ(count(xml, "<gost:result>"), 2u);
    EXPECT_LT(xml.find("<gost:manufactureNum>0241-1<"), xml.find("<gost:manufactureNum>0241-3<"));
    EXPECT_LT(xml.find("<gost:applicable>"), xml.find("<gost:inapplicable>"));
    EXPECT_EQ(count(slurp(htmlPath(path)), "<section class=\"sheet\">"), 2u);
}

TEST_F(Export, TextsWithMarkupCharactersAreEscaped) {
    const Mez odd{2, "Носитель <№5> & \"Ко\""};
    const std::string path =
        protocol("escaped.log", kHeader + fullRuns(odd, 0, "R&S <\"A\">, 'x'"));
    Entries e = goodEntries({odd});
    e.meters = {{"R&S <\"A\">, 'x'", {"1<2", "a&b", ""}}};
    e.instruments.begin()->second.owner = "ООО \"Рога & Копыта\" <филиал>";
    e.lab.verifier = "О'Нил & сын";
    ASSERT_TRUE(exportResult(path, e, problems)) << problems.at(0);
    const std::string xml = slurp(xmlPath(path));
    EXPECT_NE(
        xml.find("<gost:miOwner>ООО &quot;Рога &amp; Копыта&quot; &lt;филиал&gt;</gost:miOwner>"),
        std::string::npos);
    EXPECT_NE(xml.find("<gost:metrologist>О&#39;Нил &amp; сын</gost:metrologist>"),
              std::string::npos);
    EXPECT_NE(xml.find("<gost:typeNum>1&lt;2</gost:typeNum>"), std::string::npos);
    const std::string html = slurp(htmlPath(path));
    EXPECT_NE(html.find("<th>R&amp;S &lt;&quot;A&quot;&gt;, &#39;x&#39;</th>"), std::string::npos);
    EXPECT_NE(html.find("Носитель &lt;№5&gt; &amp; &quot;Ко&quot;"), std::string::npos);
    EXPECT_EQ(html.find("<№5>"), std::string::npos);
    EXPECT_EQ(html.find("<филиал>"), std::string::npos);
}

TEST_F(Export, MalformedEntriesOrRecordWriteNothingAndALaterExportReplacesBoth) {
    const std::string path = protocol("again.log", kHeader + fullRuns(Mez{}));
    Entries e = goodEntries();
    e.lab.cipher = "gl";
    EXPECT_FALSE(exportResult(path, e, problems));
    EXPECT_EQ(problems,
              std::vector<std::string>{"Шифр знака поверки: от 1 до 3 заглавных русских букв"});
    EXPECT_FALSE(std::filesystem::exists(xmlPath(path)));
    EXPECT_FALSE(std::filesystem::exists(htmlPath(path)));

    ASSERT_TRUE(exportResult(path, goodEntries(), problems = {}));
    const std::string before = slurp(xmlPath(path));
    std::ofstream(recordPath(path), std::ios::binary | std::ios::app) << "broken\r\n";
    EXPECT_FALSE(exportResult(path, goodEntries(), problems = {}));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0], "Запись " + recordPath(path) + ", строка 9: полей 1, а не 22");
    EXPECT_EQ(slurp(xmlPath(path)), before);

    protocol("again.log", kHeader + fullRuns(Mez{}));
    e = goodEntries();
    e.verification.temperature = "21,0 °C";
    ASSERT_TRUE(exportResult(path, e, problems = {}));
    EXPECT_NE(slurp(xmlPath(path)).find("<gost:temperature>21,0 °C</gost:temperature>"),
              std::string::npos);
}

}  // namespace

namespace {

class Settings : public ::testing::Test {
  protected:
    void SetUp() override {
        // A folder of the test's own: CTest runs the cases of this suite side by side.
        dir = trl4::test::freshTempDir("trl4-settings-");
        trl4::test::setEnv("TRL4_SETTINGS_DIR", dir);
    }
    void TearDown() override {
        trl4::test::setEnv("TRL4_SETTINGS_DIR", nullptr);
        std::filesystem::remove_all(dir);
    }
    std::filesystem::path dir;
    std::string problem;
};

TEST_F(Settings, TheLabsTheInstrumentsAndTheMetersEntriesComeBackAndNothingOfOneVerification) {
    Entries kept = goodEntries({Mez{}, Mez{4, "Носитель: \"№5\" # 2"}});
    kept.meters["R&S <\"A\">: 'x'"] = {"1<2", "a&b", ""};
    ASSERT_TRUE(saveSettings(kept, problem)) << problem;
    Entries back;
    ASSERT_TRUE(loadSettings(back, problem)) << problem;
    EXPECT_EQ(back.lab.cipher, kept.lab.cipher);
    EXPECT_EQ(back.lab.name, kept.lab.name);
    EXPECT_EQ(back.lab.intervalMonths, "12");
    ASSERT_EQ(back.instruments.size(), 2u);
    const InstrumentEntries &odd = back.instruments.at(instrumentKey("Носитель: \"№5\" # 2", 4));
    EXPECT_EQ(odd.serialNumber, "0241-4");
    EXPECT_EQ(odd.owner, "АО «Заказчик»");
    EXPECT_EQ(odd.stickerNumber, "");  // each verification has its own
    EXPECT_EQ(back.meters.at("R&S <\"A\">: 'x'").typeNumber, "1<2");
    EXPECT_EQ(back.meters.at(kCounter).standardNumber, "3.2.ЗЛК.0042.2024");
    EXPECT_EQ(back.verification.temperature, "");
}

TEST_F(Settings, AFileThatIsNotOursChangesNothingAndSaysWhy) {
    Entries entries = goodEntries();
    for (const char *text :
         {"lab: [1, 2]\n", "lab:\n  cipher: {a: 1}\n", "- lab\n", "lab: \"x\n"}) {
        std::ofstream(dir / "results.yaml", std::ios::binary) << text;
        EXPECT_FALSE(loadSettings(entries, problem)) << text;
        EXPECT_NE(problem.find("results.yaml"), std::string::npos) << problem;
        EXPECT_EQ(entries.lab.cipher, "ГЛ") << text;
    }
    std::filesystem::remove(dir / "results.yaml");
    EXPECT_TRUE(loadSettings(entries, problem));
    EXPECT_EQ(entries.lab.cipher, "ГЛ");
}

}  // namespace
