/* SPDX-License-Identifier: MIT */
// What every fuzz target shares: a silent log, a check that stops the run, the input read piece
// by piece, and the entry point that clears the trace after each input. A target defines
// fuzz_one(Input &) and includes this header once.
#ifndef XK_FUZZ_HARNESS_H
#define XK_FUZZ_HARNESS_H

#include <stddef.h>
#include <stdint.h>

#include <algorithm>
#include <string>

#include "xk/errortrace.h"
#include "xk/log.h"

#define FUZZ_CHECK(cond)               \
    do {                               \
        if (!(cond)) __builtin_trap(); \
    } while (0)

namespace fuzz {

// The input, read one piece at a time; past the end every byte reads as zero.
struct Input {
    const uint8_t *p;
    const uint8_t *end;
    const uint8_t *data;
    size_t size;
    bool more() const { return p < end; }
    uint8_t byte() { return p < end ? *p++ : 0; }
    std::string piece(size_t n) {
        n = std::min(n, static_cast<size_t>(end - p));
        std::string s(reinterpret_cast<const char *>(p), n);
        p += n;
        return s;
    }
    std::string rest() { return piece(static_cast<size_t>(end - p)); }
};

}  // namespace fuzz

void fuzz_one(fuzz::Input &in);

namespace fuzz {
inline void quiet_sink(void *, int, int, const char *, const char *, int, const char *) {}
}  // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool quiet = (xk_log_set_sink(fuzz::quiet_sink, nullptr), true);
    (void)quiet;
    fuzz::Input in{data, data + size, data, size};
    fuzz_one(in);
    xk_trace_clear();
    return 0;
}

#endif
