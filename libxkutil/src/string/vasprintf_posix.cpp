// SPDX-License-Identifier: MIT
#include <errno.h>
#include <stdio.h>

#include "internal/checked.h"
#include "internal/format_fill.h"
#include "internal/report.h"
#include "xk/format.h"

namespace {
constexpr const char *kSource = "src/string/vasprintf_posix";
}

namespace xk {

int format_fill(char *buf, size_t size, const char *format, va_list ap) {
    va_list copy;
    va_copy(copy, ap);
    int written = vsnprintf(buf, size, format, copy);
    va_end(copy);
    return written;
}

}  // namespace xk

extern "C" {

xk_util_status xk_util_printf_vsize(const char *format, va_list ap, int *size_out) {
    if (format == nullptr || size_out == nullptr) return xk::report::null_arg(__func__, kSource, __LINE__);
    int length = xk::format_fill(nullptr, 0, format, ap);
    *size_out = length;
    int size = 0;
    // A text of 2147483647 characters has no signed 32-bit size with its terminator.
    if (length < 0 || !xk::checked::add(length, 1, &size))
        return xk::report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    *size_out = size;
    return XK_OK;
}

}  // extern "C"
