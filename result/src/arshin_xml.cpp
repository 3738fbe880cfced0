// The registry's import application (format of 2020-06-19): one result per mezzanine whose
// two full verifications the record holds, the elements in the order of the format.
#include <charconv>

#include "text.h"
#include "trl4/result.h"

namespace trl4::result {

namespace {

constexpr const char *kNamespace =
    "urn://fgis-arshin.gost.ru/module-verifications/import/2020-06-19";
constexpr std::size_t kMaxReasonsChars = 1024;

class Xml {
  public:
    explicit Xml(int depth) : depth_(depth) {}
    void open(const char *name) {
        indent();
        out_ += "<gost:";
        out_ += name;
        out_ += ">\n";
        ++depth_;
    }
    void close(const char *name) {
        --depth_;
        indent();
        out_ += "</gost:";
        out_ += name;
        out_ += ">\n";
    }
    void leaf(const char *name, const std::string &value) {
        indent();
        out_ += "<gost:";
        out_ += name;
        out_ += '>';
        out_ += text::escaped(value);
        out_ += "</gost:";
        out_ += name;
        out_ += ">\n";
    }
    void optional(const char *name, const std::string &value) {
        if (!text::blank(value)) leaf(name, value);
    }
    std::string &out() { return out_; }

  private:
    void indent() { out_.append(2 * static_cast<std::size_t>(depth_), ' '); }

    std::string out_;
    int depth_;
};

// The failing points, as many whole as the field holds.
std::string reasonsText(const std::vector<std::string> &reasons) {
    std::string out;
    for (const std::string &r : reasons) {
        const std::string next = out.empty() ? r : out + "; " + r;
        if (text::chars(next) > kMaxReasonsChars) {
            if (text::chars(out) + 2 <= kMaxReasonsChars) out += "; …";
            break;
        }
        out = next;
    }
    return out;
}

void mean(Xml &xml, const MeanEntries &m) {
    xml.open("mi");
    xml.leaf("typeNum", m.typeNumber);
    xml.leaf("manufactureNum", m.serialNumber);
    xml.close("mi");
}

void means(Xml &xml, const Entries &entries, const MezzanineVerdict &v) {
    std::vector<MeanEntries> all;
    for (const std::string &meter : v.meters())
        all.push_back(entries.meters.at(meter));
    if (v.typedReadings()) {
        for (const MeanEntries &m : entries.verification.typedMeans)
            all.push_back(m);
    }
    xml.open("means");
    bool standards = false, instruments = false;
    for (const MeanEntries &m : all) {
        standards = standards || !text::blank(m.standardNumber);
        instruments = instruments || text::blank(m.standardNumber);
    }
    if (standards) {
        xml.open("mieta");
        for (const MeanEntries &m : all)
            if (!text::blank(m.standardNumber)) xml.leaf("number", m.standardNumber);
        xml.close("mieta");
    }
    if (instruments) {
        xml.open("mis");
        for (const MeanEntries &m : all)
            if (text::blank(m.standardNumber)) mean(xml, m);
        xml.close("mis");
    }
    xml.close("means");
}

void result(Xml &xml, const Entries &entries, const MezzanineVerdict &v) {
    const InstrumentEntries &in =
        entries.instruments.at(instrumentKey(v.mezzanine.carrier, v.mezzanine.position));
    const VerificationEntries &now = entries.verification;
    xml.open("result");
    xml.open("miInfo");
    xml.open("singleMI");
    xml.leaf("mitypeNumber", in.typeNumber);
    xml.leaf("manufactureNum", in.serialNumber);
    xml.optional("manufactureYear", in.manufactureYear);
    xml.leaf("modification", in.modification);
    xml.close("singleMI");
    xml.close("miInfo");
    xml.leaf("signCipher", entries.lab.cipher);
    xml.optional("miOwner", in.owner);
    xml.leaf("vrfDate", v.date());
    if (v.fit()) {
        int months = 0;
        const std::string &m = entries.lab.intervalMonths;
        std::from_chars(m.data(), m.data() + m.size(), months);
        xml.leaf("validDate", validUntil(v.date(), months));
    }
    xml.leaf("type", std::to_string(now.type));
    xml.leaf("calibration", "false");
    if (v.fit()) {
        xml.open("applicable");
        xml.leaf("stickerNum", in.stickerNumber);
        xml.leaf("signPass", now.signPassport ? "true" : "false");
        xml.leaf("signMi", now.signInstrument ? "true" : "false");
        xml.close("applicable");
    } else {
        xml.open("inapplicable");
        xml.leaf("reasons", reasonsText(v.reasons()));
        xml.close("inapplicable");
    }
    xml.leaf("docTitle", entries.lab.procedureTitle);
    xml.optional("metrologist", entries.lab.verifier);
    means(xml, entries, v);
    xml.open("conditions");
    xml.leaf("temperature", now.temperature);
    xml.leaf("pressure", now.pressure);
    xml.leaf("hymidity", now.humidity);
    xml.close("conditions");
    xml.close("result");
}

}  // namespace

std::string arshinXml(const Entries &entries, const std::vector<MezzanineVerdict> &verdicts) {
    Xml xml(1);
    xml.out() = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gost:application xmlns:gost=\"";
    xml.out() += kNamespace;
    xml.out() += "\">\n";
    for (const MezzanineVerdict &v : verdicts)
        if (v.complete()) result(xml, entries, v);
    xml.out() += "</gost:application>\n";
    return xml.out();
}

}  // namespace trl4::result
