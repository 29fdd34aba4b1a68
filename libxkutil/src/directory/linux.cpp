// SPDX-License-Identifier: MIT
#include <dirent.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>

#include "internal/report.h"
#include "xk/directory.h"

namespace {
constexpr const char *kSource = "src/directory/linux";

constexpr mode_t kPrivateMode = 0700;
constexpr mode_t kReadOnlyMode = 0500;

int by_name_ignoring_case(const struct dirent **a, const struct dirent **b) {
    return strcasecmp((*a)->d_name, (*b)->d_name);
}

bool is_dot_or_dot_dot(const char *name) { return strcmp(name, ".") == 0 || strcmp(name, "..") == 0; }

}  // namespace

extern "C" {

xk_util_status xk_util_mkdir(const char *path) {
    using namespace xk;
    if (path == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    if (mkdir(path, kPrivateMode) != 0) return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    return XK_OK;
}

xk_util_status xk_util_mkdir_read_only(const char *path) {
    using namespace xk;
    if (path == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    if (mkdir(path, kReadOnlyMode) != 0)
        return report::sys(__func__, kSource, __LINE__, errno, nullptr, "Failed to create directory %s",
                           path);
    return XK_OK;
}

xk_util_status xk_util_query_dir_exists(const char *path, int *exists_out) {
    using namespace xk;
    if (path == nullptr) return XK_ERR_NULL_ARG;  // returned without a trace record
    DIR *dir = opendir(path);
    if (dir != nullptr) {
        closedir(dir);
        *exists_out = 1;
        return XK_OK;
    }
    if (errno != ENOENT)
        report::log_errno(__func__, kSource, __LINE__, errno, "Error checking directory %s existence", path);
    *exists_out = 0;
    return XK_OK;
}

xk_util_dirscan_cursor *xk_util_dirscan_begin(const char *path) {
    using namespace xk;
    if (path == nullptr) return nullptr;
    auto *cursor = static_cast<xk_util_dirscan_cursor *>(malloc(sizeof(xk_util_dirscan_cursor)));
    if (cursor == nullptr) {
        report::log_error(__func__, "Failed to allocate memory");
        return nullptr;
    }
    cursor->entries = nullptr;
    cursor->count = scandir(path, &cursor->entries, nullptr, by_name_ignoring_case);
    if (cursor->count == -1) {
        report::log_errno(__func__, kSource, __LINE__, errno, "Failed to scan directory %s", path);
        free(cursor);
        return nullptr;
    }
    cursor->index = -1;
    return cursor;
}

xk_util_status xk_util_dirscan(xk_util_dirscan_cursor *cursor) {
    using namespace xk;
    if (cursor == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    // Once exhausted the cursor stays at count, so every further step ends the same way.
    if (cursor->index < cursor->count) ++cursor->index;
    while (cursor->index < cursor->count && is_dot_or_dot_dot(cursor->entries[cursor->index]->d_name))
        ++cursor->index;
    if (cursor->index >= cursor->count) return report::trace(__func__, kSource, __LINE__, XK_ERR_NO_MORE);
    return XK_OK;
}

char *xk_dirscan_file_name(const xk_util_dirscan_cursor *cursor) {
    using namespace xk;
    if (cursor == nullptr) return nullptr;
    // Only a step that returned XK_OK leaves a current entry; before the first step and after
    // the end there is none, and nothing outside the array is read.
    if (cursor->entries == nullptr || cursor->index < 0 || cursor->index >= cursor->count) return nullptr;
    const char *name = cursor->entries[cursor->index]->d_name;
    size_t size = strlen(name) + 1;
    char *copy = static_cast<char *>(malloc(size));
    if (copy == nullptr) {
        report::log_error(__func__, "Failed to allocate memory");
        return nullptr;
    }
    memcpy(copy, name, size);
    return copy;
}

void xk_util_dirscan_end(xk_util_dirscan_cursor *cursor) {
    if (cursor == nullptr) return;
    if (cursor->entries != nullptr) {
        for (int32_t i = 0; i < cursor->count; ++i) free(cursor->entries[i]);
        free(cursor->entries);
    }
    free(cursor);
}

}  // extern "C"
