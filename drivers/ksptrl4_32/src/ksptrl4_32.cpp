// Generator mezzanine driver stand-in: sessions, connection to a carrier position, the
// calibration block with its EEPROM, offsets, self-test, revision and error texts.
#include "ksptrl4_32.h"

#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "../../common/carrier_session.h"
#include "../../common/driver_call.h"
#include "generator.h"
#include "kspbase.h"
#include "math_library.h"
#include "trl4/resource_name.h"

namespace {

using trl4drv::Call;
using trl4drv::ChannelSettings;
using trl4drv::Generator;
using trl4drv::guarded;
using trl4drv::kBytesPerSample;
using trl4drv::kFullScaleVolts;
using trl4drv::kModeForm;
using trl4drv::kModeOff;
using trl4drv::kModeSine;
using trl4drv::synthesise;
using trl4drv::traceArgs;
using trl4drv::usable;

constexpr const char *kDriverRevision = "1.0.0 (имитатор)";
constexpr uint32_t kFirstHandle = 0x10001;

struct Session {
    ViSession rm = 0;
    ViSession vi = 0;  // the driver's own VISA session to the carrier
    std::string resource;
    bool connected = false;
    int position = 0;
    // Handed out by address (0x3FFF0902), so it must not move while the session lives.
    std::unique_ptr<trl4sim::Coefficients> coefficients =
        std::make_unique<trl4sim::Coefficients>(trl4sim::kDefaultCoefficients);
    double offsets[2] = {0, 0};
    uint32_t allocated = 0;  // waveform memory in bytes
    trl4drv::Generator gen;
    std::unique_ptr<trl4drv::MathLibrary> math;
};

std::mutex sessionsMutex;
std::map<uint32_t, Session> sessions;
uint32_t lastHandle = kFirstHandle - 1;

// The bench's view of a session's mezzanine. Everything else comes from the session entry.
struct Target {
    Session *session = nullptr;
    std::shared_ptr<const trl4sim::Bench> bench;
    const trl4sim::Resource *resource = nullptr;
    const trl4sim::Mezzanine *mezzanine = nullptr;
};

// Finds a session; with needConnected also its mezzanine on the bench. Holds no lock on
// return: sessions live on one thread, as the front panel does.
int32_t target(uint32_t handle, bool needConnected, Target &t) {
    {
        std::lock_guard lock(sessionsMutex);
        auto it = sessions.find(handle);
        if (handle == 0 || it == sessions.end()) return KSPTRL4_ERROR_SESSION;
        t.session = &it->second;
    }
    if (!needConnected) return VI_SUCCESS;
    if (!t.session->connected) return KSPTRL4_ERROR_NOT_CONNECTED;
    t.bench = trl4sim::current();
    if (!t.bench) return VI_ERROR_SYSTEM_ERROR;
    t.resource = trl4sim::findResource(*t.bench, t.session->resource);
    if (t.resource == nullptr || !t.resource->carrier) return KSPTRL4_ERROR_NO_MEZZANINE;
    t.mezzanine = &t.resource->carrier->positions[static_cast<size_t>(t.session->position - 1)];
    if (t.mezzanine->typeCode != trl4sim::kTypeGenerator) return KSPTRL4_ERROR_NO_MEZZANINE;
    return VI_SUCCESS;
}

// An operation on a connected session's mezzanine: refused, with its trace line, before
// body runs when there is no bench, session or mezzanine.
template <typename Args, typename Body>
int32_t onMezzanine(const char *name, uint32_t session, Args args, Body body) noexcept {
    return guarded(name, args, [&](Call &call) {
        if (int32_t st = call.enter()) return call.done(st);
        Target t;
        if (int32_t st = target(session, true, t)) return call.done(st);
        return body(call, t);
    });
}

// The same for an operation that takes only the session.
template <typename Body>
int32_t onMezzanine(const char *name, uint32_t session, Body body) noexcept {
    return onMezzanine(
        name, session, [&] { return traceArgs(session); }, body);
}

// Generator limits (the header lists them for callers).
constexpr double kMaxRange = 10.0;
constexpr double kMaxRampRate = 1e6;
constexpr double kMinSineFreq = 0.001;
constexpr double kMaxSineFreq = 10e6;
constexpr int32_t kMaxRepetMode = 8;
constexpr double kMaxRepetValue = 100.0;
constexpr double kMinSampleRate = 1.0;
constexpr double kMaxSampleRate = 100e6;

// True for a number in [low, high] ((low, high] when the low end is excluded); never NaN.
bool within(double v, double low, double high, bool lowIncluded = true) {
    return (lowIncluded ? v >= low : v > low) && v <= high;
}

// Hands what the outputs carry to the bench, where an outside meter sees it.
void publish(const Session &s) {
    for (size_t c = 0; c < 2; ++c) {
        trl4sim::setOutput(s.resource, s.position, static_cast<int>(c + 1), s.gen.active[c]);
    }
}

// Stops what this session plays; another session's output on the mezzanine stays.
void silence(Session &s) {
    if (s.connected && s.gen.running) {
        for (int c = 1; c <= 2; ++c)
            trl4sim::setOutput(s.resource, s.position, c, std::nullopt);
    }
    s.gen.running = false;
}

// A setting of channel 1, 2 or (0) both: the channel and check() first, then set() on each.
template <typename Args, typename Check, typename Set>
int32_t onChannels(const char *name, uint32_t session, int32_t channel, Args args, Check check,
                   Set set) noexcept {
    return onMezzanine(name, session, args, [&](Call &call, Target &t) {
        if (channel < 0 || channel > 2) return call.done(KSPTRL4_ERROR_CHANNEL);
        if (int32_t st = check()) return call.done(st);
        for (size_t c = 0; c < 2; ++c) {
            if (channel == 0 || static_cast<size_t>(channel) == c + 1) {
                set(t.session->gen.channels[c]);
            }
        }
        return call.done(VI_SUCCESS);
    });
}

struct Message {
    int32_t status;
    const char *text;
};

constexpr Message kMessages[] = {
    {VI_SUCCESS, "Успешное выполнение"},
    {KSPTRL4_WARN_EEPROM_DEFAULTS,
     "EEPROM не содержит коэффициентов, действуют коэффициенты по умолчанию"},
    {KSPTRL4_ERROR_SESSION, "Недействительный сеанс драйвера ТРЛ4"},
    {KSPTRL4_ERROR_PARAMETER, "Неверный параметр вызова драйвера ТРЛ4"},
    {KSPTRL4_ERROR_NOT_CONNECTED, "Сеанс драйвера не подключен к мезонину"},
    {KSPTRL4_ERROR_NO_MEZZANINE, "В указанной позиции носителя нет мезонина ТРЛ4"},
    {KSPTRL4_ERROR_EEPROM, "Ошибка обмена с EEPROM мезонина"},
    {KSPTRL4_ERROR_MEMORY, "Недостаточно памяти форм носителя"},
    {KSPTRL4_ERROR_ATTRIBUTE, "Неизвестный атрибут драйвера ТРЛ4"},
    {KSPTRL4_ERROR_SELF_TEST, "Самоконтроль обнаружил неисправность"},
    {KSPTRL4_ERROR_NOT_SUPPORTED, "Операция не поддерживается"},
    {KSPTRL4_WARN_FORM_CLIPPED, "Отсчеты формы за пределами ±10 В ограничены"},
    {KSPTRL4_ERROR_CHANNEL, "Неверный номер канала ТРЛ4"},
    {KSPTRL4_ERROR_RANGE, "Диапазон выходного напряжения вне пределов генератора (до 10 В)"},
    {KSPTRL4_ERROR_FREQUENCY,
     "Частота синусоидального сигнала вне пределов генератора (0,001 Гц - 10 МГц)"},
    {KSPTRL4_ERROR_SAMPLE_RATE, "Неверная частота дискретизации или источник тактовой частоты"},
    {KSPTRL4_ERROR_MODE, "Неверный режим генератора"},
    {KSPTRL4_ERROR_VALUE, "Значение параметра генератора вне допустимых пределов"},
    {KSPTRL4_ERROR_NOT_CONFIGURED, "Запуск генератора до его конфигурирования"},
    {KSPTRL4_ERROR_SEGMENT, "Неверный номер сегмента памяти форм"},
    {KSPTRL4_ERROR_MATH_LIBRARY, "Не удается загрузить библиотеку ksptrl4_math"},
    {KSPTRL4_ERROR_COEFFICIENTS, "Недопустимые калибровочные коэффициенты ТРЛ4"},
    {KSPBASE_ERROR_PARAMETER, "Неверный параметр вызова драйвера носителя"},
    {KSPBASE_ERROR_POSITION, "Неверный номер позиции мезонина (допустимы 1-4)"},
    {KSPBASE_ERROR_NOT_CARRIER, "Ресурс не является носителем мезонинов"},
    {KSPBASE_ERROR_ATTRIBUTE, "Неизвестный атрибут носителя"},
    {VI_ERROR_SYSTEM_ERROR, "Ошибка системы ввода-вывода"},
    {VI_ERROR_INV_OBJECT, "Недействительный сеанс VISA"},
    {VI_ERROR_RSRC_LOCKED, "Ресурс заблокирован другим сеансом"},
    {VI_ERROR_INV_EXPR, "Неверное выражение поиска ресурсов"},
    {VI_ERROR_RSRC_NFOUND, "Ресурс не найден"},
    {VI_ERROR_INV_RSRC_NAME, "Неверное имя ресурса"},
    {VI_ERROR_INV_ACC_MODE, "Неверный режим доступа"},
    {VI_ERROR_TMO, "Истекло время ожидания"},
    {VI_ERROR_NSUP_ATTR, "Атрибут не поддерживается"},
    {VI_ERROR_ATTR_READONLY, "Атрибут доступен только для чтения"},
    {VI_ERROR_INV_LOCK_TYPE, "Неверный тип блокировки"},
    {VI_ERROR_ALLOC, "Недостаточно памяти"},
    {VI_ERROR_IO, "Ошибка ввода-вывода"},
    {VI_ERROR_INV_FMT, "Неверная строка формата"},
    {VI_ERROR_NSUP_FMT, "Формат не поддерживается"},
    {VI_ERROR_USER_BUF, "Недействительный буфер пользователя"},
    {VI_ERROR_RSRC_BUSY, "Ресурс занят"},
    {VI_ERROR_SESN_NLOCKED, "Сеанс не удерживает блокировку"},
    {VI_WARN_CONFIG_NLOADED, "Предупреждение: конфигурация ресурса не загружена"},
    {VI_SUCCESS_DEV_NPRESENT, "Предупреждение: устройство не отвечает"},
    {VI_SUCCESS_MAX_CNT, "Предупреждение: прочитано наибольшее число байтов"},
};

}  // namespace

extern "C" {

int32_t _VI_FUNC ksptrl4_init(const char *rsrcName, uint16_t idQuery, uint16_t reset,
                              uint32_t *session) {
    return guarded(
        "ksptrl4_init", [&] { return traceArgs(rsrcName, idQuery, reset); },
        [&](Call &call) {
            if (session != nullptr) *session = 0;
            if (int32_t st = call.enter()) return call.done(st);
            if (session == nullptr) return call.done(KSPTRL4_ERROR_PARAMETER);
            trl4drv::CarrierSession link;
            const ViStatus st = trl4drv::openCarrierSession(rsrcName, link);
            if (st < 0) return call.done(st);
            if (link.carrier == nullptr) {
                viClose(link.rm);
                return call.done(KSPTRL4_ERROR_NO_MEZZANINE);
            }
            std::lock_guard lock(sessionsMutex);
            do {
                ++lastHandle;
            } while (lastHandle == 0 || sessions.count(lastHandle) != 0);
            Session &s = sessions[lastHandle];
            s.rm = link.rm;
            s.vi = link.vi;
            s.resource = link.name;
            s.math = std::make_unique<trl4drv::MathLibrary>();
            *session = lastHandle;
            call.out("session=" + std::to_string(lastHandle));
            return call.done(st);
        });
}

int32_t _VI_FUNC ksptrl4_connect(uint32_t session, uint32_t carrierSession, uint16_t position,
                                 uint16_t idQuery, uint16_t reset) {
    return guarded(
        "ksptrl4_connect",
        [&] { return traceArgs(session, carrierSession, position, idQuery, reset); },
        [&](Call &call) {
            if (int32_t st = call.enter()) return call.done(st);
            Target t;
            if (int32_t st = target(session, false, t)) return call.done(st);
            if (position < 1 || position > 4) return call.done(KSPTRL4_ERROR_PARAMETER);
            char name[VI_FIND_BUFLEN] = {};
            if (ViStatus st = viGetAttribute(carrierSession, VI_ATTR_RSRC_NAME, name); st < 0) {
                return call.done(st);
            }
            // The carrier session must be the carrier this session was opened for.
            if (!trl4::visa::sameResource(name, t.session->resource)) {
                return call.done(KSPTRL4_ERROR_PARAMETER);
            }
            silence(*t.session);  // a reconnection leaves nothing playing on the old position
            t.session->connected = true;
            t.session->position = position;
            if (int32_t st = target(session, true, t)) {
                t.session->connected = false;
                return call.done(st);
            }
            *t.session->coefficients = trl4sim::kDefaultCoefficients;
            t.session->offsets[0] = t.session->offsets[1] = 0;
            t.session->allocated = 0;
            t.session->gen = Generator{};
            return call.done(VI_SUCCESS);
        });
}

int32_t _VI_FUNC ksptrl4_alloc(uint32_t session, uint32_t size) {
    return onMezzanine(
        "ksptrl4_alloc", session, [&] { return traceArgs(session, size); },
        [&](Call &call, Target &t) {
            if (size > t.resource->carrier->memory) return call.done(KSPTRL4_ERROR_MEMORY);
            t.session->allocated = size;
            return call.done(VI_SUCCESS);
        });
}

int32_t _VI_FUNC ksptrl4_displacement(uint32_t session) {
    return onMezzanine("ksptrl4_displacement", session, [&](Call &call, Target &t) {
        t.session->offsets[0] = t.mezzanine->offsets[0];
        t.session->offsets[1] = t.mezzanine->offsets[1];
        call.out("offsets=" + trl4drv::traceArg(t.session->offsets[0]) + "," +
                 trl4drv::traceArg(t.session->offsets[1]));
        return call.done(VI_SUCCESS);
    });
}

int32_t _VI_FUNC ksptrl4_get_attribute(uint32_t session, uint32_t attribute, void *value) {
    return guarded(
        "ksptrl4_get_attribute", [&] { return traceArgs(session, attribute); },
        [&](Call &call) {
            if (int32_t st = call.enter()) return call.done(st);
            Target t;
            if (int32_t st = target(session, false, t)) return call.done(st);
            if (value == nullptr) return call.done(KSPTRL4_ERROR_PARAMETER);
            switch (attribute) {
                case KSPTRL4_ATTR_COEFF_BLOCK: {
                    double *block = t.session->coefficients->data();
                    std::memcpy(value, &block, sizeof block);
                    return call.done(VI_SUCCESS);
                }
                case KSPTRL4_ATTR_OFFSET_CH1:
                case KSPTRL4_ATTR_OFFSET_CH2: {
                    const double v =
                        t.session->offsets[attribute == KSPTRL4_ATTR_OFFSET_CH1 ? 0 : 1];
                    std::memcpy(value, &v, sizeof v);
                    call.out("value=" + trl4drv::traceArg(v));
                    return call.done(VI_SUCCESS);
                }
                default:
                    return call.done(KSPTRL4_ERROR_ATTRIBUTE);
            }
        });
}

int32_t _VI_FUNC ksptrl4_close(uint32_t session) {
    return guarded(
        "ksptrl4_close", [&] { return traceArgs(session); },
        [&](Call &call) {
            if (int32_t st = call.enter(true)) return call.done(st);
            ViSession rm = 0;
            {
                std::lock_guard lock(sessionsMutex);
                auto it = sessions.find(session);
                if (session == 0 || it == sessions.end()) return call.done(KSPTRL4_ERROR_SESSION);
                rm = it->second.rm;
                silence(it->second);
                sessions.erase(it);
            }
            viClose(rm);
            return call.done(VI_SUCCESS);
        });
}

int32_t _VI_FUNC ksptrl4_revision_query(uint32_t session, char *driverRev, char *instrRev) {
    return guarded(
        "ksptrl4_revision_query", [&] { return traceArgs(session); },
        [&](Call &call) {
            // The driver's own revision is known without bench or session, so it is given even
            // when the call fails.
            trl4drv::copyText(driverRev, KSPTRL4_TEXT_LEN, kDriverRevision);
            trl4drv::copyText(instrRev, KSPTRL4_TEXT_LEN, "");
            if (int32_t st = call.enter()) return call.done(st);
            if (session == 0) return call.done(VI_SUCCESS);
            Target t;
            if (int32_t st = target(session, true, t)) return call.done(st);
            std::string instrument = "ТРЛ4";
            if (t.resource->idn) {
                // Firmware revision: the fourth field of the carrier's identity reply.
                std::string_view idn = *t.resource->idn;
                for (int field = 0; field < 3 && !idn.empty(); ++field) {
                    const size_t comma = idn.find(',');
                    idn = comma == std::string_view::npos ? std::string_view()
                                                          : idn.substr(comma + 1);
                }
                while (!idn.empty() && (idn.back() == '\n' || idn.back() == '\r')) {
                    idn.remove_suffix(1);
                }
                if (!idn.empty()) instrument += ", " + std::string(idn);
            }
            trl4drv::copyText(instrRev, KSPTRL4_TEXT_LEN, instrument);
            return call.done(VI_SUCCESS);
        });
}

int32_t _VI_FUNC ksptrl4_error_message(uint32_t session, int32_t status, char *text) {
    return guarded(
        "ksptrl4_error_message", [&] { return traceArgs(session, status); },
        [&](Call &call) {
            if (int32_t st = call.enter(true)) return call.done(st);
            if (text == nullptr) return call.done(KSPTRL4_ERROR_PARAMETER);
            std::string message;
            for (const Message &m : kMessages) {
                if (m.status == status) message = m.text;
            }
            if (message.empty()) {
                char unknown[64];
                std::snprintf(unknown, sizeof unknown, "Неизвестный код ошибки 0x%08X",
                              static_cast<uint32_t>(status));
                message = unknown;
            }
            // While the bench is refused every call fails with this status: say why.
            if (status == VI_ERROR_SYSTEM_ERROR) {
                if (std::string why = trl4sim::refusal(); !why.empty()) message = std::move(why);
            }
            trl4drv::copyText(text, KSPTRL4_TEXT_LEN, message);
            return call.done(VI_SUCCESS);
        });
}

int32_t _VI_FUNC ksptrl4_self_test(uint32_t session, int16_t *result, char *message) {
    return guarded(
        "ksptrl4_self_test", [&] { return traceArgs(session); },
        [&](Call &call) {
            if (int32_t st = call.enter()) return call.done(st);
            if (result == nullptr || message == nullptr) {
                return call.done(KSPTRL4_ERROR_PARAMETER);
            }
            Target t;
            if (int32_t st = target(session, true, t)) return call.done(st);
            *result = t.mezzanine->selfTest.code;
            trl4drv::copyText(message, KSPTRL4_TEXT_LEN, t.mezzanine->selfTest.message);
            call.out("result=" + std::to_string(*result));
            return call.done(VI_SUCCESS);
        });
}

int32_t _VI_FUNC ksptrl4_reset(uint32_t session) {
    return onMezzanine("ksptrl4_reset", session, [&](Call &call, Target &t) {
        silence(*t.session);
        t.session->gen = Generator{};
        return call.done(VI_SUCCESS);
    });
}

int32_t _VI_FUNC ksptrl4_readFlash(uint32_t session) {
    return onMezzanine("ksptrl4_readFlash", session, [&](Call &call, Target &t) {
        trl4sim::Coefficients stored{};
        switch (trl4sim::readEeprom(*t.resource, t.session->position, stored)) {
            case trl4sim::EepromState::Stored:
                *t.session->coefficients = stored;
                return call.done(VI_SUCCESS);
            case trl4sim::EepromState::Blank:
                *t.session->coefficients = trl4sim::kDefaultCoefficients;
                return call.done(KSPTRL4_WARN_EEPROM_DEFAULTS);
            case trl4sim::EepromState::Unreadable:
                break;
        }
        return call.done(KSPTRL4_ERROR_EEPROM);
    });
}

int32_t _VI_FUNC ksptrl4_writeFlash(uint32_t session) {
    return onMezzanine("ksptrl4_writeFlash", session, [&](Call &call, Target &t) {
        if (!trl4sim::writeEeprom(*t.resource, t.session->position, *t.session->coefficients)) {
            return call.done(KSPTRL4_ERROR_EEPROM);
        }
        return call.done(VI_SUCCESS);
    });
}

int32_t _VI_FUNC ksptrl4_resetCoeff(uint32_t session) {
    return onMezzanine("ksptrl4_resetCoeff", session, [&](Call &call, Target &t) {
        *t.session->coefficients = trl4sim::kDefaultCoefficients;
        return call.done(VI_SUCCESS);
    });
}

int32_t _VI_FUNC ksptrl4_setSourceMode(uint32_t session, int32_t channel, int32_t mode) {
    return onChannels(
        "ksptrl4_setSourceMode", session, channel,
        [&] { return traceArgs(session, channel, mode); },
        [&] {
            return mode == kModeOff || mode == kModeSine || mode == kModeForm ? VI_SUCCESS
                                                                              : KSPTRL4_ERROR_MODE;
        },
        [&](ChannelSettings &c) { c.sourceMode = mode; });
}

int32_t _VI_FUNC ksptrl4_setRange(uint32_t session, int32_t channel, double range) {
    return onChannels(
        "ksptrl4_setRange", session, channel, [&] { return traceArgs(session, channel, range); },
        [&] { return within(range, 0, kMaxRange, false) ? VI_SUCCESS : KSPTRL4_ERROR_RANGE; },
        [&](ChannelSettings &c) { c.range = range; });
}

int32_t _VI_FUNC ksptrl4_setAmpScale(uint32_t session, int32_t channel, double scale) {
    return onChannels(
        "ksptrl4_setAmpScale", session, channel, [&] { return traceArgs(session, channel, scale); },
        [&] { return within(scale, 0, 1) ? VI_SUCCESS : KSPTRL4_ERROR_VALUE; },
        [&](ChannelSettings &c) { c.ampScale = scale; });
}

int32_t _VI_FUNC ksptrl4_setRampRate(uint32_t session, int32_t channel, double rate) {
    return onChannels(
        "ksptrl4_setRampRate", session, channel, [&] { return traceArgs(session, channel, rate); },
        [&] { return within(rate, 0, kMaxRampRate) ? VI_SUCCESS : KSPTRL4_ERROR_VALUE; },
        [&](ChannelSettings &c) { c.rampRate = rate; });
}

int32_t _VI_FUNC ksptrl4_setSineFreq(uint32_t session, int32_t channel, double frequency) {
    return onChannels(
        "ksptrl4_setSineFreq", session, channel,
        [&] { return traceArgs(session, channel, frequency); },
        [&] {
            return within(frequency, kMinSineFreq, kMaxSineFreq) ? VI_SUCCESS
                                                                 : KSPTRL4_ERROR_FREQUENCY;
        },
        [&](ChannelSettings &c) { c.sineFreq = frequency; });
}

int32_t _VI_FUNC ksptrl4_setRepetParams(uint32_t session, int32_t channel, int32_t mode,
                                        double value) {
    return onChannels(
        "ksptrl4_setRepetParams", session, channel,
        [&] { return traceArgs(session, channel, mode, value); },
        [&] {
            if (mode < 0 || mode > kMaxRepetMode) return KSPTRL4_ERROR_MODE;
            return within(value, 0, kMaxRepetValue) ? VI_SUCCESS : KSPTRL4_ERROR_VALUE;
        },
        [&](ChannelSettings &c) {
            c.repetMode = mode;
            c.repetValue = value;
        });
}

int32_t _VI_FUNC ksptrl4_GetRepetParams(uint32_t session, int32_t channel, int32_t index,
                                        double *value, int32_t *mode, double *extra) {
    return onMezzanine(
        "ksptrl4_GetRepetParams", session, [&] { return traceArgs(session, channel, index); },
        [&](Call &call, Target &t) {
            if (channel < 1 || channel > 2) return call.done(KSPTRL4_ERROR_CHANNEL);
            if (value == nullptr || index < 0 || index > 1) {
                return call.done(KSPTRL4_ERROR_PARAMETER);
            }
            const ChannelSettings &c = t.session->gen.channels[static_cast<size_t>(channel - 1)];
            double v = c.repetValue;
            if (index == 0) {
                const auto sine = synthesise(c.sineFreq, (*t.session->coefficients)[5]);
                if (!sine) return call.done(KSPTRL4_ERROR_COEFFICIENTS);
                v = sine->reported;
            }
            *value = v;
            if (mode != nullptr) *mode = c.repetMode;
            if (extra != nullptr) *extra = c.sineFreq;
            call.out("value=" + trl4drv::traceArg(v));
            return call.done(VI_SUCCESS);
        });
}

int32_t _VI_FUNC ksptrl4_setSampleRate(uint32_t session, double rate, int32_t clockSource) {
    return onMezzanine(
        "ksptrl4_setSampleRate", session, [&] { return traceArgs(session, rate, clockSource); },
        [&](Call &call, Target &t) {
            if (clockSource != 0 || !within(rate, kMinSampleRate, kMaxSampleRate)) {
                return call.done(KSPTRL4_ERROR_SAMPLE_RATE);
            }
            t.session->gen.sampleRate = rate;
            return call.done(VI_SUCCESS);
        });
}

int32_t _VI_FUNC ksptrl4_config(uint32_t session, int32_t what, int32_t option) {
    return onMezzanine(
        "ksptrl4_config", session, [&] { return traceArgs(session, what, option); },
        [&](Call &call, Target &t) {
            if (what != 0 || option != 0) return call.done(KSPTRL4_ERROR_PARAMETER);
            if (!usable(*t.session->coefficients)) return call.done(KSPTRL4_ERROR_COEFFICIENTS);
            trl4drv::configure(t.session->gen, *t.session->coefficients);
            if (t.session->gen.running) publish(*t.session);
            return call.done(VI_SUCCESS);
        });
}

int32_t _VI_FUNC ksptrl4_config_segment(uint32_t session, int32_t segment, int32_t option,
                                        uint32_t length) {
    return onMezzanine(
        "ksptrl4_config_segment", session,
        [&] { return traceArgs(session, segment, option, length); },
        [&](Call &call, Target &t) {
            if (segment != 0) return call.done(KSPTRL4_ERROR_SEGMENT);
            if (option != 0) return call.done(KSPTRL4_ERROR_PARAMETER);
            if (uint64_t{length} * 2 * kBytesPerSample > t.session->allocated) {
                return call.done(KSPTRL4_ERROR_MEMORY);
            }
            Generator &g = t.session->gen;
            g.segmentLength = length;
            for (ChannelSettings &c : g.channels) {
                if (c.codes.size() > length) c.codes.resize(length);
            }
            return call.done(VI_SUCCESS);
        });
}

int32_t _VI_FUNC ksptrl4_write_form(uint32_t session, int32_t channel, uint32_t count,
                                    const double *samples, int32_t append) {
    return onMezzanine(
        "ksptrl4_write_form", session,
        [&] {
            return traceArgs(session, channel, count, static_cast<const void *>(samples), append);
        },
        [&](Call &call, Target &t) {
            if (channel < 0 || channel > 2) return call.done(KSPTRL4_ERROR_CHANNEL);
            if ((samples == nullptr && count > 0) || (append != 0 && append != 1) ||
                count > static_cast<uint32_t>(INT32_MAX)) {
                return call.done(KSPTRL4_ERROR_PARAMETER);
            }
            Session &s = *t.session;
            if (!s.math || !s.math->loaded()) return call.done(KSPTRL4_ERROR_MATH_LIBRARY);
            const trl4sim::Coefficients &k = *s.coefficients;
            if (!usable(k)) return call.done(KSPTRL4_ERROR_COEFFICIENTS);
            // Samples per channel: interleaved ones go to channel 1 first.
            const std::array<uint32_t, 2> share =
                channel == 0 ? std::array{count - count / 2, count / 2}
                             : (channel == 1 ? std::array{count, 0u} : std::array{0u, count});
            for (size_t c = 0; c < 2; ++c) {
                const size_t kept = append != 0 ? s.gen.channels[c].codes.size() : 0;
                if (share[c] > 0 && kept + share[c] > s.gen.segmentLength) {
                    return call.done(KSPTRL4_ERROR_MEMORY);
                }
            }
            // The DAC code of a sample: volts above the channel's offset, at the channel's
            // calibrated codes per volt.
            const int32_t modes[2] = {s.gen.channels[0].sourceMode, s.gen.channels[1].sourceMode};
            const double zeros[2] = {s.offsets[0], s.offsets[1]};
            const double gains[2] = {k[1] / kFullScaleVolts, k[2] / kFullScaleVolts};
            const double shifts[2] = {0, 0};
            std::vector<int32_t> codes(count);
            const auto n = static_cast<int32_t>(count);
            int32_t st = VI_SUCCESS;
            if (channel == 0) {
                st = s.math->toCodes2_(modes, zeros, gains, samples, n, codes.data(), 0, shifts);
            } else {
                const size_t c = static_cast<size_t>(channel - 1);
                st = s.math->toCodes_(modes[c], zeros[c], gains[c], samples, n, codes.data(), 1, 0);
            }
            for (size_t c = 0; c < 2; ++c) {
                if (channel != 0 && static_cast<size_t>(channel) != c + 1) continue;
                std::vector<int32_t> &form = s.gen.channels[c].codes;
                if (append == 0) form.clear();
                for (size_t i = channel == 0 ? c : 0; i < codes.size(); i += channel == 0 ? 2 : 1) {
                    form.push_back(codes[i]);
                }
            }
            return call.done(st == KSPTRL4_MATH_RANGE_WARNING ? KSPTRL4_WARN_FORM_CLIPPED
                                                              : VI_SUCCESS);
        });
}

int32_t _VI_FUNC ksptrl4_reset_form(uint32_t session, int32_t segment) {
    return onMezzanine(
        "ksptrl4_reset_form", session, [&] { return traceArgs(session, segment); },
        [&](Call &call, Target &t) {
            if (segment != 0) return call.done(KSPTRL4_ERROR_SEGMENT);
            for (ChannelSettings &c : t.session->gen.channels)
                c.codes.clear();
            return call.done(VI_SUCCESS);
        });
}

int32_t _VI_FUNC ksptrl4_start(uint32_t session) {
    return onMezzanine("ksptrl4_start", session, [&](Call &call, Target &t) {
        if (!t.session->gen.configured) return call.done(KSPTRL4_ERROR_NOT_CONFIGURED);
        t.session->gen.running = true;
        publish(*t.session);
        return call.done(VI_SUCCESS);
    });
}

int32_t _VI_FUNC ksptrl4_stop(uint32_t session) {
    return onMezzanine("ksptrl4_stop", session, [&](Call &call, Target &t) {
        silence(*t.session);
        return call.done(VI_SUCCESS);
    });
}

}  // extern "C"
