// SPDX-License-Identifier: MIT
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "internal/report.h"
#include "xk/env.h"
#include "xk/memory.h"

namespace {
constexpr const char *kSource = "src/env/linux";
constexpr size_t kValueLimit = 299;  // longer values are treated as absent
}  // namespace

extern "C" {

char *xk_util_getenv(const char *name) {
    if (name == nullptr) return nullptr;
    const char *value = getenv(name);
    if (value == nullptr) return nullptr;
    size_t length = xk_util_strnlen(value, kValueLimit + 1);
    if (length > kValueLimit) return nullptr;
    char *copy = static_cast<char *>(malloc(length + 1));
    if (copy == nullptr) return nullptr;
    memcpy(copy, value, length);
    copy[length] = '\0';
    return copy;
}

// A NULL value is refused: setenv would read through it.
xk_util_status xk_util_setenv(const char *name, const char *value) {
    using namespace xk;
    if (name == nullptr || value == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    if (setenv(name, value, 1) != 0) {
        xk_util_log_internal_perror(errno, report::kError, report::kFlags, __func__, kSource, __LINE__,
                                    "Failed to set environment variable");
        return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    }
    return XK_OK;
}

xk_util_status xk_util_unsetenv(const char *name) {
    using namespace xk;
    if (name == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    if (unsetenv(name) != 0) {
        xk_util_log_internal_perror(errno, report::kError, report::kFlags, __func__, kSource, __LINE__,
                                    "Failed to unset environment variable");
        return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    }
    return XK_OK;
}

char *xk_util_get_hostname(void) {
    long limit = sysconf(_SC_HOST_NAME_MAX);
    if (limit == -1) return nullptr;
    size_t size = static_cast<size_t>(limit) + 1;
    char *buffer = static_cast<char *>(malloc(size));
    if (buffer == nullptr) return nullptr;
    // The whole buffer is offered: glibc refuses a name of exactly `limit` bytes when told the
    // buffer holds only `limit`, as it needs room for the terminator.
    if (gethostname(buffer, size) != 0) {
        free(buffer);
        return nullptr;
    }
    buffer[limit] = '\0';
    return buffer;
}

}  // extern "C"
