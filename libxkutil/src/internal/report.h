/* SPDX-License-Identifier: MIT */
// The one way a libxkutil function reports a failure point: trace (and log where the
// behaviour calls for it), then return the status. Every helper returns the status it
// was given so that a failure point stays one line.
#ifndef XK_INTERNAL_REPORT_H
#define XK_INTERNAL_REPORT_H

#include <stdio.h>

#include "xk/status.h"

extern "C" {
// The companions, called through the dynamic symbol table so that a program may replace them.
void xk_trace_save(const char *func, const char *file, int line, uint32_t status);
void xk_util_log_internal(int level, int flags, const char *func, const char *file, int line,
                          const char *format, ...);
void xk_util_log_internal_perror(int errnum, int level, int flags, const char *func, const char *file,
                                 int line, const char *msg);
}

namespace xk::report {

// The helpers forward the caller's literal format; clang cannot see through the template.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wformat-security"
#pragma clang diagnostic ignored "-Wformat-nonliteral"
#endif

constexpr int kFlags = 128;
constexpr int kError = 3;
constexpr int kDebug = 7;

// Records one failure point and returns its status.
inline xk_util_status trace(const char *func, const char *file, int line, xk_util_status status) {
    xk_trace_save(func, file, line, status);
    return status;
}

// A status received from another library function: traced again at this level, unchanged.
inline xk_util_status pass(const char *func, const char *file, int line, xk_util_status status) {
    return trace(func, file, line, status);
}

inline xk_util_status null_arg(const char *func, const char *file, int line) {
    return trace(func, file, line, XK_ERR_NULL_ARG);
}

// A plain error line (file "", line 0) with the caller's format, then the trace.
template <typename... Args>
xk_util_status error(const char *func, const char *file, int line, xk_util_status status, const char *format,
                     Args... args) {
    xk_util_log_internal(kError, kFlags, func, "", 0, format, args...);
    return trace(func, file, line, status);
}

// A plain error line only, for the few failures that log without a trace record.
template <typename... Args>
void log_error(const char *func, const char *format, Args... args) {
    xk_util_log_internal(kError, kFlags, func, "", 0, format, args...);
}

// A debug note that is not itself a failure.
template <typename... Args>
void note(const char *func, const char *format, Args... args) {
    xk_util_log_internal(kDebug, kFlags, func, "", 0, format, args...);
}

// The errno line: "<message>  Reason: <strerror text>" with the file and line of the failure.
// The message is formatted into a 2048-byte buffer (cut to fit) before the call.
void log_errno(const char *func, const char *file, int line, int errnum, const char *format, ...)
    __attribute__((format(printf, 5, 6)));

// A failed system call: stores errnum in *errno_out when given, logs the errno line, traces
// `status` and returns it.
template <typename... Args>
xk_util_status sys_status(const char *func, const char *file, int line, xk_util_status status, int errnum,
                          int *errno_out, const char *format, Args... args) {
    if (errno_out != nullptr) *errno_out = errnum;
    log_errno(func, file, line, errnum, format, args...);
    return trace(func, file, line, status);
}

// As sys_status with XK_ERR_SYSTEM, the usual status after a failed system call.
template <typename... Args>
xk_util_status sys(const char *func, const char *file, int line, int errnum, int *errno_out,
                   const char *format, Args... args) {
    return sys_status(func, file, line, XK_ERR_SYSTEM, errnum, errno_out, format, args...);
}

#if defined(__clang__)
#pragma clang diagnostic pop
#endif

}  // namespace xk::report

#endif
