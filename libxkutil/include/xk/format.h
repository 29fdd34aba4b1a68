/* SPDX-License-Identifier: MIT */
/** @file
 * Formatted allocation and bounded formatting.
 *
 * @code
 * char *path = NULL;
 * if (xk_util_asprintf(&path, NULL, "/proc/%d/cmdline", (int)getpid()) == XK_OK) {
 *     puts(path);
 *     free(path);
 * }
 * char line[16];
 * if (xk_util_snprintf(line, sizeof line, "%s", "longer than sixteen") < 0) puts("cut");
 * @endcode */
#ifndef XK_FORMAT_H
#define XK_FORMAT_H

#include <stdarg.h>
#include <stddef.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Formats into a new malloc'd string in *out (the caller frees it); *out is NULL after any
 * failure.
 * @param out receives the new string
 * @param format the printf format
 * @param ap the format's arguments
 * @param errno_out optional: 0 on success, errno when the formatting fails
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_SYSTEM, XK_ERR_NOMEM */
XK_API xk_util_status xk_util_vasprintf(char **out, const char *format, va_list ap, int *errno_out);

/** xk_util_vasprintf with variable arguments; note errno_out comes before the format.
 * @param out receives the new string (NULL after any failure); the caller frees it
 * @param errno_out optional: 0 on success, errno when the formatting fails
 * @param format the printf format, followed by its arguments
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_SYSTEM, XK_ERR_NOMEM */
XK_API xk_util_status xk_util_asprintf(char **out, int *errno_out, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

/** Measures a formatted text without writing it.
 * @param format the printf format
 * @param ap the format's arguments
 * @param size_out receives the bytes the text needs, its terminator included
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_SYSTEM */
XK_API xk_util_status xk_util_printf_vsize(const char *format, va_list ap, int *size_out);

/** vsnprintf into buf. Never traces.
 * @param buf the destination of size bytes
 * @param size its size
 * @param format the printf format, followed by its arguments
 * @return the characters written, or -1 when the text was cut, size is 0 or size exceeds INT32_MAX */
XK_API int xk_util_snprintf(char *buf, size_t size, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

#ifdef __cplusplus
}
#endif

#endif
