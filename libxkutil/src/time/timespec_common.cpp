// SPDX-License-Identifier: MIT
#include <stdint.h>
#include <stdio.h>
#include <time.h>

#include "internal/report.h"
#include "internal/timeout.h"
#include "xk/time.h"

namespace {
constexpr const char *kSource = "src/time/timespec_common";

constexpr int64_t kNsPerSec = 1000000000;
constexpr int64_t kMax = INT64_MAX;

// The offset step failed inside xk_util_future_timeout: traced first, then logged.
xk_util_status offset_failed(const char *func, int line, xk_util_status status) {
    xk::report::trace(func, kSource, line, status);
    xk::report::log_error(func, "Overflow detected when trying to set phase timeout %s", "tmp hack");
    return status;
}

}  // namespace

namespace report = xk::report;

extern "C" {

xk_util_status xk_util_abs_time_offset(struct timespec *ts, int64_t val, int64_t scale_to_sec) {
    if (val < 0 || scale_to_sec < 1 || scale_to_sec > kNsPerSec)
        return report::error(__func__, kSource, __LINE__, XK_ERR_INVALID,
                             "Bad value, val: %ld scale_to_sec: %ld\n", static_cast<long>(val),
                             static_cast<long>(scale_to_sec));
    // The record is tested after the values so that a bad amount is always reported as such.
    if (ts == nullptr) return report::null_arg(__func__, kSource, __LINE__);

    // Whole seconds. The overflow tests are written as "field > MAX - amount" (amount >= 0), which
    // cannot wrap, so a negative field is not mistaken for one near the limit.
    if (val >= scale_to_sec) {
        const int64_t whole = val / scale_to_sec;
        if (ts->tv_sec > kMax - whole) return report::trace(__func__, kSource, __LINE__, XK_ERR_OVERFLOW);
        ts->tv_sec += whole;
        val %= scale_to_sec;
    }
    // The remainder in nanoseconds; the factor is truncated for scales that do not divide a second.
    if (scale_to_sec < kNsPerSec) val *= kNsPerSec / scale_to_sec;
    // Carry: here 0 <= val < one second, so neither subtraction below can wrap.
    if (ts->tv_nsec >= kNsPerSec - val) {
        val = ts->tv_nsec - (kNsPerSec - val);
        ts->tv_nsec = 0;
        if (ts->tv_sec == kMax) return report::trace(__func__, kSource, __LINE__, XK_ERR_OVERFLOW);
        ts->tv_sec += 1;
    }
    if (ts->tv_nsec > kMax - val) return report::trace(__func__, kSource, __LINE__, XK_ERR_OVERFLOW);
    ts->tv_nsec += val;
    return XK_OK;
}

xk_util_status xk_util_future_timeout(struct timespec *deadline, int64_t val, int64_t scale_to_sec) {
    if (deadline == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    if (clock_gettime(CLOCK_REALTIME, deadline) != 0)
        return report::error(__func__, kSource, __LINE__, XK_ERR_SYSTEM, "Failed to get current time.");
    xk_util_status st = xk_util_abs_time_offset(deadline, val, scale_to_sec);
    if (st != XK_OK) return offset_failed(__func__, __LINE__, st);
    return XK_OK;
}

// Both pointers are refused when NULL rather than dereferenced.
xk_util_status xk_util_query_timeout_expired(const struct timespec *deadline, int *expired) {
    if (deadline == nullptr || expired == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    struct timespec now;
    if (clock_gettime(CLOCK_REALTIME, &now) != 0)
        return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    int reached = 1;
    if (deadline->tv_sec > now.tv_sec || (deadline->tv_sec == now.tv_sec && deadline->tv_nsec > now.tv_nsec))
        reached = 0;
    *expired = reached;
    return XK_OK;
}

xk_util_status xk_util_cmp_timeout(const struct timespec *a, const struct timespec *b, int *result) {
    if (a == nullptr || b == nullptr || result == nullptr)
        return report::error(__func__, kSource, __LINE__, XK_ERR_NULL_ARG, "NULL argument detected: %p %p %p",
                             static_cast<const void *>(a), static_cast<const void *>(b),
                             static_cast<const void *>(result));
    int order;
    if (a->tv_sec == b->tv_sec && a->tv_nsec == b->tv_nsec)
        order = 0;
    else if (a->tv_sec != b->tv_sec)
        order = a->tv_sec < b->tv_sec ? -1 : 1;
    else
        order = a->tv_nsec < b->tv_nsec ? -1 : 1;
    *result = order;
    return XK_OK;
}

// Both pointers are refused when NULL rather than dereferenced.
xk_util_status xk_util_query_timeout_left(const struct timespec *deadline, char *buf, size_t len) {
    if (deadline == nullptr || buf == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    struct timespec now;
    if (clock_gettime(CLOCK_REALTIME, &now) != 0)
        return report::error(__func__, kSource, __LINE__, XK_ERR_SYSTEM, "Failed to get current time.");
    const double due = static_cast<double>(deadline->tv_sec) + static_cast<double>(deadline->tv_nsec) * 1e-9;
    const double current = static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    snprintf(buf, len, "%le seconds", due - current);
    return XK_OK;
}

}  // extern "C"
