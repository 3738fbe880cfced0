// The entries a lab types once: kept per user beside meters.yaml, written atomically.
#include "trl4/result_settings.h"

#include "trl4/os.h"
#include "trl4/yaml.h"

namespace trl4::result {

namespace {

constexpr std::size_t kMaxSettingsBytes = 256 * 1024;
constexpr const char *kInstrument = "instrument ";
constexpr const char *kMeter = "meter ";

std::string settingsPath() {
    const std::string folder = trl4::os::userSettingsDirectory();
    return folder.empty() ? folder : folder + trl4::os::kDirSeparator + "results.yaml";
}

std::string text(const trl4::yaml::Node &section, const char *key) {
    const trl4::yaml::Node *n = section.find(key);
    return n != nullptr && n->isScalar() ? n->text() : std::string();
}

// A section of the kept entries, as the writer gives it; anything else is not ours.
bool ours(const trl4::yaml::Node &section) {
    if (!section.isMapping()) return false;
    for (const trl4::yaml::Node &value : section.children())
        if (!value.isScalar() && !value.isNull()) return false;
    return true;
}

}  // namespace

bool loadSettings(Entries &entries, std::string &problem) {
    const std::string path = settingsPath();
    if (path.empty() || trl4::os::fileExists(path.c_str()) != 1) return true;
    std::string content;
    trl4::yaml::Node root;
    trl4::yaml::Error error;
    if (!trl4::os::readWholeFile(path.c_str(), content, kMaxSettingsBytes)) {
        problem = path + ": " + trl4::os::lastFileErrorText();
        return false;
    }
    if (!trl4::yaml::parse(content, root, error)) {
        problem = path + ": " + error.text();
        return false;
    }
    if (root.isNull()) return true;
    bool fine = root.isMapping();
    for (std::size_t i = 0; fine && i < root.size(); ++i)
        fine = ours(root[i]);
    if (!fine) {
        problem = path + ": ожидались записи лаборатории, средств измерений и приборов";
        return false;
    }
    for (const trl4::yaml::Node &section : root.children()) {
        const std::string &key = section.key();
        if (key == "lab") {
            entries.lab = {text(section, "name"), text(section, "cipher"),
                           text(section, "verifier"), text(section, "procedure"),
                           text(section, "interval-months")};
        } else if (key.rfind(kInstrument, 0) == 0) {
            InstrumentEntries &in =
                entries.instruments[key.substr(std::char_traits<char>::length(kInstrument))];
            in.typeNumber = text(section, "type-number");
            in.modification = text(section, "modification");
            in.serialNumber = text(section, "serial-number");
            in.manufactureYear = text(section, "year");
            in.owner = text(section, "owner");
        } else if (key.rfind(kMeter, 0) == 0) {
            entries.meters[key.substr(std::char_traits<char>::length(kMeter))] = {
                text(section, "type-number"), text(section, "serial-number"),
                text(section, "standard-number")};
        }
    }
    return true;
}

bool saveSettings(const Entries &entries, std::string &problem) {
    const std::string path = settingsPath();
    if (path.empty()) {
        problem = "нет папки настроек";
        return false;
    }
    trl4::yaml::Writer out;
    out.beginSection("lab");
    out.text("name", entries.lab.name);
    out.text("cipher", entries.lab.cipher);
    out.text("verifier", entries.lab.verifier);
    out.text("procedure", entries.lab.procedureTitle);
    out.text("interval-months", entries.lab.intervalMonths);
    out.endSection();
    for (const auto &[key, in] : entries.instruments) {
        out.beginSection(kInstrument + key);
        out.text("type-number", in.typeNumber);
        out.text("modification", in.modification);
        out.text("serial-number", in.serialNumber);
        out.text("year", in.manufactureYear);
        out.text("owner", in.owner);
        out.endSection();
    }
    for (const auto &[identity, m] : entries.meters) {
        out.beginSection(kMeter + identity);
        out.text("type-number", m.typeNumber);
        out.text("serial-number", m.serialNumber);
        out.text("standard-number", m.standardNumber);
        out.endSection();
    }
    const std::string content =
        "# p_trl4: the lab's entries for the verification result\n" + out.result();
    if (trl4::os::replaceFileContent(path.c_str(), content)) return true;
    problem = path + ": " + trl4::os::lastFileErrorText();
    return false;
}

}  // namespace trl4::result
