// SPDX-License-Identifier: MIT
#include "xk/errortrace.h"

#include <string.h>

namespace {

// Per-thread ring; trivially destructible so no thread-exit hook is needed.
struct Chain {
    xk_trace_record records[XK_TRACE_CAPACITY];
    size_t first;
    size_t count;
};

thread_local Chain chain;

void copy_text(char *dst, const char *src) {
    if (src == nullptr) src = "(null)";
    size_t n = strnlen(src, XK_TRACE_TEXT_MAX - 1);
    memcpy(dst, src, n);
    dst[n] = '\0';
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void xk_trace_save(const char *func, const char *file, int line,
                                                          uint32_t status) {
    Chain &c = chain;
    size_t slot = (c.first + c.count) % XK_TRACE_CAPACITY;
    if (c.count == XK_TRACE_CAPACITY)
        c.first = (c.first + 1) % XK_TRACE_CAPACITY;
    else
        ++c.count;
    xk_trace_record &r = c.records[slot];
    copy_text(r.func, func);
    copy_text(r.file, file);
    r.line = line;
    r.status = status;
}

__attribute__((visibility("default"))) size_t xk_trace_count(void) { return chain.count; }

__attribute__((visibility("default"))) int xk_trace_get(size_t i, xk_trace_record *out) {
    if (out == nullptr || i >= chain.count) return -1;
    *out = chain.records[(chain.first + i) % XK_TRACE_CAPACITY];
    return 0;
}

__attribute__((visibility("default"))) void xk_trace_clear(void) {
    chain.first = 0;
    chain.count = 0;
}

__attribute__((visibility("default"))) void xk_trace_write(FILE *stream) {
    if (stream == nullptr) return;
    for (size_t i = 0; i < chain.count; ++i) {
        const xk_trace_record &r = chain.records[(chain.first + i) % XK_TRACE_CAPACITY];
        fprintf(stream, "%s (%s:%d) status %u\n", r.func, r.file, r.line, r.status);
    }
}

}  // extern "C"
