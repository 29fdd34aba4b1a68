/** @file
 * Time: deadlines, timeval arithmetic and readable durations, calendar time, clocks and
 * the processor's counter. */
#ifndef XK_TIME_H
#define XK_TIME_H

#include <stddef.h>
#include <stdint.h>
#include <sys/time.h>
#include <time.h>

/** <time.h> of a strict C99 caller declares no struct timespec; glibc's own definition (the one
 * <time.h> uses, under the same guard) is taken so that deadline records can be declared. */
#if defined(__GLIBC__)
#include <bits/types/struct_timespec.h>
#endif

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** A deadline: an absolute CLOCK_REALTIME time, the POSIX struct timespec unchanged. */
typedef struct timespec xk_util_timeout;

/* ---- Deadlines ---------------------------------------------------------------------- */

/** Moves *ts forward by val / scale_to_sec seconds (val >= 0, 1 <= scale_to_sec <= 1e9).
 * XK_ERR_INVALID (logged, *ts untouched), XK_ERR_NULL_ARG, XK_ERR_OVERFLOW (a field would
 * pass INT64_MAX; *ts may then be partly updated and must not be used). */
XK_API xk_util_status xk_util_abs_time_offset(struct timespec *ts, int64_t val, int64_t scale_to_sec);

/** *deadline = now (CLOCK_REALTIME) + val / scale_to_sec seconds. XK_ERR_SYSTEM, XK_ERR_NULL_ARG,
 * or the status of xk_util_abs_time_offset; after a failure *deadline is not a deadline. */
XK_API xk_util_status xk_util_future_timeout(struct timespec *deadline, int64_t val, int64_t scale_to_sec);

/** *result = -1, 0 or 1 as *a is earlier than, equal to or later than *b (compared as stored).
 * XK_ERR_NULL_ARG (logged). */
XK_API xk_util_status xk_util_cmp_timeout(const struct timespec *a, const struct timespec *b, int *result);

/** Writes the seconds left until *deadline as "%le seconds" into buf (len bytes, cut silently;
 * negative once passed). XK_ERR_NULL_ARG, XK_ERR_SYSTEM (logged). */
XK_API xk_util_status xk_util_query_timeout_left(const struct timespec *deadline, char *buf, size_t len);

/** *tv = now (gettimeofday) + seconds. XK_ERR_NULL_ARG, XK_ERR_INVALID (seconds < 0, *tv
 * untouched), XK_ERR_SYSTEM, XK_ERR_OVERFLOW. */
XK_API xk_util_status xk_util_future_time(int seconds, struct timeval *tv);

/* ---- Timeval arithmetic (values are used as stored, never normalised) -------------- */

/** 1, -1 or 0 as *a is later than, earlier than or equal to *b. */
XK_API int xk_util_timeval_cmp(const struct timeval *a, const struct timeval *b);

/** 1 when *a is later than *b, else 0. */
XK_API int xk_util_time_greater_than(const struct timeval *a, const struct timeval *b);

/** Adds seconds to tv->tv_sec. XK_ERR_OVERFLOW (tv unchanged) when the sum would pass INT64_MAX;
 * a negative amount is refused the same way whenever tv_sec is not negative. */
XK_API xk_util_status xk_util_safe_add_seconds(struct timeval *tv, int64_t seconds);

/** *a - *b in seconds. */
XK_API double xk_util_time_diff_seconds(const struct timeval *a, const struct timeval *b);

/** Writes a duration as "45 seconds", "1 minute", "2 hours", "3 days" into buf (size bytes,
 * cut to fit). Always XK_OK. */
XK_API xk_util_status xk_util_snprintf_human_time(char *buf, size_t size, double seconds);

/** *tv = ms milliseconds. XK_ERR_NULL_ARG (not traced), XK_ERR_OVERFLOW. */
XK_API xk_util_status xk_util_ms_to_timeval(uint64_t ms, struct timeval *tv);

/** *ms_out = tv_sec * 1000 + tv_usec / 1000 (truncating, wrapping). XK_ERR_NULL_ARG. */
XK_API xk_util_status xk_util_timeval_to_ms(const struct timeval *tv, int64_t *ms_out);

/* ---- Calendar time ------------------------------------------------------------------ */

/** The current local time as "Wed Jun 30 21:49:08 1993" (no newline) in buf. On entry *len_inout
 * is buf's size (at least 26); on success it is the text's length. XK_ERR_NULL_ARG,
 * XK_ERR_INVALID, XK_ERR_SYSTEM (*errno_out, optional, receives errno). */
XK_API xk_util_status xk_util_now_str(char *buf, size_t *len_inout, int *errno_out);

/** *out = the current local time, broken down. XK_ERR_SYSTEM (logged). */
XK_API xk_util_status xk_util_get_broken_down_time(struct tm *out);

/** *out = *t as UTC, broken down. XK_ERR_SYSTEM. */
XK_API xk_util_status xk_util_gmtime(const time_t *t, struct tm *out);

/** The fixed 24-character text of *tm followed by a newline, in buf (size at least 26).
 * XK_ERR_NULL_ARG, XK_ERR_BUFFER_TOO_SMALL, XK_ERR_SYSTEM. */
XK_API xk_util_status xk_util_asctime(const struct tm *tm, char *buf, size_t size);

/** localtime_r: out, or NULL on failure. */
XK_API struct tm *xk_util_localtime_r(const time_t *t, struct tm *out);

/* ---- Clocks, timers and the counter ------------------------------------------------ */

/** Wall-clock milliseconds since the epoch (gettimeofday). */
XK_API uint64_t xk_util_walltime_msec(void);
/** Wall-clock microseconds since the epoch (gettimeofday). */
XK_API uint64_t xk_util_walltime_usec(void);

/** Nanoseconds of CLOCK_REALTIME, or 0 when the clock cannot be read; only differences mean
 * anything. */
XK_API uint64_t xk_util_timer_point(void);

/** (end - start) timer points in seconds. */
XK_API double xk_util_timer_elapsed_seconds(uint64_t start, uint64_t end);

/** The raw, non-decreasing count of the processor's free-running counter, read without a
 * system call; its rate is the counter's own. */
XK_API uint64_t xk_util_read_cycles(void);

#ifdef __cplusplus
}
#endif

#endif
