// The outside meters over VISA: one query per reading, its failures in the operator's words.
#include "trl4/meters.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

#include "p_trl4.h"
#include "trl4/app_state.h"
#include "trl4/callbacks.h"
#include "trl4/protocol_text.h"
#include "trl4/resource_name.h"
#include "trl4/status_line.h"
#include "trl4/verification.h"
#include "trl4visa/identity.h"
#include "userint.h"
#include "visa.h"

namespace {

constexpr size_t kReplyBytes = 256;
// SCPI's overload reading, and the largest value taken as a reading.
constexpr double kOverload = 9.9e37;
constexpr ViUInt32 kMeterTimeoutMs = 5000;

struct Filled {
    bool fromMeter = false;
    double value = 0;
    std::string identity;
};
std::array<Filled, 2> g_filled;

template <class... Args>
std::string text(const char *format, const Args &...args) {
    const std::array<trl4::protocol::Arg, sizeof...(Args)> packed{trl4::protocol::toArg(args)...};
    return trl4::protocol::formatMessage(format, packed);
}

std::string_view trimmed(const char *reply) {
    std::string_view s(reply);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' '))
        s.remove_suffix(1);
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    return s;
}

// One command and its reply on an open meter session; the reply without its line end.
ViStatus ask(ViSession vi, const std::string &command, std::string &reply) {
    char buffer[kReplyBytes] = "";
    const ViStatus st = trl4visa::query(vi, command + "\n", buffer, sizeof buffer);
    reply = st >= 0 ? std::string(trimmed(buffer)) : std::string();
    return st;
}

// Why a measurement got no reply: the meter's own error, or its silence.
std::string silence(ViSession vi, const char *resource) {
    std::string error;
    if (ask(vi, "SYST:ERR?", error) >= 0 && !error.empty() && error[0] != '0' &&
        error.rfind("+0", 0) != 0) {
        return text("Измерительный прибор %s: ошибка %s", resource, error.c_str());
    }
    return text("Измерительный прибор %s не отвечает", resource);
}

// The reply as a number, whatever the process locale.
bool number(std::string_view reply, double &value) {
    if (!reply.empty() && reply.front() == '+') reply.remove_prefix(1);
    const auto [end, ec] = std::from_chars(reply.data(), reply.data() + reply.size(), value);
    return !reply.empty() && ec == std::errc() && end == reply.data() + reply.size() &&
           std::isfinite(value);
}

// Any two spellings of one resource name the same meter; no name names none.
bool sameResource(const char *a, const char *b) {
    return a[0] != '\0' && trl4::visa::sameResource(a, b);
}

}  // namespace

std::string QueryMeterIdentity(const char *resource) {
    ViSession rm = VI_NULL, vi = VI_NULL;
    std::string reply;
    if (viOpenDefaultRM(&rm) < 0) return reply;
    if (viOpen(rm, resource, VI_NO_LOCK, 0, &vi) >= 0) {
        viSetAttribute(vi, VI_ATTR_TMO_VALUE, kMeterTimeoutMs);
        if (ask(vi, "*IDN?", reply) < 0) reply.clear();
    }
    viClose(rm);
    return reply;
}

MeterReadingResult ReadAssignedMeter(int kind, int channel) {
    MeterReadingResult r;
    const char *resource = meterRsrc[MeterRole(kind, channel)];
    // A meter serving both channels of a kind has an input for each: the channel list says which.
    const bool scanner = sameResource(resource, meterRsrc[MeterRole(kind, 3 - channel)]);
    std::string command = kind == 0 ? "MEAS:VOLT:AC?" : "MEAS:FREQ?";
    if (scanner) command += text(" (@%d)", channel);
    ViSession rm = VI_NULL, vi = VI_NULL;
    if (viOpenDefaultRM(&rm) < 0 || viOpen(rm, resource, VI_NO_LOCK, 0, &vi) < 0) {
        r.failure = text("Измерительный прибор %s не найден", resource);
        if (rm != VI_NULL) viClose(rm);
        return r;
    }
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, kMeterTimeoutMs);
    std::string reply;
    double value = 0;
    if (ask(vi, command, reply) < 0 || reply.empty()) {
        r.failure = silence(vi, resource);
    } else if (!number(reply, value)) {
        r.failure =
            text("Измерительный прибор %s: непонятный ответ \"%s\"", resource, reply.c_str());
    } else if (std::fabs(value) >= kOverload) {
        r.failure = text("Измерительный прибор %s: перегрузка", resource);
    } else if (value < 0) {
        // An amplitude or a frequency is never negative: the meter is not measuring this output.
        r.failure =
            text("Измерительный прибор %s: отрицательное показание %s", resource, reply.c_str());
    } else {
        r.ok = true;
        r.value = kind == 0 ? value * std::sqrt(2.0) : value;
    }
    viClose(rm);
    return r;
}

namespace {

// The names of the four readings as the meters' dialog gives them.
constexpr const char *kRoleNames[kMeterRoles] = {"Амплитуда, канал 1", "Амплитуда, канал 2",
                                                 "Частота, канал 1", "Частота, канал 2"};

// The meters' own last failure on the status line: their later success may clear it, and
// nothing else that the line shows.
std::string g_failureShown;

void showFailure(const std::string &failure) {
    ShowStatusLine(failure.c_str(), kStatusRed);
    g_failureShown = failure;
}

void clearOwnFailure() {
    char shown[1024] = "";
    GetCtrlVal(MP, MP_ERROR_MESSAGE, shown, sizeof shown);
    if (!g_failureShown.empty() && g_failureShown == shown) DefaultCtrl(MP, MP_ERROR_MESSAGE);
    g_failureShown.clear();
}

int fieldOf(int channel) {
    return channel == 1 ? VP_VAL_1 : VP_VAL_2;
}

bool fieldShown(int channel) {
    int visible = 1;
    GetCtrlAttribute(VP, fieldOf(channel), ATTR_VISIBLE, &visible);
    return visible != 0;
}

}  // namespace

std::string UnassignedMeters(int kind, int channels) {
    std::string names;
    for (int channel = 1; channel <= channels; ++channel) {
        const int role = MeterRole(kind, channel);
        if (meterRsrc[role][0] != '\0') continue;
        names += names.empty() ? "«" : ", «";
        names += kRoleNames[role];
        names += "»";
    }
    return names.empty() ? names : "Не назначен измерительный прибор для показаний: " + names;
}

std::string FillReadingsFromMeters(bool everyShownField) {
    if (everyShownField) {
        const std::string unassigned = UnassignedMeters(measKind, fieldShown(2) ? 2 : 1);
        if (!unassigned.empty()) {
            showFailure(unassigned);
            return unassigned;
        }
    }
    std::array<MeterReadingResult, 2> readings;
    bool any = false;
    for (int channel = 1; channel <= 2; ++channel) {
        if (!fieldShown(channel) || meterRsrc[MeterRole(measKind, channel)][0] == '\0') continue;
        MeterReadingResult &r = readings[static_cast<size_t>(channel - 1)];
        r = ReadAssignedMeter(measKind, channel);
        if (!r.ok) {
            showFailure(r.failure);
            return r.failure;
        }
        any = true;
    }
    if (!any) {
        const std::string failure = "Не назначен измерительный прибор для этой точки";
        showFailure(failure);
        return failure;
    }
    for (int channel = 1; channel <= 2; ++channel) {
        const MeterReadingResult &r = readings[static_cast<size_t>(channel - 1)];
        if (!r.ok) continue;
        SetCtrlVal(VP, fieldOf(channel), r.value);
        MarkReadingBeyondLimits(fieldOf(channel));
        // What the field holds after its own rounding is what the meter gave.
        Filled &f = g_filled[static_cast<size_t>(channel - 1)];
        GetCtrlVal(VP, fieldOf(channel), &f.value);
        f.fromMeter = true;
        f.identity = meterIdn[MeterRole(measKind, channel)];
        if (f.identity.empty()) f.identity = meterRsrc[MeterRole(measKind, channel)];
    }
    clearOwnFailure();
    return {};
}

std::string ReadingSource(int channel) {
    const Filled &f = g_filled[static_cast<size_t>(channel - 1)];
    double now = 0;
    GetCtrlVal(VP, channel == 1 ? VP_VAL_1 : VP_VAL_2, &now);
    return f.fromMeter && now == f.value ? f.identity : std::string("typed");
}

void ForgetMeterReadings() {
    g_filled = {};
}

int vpMeasure(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) FillReadingsFromMeters(false);
    return 0;
}
