// The dialog "Измерительные приборы": the instruments on the bus that are no carriers, and
// the meter assigned to each of the four readings.
#include <string>
#include <vector>

#include "p_trl4.h"
#include "si.h"
#include "trl4/app_state.h"
#include "trl4/callbacks.h"
#include "trl4/meters.h"
#include "trl4/resource_name.h"
#include "trl4/status_line.h"
#include "userint.h"
#include "visa.h"

namespace {

constexpr int kRoleControls[kMeterRoles] = {MI_AMP_1, MI_AMP_2, MI_FREQ_1, MI_FREQ_2};

// What each ring item stands for: item 0 none, then the found meters, then assigned ones
// that did not answer.
std::vector<std::string> g_choices;

int roleOf(int control) {
    for (int role = 0; role < kMeterRoles; ++role) {
        if (kRoleControls[role] == control) return role;
    }
    return -1;
}

void fill() {
    std::vector<MeterEntry> found;
    const int32_t status = FindVISAmeters(found);
    if (status < 0 && status != VI_ERROR_RSRC_NFOUND) CheckDrvStatus(status);
    ClearListCtrl(MI, MI_LIST);
    g_choices.assign(1, std::string());
    for (size_t i = 0; i < found.size(); ++i) {
        const std::string line = found[i].resource + "  " + found[i].identity;
        InsertListItem(MI, MI_LIST, -1, line.c_str(), static_cast<int>(i));
        g_choices.push_back(found[i].resource);
    }
    std::vector<std::string> labels;
    for (const MeterEntry &m : found)
        labels.push_back(m.resource);
    for (int role = 0; role < kMeterRoles; ++role) {
        bool present = meterRsrc[role][0] == '\0';
        for (const MeterEntry &m : found) {
            if (trl4::visa::sameResource(m.resource, meterRsrc[role])) {
                present = true;
                CopyChars(meterIdn[role], kMeterTextSize, m.identity, kMeterTextSize - 1);
            }
        }
        meterMissing[role] = present ? 0 : 1;
        bool listed = present;
        for (size_t i = found.size() + 1; i < g_choices.size() && !listed; ++i)
            listed = trl4::visa::sameResource(g_choices[i], meterRsrc[role]);
        if (!listed) {
            // Shown as missing, not silently dropped: the operator decides.
            g_choices.push_back(meterRsrc[role]);
            labels.push_back(std::string(meterRsrc[role]) + " (не отвечает)");
        }
    }
    for (int role = 0; role < kMeterRoles; ++role) {
        const int control = kRoleControls[role];
        ClearListCtrl(MI, control);
        InsertListItem(MI, control, -1, "не назначен", 0);
        int chosen = 0;
        for (size_t i = 1; i < g_choices.size(); ++i) {
            InsertListItem(MI, control, -1, labels[i - 1].c_str(), static_cast<int>(i));
            if (trl4::visa::sameResource(g_choices[i], meterRsrc[role]))
                chosen = static_cast<int>(i);
        }
        SetCtrlIndex(MI, control, chosen);
    }
}

}  // namespace

int metersCB(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    fill();
    InstallPopup(MI);
    return 0;
}

int meterRoleCB(int, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    const int role = roleOf(control);
    int index = 0;
    GetCtrlIndex(MI, control, &index);
    if (role < 0 || index < 0 || static_cast<size_t>(index) >= g_choices.size()) return 0;
    const std::string &resource = g_choices[static_cast<size_t>(index)];
    CopyChars(meterRsrc[role], kMeterTextSize, resource, kMeterTextSize - 1);
    meterIdn[role][0] = '\0';
    meterMissing[role] = 0;
    std::string identity;
    if (!resource.empty()) {
        identity = QueryMeterIdentity(resource.c_str());
        meterMissing[role] = identity.empty() ? 1 : 0;
        CopyChars(meterIdn[role], kMeterTextSize, identity, kMeterTextSize - 1);
    }
    SaveMeterSettings();
    return 0;
}

int closeMetersCB(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) RemovePopup(0);
    return 0;
}
