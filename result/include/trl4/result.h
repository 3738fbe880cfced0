// The verification result a lab hands in, made from the record beside the protocol and the
// lab's entries alone: the conclusion the program draws, the registry's XML application and
// the printed protocol. Toolkit-free; both platforms share it.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "trl4/result_record.h"

namespace trl4::result {

// A mezzanine as the record names it.
struct Mezzanine {
    unsigned crate = 0, slot = 0, position = 0;
    std::string carrier;
    auto operator<=>(const Mezzanine &) const = default;
};

// What the instrument's own entries are kept by: its carrier's name and its position.
std::string instrumentKey(const std::string &carrier, unsigned position);

// One full verification of a kind: its rows, all of the procedure's points in order.
struct FullRun {
    Kind kind = Kind::Amplitude;
    std::vector<RecordRow> rows;
};

// What the record says of one mezzanine.
struct MezzanineVerdict {
    Mezzanine mezzanine;
    // The last full verification of each kind, when one was recorded whole.
    std::optional<FullRun> amplitude, frequency;
    // Both recorded: a conclusion can be drawn.
    bool complete() const { return amplitude.has_value() && frequency.has_value(); }
    // Every point of both is "норма".
    bool fit() const;
    // The failing points, one text each ("Амплитуда 10 В, канал 2: погрешность …").
    std::vector<std::string> reasons() const;
    // Why no conclusion can be drawn; empty when complete.
    std::string incompleteness() const;
    // Date of the latest point of both runs (YYYY-MM-DD); empty when its time was not read.
    std::string date() const;
    // The meters whose identities read the points, in the order first met.
    std::vector<std::string> meters() const;
    // Some reading was typed: the lab names the means used.
    bool typedReadings() const;
};

// Every mezzanine the record names, in the order first recorded.
std::vector<MezzanineVerdict> judgeRecord(const std::vector<RecordRow> &rows);

// What only the lab knows. Texts are UTF-8 as typed.
struct LabEntries {
    std::string name;  // the lab's name for the printed page; may be empty
    std::string cipher;
    std::string verifier;
    std::string procedureTitle;
    std::string intervalMonths;
};

struct InstrumentEntries {
    std::string typeNumber;
    std::string modification;
    std::string serialNumber;
    std::string manufactureYear;  // may be empty
    std::string owner;            // may be empty
    std::string stickerNumber;    // for this verification, when fit
};

// A measuring instrument by its type's register number and serial number, or a reference
// standard by its register number.
struct MeanEntries {
    std::string typeNumber;
    std::string serialNumber;
    std::string standardNumber;
};

struct VerificationEntries {
    std::string temperature, pressure, humidity;
    int type = 0;  // 1 first, 2 periodic
    bool signPassport = false;
    bool signInstrument = false;
    // The means used for readings that were typed.
    std::vector<MeanEntries> typedMeans;
};

struct Entries {
    LabEntries lab;
    std::map<std::string, InstrumentEntries> instruments;  // by instrumentKey
    std::map<std::string, MeanEntries> meters;             // by the meter's identity
    VerificationEntries verification;
    std::string printedOn;  // YYYY-MM-DD, the date the page is made
};

// Each entry that is missing or malformed for these mezzanines, as the operator's text
// naming it; empty when everything may be exported.
std::vector<std::string> checkEntries(const Entries &entries,
                                      const std::vector<MezzanineVerdict> &verdicts);

// The last day of validity: the verification date plus the interval, less a day.
std::string validUntil(const std::string &date, int months);

// The registry's application: one result per complete mezzanine. Entries must have passed
// checkEntries.
std::string arshinXml(const Entries &entries, const std::vector<MezzanineVerdict> &verdicts);

// The printed protocol: a self-contained HTML page for A4.
std::string printedProtocol(const Entries &entries, const std::vector<MezzanineVerdict> &verdicts,
                            const std::string &protocolName);

// The files beside the protocol: "<protocol>.csv" read, "<protocol>.arshin.xml" and
// "<protocol>.html" written.
std::string recordPath(const std::string &protocolPath);
std::string xmlPath(const std::string &protocolPath);
std::string htmlPath(const std::string &protocolPath);

// Reads and judges the record beside the protocol; problems name what was refused.
bool readRecord(const std::string &protocolPath, std::vector<MezzanineVerdict> &verdicts,
                std::vector<std::string> &problems);

// Reads the record, checks the entries and replaces both files, each atomically. Nothing is
// written while any problem stands; problems name each.
bool exportResult(const std::string &protocolPath, const Entries &entries,
                  std::vector<std::string> &problems);

}  // namespace trl4::result
