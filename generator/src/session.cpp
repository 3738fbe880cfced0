// The session: the chosen carrier opened, its generator positions offered in MP.MEZ_NUM, and
// the driver session to the position chosen there.
#include <cstdio>
#include <cstring>

#include "kspbase.h"
#include "ksptrl4_32.h"
#include "p_trl4.h"
#include "si.h"
#include "trl4/app_state.h"
#include "trl4/driver_steps.h"
#include "trl4/generator.h"
#include "userint.h"
#include "visa.h"

namespace {

constexpr uint16_t kGeneratorType = 11;
constexpr uint32_t kDemoMemorySize = 32000000;
constexpr const char *kInitialising = "Идет инициализация";
constexpr const char *kInitFailed = "Ошибка инициализации";

// A 16-bit VISA attribute of the carrier session; the value stays as it was when the read
// fails.
void readCarrierAttribute(uint32_t attribute, uint16_t &value) {
    ViInt16 read = static_cast<ViInt16>(value);
    viGetAttribute(carrierSession, attribute, &read);
    value = static_cast<uint16_t>(read);
}

// Ends the callback's driver steps on a failure: the calibration block, the offsets and the
// memory reservation are read together, so a failure part-way leaves none of them set.
int32_t setUpSession(uint32_t waveformMemory) {
    const uint32_t s = generatorSession;
    double *block = nullptr;
    double offset1 = zeroU1;
    double offset2 = zeroU2;
    const int32_t status = trl4::runInOrder(
        [&] { return ksptrl4_alloc(s, waveformMemory); }, [&] { return ksptrl4_displacement(s); },
        [&] { return ksptrl4_get_attribute(s, KSPTRL4_ATTR_COEFF_BLOCK, &block); },
        [&] { return ksptrl4_get_attribute(s, KSPTRL4_ATTR_OFFSET_CH1, &offset1); },
        [&] { return ksptrl4_get_attribute(s, KSPTRL4_ATTR_OFFSET_CH2, &offset2); });
    if (status < 0) return status;
    coeffRec = block;
    ++coeffRecSerial;
    zeroU1 = offset1;
    zeroU2 = offset2;
    return 0;
}

}  // namespace

int32_t QueryMezzanines(uint32_t carrier, int32_t types[4]) {
    for (uint16_t position = 1; position <= 4; ++position) {
        uint16_t present = 0;
        uint16_t type = 0;
        const int32_t status = kspbase_m_type_q(carrier, position, &present, &type);
        if (status < 0) return status;
        types[position - 1] = present != 0 ? type : 0;
    }
    return 0;
}

void OpenInstrument(InstrumentEntry *entry) {
    if (entry == nullptr) return;
    uint32_t carrier = 0;
    if (kspbase_init(entry->rsrcName, 1, 1, &carrier) < 0) {
        carrierSession = 0;
        MessagePopup("",
                     "          Ошибка инициализации.\nУстройство занято либо не "
                     "сконфигурировано\n          Менеджером Ресурсов.");
        return;
    }
    carrierSession = carrier;
    entry->baseSession = carrierSession;
    QueryMezzanines(carrierSession, mezTypes);
    ClearListCtrl(MP, MP_MEZ_NUM);
    bool any = false;
    for (int position = 1; position <= 4; ++position) {
        if (mezTypes[position - 1] != kGeneratorType) continue;
        char label[8];
        std::snprintf(label, sizeof label, "%d", position);
        InsertListItem(MP, MP_MEZ_NUM, -1, label, position);
        any = true;
    }
    if (!any) {
        MessagePopup("", "нет наших мезонинов на базе");
        return;
    }
    SetActiveCtrl(MP, MP_MEZ_NUM);
    ShowStatusLine(kInitialising, kStatusWhite);
    DisplayPanel(MP);
    ProcessSystemEvents();
    selMezonin(MP, MP_MEZ_NUM, EVENT_COMMIT, nullptr, 0, 0);
}

int selMezonin(int panel, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    ShowStatusLine(kInitialising, kStatusWhite);
    DisplayPanel(MP);
    if (generatorSession != 0) {
        if (CheckDrvStatus(ksptrl4_close(generatorSession)) < 0) {
            // The old session stays open: the ring goes back to the position it drives.
            SetCtrlVal(panel, MP_MEZ_NUM, static_cast<int>(mezNum));
            return 0;
        }
        generatorSession = 0;
        coeffRec = nullptr;
    }
    unsigned short position = 0;
    GetCtrlVal(panel, MP_MEZ_NUM, &position);

    uint32_t session = 0;
    const char *resource = currentInstrument != nullptr ? currentInstrument->rsrcName : nullptr;
    const int32_t initStatus = ksptrl4_init(resource, 1, 1, &session);
    if (initStatus != 0) MessagePopup("", kInitFailed);
    generatorSession = initStatus < 0 ? 0 : session;
    const int32_t connectStatus = ksptrl4_connect(generatorSession, carrierSession, position, 1, 1);
    if (connectStatus != 0) MessagePopup("", kInitFailed);
    // A session that drives no mezzanine would fail every later call: demo mode instead. A
    // warning is no failure: the session drives its mezzanine.
    if (connectStatus < 0 && generatorSession != 0 && ksptrl4_close(generatorSession) >= 0)
        generatorSession = 0;

    if (carrierSession != 0) {
        mezNum = position;
        readCarrierAttribute(VI_ATTR_MAINFRAME_LA, crateAddr);
        readCarrierAttribute(VI_ATTR_SLOT, slotNum);
        char name[KSPBASE_TEXT_LEN] = "";
        kspbase_m_get_attribute(carrierSession, KSPBASE_ATTR_CARRIER_NAME, name);
        name[sizeof name - 1] = '\0';
        std::snprintf(carrierName, sizeof carrierName, "%s", name);
        char title[KSPBASE_TEXT_LEN + 32];
        std::snprintf(title, sizeof title, "ТРЛ4 N %d на %s", position, name);
        SetPanelAttribute(MP, ATTR_TITLE, title);
        logFileName[0] = '\0';
        uint32_t memory = kDemoMemorySize;
        if (generatorSession != 0) {
            const int32_t status = CheckDrvStatus(kspbase_mem_q(carrierSession, &memory));
            if (status < 0) return status;
        }
        const uint32_t waveformMemory = memory / 4 / 2;
        if (generatorSession != 0 && setUpSession(waveformMemory) < 0) return 0;
    }

    DefaultPanel(MP);
    SetCtrlVal(MP, MP_K, static_cast<int>(crateAddr));
    SetCtrlVal(MP, MP_S, static_cast<int>(slotNum));
    SetCtrlVal(panel, MP_MEZ_NUM, static_cast<int>(position));
    readEEPROM(CP, CP_READ_EEPROM, EVENT_COMMIT, nullptr, 0, 0);
    selFName(PP, PP_FILE_NAME, EVENT_COMMIT, nullptr, 0, 0);
    return 0;
}
