#include "select.h"

#include <cstddef>
#include <cstring>

namespace {

int siPanel;  // 0 until the dialog is first built
int siOk, siCancel, siList;
InstrumentEntry *selectedInstr;

// A list line: every line feed of a description becomes two blanks, so the line can grow
// to twice the description.
char lineBuffer[2 * sizeof(InstrumentEntry::descr) + 1];

constexpr int kGrey = 0xC0C0C0;
constexpr int kWhite = 0xFFFFFF;

void hideDialog() {
    if (siPanel > 0) HidePanel(siPanel);
}

// One of the dialog's two grey buttons in the column right of the list.
int newButton(int panel, const char *name, const char *label, int top, CtrlCallbackPtr callback) {
    const int button = NewCtrl(panel, CTRL_COMMAND_BUTTON, label, top, 408);
    SetCtrlAttribute(panel, button, ATTR_CONSTANT_NAME, name);
    SetCtrlAttribute(panel, button, ATTR_WIDTH, 103);
    SetCtrlAttribute(panel, button, ATTR_HEIGHT, 25);
    SetCtrlAttribute(panel, button, ATTR_BACKCOLOR, kGrey);
    SetCtrlAttribute(panel, button, ATTR_CALLBACK_FUNCTION_POINTER, callback);
    return button;
}

}  // namespace

const char *SIListLine(const InstrumentEntry &entry) {
    size_t out = 0;
    for (size_t in = 0; in < sizeof entry.descr && entry.descr[in] != '\0'; ++in) {
        if (entry.descr[in] == '\n') {
            lineBuffer[out++] = ' ';
            lineBuffer[out++] = ' ';
        } else {
            lineBuffer[out++] = entry.descr[in];
        }
    }
    lineBuffer[out] = '\0';
    return lineBuffer;
}

int BuildSI(const char *title) {
    const int panel = NewPanel(0, title, 21, 44, 335, 517);
    if (panel <= 0) return panel;
    SetPanelAttribute(panel, ATTR_CONSTANT_NAME, "SI");
    SetPanelAttribute(panel, ATTR_BACKCOLOR, kGrey);

    siOk = newButton(panel, "OK", "Выбрать", 41, siOkCB);
    siCancel = newButton(panel, "CANCEL", "Отмена", 84, siCancelCB);

    siList = NewCtrl(panel, CTRL_LIST_BOX, "", 3, 14);
    SetCtrlAttribute(panel, siList, ATTR_CONSTANT_NAME, "LIST");
    SetCtrlAttribute(panel, siList, ATTR_WIDTH, 385);
    SetCtrlAttribute(panel, siList, ATTR_HEIGHT, 323);
    SetCtrlAttribute(panel, siList, ATTR_TEXT_BGCOLOR, kWhite);
    SetCtrlAttribute(panel, siList, ATTR_CALLBACK_FUNCTION_POINTER, siListCB);

    // Closing the window acts as pressing CANCEL.
    SetPanelAttribute(panel, ATTR_CLOSE_CTRL, siCancel);
    SetPanelAttribute(panel, ATTR_CENTER, 1);
    return panel;
}

namespace {

// The dialog kept from an earlier call, still alive in the run-time (a restarted run-time
// knows nothing of it).
bool dialogAlive() {
    if (siPanel <= 0) return false;
    char name[8] = "";
    return GetPanelAttribute(siPanel, ATTR_CONSTANT_NAME, name, sizeof name) == 0 &&
           std::strcmp(name, "SI") == 0;
}

}  // namespace

InstrumentEntry *SelectInstrument(const char *title) {
    if (!dialogAlive()) {
        siPanel = BuildSI(title);
        if (siPanel <= 0) {
            siPanel = 0;
            return nullptr;
        }
    }
    SetPanelAttribute(siPanel, ATTR_TITLE, title);
    if (SetListInstrs() == 0) return nullptr;
    DisplayPanel(siPanel);
    int visible = 1;
    while (visible) {
        ProcessSystemEvents();
        if (GetPanelAttribute(siPanel, ATTR_VISIBLE, &visible) < 0) break;
    }
    return selectedInstr;
}

int32_t SetListInstrs() {
    ClearListCtrl(siPanel, siList);
    int32_t lines = 0;
    for (int index = 0; index < SI_MAX_INSTRUMENTS; ++index) {
        if (Instruments[index].modelCode == 0) continue;
        InsertListItem(siPanel, siList, -1, SIListLine(Instruments[index]), index);
        ++lines;
    }
    return lines;
}

int SetCurInstr() {
    int count = 0;
    if (GetNumListItems(siPanel, siList, &count) < 0 || count <= 0) return -1;
    int index = -1;
    if (GetCtrlVal(siPanel, siList, &index) < 0) return -1;
    // The value is a table index put there by SetListInstrs; never trust it blindly.
    if (index < 0 || index >= SI_MAX_INSTRUMENTS) return -1;
    selectedInstr = &Instruments[index];
    return 0;
}

int siOkCB(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT && SetCurInstr() == 0) hideDialog();
    return 0;
}

int siCancelCB(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT || event == EVENT_DISCARD) {
        hideDialog();
        selectedInstr = nullptr;
    }
    return 0;
}

int siListCB(int, int, int event, void *, int, int) {
    if ((event == EVENT_COMMIT || event == EVENT_LEFT_DOUBLE_CLICK) && SetCurInstr() == 0)
        hideDialog();
    return 0;
}

int SelectDialogPanel() {
    return siPanel;
}

InstrumentEntry *SelectedInstrument() {
    return selectedInstr;
}
