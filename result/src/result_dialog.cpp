// The dialog "Результат поверки" over the toolkit-free result: it shows the conclusion for the
// protocol now chosen, takes what only the lab knows, and exports both files; each view shows
// the panel of the resource, so it is the same dialog on every platform.
#include "trl4/result_dialog.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "p_trl4.h"
#include "trl4/app_state.h"
#include "trl4/callbacks.h"
#include "trl4/os.h"
#include "trl4/result_settings.h"
#include "userint.h"

namespace {

using namespace trl4::result;

Entries g_entries;
bool g_loaded = false;
// What each item of RES.MEANS stands for: a meter's identity, or "" for typed readings.
std::vector<std::string> g_means;
int g_meanShown = -1;

std::string field(int control) {
    char buffer[4 * 1024 + 1] = "";
    GetCtrlVal(RES, control, buffer, sizeof buffer);
    std::string text = buffer;
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

void put(int control, const std::string &text) {
    SetCtrlVal(RES, control, text.c_str());
}

std::string openInstrument() {
    return instrumentKey(carrierName, mezNum);
}

std::string today() {
    trl4::os::LocalTime now;
    if (!trl4::os::localTimeNow(now)) return {};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", now.year % 10000, now.month % 100,
                  now.day % 100);
    return text;
}

MeanEntries &meanOf(int item) {
    const std::string &key = g_means[static_cast<std::size_t>(item)];
    if (!key.empty()) return g_entries.meters[key];
    auto &typed = g_entries.verification.typedMeans;
    if (typed.empty()) typed.emplace_back();
    return typed.front();
}

void keepShownMean() {
    if (g_meanShown < 0 || static_cast<std::size_t>(g_meanShown) >= g_means.size()) return;
    MeanEntries &m = meanOf(g_meanShown);
    m = {field(RES_MEAN_TYPE), field(RES_MEAN_SERIAL), field(RES_MEAN_STANDARD)};
    if (g_means[static_cast<std::size_t>(g_meanShown)].empty() && m.typeNumber.empty() &&
        m.serialNumber.empty() && m.standardNumber.empty()) {
        g_entries.verification.typedMeans.clear();
    }
}

void showMean(int item) {
    g_meanShown = item;
    const bool any = item >= 0 && static_cast<std::size_t>(item) < g_means.size();
    const MeanEntries m = any ? meanOf(item) : MeanEntries{};
    put(RES_MEAN_TYPE, m.typeNumber);
    put(RES_MEAN_SERIAL, m.serialNumber);
    put(RES_MEAN_STANDARD, m.standardNumber);
    for (const int control : {RES_MEAN_TYPE, RES_MEAN_SERIAL, RES_MEAN_STANDARD})
        SetCtrlAttribute(RES, control, ATTR_DIMMED, any ? 0 : 1);
}

// Everything typed in the dialog into the entries.
void collect() {
    LabEntries &lab = g_entries.lab;
    lab = {field(RES_LAB_NAME), field(RES_CIPHER), field(RES_VERIFIER), field(RES_PROCEDURE),
           field(RES_INTERVAL)};
    InstrumentEntries &in = g_entries.instruments[openInstrument()];
    in = {field(RES_MI_TYPE), field(RES_MODIFICATION), field(RES_SERIAL),
          field(RES_YEAR),    field(RES_OWNER),        field(RES_STICKER)};
    keepShownMean();
    VerificationEntries &now = g_entries.verification;
    now.temperature = field(RES_TEMPERATURE);
    now.pressure = field(RES_PRESSURE);
    now.humidity = field(RES_HUMIDITY);
    GetCtrlVal(RES, RES_KIND, &now.type);
    int sign = 0;
    GetCtrlVal(RES, RES_SIGN_PASS, &sign);
    now.signPassport = sign != 0;
    GetCtrlVal(RES, RES_SIGN_MI, &sign);
    now.signInstrument = sign != 0;
    g_entries.printedOn = today();
}

std::string conclusionText(const std::vector<MezzanineVerdict> &verdicts) {
    std::string text;
    for (const MezzanineVerdict &v : verdicts) {
        text += "Мезонин " + v.mezzanine.carrier + " поз. " + std::to_string(v.mezzanine.position) +
                ": ";
        if (!v.complete()) {
            text += "не поверен: " + v.incompleteness() + "\n";
        } else if (v.fit()) {
            text += "пригодно\n";
        } else {
            text += "непригодно\n";
            for (const std::string &r : v.reasons())
                text += "  " + r + "\n";
        }
    }
    return text.empty() ? std::string("В записи протокола нет точек поверки\n") : text;
}

// The conclusion for the protocol now chosen, then the lines that follow it.
void showConclusion(const std::vector<std::string> &after) {
    std::vector<MezzanineVerdict> verdicts;
    std::vector<std::string> problems;
    std::string text =
        readRecord(logFileName, verdicts, problems) ? conclusionText(verdicts) : std::string();
    for (const std::string &line : problems)
        text += line + "\n";
    for (const std::string &line : after)
        text += line + "\n";
    if (!text.empty() && text.back() == '\n') text.pop_back();
    ResetTextBox(RES, RES_CONCLUSION, text.c_str());
}

void fillMeans() {
    std::vector<MezzanineVerdict> verdicts;
    std::vector<std::string> ignored;
    if (logFileName[0] != '\0') readRecord(logFileName, verdicts, ignored);
    g_means.clear();
    bool typed = false;
    for (const MezzanineVerdict &v : verdicts) {
        if (!v.complete()) continue;
        for (const std::string &meter : v.meters())
            if (std::find(g_means.begin(), g_means.end(), meter) == g_means.end())
                g_means.push_back(meter);
        typed = typed || v.typedReadings();
    }
    if (typed) g_means.emplace_back();
    ClearListCtrl(RES, RES_MEANS);
    if (g_means.empty()) InsertListItem(RES, RES_MEANS, -1, "нет", 0);
    for (std::size_t i = 0; i < g_means.size(); ++i) {
        const std::string label =
            g_means[i].empty() ? std::string("показания, введённые вручную") : g_means[i];
        InsertListItem(RES, RES_MEANS, -1, label.c_str(), static_cast<int>(i));
    }
    SetCtrlIndex(RES, RES_MEANS, 0);
    showMean(g_means.empty() ? -1 : 0);
}

void fillFields() {
    const LabEntries &lab = g_entries.lab;
    put(RES_LAB_NAME, lab.name);
    put(RES_CIPHER, lab.cipher);
    put(RES_VERIFIER, lab.verifier);
    put(RES_PROCEDURE, lab.procedureTitle);
    put(RES_INTERVAL, lab.intervalMonths);
    const InstrumentEntries &in = g_entries.instruments[openInstrument()];
    put(RES_MI_TYPE, in.typeNumber);
    put(RES_MODIFICATION, in.modification);
    put(RES_SERIAL, in.serialNumber);
    put(RES_YEAR, in.manufactureYear);
    put(RES_OWNER, in.owner);
    put(RES_STICKER, in.stickerNumber);
}

}  // namespace

void ShowVerificationResult() {
    std::vector<std::string> notes;
    if (!g_loaded) {
        std::string problem;
        if (!loadSettings(g_entries, problem))
            notes.push_back("Настройки не прочитаны: " + problem);
        g_loaded = true;
    }
    fillFields();
    fillMeans();
    showConclusion(notes);
    DisplayPanel(RES);
}

int resultCB(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) ShowVerificationResult();
    return 0;
}

int resultMeanCB(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    keepShownMean();
    int item = -1;
    GetCtrlIndex(RES, RES_MEANS, &item);
    showMean(g_means.empty() ? -1 : item);
    return 0;
}

int resultExportCB(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    collect();
    std::vector<std::string> notes;
    std::string problem;
    // What was typed is kept for next time, whether or not it may be exported yet.
    if (!saveSettings(g_entries, problem)) notes.push_back("Настройки не записаны: " + problem);
    std::vector<std::string> problems;
    if (logFileName[0] == '\0') {
        notes.push_back("Не экспортировано: нет файла протокола");
    } else if (exportResult(logFileName, g_entries, problems)) {
        notes.push_back("Записаны " + xmlPath(logFileName) + " и " + htmlPath(logFileName));
    } else {
        notes.push_back("Не экспортировано:");
        for (const std::string &p : problems)
            notes.push_back("  " + p);
    }
    showConclusion(notes);
    return 0;
}

int resultOpenCB(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    const std::string page = htmlPath(logFileName);
    std::vector<std::string> notes;
    if (logFileName[0] == '\0' || trl4::os::fileExists(page.c_str()) != 1) {
        notes.push_back("Протокол " + page + " ещё не записан: сначала «Экспорт»");
    } else if (!trl4::os::openDocument(page.c_str())) {
        notes.push_back("Протокол " + page + " не открыт: " + trl4::os::lastFileErrorText());
    } else {
        notes.push_back("Протокол " + page + " передан браузеру");
    }
    showConclusion(notes);
    return 0;
}

int closeResultCB(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    collect();
    std::string problem;
    saveSettings(g_entries, problem);
    HidePanel(RES);
    return 0;
}
