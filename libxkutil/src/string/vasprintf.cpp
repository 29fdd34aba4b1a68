// SPDX-License-Identifier: MIT
#include <errno.h>
#include <stdint.h>
#include <stdlib.h>

#include "internal/format_fill.h"
#include "internal/guards.h"
#include "internal/report.h"
#include "xk/format.h"

namespace {
constexpr const char *kSource = "src/string/vasprintf";
}

extern "C" {

xk_util_status xk_util_vasprintf(char **out, const char *format, va_list ap, int *errno_out) {
    using namespace xk;
    if (out == nullptr || format == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    *out = nullptr;
    int size = 0;
    xk_util_status st = xk_util_printf_vsize(format, ap, &size);
    if (st != XK_OK) return report::pass(__func__, kSource, __LINE__, st);
    MallocGuard<char> text(static_cast<char *>(malloc(static_cast<size_t>(size))));
    if (!text) return report::trace(__func__, kSource, __LINE__, XK_ERR_NOMEM);
    if (format_fill(text.get(), static_cast<size_t>(size), format, ap) == -1) {
        if (errno_out != nullptr) *errno_out = errno;
        return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    }
    if (errno_out != nullptr) *errno_out = 0;
    *out = text.release();
    return XK_OK;
}

xk_util_status xk_util_asprintf(char **out, int *errno_out, const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    xk_util_status st = xk_util_vasprintf(out, format, ap, errno_out);
    va_end(ap);
    return st;
}

int xk_util_snprintf(char *buf, size_t size, const char *format, ...) {
    if (size > INT32_MAX) return -1;
    va_list ap;
    va_start(ap, format);
    int n = vsnprintf(buf, size, format, ap);
    va_end(ap);
    if (static_cast<int>(size) <= n) return -1;
    return n;
}

}  // extern "C"
