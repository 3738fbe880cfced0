// Carrier driver stand-in. A carrier session is the VISA session to the carrier's resource;
// what sits in the mezzanine positions comes from the bench.
#include "kspbase.h"

#include <cstring>
#include <map>
#include <mutex>

#include "../../common/carrier_session.h"
#include "../../common/driver_call.h"
#include "trl4visa/identity.h"

namespace {

using trl4drv::Call;
using trl4drv::guarded;
using trl4drv::traceArgs;

constexpr uint16_t kMakerId = 0xE76;
constexpr std::string_view kIdnPrefix = "ZELKORTECH,KSPBASE";

std::mutex sessionsMutex;
std::map<uint32_t, ViSession> sessions;  // carrier session -> its resource manager

struct CarrierView {
    std::shared_ptr<const trl4sim::Bench> bench;  // keeps carrier alive
    const trl4sim::Carrier *carrier = nullptr;
};

// The bench's carrier behind a live carrier session, or the status why there is none.
int32_t carrierOf(uint32_t session, CarrierView &view) {
    {
        std::lock_guard lock(sessionsMutex);
        if (sessions.count(session) == 0) return VI_ERROR_INV_OBJECT;
    }
    char name[VI_FIND_BUFLEN] = {};
    const ViStatus st = viGetAttribute(session, VI_ATTR_RSRC_NAME, name);
    if (st < 0) return st;
    view.bench = trl4sim::current();
    if (!view.bench) return VI_ERROR_SYSTEM_ERROR;
    const trl4sim::Resource *r = trl4sim::findResource(*view.bench, name);
    if (r == nullptr || !r->carrier) return KSPBASE_ERROR_NOT_CARRIER;
    view.carrier = &*r->carrier;
    return VI_SUCCESS;
}

// With the identity query the resource must say it is one of ours: a VXI module by its
// maker's id, a message-based one by its "*IDN?" reply.
bool identifies(ViSession vi) {
    ViUInt16 intf = 0;
    if (viGetAttribute(vi, VI_ATTR_INTF_TYPE, &intf) < 0) return false;
    if (intf == VI_INTF_VXI || intf == VI_INTF_GPIB_VXI) {
        ViUInt16 manf = 0;
        return viGetAttribute(vi, VI_ATTR_MANF_ID, &manf) == VI_SUCCESS && manf == kMakerId;
    }
    char reply[VI_FIND_BUFLEN] = {};
    if (trl4visa::queryIdentity(vi, reply, sizeof reply) < 0) return false;
    return std::string_view(reply).substr(0, kIdnPrefix.size()) == kIdnPrefix;
}

}  // namespace

extern "C" {

int32_t _VI_FUNC kspbase_init(const char *rsrcName, uint16_t idQuery, uint16_t reset,
                              uint32_t *session) {
    return guarded(
        "kspbase_init", [&] { return traceArgs(rsrcName, idQuery, reset); },
        [&](Call &call) {
            if (session != nullptr) *session = 0;
            if (int32_t st = call.enter()) return call.done(st);
            if (session == nullptr) return call.done(KSPBASE_ERROR_PARAMETER);
            trl4drv::CarrierSession link;
            const ViStatus st = trl4drv::openCarrierSession(rsrcName, link);
            if (st < 0) return call.done(st);
            if (link.carrier == nullptr || (idQuery != 0 && !identifies(link.vi))) {
                viClose(link.rm);
                return call.done(KSPBASE_ERROR_NOT_CARRIER);
            }
            {
                std::lock_guard lock(sessionsMutex);
                sessions[link.vi] = link.rm;
            }
            *session = link.vi;
            call.out("session=" + std::to_string(link.vi));
            return call.done(st);
        });
}

int32_t _VI_FUNC kspbase_m_type_q(uint32_t session, uint16_t position, uint16_t *present,
                                  uint16_t *typeCode) {
    return guarded(
        "kspbase_m_type_q", [&] { return traceArgs(session, position); },
        [&](Call &call) {
            if (int32_t st = call.enter()) return call.done(st);
            if (present == nullptr || typeCode == nullptr) {
                return call.done(KSPBASE_ERROR_PARAMETER);
            }
            CarrierView view;
            if (int32_t st = carrierOf(session, view)) return call.done(st);
            if (position < 1 || position > 4) return call.done(KSPBASE_ERROR_POSITION);
            const uint16_t type = view.carrier->positions[position - 1u].typeCode;
            *present = type != 0 ? 1 : 0;
            *typeCode = type;
            call.out("present=" + std::to_string(*present) + " type=" + std::to_string(type));
            return call.done(VI_SUCCESS);
        });
}

int32_t _VI_FUNC kspbase_m_get_attribute(uint32_t session, uint32_t attribute, char *text) {
    return guarded(
        "kspbase_m_get_attribute", [&] { return traceArgs(session, attribute); },
        [&](Call &call) {
            if (int32_t st = call.enter()) return call.done(st);
            if (text == nullptr) return call.done(KSPBASE_ERROR_PARAMETER);
            CarrierView view;
            if (int32_t st = carrierOf(session, view)) return call.done(st);
            if (attribute != KSPBASE_ATTR_CARRIER_NAME) return call.done(KSPBASE_ERROR_ATTRIBUTE);
            trl4drv::copyText(text, KSPBASE_TEXT_LEN, view.carrier->name);
            call.out(trl4drv::traceArg(text));
            return call.done(VI_SUCCESS);
        });
}

int32_t _VI_FUNC kspbase_mem_q(uint32_t session, uint32_t *memSize) {
    return guarded(
        "kspbase_mem_q", [&] { return traceArgs(session); },
        [&](Call &call) {
            if (int32_t st = call.enter()) return call.done(st);
            if (memSize == nullptr) return call.done(KSPBASE_ERROR_PARAMETER);
            CarrierView view;
            if (int32_t st = carrierOf(session, view)) return call.done(st);
            *memSize = view.carrier->memory;
            call.out("size=" + std::to_string(*memSize));
            return call.done(VI_SUCCESS);
        });
}

int32_t _VI_FUNC kspbase_close(uint32_t session) {
    return guarded(
        "kspbase_close", [&] { return traceArgs(session); },
        [&](Call &call) {
            if (int32_t st = call.enter(true)) return call.done(st);
            ViSession rm = 0;
            {
                std::lock_guard lock(sessionsMutex);
                auto it = sessions.find(session);
                if (it == sessions.end()) return call.done(VI_ERROR_INV_OBJECT);
                rm = it->second;
                sessions.erase(it);
            }
            viClose(rm);  // closes the carrier's VISA session with it
            return call.done(VI_SUCCESS);
        });
}

}  // extern "C"
