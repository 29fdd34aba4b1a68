// SPDX-License-Identifier: MIT
#include <errno.h>
#include <string.h>
#include <time.h>

#include "internal/report.h"
#include "xk/time.h"

namespace {
constexpr const char *kSource = "src/time/now_str_linux";

// ctime_r writes 24 characters, a newline and the terminator.
constexpr size_t kTimeTextSize = 26;
}  // namespace

namespace report = xk::report;

extern "C" {

xk_util_status xk_util_now_str(char *buf, size_t *len_inout, int *errno_out) {
    if (buf == nullptr || len_inout == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    if (*len_inout < kTimeTextSize) return report::trace(__func__, kSource, __LINE__, XK_ERR_INVALID);
    const time_t now = time(nullptr);
    if (now == static_cast<time_t>(-1)) {
        if (errno_out != nullptr) *errno_out = errno;
        return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    }
    // ctime_r refuses a time whose local year does not fit its layout; that is reported like a
    // failed clock read rather than handing back an unfilled buffer.
    if (ctime_r(&now, buf) == nullptr) {
        if (errno_out != nullptr) *errno_out = errno;
        return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    }
    size_t len = strlen(buf);
    if (len > 0 && buf[len - 1] == '\n') buf[--len] = '\0';
    *len_inout = len;
    return XK_OK;
}

}  // extern "C"
