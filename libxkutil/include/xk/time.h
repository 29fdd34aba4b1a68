/* SPDX-License-Identifier: MIT */
/** @file
 * Time: deadlines, timeval arithmetic and readable durations, calendar time, clocks and
 * the processor's counter.
 *
 * @code
 * xk_util_timeout deadline;
 * if (xk_util_future_timeout(&deadline, 1500, 1000) != XK_OK) return;   // 1.5 s from now
 * char left[64];
 * xk_util_query_timeout_left(&deadline, left, sizeof left);            // "1.499...e+00 seconds"
 * char took[32];
 * uint64_t start = xk_util_timer_point();
 * work();
 * xk_util_snprintf_human_time(took, sizeof took, xk_util_timer_elapsed_seconds(start,
 * xk_util_timer_point()));
 * @endcode */
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

/** Moves *ts forward by val / scale_to_sec seconds.
 * @param ts the time to move
 * @param val the amount, at least 0
 * @param scale_to_sec units of val per second, 1 to 1e9 (1000 for milliseconds)
 * @return XK_OK, XK_ERR_INVALID (logged, *ts untouched), XK_ERR_NULL_ARG, XK_ERR_OVERFLOW (a
 *         field would pass INT64_MAX; *ts may then be partly updated and must not be used) */
XK_API xk_util_status xk_util_abs_time_offset(struct timespec *ts, int64_t val, int64_t scale_to_sec);

/** Makes a deadline val / scale_to_sec seconds from now (CLOCK_REALTIME).
 * @param deadline receives the deadline; after a failure it is not one
 * @param val the amount, at least 0
 * @param scale_to_sec units of val per second, 1 to 1e9
 * @return XK_OK, XK_ERR_SYSTEM, XK_ERR_NULL_ARG, or the status of xk_util_abs_time_offset */
XK_API xk_util_status xk_util_future_timeout(struct timespec *deadline, int64_t val, int64_t scale_to_sec);

/** Compares two deadlines as stored.
 * @param a the first deadline
 * @param b the second deadline
 * @param result receives -1, 0 or 1 as *a is earlier than, equal to or later than *b
 * @return XK_OK, XK_ERR_NULL_ARG (logged) */
XK_API xk_util_status xk_util_cmp_timeout(const struct timespec *a, const struct timespec *b, int *result);

/** Writes the seconds left until a deadline as "%le seconds" (negative once passed).
 * @param deadline the deadline
 * @param buf the destination
 * @param len its size; the text is cut silently to fit
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_SYSTEM (logged) */
XK_API xk_util_status xk_util_query_timeout_left(const struct timespec *deadline, char *buf, size_t len);

/** The time seconds from now (gettimeofday).
 * @param seconds the offset, at least 0
 * @param tv receives the time
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_INVALID (seconds below 0, *tv untouched), XK_ERR_SYSTEM,
 *         XK_ERR_OVERFLOW */
XK_API xk_util_status xk_util_future_time(int seconds, struct timeval *tv);

/* ---- Timeval arithmetic (values are used as stored, never normalised) -------------- */

/** Compares two times.
 * @param a the first time
 * @param b the second time
 * @return 1, -1 or 0 as *a is later than, earlier than or equal to *b */
XK_API int xk_util_timeval_cmp(const struct timeval *a, const struct timeval *b);

/** Whether one time is later than another.
 * @param a the first time
 * @param b the second time
 * @return 1 when *a is later than *b, else 0 */
XK_API int xk_util_time_greater_than(const struct timeval *a, const struct timeval *b);

/** Adds seconds to tv->tv_sec.
 * @param tv the time
 * @param seconds the amount
 * @return XK_OK; XK_ERR_OVERFLOW (tv unchanged) when the sum would pass INT64_MAX, and for a
 *         negative amount whenever tv_sec is not negative */
XK_API xk_util_status xk_util_safe_add_seconds(struct timeval *tv, int64_t seconds);

/** The difference of two times.
 * @param a the later time
 * @param b the earlier time
 * @return *a - *b in seconds */
XK_API double xk_util_time_diff_seconds(const struct timeval *a, const struct timeval *b);

/** Writes a duration as "45 seconds", "1 minute", "2 hours", "3 days".
 * @param buf the destination
 * @param size its size; the text is cut to fit
 * @param seconds the duration
 * @return always XK_OK */
XK_API xk_util_status xk_util_snprintf_human_time(char *buf, size_t size, double seconds);

/** Converts milliseconds to a timeval.
 * @param ms the milliseconds
 * @param tv receives them
 * @return XK_OK, XK_ERR_NULL_ARG (not traced), XK_ERR_OVERFLOW */
XK_API xk_util_status xk_util_ms_to_timeval(uint64_t ms, struct timeval *tv);

/** Converts a timeval to milliseconds, tv_sec * 1000 + tv_usec / 1000 (truncating, wrapping).
 * @param tv the time
 * @param ms_out receives the milliseconds
 * @return XK_OK, XK_ERR_NULL_ARG */
XK_API xk_util_status xk_util_timeval_to_ms(const struct timeval *tv, int64_t *ms_out);

/* ---- Calendar time ------------------------------------------------------------------ */

/** The current local time as "Wed Jun 30 21:49:08 1993" (no newline).
 * @param buf the destination
 * @param len_inout on entry buf's size (at least 26); on success the text's length
 * @param errno_out optional: errno of a failed system call
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_INVALID, XK_ERR_SYSTEM */
XK_API xk_util_status xk_util_now_str(char *buf, size_t *len_inout, int *errno_out);

/** The current local time, broken down.
 * @param out receives it
 * @return XK_OK, XK_ERR_SYSTEM (logged) */
XK_API xk_util_status xk_util_get_broken_down_time(struct tm *out);

/** A time as UTC, broken down.
 * @param t the time
 * @param out receives it
 * @return XK_OK, XK_ERR_SYSTEM */
XK_API xk_util_status xk_util_gmtime(const time_t *t, struct tm *out);

/** Writes the fixed 24-character text of a broken-down time followed by a newline.
 * @param tm the time
 * @param buf the destination
 * @param size its size, at least 26
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_BUFFER_TOO_SMALL, XK_ERR_SYSTEM */
XK_API xk_util_status xk_util_asctime(const struct tm *tm, char *buf, size_t size);

/** localtime_r: a time as local time, broken down.
 * @param t the time
 * @param out receives it
 * @return out, or NULL on failure */
XK_API struct tm *xk_util_localtime_r(const time_t *t, struct tm *out);

/* ---- Clocks, timers and the counter ------------------------------------------------ */

/** Wall-clock milliseconds since the epoch (gettimeofday).
 * @return the milliseconds */
XK_API uint64_t xk_util_walltime_msec(void);
/** Wall-clock microseconds since the epoch (gettimeofday).
 * @return the microseconds */
XK_API uint64_t xk_util_walltime_usec(void);

/** A timer point: nanoseconds of CLOCK_REALTIME; only differences mean anything.
 * @return the point, or 0 when the clock cannot be read */
XK_API uint64_t xk_util_timer_point(void);

/** The seconds between two timer points.
 * @param start the earlier point
 * @param end the later point
 * @return (end - start) in seconds */
XK_API double xk_util_timer_elapsed_seconds(uint64_t start, uint64_t end);

/** Reads the processor's free-running counter without a system call.
 * @return the raw, non-decreasing count; its rate is the counter's own */
XK_API uint64_t xk_util_read_cycles(void);

#ifdef __cplusplus
}
#endif

#endif
