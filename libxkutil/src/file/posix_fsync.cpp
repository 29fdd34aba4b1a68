// SPDX-License-Identifier: MIT
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "internal/guards.h"
#include "internal/report.h"
#include "xk/file.h"
#include "xk/path.h"

namespace {
constexpr const char *kSource = "src/file/posix_fsync";

// 999 bytes is the longest path xk_util_sync_file accepts.
constexpr size_t kSyncPathLimit = 1000;

// The directory part could not be made: traced first, then logged, status unchanged.
xk_util_status no_directory_component(const char *func, int line, xk_util_status status) {
    xk::report::trace(func, kSource, line, status);
    xk::report::log_error(func, "Failed to get directory component");
    return status;
}

}  // namespace

extern "C" {

xk_util_status xk_util_sync(FILE *stream, const char *dir_path) {
    using namespace xk;
    if (stream == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    if (fflush(stream) != 0) return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    int fd = fileno(stream);
    if (fd == -1) return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    // The file's data reaches storage before its directory entry is synced.
    if (fsync(fd) != 0) return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    if (dir_path == nullptr) return XK_OK;
    FdGuard dir(open(dir_path, O_RDONLY));
    if (!dir.valid()) return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    if (fsync(dir.get()) != 0) return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    return XK_OK;
}

xk_util_status xk_util_sync_file(const char *path) {
    using namespace xk;
    if (path == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    if (strnlen(path, kSyncPathLimit) == kSyncPathLimit)
        return report::trace(__func__, kSource, __LINE__, XK_ERR_INVALID);
    MallocGuard<char> dir;
    xk_util_status st = xk_util_get_directory_component(path, dir.out());
    if (st != XK_OK) return no_directory_component(__func__, __LINE__, st);
    // Destroyed in reverse: the directory descriptor closes first, then the file's, then dir.
    FdGuard file_fd(open(path, O_RDWR));
    if (!file_fd.valid())
        return report::sys(__func__, kSource, __LINE__, errno, nullptr, "Failed to open file %s", path);
    FdGuard dir_fd(open(dir.get(), O_RDONLY));
    if (!dir_fd.valid())
        return report::sys(__func__, kSource, __LINE__, errno, nullptr, "Failed to open directory %s",
                           dir.get());
    if (fsync(file_fd.get()) != 0)
        return report::sys(__func__, kSource, __LINE__, errno, nullptr, "Failed to sync file %s", path);
    if (fsync(dir_fd.get()) != 0)
        return report::sys(__func__, kSource, __LINE__, errno, nullptr, "Failed to sync directory file %s",
                           dir.get());
    return XK_OK;
}

}  // extern "C"
