/** @file
 * Formatted allocation and bounded formatting. */
#ifndef XK_FORMAT_H
#define XK_FORMAT_H

#include <stdarg.h>
#include <stddef.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Formats into a new malloc'd string in *out (the caller frees it); *out is NULL after any
 * failure. *errno_out (optional) is 0 on success. XK_ERR_NULL_ARG, XK_ERR_SYSTEM, XK_ERR_NOMEM. */
XK_API xk_util_status xk_util_vasprintf(char **out, const char *format, va_list ap, int *errno_out);

/** xk_util_vasprintf with variable arguments; note errno_out comes before the format. */
XK_API xk_util_status xk_util_asprintf(char **out, int *errno_out, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

/** *size_out = bytes the text needs including its terminator. XK_ERR_NULL_ARG, XK_ERR_SYSTEM. */
XK_API xk_util_status xk_util_printf_vsize(const char *format, va_list ap, int *size_out);

/** vsnprintf into buf; the count written, or -1 when the text was cut, size is 0 or
 * size exceeds INT32_MAX. Never traces. */
XK_API int xk_util_snprintf(char *buf, size_t size, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

#ifdef __cplusplus
}
#endif

#endif
