// The result files beside the protocol, made from its record and the lab's entries.
#include "trl4/os.h"
#include "trl4/result.h"

namespace trl4::result {

std::string recordPath(const std::string &protocolPath) {
    return protocolPath + ".csv";
}

std::string xmlPath(const std::string &protocolPath) {
    return protocolPath + ".arshin.xml";
}

std::string htmlPath(const std::string &protocolPath) {
    return protocolPath + ".html";
}

bool readRecord(const std::string &protocolPath, std::vector<MezzanineVerdict> &verdicts,
                std::vector<std::string> &problems) {
    verdicts.clear();
    const std::string path = recordPath(protocolPath);
    if (trl4::os::fileSize(path.c_str()) > static_cast<std::int64_t>(kMaxRecordBytes)) {
        problems.push_back("Запись " + path + ": больше " + std::to_string(kMaxRecordBytes) +
                           " байт");
        return false;
    }
    std::string text;
    if (!trl4::os::readWholeFile(path.c_str(), text, kMaxRecordBytes)) {
        problems.push_back("Запись " + path + " не прочитана: " + trl4::os::lastFileErrorText());
        return false;
    }
    std::vector<RecordRow> rows;
    std::vector<RecordProblem> faults;
    if (!parseRecord(text, rows, faults)) {
        for (const RecordProblem &f : faults)
            problems.push_back("Запись " + path + ", " + f.text());
        return false;
    }
    verdicts = judgeRecord(rows);
    return true;
}

bool exportResult(const std::string &protocolPath, const Entries &entries,
                  std::vector<std::string> &problems) {
    std::vector<MezzanineVerdict> verdicts;
    if (!readRecord(protocolPath, verdicts, problems)) return false;
    const std::vector<std::string> wrong = checkEntries(entries, verdicts);
    if (!wrong.empty()) {
        problems.insert(problems.end(), wrong.begin(), wrong.end());
        return false;
    }
    std::string name = protocolPath;
    if (const auto cut = name.find_last_of("/\\"); cut != std::string::npos) name.erase(0, cut + 1);
    const std::pair<std::string, std::string> files[] = {
        {xmlPath(protocolPath), arshinXml(entries, verdicts)},
        {htmlPath(protocolPath), printedProtocol(entries, verdicts, name)},
    };
    for (const auto &[path, content] : files) {
        if (!trl4::os::replaceFileContent(path.c_str(), content)) {
            problems.push_back("Не записан файл " + path + ": " + trl4::os::lastFileErrorText());
            return false;
        }
    }
    return true;
}

}  // namespace trl4::result
