// How a driver stand-in opens its own VISA session to a carrier's resource.
#pragma once

#include <memory>
#include <string>

#include "trl4sim/bench.h"
#include "visa.h"

namespace trl4drv {

// A driver's own resource manager and session to a resource, and the bench's carrier
// behind it (null when the resource is not a carrier on the bench).
struct CarrierSession {
    ViSession rm = 0;
    ViSession vi = 0;
    std::string name;  // as VISA names the resource
    const trl4sim::Resource *carrier = nullptr;
    std::shared_ptr<const trl4sim::Bench> bench;  // keeps carrier alive
};

// On a VISA failure nothing is left open and its status is returned; otherwise the status
// of the open, which the caller owns: closing link.rm closes the session with it.
inline ViStatus openCarrierSession(const char *rsrcName, CarrierSession &link) {
    ViStatus st = viOpenDefaultRM(&link.rm);
    if (st < 0) return st;
    st = viOpen(link.rm, rsrcName, VI_NO_LOCK, 0, &link.vi);
    if (st < 0) {
        viClose(link.rm);
        return st;
    }
    link.bench = trl4sim::current();
    char name[VI_FIND_BUFLEN] = {};
    viGetAttribute(link.vi, VI_ATTR_RSRC_NAME, name);
    link.name = name;
    const trl4sim::Resource *r = link.bench ? trl4sim::findResource(*link.bench, name) : nullptr;
    if (r != nullptr && r->carrier) link.carrier = r;
    return st;
}

}  // namespace trl4drv
