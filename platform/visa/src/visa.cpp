// VISA over the simulated bench: resource manager, search, sessions, typed attributes, locks
// and a "*IDN?" speaking device behind every message-based resource (a meter answers SCPI).
#include "visa.h"

#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

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

enum class Kind { Manager, Session, FindList };

struct Object {
    Kind kind = Kind::Manager;
    ViSession manager = 0;
    // Session
    std::shared_ptr<const trl4sim::Bench> bench;
    const trl4sim::Resource *resource = nullptr;
    std::string input;   // what was written and not yet taken as a command
    std::string output;  // the device's reply not yet read
    ViUInt32 timeout = kDefaultTimeout;
    // Find list
    std::vector<std::string> found;
    size_t next = 0;
};

struct Lock {
    ViSession exclusiveOwner = 0;
    int exclusiveCount = 0;
    std::map<ViSession, int> shared;
};

struct Visa {
    std::mutex mutex;
    std::condition_variable released;
    std::map<ViObject, Object> objects;
    std::map<std::string, Lock> locks;  // by lower-case resource name
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

Lock &lockOf(Visa &v, const Object &session) {
    return v.locks[lowerName(session.resource->name)];
}

// True when someone other than this session holds the resource exclusively.
bool lockedAgainst(Visa &v, ViSession vi, const Object &session) {
    if (session.resource->lockedElsewhere) return true;
    auto it = v.locks.find(lowerName(session.resource->name));
    return it != v.locks.end() && it->second.exclusiveOwner != 0 && it->second.exclusiveOwner != vi;
}

void releaseLocks(Visa &v, ViSession vi, const Object &session) {
    auto it = v.locks.find(lowerName(session.resource->name));
    if (it == v.locks.end()) return;
    if (it->second.exclusiveOwner == vi) {
        it->second.exclusiveOwner = 0;
        it->second.exclusiveCount = 0;
    }
    it->second.shared.erase(vi);
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
        if (s.resource->meter) {
            s.output += trl4sim::meterExchange(*s.resource, command);
        } else if (lowerName(command) == "*idn?" && s.resource->idn) {
            s.output += *s.resource->idn;
        }
    }
}

ViStatus lockSession(Visa &v, std::unique_lock<std::mutex> &guard, ViSession vi, ViAccessMode type,
                     ViUInt32 timeout, ViChar *accessKey) {
    Object *s = find(v, vi, Kind::Session);
    if (s == nullptr) return VI_ERROR_INV_OBJECT;
    const std::string name = lowerName(s->resource->name);
    const bool elsewhere = s->resource->lockedElsewhere;
    const uint64_t generation = v.generation;
    auto available = [&] {
        if (v.generation != generation || find(v, vi, Kind::Session) == nullptr) return true;
        Lock &l = v.locks[name];
        if (elsewhere) return false;
        if (type == VI_EXCLUSIVE_LOCK) {
            const bool sharedByOthers = l.shared.size() > (l.shared.count(vi) != 0 ? 1u : 0u);
            return (l.exclusiveOwner == 0 || l.exclusiveOwner == vi) && !sharedByOthers;
        }
        return l.exclusiveOwner == 0 || l.exclusiveOwner == vi;
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
    const bool nested = l.shared[vi]++ > 0;
    if (accessKey != nullptr) std::snprintf(accessKey, VI_FIND_BUFLEN, "shared:%s", name.c_str());
    return nested ? VI_SUCCESS_NESTED_SHARED : VI_SUCCESS;
}

ViStatus readReply(Visa &v, ViSession vi, std::string &reply, size_t limit) {
    Object *s = find(v, vi, Kind::Session);
    if (s == nullptr) return VI_ERROR_INV_OBJECT;
    if (lockedAgainst(v, vi, *s)) return VI_ERROR_RSRC_LOCKED;
    // A device that has nothing to say times out; simulated time passes at once.
    if (s->output.empty()) return VI_ERROR_TMO;
    reply = s->output.substr(0, limit);
    s->output.clear();  // the rest of an over-long reply is discarded, not left for later
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
                const ViStatus st = lockSession(v, guard, h, lockType, timeout, nullptr);
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
            if (it->second.kind != Kind::Session) return VI_ERROR_NSUP_ATTR;
            const Object &s = it->second;
            const trl4sim::Resource &r = *s.resource;
            switch (attribute) {
                case VI_ATTR_RSRC_NAME:
                    return putText(value, r.name, out);
                case VI_ATTR_INTF_TYPE:
                    return put<ViUInt16>(value, r.intfType, out);
                case VI_ATTR_INTF_NUM:
                    return put<ViUInt16>(value, r.intfNum, out);
                case VI_ATTR_TMO_VALUE:
                    return put<ViUInt32>(value, s.timeout, out);
                case VI_ATTR_RSRC_LOCK_STATE: {
                    auto l = v.locks.find(lowerName(r.name));
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
                    return putOptional(value, r.manfId, out);
                case VI_ATTR_MAINFRAME_LA:
                    return putOptional(value, r.mainframeLA, out);
                case VI_ATTR_VXI_LA:
                    return putOptional(value, r.vxiLA, out);
                case VI_ATTR_MODEL_CODE:
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
            if (it->second.kind == Kind::Session && attribute == VI_ATTR_TMO_VALUE) {
                if (value > VI_TMO_INFINITE) return VI_ERROR_NSUP_ATTR_STATE;
                it->second.timeout = static_cast<ViUInt32>(value);
                return VI_SUCCESS;
            }
            switch (attribute) {
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

ViStatus _VI_FUNC viLock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout, ViConstKeyId,
                         ViChar accessKey[]) {
    return traced(
        "viLock", [&] { return traceArgs(vi, lockType, timeout); },
        [&](std::string &) -> ViStatus {
            Visa &v = visa();
            std::unique_lock guard(v.mutex);
            if (ViStatus st = enter(v, "viLock")) return st;
            if (find(v, vi, Kind::Session) == nullptr) return VI_ERROR_INV_OBJECT;
            if (lockType != VI_EXCLUSIVE_LOCK && lockType != VI_SHARED_LOCK)
                return VI_ERROR_INV_LOCK_TYPE;
            return lockSession(v, guard, vi, lockType, timeout, accessKey);
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
            s->output.clear();
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
            if (s->output.empty()) return VI_ERROR_TMO;
            const size_t n = std::min<size_t>(count, s->output.size());
            if (n > 0) std::memcpy(buf, s->output.data(), n);
            out = " data=" + traceArg(std::string_view(s->output.data(), n));
            s->output.erase(0, n);
            if (got != nullptr) *got = static_cast<ViUInt32>(n);
            return s->output.empty() ? VI_SUCCESS : VI_SUCCESS_MAX_CNT;
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
