// SPDX-License-Identifier: MIT
#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include "internal/report.h"
#include "xk/path.h"

namespace {
constexpr const char *kSource = "src/string/directory_linux";
}

extern "C" {

xk_util_status xk_util_get_directory_component(const char *path, char **dir_out) {
    using namespace xk;
    *dir_out = nullptr;
    const char *last_slash = strrchr(path, '/');
    if (last_slash == nullptr) {
        char *copy = strdup(path);
        if (copy == nullptr)
            return report::sys_status(__func__, kSource, __LINE__, XK_ERR_NOMEM, errno, nullptr,
                                      "Memory allocation for path %s", path);
        *dir_out = copy;
        return XK_OK;
    }
    // A path whose only '/' is its first byte ("/" or "/name") lies in the root directory: its
    // directory part is "/", so files there can be synced like any other.
    size_t length = last_slash == path ? 1 : static_cast<size_t>(last_slash - path);
    char *dir = static_cast<char *>(malloc(length + 1));
    if (dir == nullptr)
        return report::sys_status(__func__, kSource, __LINE__, XK_ERR_NOMEM, errno, nullptr,
                                  "Memory allocation error");
    memcpy(dir, path, length);
    dir[length] = '\0';
    *dir_out = dir;
    return XK_OK;
}

xk_util_status xk_util_abs_path(const char *path, char **abs_out) {
    using namespace xk;
    *abs_out = realpath(path, nullptr);
    if (*abs_out == nullptr)
        return report::sys(__func__, kSource, __LINE__, errno, nullptr,
                           "Cannot determine absolute file path from relative path %s", path);
    return XK_OK;
}

}  // extern "C"
