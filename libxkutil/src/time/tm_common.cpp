// SPDX-License-Identifier: MIT
#include <time.h>

#include "internal/report.h"
#include "xk/time.h"

namespace {
constexpr const char *kSource = "src/time/tm_common";

// asctime_r writes 24 characters, a newline and the terminator.
constexpr size_t kTimeTextSize = 26;
}  // namespace

namespace report = xk::report;

extern "C" {

xk_util_status xk_util_get_broken_down_time(struct tm *out) {
    const time_t now = time(nullptr);
    if (now == static_cast<time_t>(-1))
        return report::error(__func__, kSource, __LINE__, XK_ERR_SYSTEM, "Failed to read time");
    if (localtime_r(&now, out) == nullptr)
        return report::error(__func__, kSource, __LINE__, XK_ERR_SYSTEM, "Failed to unpick time");
    return XK_OK;
}

xk_util_status xk_util_gmtime(const time_t *t, struct tm *out) {
    if (gmtime_r(t, out) == nullptr) return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    return XK_OK;
}

xk_util_status xk_util_asctime(const struct tm *tm, char *buf, size_t size) {
    if (tm == nullptr || buf == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    if (size < kTimeTextSize) return report::trace(__func__, kSource, __LINE__, XK_ERR_BUFFER_TOO_SMALL);
    if (asctime_r(tm, buf) == nullptr) return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    return XK_OK;
}

struct tm *xk_util_localtime_r(const time_t *t, struct tm *out) {
    return localtime_r(t, out);
}

}  // extern "C"
