// SPDX-License-Identifier: MIT
#include <stdint.h>
#include <sys/time.h>

#include "internal/report.h"
#include "xk/format.h"
#include "xk/time.h"

namespace {
constexpr const char *kSource = "src/time/timeval_common";
}

namespace report = xk::report;

extern "C" {

int xk_util_timeval_cmp(const struct timeval *a, const struct timeval *b) {
    if (a->tv_sec > b->tv_sec) return 1;
    if (a->tv_sec < b->tv_sec) return -1;
    if (a->tv_usec > b->tv_usec) return 1;
    if (a->tv_usec < b->tv_usec) return -1;
    return 0;
}

int xk_util_time_greater_than(const struct timeval *a, const struct timeval *b) {
    return xk_util_timeval_cmp(a, b) == 1 ? 1 : 0;
}

xk_util_status xk_util_safe_add_seconds(struct timeval *tv, int64_t seconds) {
    // The headroom is taken in two's complement: for a negative amount it wraps to a large
    // negative number, so the amount is refused unless tv_sec lies below that. This function adds;
    // it does not subtract.
    const int64_t headroom =
        static_cast<int64_t>(static_cast<uint64_t>(INT64_MAX) - static_cast<uint64_t>(seconds));
    if (headroom < tv->tv_sec) return report::trace(__func__, kSource, __LINE__, XK_ERR_OVERFLOW);
    // Added in two's complement too, so the one accepted wrap (a negative amount at the very bottom
    // of the range) is defined behaviour.
    tv->tv_sec = static_cast<int64_t>(static_cast<uint64_t>(tv->tv_sec) + static_cast<uint64_t>(seconds));
    return XK_OK;
}

double xk_util_time_diff_seconds(const struct timeval *a, const struct timeval *b) {
    const double first = static_cast<double>(a->tv_sec) + static_cast<double>(a->tv_usec) * 1e-6;
    const double second = static_cast<double>(b->tv_sec) + static_cast<double>(b->tv_usec) * 1e-6;
    return first - second;
}

// A negative duration or one under a minute counts in seconds; a NaN fails every threshold and
// ends in days.
xk_util_status xk_util_snprintf_human_time(char *buf, size_t size, double seconds) {
    double v = seconds;
    const char *unit;
    if (v < 60) {
        unit = "second";
    } else if ((v /= 60) < 60) {
        unit = "minute";
    } else if ((v /= 60) < 24) {
        unit = "hour";
    } else {
        v /= 24;
        unit = "day";
    }
    const char *suffix = v == 1.0 ? "" : "s";
    (void)xk_util_snprintf(buf, size, "%.0lf %s%s", v, unit, suffix);
    return XK_OK;
}

xk_util_status xk_util_ms_to_timeval(uint64_t ms, struct timeval *tv) {
    if (tv == nullptr) return XK_ERR_NULL_ARG;  // returned without a trace record
    const uint64_t sec = ms / 1000;
    const uint64_t usec = (ms % 1000) * 1000;
    struct timeval out;
    out.tv_sec = static_cast<time_t>(sec);
    out.tv_usec = static_cast<suseconds_t>(usec);
    // Guards a platform whose fields are narrower than 64 bits; with 64-bit fields every value fits.
    if (static_cast<uint64_t>(out.tv_sec) != sec || static_cast<uint64_t>(out.tv_usec) != usec)
        return report::trace(__func__, kSource, __LINE__, XK_ERR_OVERFLOW);
    *tv = out;
    return XK_OK;
}

xk_util_status xk_util_timeval_to_ms(const struct timeval *tv, int64_t *ms_out) {
    if (tv == nullptr || ms_out == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    // Wraps on overflow (computed unsigned so the wrap is defined); nothing is detected.
    const uint64_t ms = static_cast<uint64_t>(tv->tv_sec) * 1000u + static_cast<uint64_t>(tv->tv_usec / 1000);
    *ms_out = static_cast<int64_t>(ms);
    return XK_OK;
}

}  // extern "C"
