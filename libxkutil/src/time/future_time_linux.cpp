// SPDX-License-Identifier: MIT
#include <sys/time.h>

#include "internal/report.h"
#include "xk/time.h"

namespace {
constexpr const char *kSource = "src/time/future_time_linux";
}

namespace report = xk::report;

extern "C" {

xk_util_status xk_util_future_time(int seconds, struct timeval *tv) {
    if (tv == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    if (seconds < 0) return report::trace(__func__, kSource, __LINE__, XK_ERR_INVALID);
    if (gettimeofday(tv, nullptr) < 0) return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    // An overflow is traced by the adder itself; it is not traced again here.
    return xk_util_safe_add_seconds(tv, seconds);
}

}  // extern "C"
