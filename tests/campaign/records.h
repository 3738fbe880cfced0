// What a campaign session offered the program for each measuring point, and the checks of the
// records the program made against it: protocol points, record rows, EEPROM blocks, and files
// that may only grow. Toolkit-free, so it is unit-tested against records falsified on purpose.
#pragma once

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace campaign {

// A value a channel's field held for a point: typed by the harness, given by a meter (read_by
// then names the meter: its identity or, never asked, its resource), or the nominal the point
// was set up with and the operator confirmed untouched.
struct Offer {
    double value = 0;
    std::vector<std::string> readBy;  // what read_by may say for it
};

struct Point {
    int kind = 0;  // 0 amplitude, 1 frequency
    double nominal = 0;
    bool calibration = false;
    bool unattended = false;
    std::string mezzanine;  // "RESOURCE/position" whose outputs ran for it; empty: none
    std::array<std::vector<Offer>, 2> offers;
};

// A point and what it offered, for reports.
std::string showOffers(const Point &p);

struct Violation {
    std::string invariant;
    std::string detail;
};

// The tolerances and the verdict of a verification point, as the procedures define them.
double tolerance(int kind, double nominal);
bool passes(double nominal, double tolerancePercent, double reading);

// The two lines of a protocol point record, Windows-1251, without their CR LF.
std::array<std::string, 2> protocolPoint(double nominal, double tolerancePercent, double m1,
                                         double m2);

// Every point record of a protocol file (Windows-1251, CR LF) must be one the ledger's
// verification points allow, in their order; every line that is no header must belong to one.
// Points before `first` were set up before the file was named and cannot be in it; entry i
// appeared when only the first bounds[i] points had been set up (none: no bound).
std::vector<Violation> checkProtocol(const std::vector<Point> &points, std::string_view bytes,
                                     const std::string &name, size_t first = 0,
                                     const std::vector<size_t> &bounds = {});
size_t protocolPoints(std::string_view bytes);

// The same for the record beside the protocol (CSV): readings, errors, verdicts and read_by.
std::vector<Violation> checkRecord(const std::vector<Point> &points, std::string_view text,
                                   const std::string &name, size_t first = 0,
                                   const std::vector<size_t> &bounds = {});

// A file seen again must still begin with every byte it had before.
class GrowthWatch {
  public:
    // Returns false, with the violation, when earlier bytes changed or went missing.
    bool observe(const std::string &name, const std::string &bytes, Violation &out);

  private:
    std::map<std::string, std::string> seen_;
};

using Block = std::array<double, 6>;

// The EEPROM blocks a mezzanine may hold: its own earlier ones, the defaults, and those a
// calibration of that mezzanine computes from them.
class EepromWatch {
  public:
    struct Mezzanine {
        std::vector<Block> allowed;
        std::array<double, 2> offsets{0, 0};
    };
    void add(const std::string &mezzanine, const Block &initial, std::array<double, 2> offsets);
    // Checks a block the state folder holds now against the calibration points of the ledger;
    // an admissible block becomes one of the mezzanine's own.
    bool observe(const std::string &mezzanine, const Block &block, const std::vector<Point> &points,
                 Violation &out);

  private:
    std::map<std::string, Mezzanine> mezzanines_;
    bool elementAllowed(const Mezzanine &m, const std::string &name, size_t i, double v,
                        const std::vector<Point> &points) const;
};

std::string describe(const Block &block);

}  // namespace campaign
