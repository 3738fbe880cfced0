// Start-up, main loop and shutdown of the front panel.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>

#include "kspbase.h"
#include "ksptrl4_32.h"
#include "p_trl4.h"
#include "select.h"
#include "si.h"
#include "trl4/app.h"
#include "trl4/app_state.h"
#include "trl4/callbacks.h"
#include "trl4/generator.h"
#include "trl4/integrity.h"
#include "trl4/meters.h"
#include "trl4/protocol.h"
#include "trl4/result_dialog.h"
#include "trl4/verification.h"
#include "userint.h"
#include "visa.h"

namespace {

constexpr const char *kResourceFile = "p_trl4.uir";
constexpr const char *kShellTitle = "Приборная панель носителя мезонинов";

}  // namespace

bool LoadAppPanels() {
    struct Load {
        int *handle;
        int resourceId;
    };
    const Load loads[] = {{&ST, uir::ST}, {&ABOUT, uir::ABOUT}, {&EXIT_POPUP, uir::EXIT_POPUP},
                          {&VP, uir::VP}, {&MP, uir::MP},       {&CHLP, uir::CHLP},
                          {&MI, uir::MI}, {&RES, uir::RES}};
    for (const Load &load : loads) {
        *load.handle = LoadPanel(0, kResourceFile, load.resourceId);
        if (*load.handle < 0) return false;
    }
    GetPanelHandleFromTabPage(MP, MP_TAB, 0, &CP);
    GetPanelHandleFromTabPage(MP, MP_TAB, 1, &PP);
    // Both full verifications of the open mezzanine recorded: the result is offered.
    SetFullVerificationsHandler(ShowVerificationResult);
    // A reading stays as it was typed or read: its limits only guide the operator, and the
    // procedures judge or refuse the value itself.
    SetCtrlAttribute(VP, VP_VAL_1, ATTR_CHECK_RANGE, VAL_IGNORE);
    SetCtrlAttribute(VP, VP_VAL_2, ATTR_CHECK_RANGE, VAL_IGNORE);
    return true;
}

namespace {

void fillVersions() {
    char driverRev[KSPTRL4_TEXT_LEN] = "";
    char instrRev[KSPTRL4_TEXT_LEN] = "";
    ksptrl4_revision_query(generatorSession, driverRev, instrRev);
    driverRev[sizeof driverRev - 1] = '\0';
    SetCtrlVal(ABOUT, ABOUT_DRVR_VERSION, driverRev);
    SetCtrlVal(ABOUT, ABOUT_SOFT_VERSION, kSoftwareVersion);
}

// Finds the math library from the working directory along the search path, warns when its
// embedded checksum is wrong, and shows its version, date and checksum.
void checkMathLibrary() {
    char cwd[PATH_MAX] = "";
    if (getcwd(cwd, sizeof cwd) == nullptr) cwd[0] = '\0';
    char path[PATH_MAX + 64] = "";
    PathSearch *search = FirstPathFname(cwd, kMathLibraryFileName, path, sizeof path);
    if (search == nullptr) return;
    uint32_t stored = 0, computed = 0, fileCrc = 0;
    const int result = CheckFileInternalCRC32(path, &stored, &computed, &fileCrc);
    if (result == 1) {
        char warning[128];
        std::snprintf(warning, sizeof warning, "Некорректная контрольная сумма\nфайла %s!",
                      kMathLibraryFileName);
        MessagePopup("ВНИМАНИЕ!", warning);
    }
    if (result == 0 || result == 1) {
        char version[kFInfoVersionSize] = "", date[kFInfoDateSize] = "";
        GetFInfo(path, version, date, nullptr, nullptr);
        char line[256];
        std::snprintf(line, sizeof line, "%s, версия:%s, дата:%s, CRC32=%08X", kMathLibraryFileName,
                      version, date, fileCrc);
        SetCtrlVal(ABOUT, ABOUT_CERT_MSG, line);
        std::snprintf(mathLibraryVersion, sizeof mathLibraryVersion, "%s", version);
        std::snprintf(mathLibraryCrc, sizeof mathLibraryCrc, "%08X", fileCrc);
    }
    ClosePathFName(search);
}

void startUp() {
    LoadMeterSettings();
    const int32_t found = FindVISAinstruments();
    // A search that failed, as distinct from one that found nothing, says why on the status
    // line (VISA's own statuses have driver texts too).
    if (found < 0 && found != VI_ERROR_RSRC_NFOUND) CheckDrvStatus(found);
    if (found <= 0)
        MessagePopup(kShellTitle, "Инструмент не найден.\nПанель запускается в демо-режиме.");
    DisplayPanel(MP);
    currentInstrument = SelectInstrument("Выбор инструмента");
    if (currentInstrument != nullptr) OpenInstrument(currentInstrument);
    fillVersions();
    checkMathLibrary();
    CheckMeterSettings();
    exitRequested = 0;
    ShowCoeffs();
}

// With TRL4_STARTUP_PROBE set the program reports when its loop first runs and then shuts
// down normally: start-up is measured from outside without an operator.
bool startupProbe() {
    if (std::getenv("TRL4_STARTUP_PROBE") == nullptr) return false;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::printf("trl4-ready %lld\n",
                static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
    std::fflush(stdout);
    return true;
}

void mainLoop() {
    bool first = true;
    do {
        ProcessSystemEvents();
        if (exitRequested == 1) DisplayPanel(EXIT_POPUP);
        if (first && startupProbe()) quitConfirmed = 1;
        first = false;
    } while (quitConfirmed != 1);
}

// The windowed view is Qt's on Linux and the native one on Windows.
#ifdef _WIN32
#define TRL4_VIEW_USAGE "[--view win32|headless] [--script ФАЙЛ] [--shots ПАПКА]\n"
#define TRL4_VIEW_HELP \
    "  --view win32|headless  панели в окнах Windows или без экрана (по умолчанию win32)\n"
#else
#define TRL4_VIEW_USAGE "[--view qt|headless] [--script ФАЙЛ] [--shots ПАПКА] [параметры Qt]\n"
#define TRL4_VIEW_HELP                                                                                                               \
    "  --view qt|headless  панели в окнах Qt или без экрана (по умолчанию qt, если есть " \
    "дисплей)\n"
#endif

constexpr const char *kHelpText =
    "Использование: p_trl4 " TRL4_VIEW_USAGE
    "Приборная панель носителя мезонинов ТРЛ4.\n"
    "\n" TRL4_VIEW_HELP
    "  --script ФАЙЛ       провести сценарий оператора\n"
    "  --shots ПАПКА       куда действие shot сценария пишет снимки панелей\n"
    "  -h, --help          эта справка\n"
    "  --version           версия программы\n"
    "\n"
    "Имитатор стенда: TRL4_BENCH=ФАЙЛ (файл стенда), TRL4_STATE_DIR=ПАПКА (записи EEPROM),\n"
    "TRL4_DRIVER_TRACE=ФАЙЛ (журнал вызовов драйверов).\n"
    "Код выхода: 0 после обычного завершения; 255, если панели не загрузились; со "
    "сценарием\n"
    "2, если действие не выполнено, 3, если сценарий кончился, а программа ждёт оператора.\n";

// --help and --version answer before the run-time starts, so they need no display, bench
// or resource. Values of the run-time's options are not taken for options.
bool answeredInformationRequest(int argc, char **argv) {
    for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--script" || arg == "--view" || arg == "--shots") {
            ++i;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kHelpText, stdout);
            return true;
        } else if (arg == "--version") {
            std::printf("p_trl4 %s\n", kSoftwareVersion);
            return true;
        }
    }
    return false;
}

}  // namespace

void ShutDownFrontPanel() {
    if (generatorSession != 0) CheckDrvStatus(ksptrl4_close(generatorSession));
    if (carrierSession != 0) CheckDrvStatus(kspbase_close(carrierSession));
    DiscardPanel(ST);
    DiscardPanel(ABOUT);
    DiscardPanel(EXIT_POPUP);
    DiscardPanel(MP);
    DiscardPanel(MI);
    DiscardPanel(RES);
    if (logFile != 0) CloseProtocolFile();
}

int RunFrontPanel(int argc, char **argv, PanelViewFactory qtFactory) {
    if (answeredInformationRequest(argc, argv)) return std::fflush(stdout) == 0 ? 0 : 1;
    if (InitPanelRuntime(argc, argv, qtFactory) < 0) return -1;
    if (RegisterAppCallbacks() < 0) return -1;
    if (!LoadAppPanels()) return -1;
    startUp();
    mainLoop();
    ShutDownFrontPanel();
    // Also reports a script that still has actions left.
    ClosePanelRuntime();
    return 0;
}
