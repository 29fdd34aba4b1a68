// SPDX-License-Identifier: MIT
#include "internal/report.h"

#include <stdarg.h>
#include <stddef.h>

extern "C" int __xpg_strerror_r(int errnum, char *buf, size_t len);  // glibc's XSI strerror_r

namespace xk::report {

void log_errno(const char *func, const char *file, int line, int errnum, const char *format, ...) {
    char reason[256];
    snprintf(reason, sizeof reason, "error code %d", errnum);
    // Its result is ignored: when it writes nothing the "error code" text stands.
    (void)__xpg_strerror_r(errnum, reason, sizeof reason);
    char message[2048];
    va_list ap;
    va_start(ap, format);
    if (vsnprintf(message, sizeof message, format, ap) < 0) message[0] = '\0';
    va_end(ap);
    xk_util_log_internal(kError, kFlags, func, file, line, "%s  Reason: %s", message, reason);
}

}  // namespace xk::report
