// The meters the operator assigned, kept per user in a small settings file, and their check
// at start-up.
#include <string>

#include "p_trl4.h"
#include "si.h"
#include "trl4/app_state.h"
#include "trl4/callbacks.h"
#include "trl4/meters.h"
#include "trl4/os.h"
#include "trl4/resource_name.h"
#include "trl4/status_line.h"
#include "trl4/yaml.h"
#include "userint.h"

namespace {

constexpr const char *kRoleKeys[kMeterRoles] = {"amplitude-1", "amplitude-2", "frequency-1",
                                                "frequency-2"};
constexpr std::size_t kMaxSettingsBytes = 64 * 1024;

std::string settingsPath() {
    const std::string folder = trl4::os::userSettingsDirectory();
    return folder.empty() ? folder : folder + trl4::os::kDirSeparator + "meters.yaml";
}

void assign(int role, const std::string &resource) {
    CopyChars(meterRsrc[role], kMeterTextSize, resource, kMeterTextSize - 1);
    meterIdn[role][0] = '\0';
    meterMissing[role] = 0;
}

// Reads the assignment; a file that is not ours assigns nothing and says why.
void readSettings(const std::string &path) {
    std::string text;
    if (trl4::os::fileExists(path.c_str()) != 1) return;
    trl4::yaml::Node root;
    trl4::yaml::Error error;
    std::string problem;
    if (!trl4::os::readWholeFile(path.c_str(), text, kMaxSettingsBytes)) {
        problem = trl4::os::lastFileErrorText();
    } else if (!trl4::yaml::parse(text, root, error)) {
        problem = error.text();
    } else if (!root.isMapping() && !root.isNull()) {
        problem = "ожидались назначения приборов";
    }
    for (int role = 0; role < kMeterRoles && problem.empty(); ++role) {
        const trl4::yaml::Node *n = root.find(kRoleKeys[role]);
        if (n != nullptr && !n->isScalar() && !n->isNull())
            problem = "неверное значение " + n->key();
    }
    if (!problem.empty()) {
        const std::string line = "Файл измерительных приборов " + path + ": " + problem;
        ShowStatusLine(line.c_str(), kStatusRed);
        return;
    }
    for (int role = 0; role < kMeterRoles; ++role) {
        const trl4::yaml::Node *n = root.find(kRoleKeys[role]);
        assign(role, n != nullptr ? n->text() : std::string());
    }
}

}  // namespace

void LoadMeterSettings() {
    const std::string path = settingsPath();
    if (!path.empty()) readSettings(path);
}

void CheckMeterSettings() {
    std::string missing;
    for (int role = 0; role < kMeterRoles; ++role) {
        if (meterRsrc[role][0] == '\0') continue;
        // One question to each instrument, however many readings it serves.
        std::string identity;
        bool asked = false;
        for (int earlier = 0; earlier < role && !asked; ++earlier) {
            if (trl4::visa::sameResource(meterRsrc[earlier], meterRsrc[role])) {
                identity = meterIdn[earlier];
                asked = true;
            }
        }
        if (!asked) identity = QueryMeterIdentity(meterRsrc[role]);
        CopyChars(meterIdn[role], kMeterTextSize, identity, kMeterTextSize - 1);
        meterMissing[role] = identity.empty() ? 1 : 0;
        if (identity.empty() && missing.empty()) missing = meterRsrc[role];
    }
    if (!missing.empty()) {
        const std::string line = "Измерительный прибор " + missing + " не отвечает";
        ShowStatusLine(line.c_str(), kStatusRed);
    }
}

bool SaveMeterSettings() {
    const std::string path = settingsPath();
    trl4::yaml::Writer out;
    for (int role = 0; role < kMeterRoles; ++role)
        out.text(kRoleKeys[role], meterRsrc[role]);
    const std::string text =
        "# p_trl4: the outside meters assigned to the readings\n" + out.result();
    if (!path.empty() && trl4::os::replaceFileContent(path.c_str(), text)) return true;
    const std::string line = "Не записан файл измерительных приборов " +
                             (path.empty() ? std::string("(нет папки настроек)") : path);
    ShowStatusLine(line.c_str(), kStatusRed);
    return false;
}
