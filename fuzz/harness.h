/* SPDX-License-Identifier: MIT */
// What every fuzz target shares: a silent log, a check that stops the run, the input read piece
// by piece, and the entry point that clears the trace after each input. A target defines
// fuzz_one(Input &) and includes this header once.
#ifndef XK_FUZZ_HARNESS_H
#define XK_FUZZ_HARNESS_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <utility>

#include "xk/errortrace.h"
#include "xk/log.h"

#define FUZZ_CHECK(cond) ((cond) ? (void)0 : __builtin_trap())

namespace fuzz {

// The input, read one piece at a time; past the end every byte reads as zero.
struct Input {
    const uint8_t *p, *end, *data;
    size_t size;
    bool more() const { return p < end; }
    uint8_t byte() { return p < end ? *p++ : 0; }
    std::string rest() {
        const char *from = reinterpret_cast<const char *>(std::exchange(p, end));
        return std::string(from, reinterpret_cast<const char *>(end));
    }
};

}  // namespace fuzz

void fuzz_one(fuzz::Input &in);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool quiet =
        (xk_log_set_sink([](void *, int, int, const char *, const char *, int, const char *) {}, nullptr),
         true);
    fuzz::Input in{data, data + size, data, size};
    return fuzz_one(in), xk_trace_clear(), quiet ? 0 : 0;
}

#endif
