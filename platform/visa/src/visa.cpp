// VISA over the simulated bench: resource manager, search, resource names in every spelling,
// sessions, typed attributes, locks, message-based I/O with its completion statuses, and a
// "*IDN?" speaking device behind every message-based resource (a meter answers SCPI).
#include "visa.h"

#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "status_text.h"
#include "trl4/resource_name.h"
#include "trl4sim/bench.h"
#include "trl4sim/trace.h"
#include "trl4visa/expression.h"
#include "trl4visa/names.h"

namespace {

using trl4sim::traceArg;
using trl4sim::traceArgs;
using trl4visa::lowerName;

constexpr ViUInt32 kDefaultTimeout = 2000;
constexpr size_t kMaxQueryBuffer = 65535;
constexpr const char *kLibraryMaker = "trl4sim";
// The version of this library as the standard writes one: major, minor, sub-minor in
// 12, 8 and 12 bits.
constexpr ViVersion kImplementationVersion = 0x00100300;

enum class Kind { Manager, Session, FindList };

struct Object {
    Kind kind = Kind::Manager;
    ViSession manager = 0;
    // Session
    std::shared_ptr<const trl4sim::Bench> bench;
    const trl4sim::Resource *resource = nullptr;
    std::string input;                // what was written and not yet taken as a command
    std::deque<std::string> replies;  // the device's messages not yet read, each ending in END
    ViUInt32 timeout = kDefaultTimeout;
    ViUInt8 termChar = '\n';
    bool termCharEnabled = false;
    bool sendEnd = true;
    // Find list
    std::vector<std::string> found;
    size_t next = 0;
};

struct Lock {
    ViSession exclusiveOwner = 0;
    int exclusiveCount = 0;
    std::map<ViSession, int> shared;
    std::string sharedKey;  // the key the holders of the shared lock share
    uint64_t keysIssued = 0;
};

struct Visa {
    std::mutex mutex;
    std::condition_variable released;
    std::map<ViObject, Object> objects;
    std::map<std::string, Lock> locks;  // by resource key
    ViObject lastHandle = 0;
    uint64_t generation = 0;
};

Visa &visa() {
    static Visa v;
    return v;
}

// Entry of every operation: a refused bench fails everything, a new bench ends every object
// of the old one, and an injected fault answers before the operation does anything.
ViStatus enter(Visa &v, const char *call) {
    if (!trl4sim::current()) return VI_ERROR_SYSTEM_ERROR;
    const uint64_t generation = trl4sim::generation();
    if (generation != v.generation) {
        v.objects.clear();
        v.locks.clear();
        v.generation = generation;
        v.released.notify_all();
    }
    return trl4sim::injectedFault(call);
}

ViObject newHandle(Visa &v) {
    do {
        ++v.lastHandle;
    } while (v.lastHandle == 0 || v.objects.count(v.lastHandle) != 0);
    return v.lastHandle;
}

Object *find(Visa &v, ViObject handle, Kind kind) {
    auto it = v.objects.find(handle);
    if (it == v.objects.end() || it->second.kind != kind) return nullptr;
    return &it->second;
}

std::string lockKey(const Object &session) {
    return trl4::visa::resourceKey(session.resource->name);
}

Lock &lockOf(Visa &v, const Object &session) {
    return v.locks[lockKey(session)];
}

// True when the resource is locked and this session holds none of the lock: another session
// holds it exclusively, or others share it and this one does not.
bool lockedAgainst(Visa &v, ViSession vi, const Object &session) {
    if (session.resource->lockedElsewhere) return true;
    auto it = v.locks.find(lockKey(session));
    if (it == v.locks.end()) return false;
    const Lock &l = it->second;
    if (l.exclusiveOwner != 0) return l.exclusiveOwner != vi;
    return !l.shared.empty() && l.shared.count(vi) == 0;
}

void releaseLocks(Visa &v, ViSession vi, const Object &session) {
    auto it = v.locks.find(lockKey(session));
    if (it == v.locks.end()) return;
    if (it->second.exclusiveOwner == vi) {
        it->second.exclusiveOwner = 0;
        it->second.exclusiveCount = 0;
    }
    it->second.shared.erase(vi);
    if (it->second.shared.empty()) it->second.sharedKey.clear();
    v.released.notify_all();
}

void closeObject(Visa &v, ViObject handle) {
    auto it = v.objects.find(handle);
    if (it == v.objects.end()) return;
    if (it->second.kind == Kind::Session) releaseLocks(v, handle, it->second);
    v.objects.erase(it);
}

void copyName(ViChar *desc, const std::string &name) {
    if (desc == nullptr) return;
    // Bench names are at most VI_FIND_BUFLEN - 1 bytes; the bound keeps it so regardless.
    const size_t n = std::min(name.size(), static_cast<size_t>(VI_FIND_BUFLEN - 1));
    std::memcpy(desc, name.data(), n);
    desc[n] = '\0';
}

// An attribute's value into the caller's variable, and as the trace shows it into shown.
template <typename T>
ViStatus put(void *out, T value, std::string &shown) {
    std::memcpy(out, &value, sizeof value);
    shown = " value=" + traceArg(value);
    return VI_SUCCESS;
}

ViStatus putText(void *out, const std::string &text, std::string &shown) {
    copyName(static_cast<ViChar *>(out), text);
    shown = " value=" + traceArg(text);
    return VI_SUCCESS;
}

// A number of the expanded name: decimal, or a USB code's "0x" and hex digits.
ViUInt16 number16(const std::string &text) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    return static_cast<ViUInt16>(
        std::strtoul(text.c_str() + (hex ? 2 : 0), nullptr, hex ? 16 : 10));
}

// Field i of the device's identity ("MAKER,MODEL,SERIAL,VERSION"), where it answers one.
std::optional<std::string> identityField(const trl4sim::Resource &r, size_t i) {
    if (!r.idn) return std::nullopt;
    std::string text = *r.idn;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    size_t start = 0;
    for (size_t k = 0; k < i; ++k) {
        start = text.find(',', start);
        if (start == std::string::npos) return std::nullopt;
        ++start;
    }
    const size_t end = text.find(',', start);
    if (end == std::string::npos && i == 0) return std::nullopt;  // no identity of fields
    std::string field = text.substr(start, end == std::string::npos ? end : end - start);
    if (field.empty()) return std::nullopt;
    return field;
}

template <typename T>
ViStatus putOptional(void *out, const std::optional<T> &value, std::string &shown) {
    if (!value) return VI_ERROR_NSUP_ATTR;
    return put<T>(out, *value, shown);
}

// Runs an operation's body, keeping whatever it throws inside, and writes its trace line
// from args() and the outputs the body reports.
template <typename Args, typename Body>
ViStatus traced(const char *name, Args args, Body body) noexcept {
    try {
        std::string out;
        const ViStatus st = body(out);
        if (trl4sim::tracing()) trl4sim::traceCall(name, args(), st, out);
        return st;
    } catch (...) {
        return VI_ERROR_SYSTEM_ERROR;
    }
}

void takeCommands(Object &s) {
    size_t end;
    while ((end = s.input.find('\n')) != std::string::npos) {
        std::string command = s.input.substr(0, end);
        s.input.erase(0, end + 1);
        while (!command.empty() && (command.back() == '\r' || command.back() == ' ')) {
            command.pop_back();
        }
        std::string reply;
        if (s.resource->meter) {
            reply = trl4sim::meterExchange(*s.resource, command);
        } else if (lowerName(command) == "*idn?" && s.resource->idn) {
            reply = *s.resource->idn;
        }
        if (!reply.empty()) s.replies.push_back(std::move(reply));
    }
}

// A shared lock is joined by the sessions that present its key; a session asking without a
// key gets a new one, and so shares with no one until it hands the key on.
ViStatus lockSession(Visa &v, std::unique_lock<std::mutex> &guard, ViSession vi, ViAccessMode type,
                     ViUInt32 timeout, ViConstKeyId requestedKey, ViChar *accessKey) {
    Object *s = find(v, vi, Kind::Session);
    if (s == nullptr) return VI_ERROR_INV_OBJECT;
    const std::string name = lockKey(*s);
    const bool elsewhere = s->resource->lockedElsewhere;
    const uint64_t generation = v.generation;
    std::string key;
    if (type == VI_SHARED_LOCK) {
        if (requestedKey != nullptr && *requestedKey != '\0') {
            if (std::strlen(requestedKey) >= VI_FIND_BUFLEN) return VI_ERROR_INV_ACCESS_KEY;
            key = requestedKey;
        } else {
            key = "trl4-key-" + std::to_string(++v.locks[name].keysIssued);
        }
    }
    auto available = [&] {
        if (v.generation != generation || find(v, vi, Kind::Session) == nullptr) return true;
        Lock &l = v.locks[name];
        if (elsewhere) return false;
        if (type == VI_EXCLUSIVE_LOCK) {
            const bool sharedByOthers = l.shared.size() > (l.shared.count(vi) != 0 ? 1u : 0u);
            return (l.exclusiveOwner == 0 || l.exclusiveOwner == vi) && !sharedByOthers;
        }
        if (l.exclusiveOwner != 0 && l.exclusiveOwner != vi) return false;
        return l.shared.empty() || l.shared.count(vi) != 0 || l.sharedKey == key;
    };
    if (timeout == VI_TMO_INFINITE) {
        v.released.wait(guard, available);
    } else if (!v.released.wait_for(guard, std::chrono::milliseconds(timeout), available)) {
        return VI_ERROR_TMO;
    }
    if (v.generation != generation || find(v, vi, Kind::Session) == nullptr) {
        return VI_ERROR_INV_OBJECT;
    }
    Lock &l = v.locks[name];
    if (type == VI_EXCLUSIVE_LOCK) {
        const bool nested = l.exclusiveOwner == vi;
        l.exclusiveOwner = vi;
        ++l.exclusiveCount;
        return nested ? VI_SUCCESS_NESTED_EXCLUSIVE : VI_SUCCESS;
    }
    if (l.shared.empty()) l.sharedKey = key;
    const bool nested = l.shared[vi]++ > 0;
    if (accessKey != nullptr) copyName(accessKey, l.sharedKey);
    return nested ? VI_SUCCESS_NESTED_SHARED : VI_SUCCESS;
}

ViStatus readReply(Visa &v, ViSession vi, std::string &reply, size_t limit) {
    Object *s = find(v, vi, Kind::Session);
    if (s == nullptr) return VI_ERROR_INV_OBJECT;
    if (lockedAgainst(v, vi, *s)) return VI_ERROR_RSRC_LOCKED;
    // A device that has nothing to say times out; simulated time passes at once.
    if (s->replies.empty()) return VI_ERROR_TMO;
    for (const std::string &message : s->replies)
        reply += message;
    reply.resize(std::min(reply.size(), limit));
    s->replies.clear();  // the rest of an over-long reply is discarded, not left for later
    return VI_SUCCESS;
}

// The session a transfer (clear, write, read) goes to, or the status why it cannot go there.
ViStatus transferSession(Visa &v, const char *call, ViSession vi, bool bufferMissing, Object *&s) {
    if (ViStatus st = enter(v, call)) return st;
    s = find(v, vi, Kind::Session);
    if (s == nullptr) return VI_ERROR_INV_OBJECT;
    if (bufferMissing) return VI_ERROR_USER_BUF;
    if (lockedAgainst(v, vi, *s)) return VI_ERROR_RSRC_LOCKED;
    return VI_SUCCESS;
}

// viWrite's work, also done by viQueryf (whose trace line stands for both).
ViStatus write(ViSession vi, ViConstBuf buf, ViUInt32 count, ViUInt32 *written) {
    Visa &v = visa();
    std::lock_guard guard(v.mutex);
    if (written != nullptr) *written = 0;
    Object *s = nullptr;
    if (ViStatus st = transferSession(v, "viWrite", vi, buf == nullptr && count > 0, s)) return st;
    if (count > 0) s->input.append(reinterpret_cast<const char *>(buf), count);
    takeCommands(*s);
    if (written != nullptr) *written = count;
    return VI_SUCCESS;
}

// What viParseRsrc(Ex) tells of a name: from the grammar, or, for a name outside it that the
// bench lists, from the bench.
struct Resolved {
    ViUInt16 interfaceType = 0;
    ViUInt16 board = 0;
    std::string resourceClass;
    std::string expanded;
};

ViStatus resolve(const char *call, ViSession rm, ViConstRsrc name, Resolved &out) {
    Visa &v = visa();
    std::lock_guard guard(v.mutex);
    if (ViStatus st = enter(v, call)) return st;
    if (find(v, rm, Kind::Manager) == nullptr) return VI_ERROR_INV_OBJECT;
    if (name == nullptr || std::strlen(name) > trl4sim::kMaxNameBytes) {
        return VI_ERROR_INV_RSRC_NAME;
    }
    if (const auto parsed = trl4::visa::parseResourceName(name)) {
        out = {parsed->interfaceType, parsed->board, parsed->resourceClass, parsed->expanded};
        return VI_SUCCESS;
    }
    const trl4sim::Resource *r = trl4sim::findResource(*trl4sim::current(), name);
    if (r == nullptr) return VI_ERROR_INV_RSRC_NAME;
    out = {r->intfType, r->intfNum, "INSTR", r->name};
    return VI_SUCCESS;
}

// The event calls on resources that raise no event: every type is refused as unsupported,
// except "all enabled events", of which there are none.
ViStatus noEvents(const char *call, ViSession vi, ViEventType type, ViUInt16 mechanism,
                  ViStatus nothingToDo) {
    Visa &v = visa();
    std::lock_guard guard(v.mutex);
    if (ViStatus st = enter(v, call)) return st;
    if (find(v, vi, Kind::Session) == nullptr) return VI_ERROR_INV_OBJECT;
    if (type != VI_ALL_ENABLED_EVENTS) return VI_ERROR_INV_EVENT;
    const ViUInt16 known = VI_QUEUE | VI_HNDLR | VI_SUSPEND_HNDLR;
    if (mechanism != VI_ALL_MECH && (mechanism == 0 || (mechanism & ~known) != 0)) {
        return VI_ERROR_INV_MECH;
    }
    return nothingToDo;
}

ViStatus query(ViSession vi, ViConstString writeFmt, ViConstString readFmt, va_list args,
               std::string &out);

}  // namespace

extern "C" {

ViStatus _VI_FUNC viOpenDefaultRM(ViSession *rm) {
    return traced(
        "viOpenDefaultRM", [&] { return traceArgs(); },
        [&](std::string &out) -> ViStatus {
            Visa &v = visa();
            std::lock_guard guard(v.mutex);
            if (ViStatus st = enter(v, "viOpenDefaultRM")) return st;
            if (rm == nullptr) return VI_ERROR_USER_BUF;
            const ViObject h = newHandle(v);
            v.objects[h].kind = Kind::Manager;
            *rm = h;
            out = " rm=" + traceArg(h);
            return VI_SUCCESS;
        });
}

ViStatus _VI_FUNC viFindRsrc(ViSession rm, ViConstString expr, ViFindList *list, ViUInt32 *count,
                             ViChar desc[]) {
    return traced(
        "viFindRsrc", [&] { return traceArgs(rm, expr); },
        [&](std::string &out) -> ViStatus {
            Visa &v = visa();
            std::lock_guard guard(v.mutex);
            if (ViStatus st = enter(v, "viFindRsrc")) return st;
            if (list != nullptr) *list = VI_NULL;
            if (count != nullptr) *count = 0;
            if (find(v, rm, Kind::Manager) == nullptr) return VI_ERROR_INV_OBJECT;
            const auto pattern =
                expr != nullptr ? trl4visa::Expression::compile(expr) : std::nullopt;
            if (!pattern) return VI_ERROR_INV_EXPR;
            std::vector<std::string> found;
            for (const auto &r : trl4sim::current()->resources) {
                if (pattern->matches(r.name)) found.push_back(r.name);
            }
            if (found.empty()) return VI_ERROR_RSRC_NFOUND;
            copyName(desc, found.front());
            out = " count=" + traceArg(static_cast<ViUInt32>(found.size())) +
                  " desc=" + traceArg(found.front());
            if (count != nullptr) *count = static_cast<ViUInt32>(found.size());
            if (list != nullptr) {
                const ViObject h = newHandle(v);
                Object &o = v.objects[h];
                o.kind = Kind::FindList;
                o.manager = rm;
                o.found = std::move(found);
                o.next = 1;
                *list = h;
            }
            return VI_SUCCESS;
        });
}

ViStatus _VI_FUNC viFindNext(ViFindList list, ViChar desc[]) {
    return traced(
        "viFindNext", [&] { return traceArgs(list); },
        [&](std::string &out) -> ViStatus {
            Visa &v = visa();
            std::lock_guard guard(v.mutex);
            if (ViStatus st = enter(v, "viFindNext")) return st;
            Object *o = find(v, list, Kind::FindList);
            if (o == nullptr) return VI_ERROR_INV_OBJECT;
            if (o->next >= o->found.size()) return VI_ERROR_RSRC_NFOUND;
            out = " desc=" + traceArg(o->found[o->next]);
            copyName(desc, o->found[o->next++]);
            return VI_SUCCESS;
        });
}

ViStatus _VI_FUNC viOpen(ViSession rm, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout,
                         ViSession *vi) {
    return traced(
        "viOpen", [&] { return traceArgs(rm, name, mode, timeout); },
        [&](std::string &out) -> ViStatus {
            Visa &v = visa();
            std::unique_lock guard(v.mutex);
            if (ViStatus st = enter(v, "viOpen")) return st;
            if (vi == nullptr) return VI_ERROR_USER_BUF;
            *vi = VI_NULL;
            if (find(v, rm, Kind::Manager) == nullptr) return VI_ERROR_INV_OBJECT;
            if (name == nullptr || *name == '\0' || std::strlen(name) > trl4sim::kMaxNameBytes) {
                return VI_ERROR_INV_RSRC_NAME;
            }
            if ((mode & ~ViAccessMode{VI_EXCLUSIVE_LOCK | VI_SHARED_LOCK | VI_LOAD_CONFIG}) != 0 ||
                ((mode & VI_EXCLUSIVE_LOCK) != 0 && (mode & VI_SHARED_LOCK) != 0)) {
                return VI_ERROR_INV_ACC_MODE;
            }
            auto bench = trl4sim::current();
            const trl4sim::Resource *r = trl4sim::findResource(*bench, name);
            // A bench may list a name outside the grammar: that name, in any case, opens it.
            if (r == nullptr && !trl4::visa::parseResourceName(name)) return VI_ERROR_INV_RSRC_NAME;
            if (r == nullptr) return VI_ERROR_RSRC_NFOUND;
            if (r->openStatus < 0) return r->openStatus;
            const ViObject h = newHandle(v);
            Object &s = v.objects[h];
            s.kind = Kind::Session;
            s.manager = rm;
            s.bench = std::move(bench);
            s.resource = r;
            const ViAccessMode lockType = mode & (VI_EXCLUSIVE_LOCK | VI_SHARED_LOCK);
            if (lockType != 0) {
                const ViStatus st = lockSession(v, guard, h, lockType, timeout, nullptr, nullptr);
                if (st < 0) {
                    closeObject(v, h);
                    return st == VI_ERROR_TMO ? VI_ERROR_RSRC_LOCKED : st;
                }
            }
            *vi = h;
            out = " session=" + traceArg(h);
            return r->openStatus;
        });
}

ViStatus _VI_FUNC viClose(ViObject object) {
    return traced(
        "viClose", [&] { return traceArgs(object); },
        [&](std::string &) -> ViStatus {
            Visa &v = visa();
            std::lock_guard guard(v.mutex);
            if (ViStatus st = enter(v, "viClose")) return st;
            if (object == VI_NULL) return VI_WARN_NULL_OBJECT;
            auto it = v.objects.find(object);
            if (it == v.objects.end()) return VI_ERROR_INV_OBJECT;
            if (it->second.kind == Kind::Manager) {
                std::vector<ViObject> owned;
                for (const auto &[h, o] : v.objects) {
                    if (o.kind != Kind::Manager && o.manager == object) owned.push_back(h);
                }
                for (ViObject h : owned)
                    closeObject(v, h);
            }
            closeObject(v, object);
            return VI_SUCCESS;
        });
}

ViStatus _VI_FUNC viGetAttribute(ViObject object, ViAttr attribute, void *value) {
    return traced(
        "viGetAttribute", [&] { return traceArgs(object, attribute); },
        [&](std::string &out) -> ViStatus {
            Visa &v = visa();
            std::lock_guard guard(v.mutex);
            if (ViStatus st = enter(v, "viGetAttribute")) return st;
            auto it = v.objects.find(object);
            if (it == v.objects.end()) return VI_ERROR_INV_OBJECT;
            if (value == nullptr) return VI_ERROR_USER_BUF;
            if (attribute == VI_ATTR_RSRC_MANF_NAME) return putText(value, kLibraryMaker, out);
            if (attribute == VI_ATTR_RSRC_IMPL_VERSION) {
                return put<ViVersion>(value, kImplementationVersion, out);
            }
            if (it->second.kind != Kind::Session) return VI_ERROR_NSUP_ATTR;
            const Object &s = it->second;
            const trl4sim::Resource &r = *s.resource;
            const auto name = trl4::visa::parseResourceName(r.name);
            const auto field = [&](uint16_t intf, size_t i) -> const std::string * {
                if (!name || name->interfaceType != intf || i >= name->address.size())
                    return nullptr;
                return &name->address[i];
            };
            switch (attribute) {
                case VI_ATTR_RSRC_CLASS:
                    if (!name) return VI_ERROR_NSUP_ATTR;
                    return putText(value, name->resourceClass, out);
                case VI_ATTR_TERMCHAR:
                    return put<ViUInt8>(value, s.termChar, out);
                case VI_ATTR_TERMCHAR_EN:
                    return put<ViBoolean>(value, s.termCharEnabled ? VI_TRUE : VI_FALSE, out);
                case VI_ATTR_SEND_END_EN:
                    return put<ViBoolean>(value, s.sendEnd ? VI_TRUE : VI_FALSE, out);
                case VI_ATTR_GPIB_PRIMARY_ADDR:
                    if (!field(VI_INTF_GPIB, 0)) return VI_ERROR_NSUP_ATTR;
                    return put<ViUInt16>(value, number16(*field(VI_INTF_GPIB, 0)), out);
                case VI_ATTR_GPIB_SECONDARY_ADDR:
                    if (!field(VI_INTF_GPIB, 0)) return VI_ERROR_NSUP_ATTR;
                    return put<ViUInt16>(value,
                                         field(VI_INTF_GPIB, 1)
                                             ? number16(*field(VI_INTF_GPIB, 1))
                                             : static_cast<ViUInt16>(VI_NO_SEC_ADDR),
                                         out);
                case VI_ATTR_TCPIP_DEVICE_NAME:
                    if (!field(VI_INTF_TCPIP, 1) || name->resourceClass != "INSTR")
                        return VI_ERROR_NSUP_ATTR;
                    return putText(value, *field(VI_INTF_TCPIP, 1), out);
                case VI_ATTR_TCPIP_PORT:
                    if (!field(VI_INTF_TCPIP, 1) || name->resourceClass != "SOCKET")
                        return VI_ERROR_NSUP_ATTR;
                    return put<ViUInt16>(value, number16(*field(VI_INTF_TCPIP, 1)), out);
                case VI_ATTR_USB_SERIAL_NUM:
                    if (!field(VI_INTF_USB, 2)) return VI_ERROR_NSUP_ATTR;
                    return putText(value, *field(VI_INTF_USB, 2), out);
                case VI_ATTR_USB_INTFC_NUM:
                    if (!field(VI_INTF_USB, 2)) return VI_ERROR_NSUP_ATTR;
                    // Left out of the name: the device's one interface, number 0.
                    return put<ViInt16>(value,
                                        field(VI_INTF_USB, 3)
                                            ? static_cast<ViInt16>(number16(*field(VI_INTF_USB, 3)))
                                            : ViInt16{0},
                                        out);
                case VI_ATTR_MANF_NAME:
                case VI_ATTR_MODEL_NAME: {
                    const auto idn = identityField(r, attribute == VI_ATTR_MANF_NAME ? 0 : 1);
                    if (!idn) return VI_ERROR_NSUP_ATTR;
                    return putText(value, *idn, out);
                }
                case VI_ATTR_RSRC_NAME:
                    return putText(value, r.name, out);
                case VI_ATTR_INTF_TYPE:
                    return put<ViUInt16>(value, r.intfType, out);
                case VI_ATTR_INTF_NUM:
                    return put<ViUInt16>(value, r.intfNum, out);
                case VI_ATTR_TMO_VALUE:
                    return put<ViUInt32>(value, s.timeout, out);
                case VI_ATTR_RSRC_LOCK_STATE: {
                    auto l = v.locks.find(lockKey(s));
                    ViAccessMode state = VI_NO_LOCK;
                    if (r.lockedElsewhere ||
                        (l != v.locks.end() && l->second.exclusiveOwner != 0)) {
                        state = VI_EXCLUSIVE_LOCK;
                    } else if (l != v.locks.end() && !l->second.shared.empty()) {
                        state = VI_SHARED_LOCK;
                    }
                    return put<ViAccessMode>(value, state, out);
                }
                case VI_ATTR_SLOT:
                    return putOptional(value, r.slot, out);
                case VI_ATTR_MANF_ID:
                    if (!r.manfId && field(VI_INTF_USB, 0)) {
                        return put<ViUInt16>(value, number16(*field(VI_INTF_USB, 0)), out);
                    }
                    return putOptional(value, r.manfId, out);
                case VI_ATTR_MAINFRAME_LA:
                    return putOptional(value, r.mainframeLA, out);
                case VI_ATTR_VXI_LA:
                    return putOptional(value, r.vxiLA, out);
                case VI_ATTR_MODEL_CODE:
                    if (!r.modelCode && field(VI_INTF_USB, 1)) {
                        return put<ViUInt16>(value, number16(*field(VI_INTF_USB, 1)), out);
                    }
                    return putOptional(value, r.modelCode, out);
                case VI_ATTR_TCPIP_ADDR:
                    if (!r.tcpipAddr) return VI_ERROR_NSUP_ATTR;
                    return putText(value, *r.tcpipAddr, out);
                default:
                    return VI_ERROR_NSUP_ATTR;
            }
        });
}

ViStatus _VI_FUNC viSetAttribute(ViObject object, ViAttr attribute, ViAttrState value) {
    return traced(
        "viSetAttribute", [&] { return traceArgs(object, attribute, value); },
        [&](std::string &) -> ViStatus {
            Visa &v = visa();
            std::lock_guard guard(v.mutex);
            if (ViStatus st = enter(v, "viSetAttribute")) return st;
            auto it = v.objects.find(object);
            if (it == v.objects.end()) return VI_ERROR_INV_OBJECT;
            if (it->second.kind == Kind::Session) {
                Object &s = it->second;
                switch (attribute) {
                    case VI_ATTR_TMO_VALUE:
                        if (value > VI_TMO_INFINITE) return VI_ERROR_NSUP_ATTR_STATE;
                        s.timeout = static_cast<ViUInt32>(value);
                        return VI_SUCCESS;
                    case VI_ATTR_TERMCHAR:
                        if (value > 0xFF) return VI_ERROR_NSUP_ATTR_STATE;
                        s.termChar = static_cast<ViUInt8>(value);
                        return VI_SUCCESS;
                    case VI_ATTR_TERMCHAR_EN:
                    case VI_ATTR_SEND_END_EN:
                        if (value != VI_TRUE && value != VI_FALSE) return VI_ERROR_NSUP_ATTR_STATE;
                        (attribute == VI_ATTR_TERMCHAR_EN ? s.termCharEnabled : s.sendEnd) =
                            value == VI_TRUE;
                        return VI_SUCCESS;
                    default:
                        break;
                }
            }
            switch (attribute) {
                case VI_ATTR_RSRC_CLASS:
                case VI_ATTR_RSRC_IMPL_VERSION:
                case VI_ATTR_RSRC_MANF_NAME:
                case VI_ATTR_MANF_NAME:
                case VI_ATTR_MODEL_NAME:
                case VI_ATTR_GPIB_PRIMARY_ADDR:
                case VI_ATTR_GPIB_SECONDARY_ADDR:
                case VI_ATTR_TCPIP_DEVICE_NAME:
                case VI_ATTR_TCPIP_PORT:
                case VI_ATTR_USB_SERIAL_NUM:
                case VI_ATTR_USB_INTFC_NUM:
                case VI_ATTR_RSRC_NAME:
                case VI_ATTR_INTF_TYPE:
                case VI_ATTR_INTF_NUM:
                case VI_ATTR_RSRC_LOCK_STATE:
                case VI_ATTR_SLOT:
                case VI_ATTR_MANF_ID:
                case VI_ATTR_MAINFRAME_LA:
                case VI_ATTR_VXI_LA:
                case VI_ATTR_MODEL_CODE:
                case VI_ATTR_TCPIP_ADDR:
                    return VI_ERROR_ATTR_READONLY;
                default:
                    return VI_ERROR_NSUP_ATTR;
            }
        });
}

ViStatus _VI_FUNC viLock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout,
                         ViConstKeyId requestedKey, ViChar accessKey[]) {
    return traced(
        "viLock", [&] { return traceArgs(vi, lockType, timeout); },
        [&](std::string &) -> ViStatus {
            Visa &v = visa();
            std::unique_lock guard(v.mutex);
            if (ViStatus st = enter(v, "viLock")) return st;
            if (find(v, vi, Kind::Session) == nullptr) return VI_ERROR_INV_OBJECT;
            if (lockType != VI_EXCLUSIVE_LOCK && lockType != VI_SHARED_LOCK)
                return VI_ERROR_INV_LOCK_TYPE;
            return lockSession(v, guard, vi, lockType, timeout, requestedKey, accessKey);
        });
}

ViStatus _VI_FUNC viUnlock(ViSession vi) {
    return traced(
        "viUnlock", [&] { return traceArgs(vi); },
        [&](std::string &) -> ViStatus {
            Visa &v = visa();
            std::lock_guard guard(v.mutex);
            if (ViStatus st = enter(v, "viUnlock")) return st;
            Object *s = find(v, vi, Kind::Session);
            if (s == nullptr) return VI_ERROR_INV_OBJECT;
            Lock &l = lockOf(v, *s);
            if (l.exclusiveOwner == vi) {
                if (--l.exclusiveCount == 0) l.exclusiveOwner = 0;
            } else if (auto it = l.shared.find(vi); it != l.shared.end()) {
                if (--it->second == 0) l.shared.erase(it);
                if (l.shared.empty()) l.sharedKey.clear();
            } else {
                return VI_ERROR_SESN_NLOCKED;
            }
            v.released.notify_all();
            return VI_SUCCESS;
        });
}

ViStatus _VI_FUNC viClear(ViSession vi) {
    return traced(
        "viClear", [&] { return traceArgs(vi); },
        [&](std::string &) -> ViStatus {
            Visa &v = visa();
            std::lock_guard guard(v.mutex);
            Object *s = nullptr;
            if (ViStatus st = transferSession(v, "viClear", vi, false, s)) return st;
            s->input.clear();
            s->replies.clear();
            return VI_SUCCESS;
        });
}

ViStatus _VI_FUNC viWrite(ViSession vi, ViConstBuf buf, ViUInt32 count, ViUInt32 *written) {
    return traced(
        "viWrite",
        [&] {
            const auto *text = reinterpret_cast<const char *>(buf);
            return traceArgs(vi,
                             buf == nullptr ? std::string_view() : std::string_view(text, count));
        },
        [&](std::string &) { return write(vi, buf, count, written); });
}

ViStatus _VI_FUNC viRead(ViSession vi, ViBuf buf, ViUInt32 count, ViUInt32 *got) {
    return traced(
        "viRead", [&] { return traceArgs(vi, count); },
        [&](std::string &out) -> ViStatus {
            Visa &v = visa();
            std::lock_guard guard(v.mutex);
            if (got != nullptr) *got = 0;
            Object *s = nullptr;
            if (ViStatus st = transferSession(v, "viRead", vi, buf == nullptr && count > 0, s)) {
                return st;
            }
            if (s->replies.empty()) return VI_ERROR_TMO;
            // One message at most: the read ends at its END, at the termination character
            // when that is enabled, or at the count, and says which (END first).
            std::string &message = s->replies.front();
            size_t n = 0;
            bool termChar = false;
            while (n < count && n < message.size() && !termChar) {
                termChar = s->termCharEnabled && static_cast<ViUInt8>(message[n]) == s->termChar;
                ++n;
            }
            if (n > 0) std::memcpy(buf, message.data(), n);
            out = " data=" + traceArg(std::string_view(message.data(), n));
            if (got != nullptr) *got = static_cast<ViUInt32>(n);
            if (n == message.size()) {
                s->replies.pop_front();
                return VI_SUCCESS;
            }
            message.erase(0, n);
            return termChar ? VI_SUCCESS_TERM_CHAR : VI_SUCCESS_MAX_CNT;
        });
}

ViStatus _VI_FUNCC viQueryf(ViSession vi, ViConstString writeFmt, ViConstString readFmt, ...) {
    va_list args;
    va_start(args, readFmt);
    const ViStatus st = traced(
        "viQueryf", [&] { return traceArgs(vi, writeFmt, readFmt); },
        [&](std::string &out) { return query(vi, writeFmt, readFmt, args, out); });
    va_end(args);
    return st;
}

ViStatus _VI_FUNC viParseRsrc(ViSession rm, ViConstRsrc name, ViUInt16 *intfType,
                              ViUInt16 *intfNum) {
    return traced(
        "viParseRsrc", [&] { return traceArgs(rm, name); },
        [&](std::string &out) -> ViStatus {
            Resolved r;
            if (ViStatus st = resolve("viParseRsrc", rm, name, r)) return st;
            if (intfType != nullptr) *intfType = r.interfaceType;
            if (intfNum != nullptr) *intfNum = r.board;
            out = " type=" + traceArg(r.interfaceType) + " board=" + traceArg(r.board);
            return VI_SUCCESS;
        });
}

ViStatus _VI_FUNC viParseRsrcEx(ViSession rm, ViConstRsrc name, ViUInt16 *intfType,
                                ViUInt16 *intfNum, ViChar rsrcClass[], ViChar expandedName[],
                                ViChar aliasIfExists[]) {
    return traced(
        "viParseRsrcEx", [&] { return traceArgs(rm, name); },
        [&](std::string &out) -> ViStatus {
            Resolved r;
            if (ViStatus st = resolve("viParseRsrcEx", rm, name, r)) return st;
            if (intfType != nullptr) *intfType = r.interfaceType;
            if (intfNum != nullptr) *intfNum = r.board;
            copyName(rsrcClass, r.resourceClass);
            copyName(expandedName, r.expanded);
            copyName(aliasIfExists, std::string());
            out = " type=" + traceArg(r.interfaceType) + " board=" + traceArg(r.board) +
                  " class=" + traceArg(r.resourceClass) + " expanded=" + traceArg(r.expanded);
            return VI_SUCCESS;
        });
}

ViStatus _VI_FUNC viStatusDesc(ViObject object, ViStatus status, ViChar desc[]) {
    return traced(
        "viStatusDesc", [&] { return traceArgs(object, status); },
        [&](std::string &out) -> ViStatus {
            Visa &v = visa();
            std::lock_guard guard(v.mutex);
            if (ViStatus st = enter(v, "viStatusDesc")) return st;
            if (object != VI_NULL && v.objects.count(object) == 0) return VI_ERROR_INV_OBJECT;
            if (desc == nullptr) return VI_ERROR_USER_BUF;
            const auto text = trl4visa::statusText(status);
            char line[VI_FIND_BUFLEN];
            if (text) {
                std::snprintf(line, sizeof line, "%.*s: %.*s", static_cast<int>(text->name.size()),
                              text->name.data(), static_cast<int>(text->text.size()),
                              text->text.data());
            } else {
                std::snprintf(line, sizeof line, "Unknown status 0x%08X.",
                              static_cast<unsigned>(status));
            }
            copyName(desc, line);
            out = " desc=" + traceArg(std::string(line));
            return text ? VI_SUCCESS : VI_WARN_UNKNOWN_STATUS;
        });
}

ViStatus _VI_FUNC viReadSTB(ViSession vi, ViUInt16 *status) {
    return traced(
        "viReadSTB", [&] { return traceArgs(vi); },
        [&](std::string &out) -> ViStatus {
            Visa &v = visa();
            std::lock_guard guard(v.mutex);
            Object *s = nullptr;
            if (ViStatus st = transferSession(v, "viReadSTB", vi, status == nullptr, s)) return st;
            // A device that answers nothing does not answer a serial poll either.
            if (!s->resource->meter && !s->resource->idn) return VI_ERROR_TMO;
            ViUInt16 stb = trl4sim::meterStatusByte(*s->resource);
            if (!s->replies.empty()) stb |= trl4sim::kMessageAvailable;
            *status = stb;
            out = " status=" + traceArg(stb);
            return VI_SUCCESS;
        });
}

ViStatus _VI_FUNC viFlush(ViSession vi, ViUInt16 mask) {
    return traced(
        "viFlush", [&] { return traceArgs(vi, mask); },
        [&](std::string &) -> ViStatus {
            Visa &v = visa();
            std::lock_guard guard(v.mutex);
            Object *s = nullptr;
            if (ViStatus st = transferSession(v, "viFlush", vi, false, s)) return st;
            constexpr ViUInt16 known = VI_READ_BUF | VI_WRITE_BUF | VI_READ_BUF_DISCARD |
                                       VI_WRITE_BUF_DISCARD | VI_IO_IN_BUF | VI_IO_OUT_BUF |
                                       VI_IO_IN_BUF_DISCARD | VI_IO_OUT_BUF_DISCARD;
            const auto both = [&](ViUInt16 a, ViUInt16 b) {
                return (mask & a) != 0 && (mask & b) != 0;
            };
            if (mask == 0 || (mask & ~known) != 0 || both(VI_READ_BUF, VI_READ_BUF_DISCARD) ||
                both(VI_WRITE_BUF, VI_WRITE_BUF_DISCARD) ||
                both(VI_IO_IN_BUF, VI_IO_IN_BUF_DISCARD) ||
                both(VI_IO_OUT_BUF, VI_IO_OUT_BUF_DISCARD)) {
                return VI_ERROR_INV_MASK;
            }
            // The formatted buffers stay empty here: writes go to the device at once and
            // viQueryf discards what it does not take. A serial port's receive buffer is what
            // the device sent and nobody read.
            if ((mask & (VI_IO_IN_BUF | VI_IO_IN_BUF_DISCARD)) != 0 &&
                s->resource->intfType == VI_INTF_ASRL) {
                s->replies.clear();
            }
            return VI_SUCCESS;
        });
}

ViStatus _VI_FUNC viAssertTrigger(ViSession vi, ViUInt16 protocol) {
    return traced(
        "viAssertTrigger", [&] { return traceArgs(vi, protocol); },
        [&](std::string &) -> ViStatus {
            Visa &v = visa();
            std::lock_guard guard(v.mutex);
            Object *s = nullptr;
            if (ViStatus st = transferSession(v, "viAssertTrigger", vi, false, s)) return st;
            const bool vxi =
                s->resource->intfType == VI_INTF_VXI || s->resource->intfType == VI_INTF_GPIB_VXI;
            const bool known =
                protocol == VI_TRIG_PROT_DEFAULT ||
                (vxi && (protocol == VI_TRIG_PROT_ON || protocol == VI_TRIG_PROT_OFF ||
                         protocol == VI_TRIG_PROT_SYNC));
            if (!known) return VI_ERROR_INV_PROT;
            if (s->resource->meter) trl4sim::meterTrigger(*s->resource);
            return VI_SUCCESS;
        });
}

ViStatus _VI_FUNC viEnableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism,
                                ViEventFilter) {
    return traced(
        "viEnableEvent", [&] { return traceArgs(vi, eventType, mechanism); },
        [&](std::string &) -> ViStatus {
            Visa &v = visa();
            std::lock_guard guard(v.mutex);
            if (ViStatus st = enter(v, "viEnableEvent")) return st;
            if (find(v, vi, Kind::Session) == nullptr) return VI_ERROR_INV_OBJECT;
            return VI_ERROR_INV_EVENT;
        });
}

ViStatus _VI_FUNC viDisableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism) {
    return traced(
        "viDisableEvent", [&] { return traceArgs(vi, eventType, mechanism); },
        [&](std::string &) -> ViStatus {
            return noEvents("viDisableEvent", vi, eventType, mechanism, VI_SUCCESS_EVENT_DIS);
        });
}

ViStatus _VI_FUNC viDiscardEvents(ViSession vi, ViEventType eventType, ViUInt16 mechanism) {
    return traced(
        "viDiscardEvents", [&] { return traceArgs(vi, eventType, mechanism); },
        [&](std::string &) -> ViStatus {
            return noEvents("viDiscardEvents", vi, eventType, mechanism, VI_SUCCESS_QUEUE_EMPTY);
        });
}

ViStatus _VI_FUNC viWaitOnEvent(ViSession vi, ViEventType inEventType, ViUInt32 timeout,
                                ViEventType *outEventType, ViEvent *outContext) {
    return traced(
        "viWaitOnEvent", [&] { return traceArgs(vi, inEventType, timeout); },
        [&](std::string &) -> ViStatus {
            if (outEventType != nullptr) *outEventType = 0;
            if (outContext != nullptr) *outContext = VI_NULL;
            Visa &v = visa();
            std::lock_guard guard(v.mutex);
            if (ViStatus st = enter(v, "viWaitOnEvent")) return st;
            if (find(v, vi, Kind::Session) == nullptr) return VI_ERROR_INV_OBJECT;
            // Nothing can be enabled, so waiting on "all enabled" waits on nothing.
            return inEventType == VI_ALL_ENABLED_EVENTS ? VI_ERROR_NENABLED : VI_ERROR_INV_EVENT;
        });
}

}  // extern "C"

namespace {

ViStatus query(ViSession vi, ViConstString writeFmt, ViConstString readFmt, va_list args,
               std::string &out) {
    Visa &v = visa();
    {
        std::lock_guard guard(v.mutex);
        if (ViStatus st = enter(v, "viQueryf")) return st;
        if (find(v, vi, Kind::Session) == nullptr) return VI_ERROR_INV_OBJECT;
    }
    if (writeFmt == nullptr || readFmt == nullptr) return VI_ERROR_INV_FMT;
    // Both formats are checked and their arguments taken before anything is sent.
    std::string command;
    ViStatus status = VI_SUCCESS;
    for (const char *p = writeFmt; *p != '\0' && status == VI_SUCCESS; ++p) {
        if (*p != '%') {
            command += *p;
        } else if (p[1] == '%') {
            command += '%';
            ++p;
        } else if (p[1] == 's') {
            const char *s = va_arg(args, const char *);
            if (s == nullptr) status = VI_ERROR_USER_BUF;
            if (s != nullptr) command += s;
            ++p;
        } else if (p[1] == 'd') {
            command += std::to_string(va_arg(args, int));
            ++p;
        } else {
            status = VI_ERROR_NSUP_FMT;
        }
    }
    char *reply_ = nullptr;
    ViInt32 *sizeInOut = nullptr;
    size_t capacity = 0;
    if (status == VI_SUCCESS) {
        std::string_view f = readFmt;
        if (f == "%t") {
            capacity = VI_FIND_BUFLEN;
        } else if (f == "%#t") {
            sizeInOut = va_arg(args, ViInt32 *);
            if (sizeInOut == nullptr || *sizeInOut <= 0) {
                status = VI_ERROR_USER_BUF;
            } else {
                capacity = std::min(static_cast<size_t>(*sizeInOut), kMaxQueryBuffer);
            }
        } else if (f.size() >= 3 && f.front() == '%' && f.back() == 't' &&
                   f.find_first_not_of("0123456789", 1) == f.size() - 1) {
            // A width on "%t" is not the standard's: a real library would not bound the read.
            status = VI_ERROR_INV_FMT;
        } else {
            status = VI_ERROR_NSUP_FMT;
        }
        if (status == VI_SUCCESS) {
            reply_ = va_arg(args, char *);
            if (reply_ == nullptr) status = VI_ERROR_USER_BUF;
        }
    }
    if (status != VI_SUCCESS) return status;
    status = write(vi, reinterpret_cast<ViConstBuf>(command.data()),
                   static_cast<ViUInt32>(command.size()), nullptr);
    if (status < 0) return status;
    std::lock_guard guard(v.mutex);
    std::string reply;
    status = readReply(v, vi, reply, capacity - 1);
    if (status < 0) return status;
    std::memcpy(reply_, reply.data(), reply.size());
    reply_[reply.size()] = '\0';
    out = " reply=" + traceArg(reply);
    if (sizeInOut != nullptr) *sizeInOut = static_cast<ViInt32>(reply.size());
    return status;
}

}  // namespace
