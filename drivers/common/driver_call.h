// What every driver stand-in operation does around its work: refuse when the bench is
// refused, take an injected fault, keep exceptions inside, and write one trace line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "trl4/utf8.h"
#include "trl4sim/bench.h"
#include "trl4sim/trace.h"
#include "visa.h"

namespace trl4drv {

using trl4sim::traceArg;
using trl4sim::traceArgs;

// Copies text into a driver's fixed text buffer (size bytes), cut on a UTF-8 character
// boundary so a reader never sees half a character.
inline void copyText(char *dst, size_t size, std::string_view text) {
    if (dst == nullptr || size == 0) return;
    const size_t n = trl4::utf8::fitBytes(text, size - 1);
    text.copy(dst, n);
    dst[n] = '\0';
}

class Call {
  public:
    Call(const char *name, std::string args) : name_(name), args_(std::move(args)) {}

    // Status the operation must return at once (bench refused, injected error), or 0. An
    // injected warning does not stop the operation: it does its work and answers the warning,
    // as a driver's warning does.
    int32_t enter(bool evenWithoutBench = false) {
        if (!evenWithoutBench && !trl4sim::current()) return VI_ERROR_SYSTEM_ERROR;
        const int32_t injected = trl4sim::injectedFault(name_);
        if (injected <= 0) return injected;
        warning_ = injected;
        return 0;
    }

    void out(const std::string &text) { out_ += " " + text; }

    int32_t done(int32_t status) {
        if (status == 0) status = warning_;
        trl4sim::traceCall(name_, args_, status, out_);
        return status;
    }

  private:
    const char *name_;
    std::string args_;
    std::string out_;
    int32_t warning_ = 0;
};

// Runs body (returning a status) so that nothing it throws leaves the C interface; args
// makes the trace text of the arguments.
template <typename Args, typename Body>
int32_t guarded(const char *name, Args args, Body body) noexcept {
    try {
        Call call(name, args());
        return body(call);
    } catch (...) {
        return VI_ERROR_SYSTEM_ERROR;
    }
}

}  // namespace trl4drv
