// The protocol file and the viewer: one writer, the file's choice and reopening, the time
// stamp and the headers.
#include "trl4/protocol.h"

#include <cstring>
#include <string>

#include "p_trl4.h"
#include "trl4/app_state.h"
#include "trl4/callbacks.h"
#include "trl4/protocol_record.h"
#include "trl4/status_line.h"
#include "userint.h"

namespace {

#define TRL4_DASHES_52 "----------------------------------------------------"
#define TRL4_DASHES_104 TRL4_DASHES_52 TRL4_DASHES_52

constexpr const char *kAmplitudeSection =
    "\n"
    "ПОВЕРКА ТОЧНОСТИ УСТАНОВКИ АМПЛИТУДЫ\n" TRL4_DASHES_104
    "\n"
    "канал 1                                               канал 2                         "
    "                 \n" TRL4_DASHES_104
    "\n"
    "Напряжение установленное,В  Норма погрешрности,%% \n" TRL4_DASHES_52
    "\n"
    "Измерено,В    погрешность   погрешность   результат   Измерено,В    погрешность   "
    "погрешность   результат \n"
    "              абс.,В        отн.,%%                                    абс.,В        "
    "отн.,%%                 \n" TRL4_DASHES_104 "\n";

constexpr const char *kFrequencySection =
    "\n"
    "ПОВЕРКА ТОЧНОСТИ УСТАНОВКИ ЧАСТОТЫ\n" TRL4_DASHES_104
    "\n"
    "канал 1                                               канал 2                         "
    "                 \n" TRL4_DASHES_104
    "\n"
    "Частота установленная,Гц   Норма погрешрности,%% \n" TRL4_DASHES_52
    "\n"
    "Измерено,Гц   погрешность   погрешность   результат   Измерено,Гц   погрешность   "
    "погрешность   результат \n"
    "              абс.,Гц       отн.,%%                                    абс.,Гц       "
    "отн.,%%                 \n" TRL4_DASHES_104 "\n";

#undef TRL4_DASHES_104
#undef TRL4_DASHES_52

// The open protocol file (null while none is, or while its opening failed), the name it was
// opened under, and the mezzanine the last protocol header named.
trl4::os::File *g_file = nullptr;
std::string g_openName;
struct Mezzanine {
    uint16_t crate, slot, position;
    bool operator==(const Mezzanine &) const = default;
};
bool g_headerWritten = false;
Mezzanine g_headerMezzanine{};
// Where the time stamp reads the time.
bool (*g_clock)(trl4::os::LocalTime &) = trl4::os::localTimeNow;

Mezzanine chosenMezzanine() {
    return {crateAddr, slotNum, mezNum};
}

void reportFileFailure(const char *what) {
    const std::string text =
        std::string(what) + " " + g_openName + ": " + trl4::os::lastFileErrorText();
    ShowStatusLine(text.c_str(), kStatusRed);
}

constexpr const char *kWriteFailed = "Ошибка записи в файл протокола";

// Closes the open file, if any; false when its last data did not reach the system.
bool closeQuietly() {
    const bool recordOk = CloseProtocolRecord();
    const bool ok = (g_file == nullptr || trl4::os::closeFile(g_file)) && recordOk;
    g_file = nullptr;
    logFile = 0;
    return ok;
}

void closeOpenFile() {
    if (!closeQuietly()) reportFileFailure(kWriteFailed);
}

void openFile(const char *name) {
    g_openName = name;
    g_file = trl4::os::openForAppending(name);
    // A failed opening counts as open, so that the name is kept; nothing is written to it.
    logFile = g_file != nullptr ? 1 : -1;
    if (g_file == nullptr) {
        reportFileFailure("Не открыт файл протокола");
    } else {
        OpenProtocolRecord(name);
    }
}

void showInViewer(std::string text) {
    if (!text.empty() && text.back() == '\n') text.pop_back();
    InsertTextBoxLine(CHLP, CHLP_LOG, -1, text.c_str());
    int lines = 0, visible = 0;
    GetNumTextBoxLines(CHLP, CHLP_LOG, &lines);
    GetCtrlAttribute(CHLP, CHLP_LOG, ATTR_VISIBLE_LINES, &visible);
    SetCtrlAttribute(CHLP, CHLP_LOG, ATTR_FIRST_VISIBLE_LINE,
                     lines > visible ? lines - visible : 0);
}

}  // namespace

void logMessage(const std::string &message) {
    if (logFile > 0 && g_file != nullptr) {
        const std::string bytes = trl4::protocol::toWindows1251(message);
        if (!trl4::os::writeFile(g_file, bytes.data(), bytes.size()))
            reportFileFailure(kWriteFailed);
    }
    showInViewer(message);
}

void SetProtocolClock(bool (*clock)(trl4::os::LocalTime &now)) {
    g_clock = clock != nullptr ? clock : trl4::os::localTimeNow;
}

void logTimeStamp() {
    trl4::os::LocalTime now;
    g_clock(now);
    logPrintf("\nВремя:%d:%d:%d, Дата: %d-%d-%d \n", now.hour, now.minute, now.second, now.month,
              now.day, now.year);
}

void povCheckHeaderMezzanine() {
    if (g_headerWritten && g_headerMezzanine != chosenMezzanine()) logSection = -1;
}

void povBeginSection(int kind) {
    if (logSection == -1) {
        logTimeStamp();
        logPrintf("Протокол поверки мезонина ТРЛ4 крейт %d,слот %d, мезонин %d", crateAddr, slotNum,
                  mezNum);
        g_headerWritten = true;
        g_headerMezzanine = chosenMezzanine();
    }
    logPrintf(kind == 0 ? kAmplitudeSection : kFrequencySection);
    logSection = kind == 0 ? 0 : 1;
}

void ApplyProtocolFileName(const char *name) {
    // Opening a session empties the remembered name; the open file and its name stay.
    if (logFileName[0] == '\0' && logFile != 0) {
        std::strncpy(logFileName, g_openName.c_str(), sizeof logFileName - 1);
        logFileName[sizeof logFileName - 1] = '\0';
    }
    // A failed opening is tried again when the same name is committed again.
    const bool reopen =
        logFile <= 0 || (logFileName[0] != '\0' && std::strcmp(logFileName, name) != 0);
    if (!reopen) return;
    closeOpenFile();
    std::strncpy(logFileName, name, sizeof logFileName - 1);
    logFileName[sizeof logFileName - 1] = '\0';
    if (logFileName[0] == '\0') return;
    openFile(logFileName);
    logSection = -1;
}

void CloseProtocolFile() {
    // At shutdown there may be no status line left to tell a failure on.
    closeQuietly();
}

int selFName(int, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    // Room for a long path from the dialog; the name kept is limited in characters.
    char name[4096] = "";
    if (control == PP_BROWSE) {
        const int chosen = FileSelectPopup("", "*.log", "*.log", "Файл протокола", "OK", 0, 0, 1, 1,
                                           name, sizeof name);
        if (chosen <= 0) return 0;
    } else if (GetCtrlVal(PP, PP_FILE_NAME, name, sizeof name) < 0) {
        return 0;
    }
    if (trl4::protocol::utf8Chars(name) > kLogFileNameChars) {
        ShowStatusLine("Имя файла протокола длиннее 259 символов", kStatusRed);
        return 0;
    }
    ApplyProtocolFileName(name);
    SetCtrlVal(PP, PP_FILE_NAME, name);
    return 0;
}
