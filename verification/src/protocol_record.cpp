// The machine-readable record beside the protocol file: "<protocol>.csv", UTF-8, RFC 4180,
// one header row, one row per recorded point, each row written whole as the protocol is.
#include "trl4/protocol_record.h"

#include <charconv>
#include <string>

#include "trl4/app_state.h"
#include "trl4/os.h"
#include "trl4/status_line.h"

namespace {

trl4::os::File *g_record = nullptr;
std::string g_recordName;
int g_fullPoint = 0;

constexpr const char *kHeader =
    "time,crate,slot,position,carrier,kind,nominal,tolerance_percent,"
    "reading_1,abs_error_1,rel_error_percent_1,verdict_1,read_by_1,"
    "reading_2,abs_error_2,rel_error_percent_2,verdict_2,read_by_2,"
    "mathlib_version,mathlib_crc32,procedure,point\r\n";

void field(std::string &row, std::string_view text) {
    if (!row.empty()) row += ',';
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        row.append(text);
        return;
    }
    row += '"';
    for (char c : text) {
        if (c == '"') row += '"';
        row += c;
    }
    row += '"';
}

// The shortest text that reads back as the same double, whatever the process locale.
void number(std::string &row, double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value);
    field(row, std::string_view(text, static_cast<size_t>(end.ptr - text)));
}

void reportFailure(const char *what) {
    const std::string text =
        std::string(what) + " " + g_recordName + ": " + trl4::os::lastFileErrorText();
    ShowStatusLine(text.c_str(), kStatusRed);
}

std::string_view trimmedVerdict(std::string_view verdict) {
    while (!verdict.empty() && verdict.back() == ' ')
        verdict.remove_suffix(1);
    return verdict;
}

}  // namespace

void OpenProtocolRecord(const char *protocolName) {
    CloseProtocolRecord();
    g_recordName = std::string(protocolName) + ".csv";
    const bool fresh = trl4::os::fileSize(g_recordName.c_str()) <= 0;
    g_record = trl4::os::openForAppending(g_recordName.c_str());
    if (g_record == nullptr) {
        reportFailure("Не открыт файл");
        return;
    }
    if (fresh && !trl4::os::writeFile(g_record, kHeader, std::char_traits<char>::length(kHeader)))
        reportFailure("Ошибка записи в файл");
}

bool CloseProtocolRecord() {
    const bool ok = g_record == nullptr || trl4::os::closeFile(g_record);
    g_record = nullptr;
    return ok;
}

void SetFullProcedurePoint(int point) {
    g_fullPoint = point;
}

void WriteProtocolRecord(int kind, double nominal, double tolerance,
                         const std::array<RecordedReading, 2> &readings) {
    if (g_record == nullptr) return;
    std::string row;
    field(row, trl4::os::localTimeIso8601());
    field(row, std::to_string(crateAddr));
    field(row, std::to_string(slotNum));
    field(row, std::to_string(mezNum));
    field(row, carrierName);
    field(row, kind == 0 ? "amplitude" : "frequency");
    number(row, nominal);
    number(row, tolerance);
    for (const RecordedReading &r : readings) {
        number(row, r.value);
        number(row, nominal - r.value);
        number(row, (nominal - r.value) / nominal * 100);
        field(row, trimmedVerdict(r.verdict));
        field(row, r.readBy);
    }
    field(row, mathLibraryVersion);
    field(row, mathLibraryCrc);
    field(row, g_fullPoint > 0 ? "full" : "single");
    field(row, g_fullPoint > 0 ? std::to_string(g_fullPoint) : std::string());
    row += "\r\n";
    if (!trl4::os::writeFile(g_record, row.data(), row.size()))
        reportFailure("Ошибка записи в файл");
}
