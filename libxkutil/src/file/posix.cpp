// SPDX-License-Identifier: MIT
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "internal/checked.h"
#include "internal/guards.h"
#include "internal/report.h"
#include "xk/file.h"
#include "xk/format.h"

namespace {
constexpr const char *kSource = "src/file/posix";

constexpr int kStallLimit = 5;
constexpr int64_t kLinePiece = 1024;

enum class Outcome { kComplete, kFailed, kStalled };

// Moves `len` bytes through `step(offset, count)` (one read or write); five zero-byte results
// in a row stall, any failure (EINTR included) ends the loop at once.
template <typename Step>
Outcome transfer_exactly(int64_t len, Step step) {
    int64_t done = 0;
    int64_t left = len;
    int stalls = kStallLimit;
    while (left != 0) {
        ssize_t n = step(done, static_cast<size_t>(left));
        if (n < 0) return Outcome::kFailed;
        if (n == 0) {
            if (--stalls == 0) return Outcome::kStalled;
            continue;
        }
        stalls = kStallLimit;
        done += n;
        left -= n;
    }
    return Outcome::kComplete;
}

// A failed call of this file: errno to *errno_out when given, then the trace of `status`.
xk_util_status sys_failure(const char *func, int line, int errnum, int *errno_out,
                           xk_util_status status = XK_ERR_SYSTEM) {
    if (errno_out != nullptr) *errno_out = errnum;
    return xk::report::trace(func, kSource, line, status);
}

// As sys_failure, after putting the descriptor back at `saved` (that seek's result ignored).
xk_util_status restore_and_fail(const char *func, int line, int fd, off_t saved, int errnum, int *errno_out) {
    (void)lseek(fd, saved, SEEK_SET);
    return sys_failure(func, line, errnum, errno_out);
}

}  // namespace

extern "C" {

xk_util_status xk_util_open(int *fd_out, int *errno_out, int flags, mode_t mode, const char *format, ...) {
    using namespace xk;
    if (fd_out == nullptr || format == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    MallocGuard<char> path;
    va_list ap;
    va_start(ap, format);
    xk_util_status st = xk_util_vasprintf(path.out(), format, ap, errno_out);
    va_end(ap);
    // The formatter has traced its own failure; it is not traced again here.
    if (st != XK_OK) return st;
    *fd_out = open(path.get(), flags, mode);
    if (*fd_out == -1) return sys_failure(__func__, __LINE__, errno, errno_out);
    return XK_OK;
}

xk_util_status xk_util_whole_write(int fd, const void *buf, int64_t len, int *errno_out) {
    using namespace xk;
    if (buf == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    if (len < 0) return report::trace(__func__, kSource, __LINE__, XK_ERR_OVERFLOW);
    const char *bytes = static_cast<const char *>(buf);
    Outcome outcome =
        transfer_exactly(len, [&](int64_t offset, size_t count) { return write(fd, bytes + offset, count); });
    if (outcome == Outcome::kFailed) return sys_failure(__func__, __LINE__, errno, errno_out);
    // A stall is returned as the negated EAGAIN, without a trace.
    if (outcome == Outcome::kStalled) return static_cast<xk_util_status>(-EAGAIN);
    return XK_OK;
}

int32_t xk_util_whole_read(int fd, void *buf, int64_t len) {
    if (buf == nullptr || len < 0) return -EINVAL;
    char *bytes = static_cast<char *>(buf);
    Outcome outcome =
        transfer_exactly(len, [&](int64_t offset, size_t count) { return read(fd, bytes + offset, count); });
    if (outcome == Outcome::kFailed) return -1;
    if (outcome == Outcome::kStalled) return -EAGAIN;
    return static_cast<int32_t>(len);
}

xk_util_status xk_util_read_file(int fd, char **buf_out, int64_t *size_out, int *errno_out) {
    using namespace xk;
    if (buf_out == nullptr || size_out == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    struct stat st;
    if (fstat(fd, &st) == -1) return sys_failure(__func__, __LINE__, errno, errno_out);
    *size_out = st.st_size;
    *buf_out = nullptr;
    size_t block = 0;
    if (!checked::add(static_cast<size_t>(st.st_size), size_t{1}, &block))
        return sys_failure(__func__, __LINE__, ENOMEM, errno_out, XK_ERR_NOMEM);
    MallocGuard<char> buf(static_cast<char *>(malloc(block)));
    if (!buf) return sys_failure(__func__, __LINE__, errno, errno_out, XK_ERR_NOMEM);
    // Read from the current position: a descriptor not at the start comes up short and fails.
    int64_t got = xk_util_whole_read(fd, buf.get(), st.st_size);
    if (got != st.st_size) return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    buf.get()[st.st_size] = '\0';
    *buf_out = buf.release();
    return XK_OK;
}

xk_util_status xk_util_count_lines(int fd, uint64_t *count_out, int *errno_out) {
    using namespace xk;
    if (count_out == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    if (fd < 0) return report::trace(__func__, kSource, __LINE__, XK_ERR_INVALID);
    off_t saved = lseek(fd, 0, SEEK_CUR);
    if (saved == -1) return sys_failure(__func__, __LINE__, errno, errno_out);
    struct stat st;
    if (fstat(fd, &st) == -1) return sys_failure(__func__, __LINE__, errno, errno_out);
    if (lseek(fd, 0, SEEK_SET) == -1) return sys_failure(__func__, __LINE__, errno, errno_out);
    uint64_t count = 0;
    int64_t total = 0;
    char piece[kLinePiece];
    while (st.st_size > total) {
        ssize_t n = read(fd, piece, static_cast<size_t>(std::min<int64_t>(st.st_size - total, kLinePiece)));
        if (n == -1) return restore_and_fail(__func__, __LINE__, fd, saved, errno, errno_out);
        // End of file before st_size: the file was shortened during the count. Every byte it
        // still holds has been counted, so the count so far is its true line count.
        if (n == 0) break;
        total += n;
        count += static_cast<uint64_t>(std::count(piece, piece + n, '\n'));
    }
    if (lseek(fd, saved, SEEK_SET) == -1) return sys_failure(__func__, __LINE__, errno, errno_out);
    *count_out = count;
    return XK_OK;
}

xk_util_status xk_util_get_file_size(const char *path, int64_t *size_out) {
    using namespace xk;
    if (path == nullptr || size_out == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    FdGuard fd(open(path, O_RDONLY));
    if (!fd.valid()) return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    struct stat st;
    if (fstat(fd.get(), &st) == -1) return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    *size_out = st.st_size;
    return XK_OK;
}

xk_util_status xk_util_truncate_file(const char *path, off_t length, int *errno_out) {
    using namespace xk;
    if (path == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    if (truncate(path, length) == -1) return sys_failure(__func__, __LINE__, errno, errno_out);
    return XK_OK;
}

xk_util_status xk_util_delete_file(const char *path, int *errno_out) {
    using namespace xk;
    if (path == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    if (unlink(path) != 0) return sys_failure(__func__, __LINE__, errno, errno_out);
    return XK_OK;
}

xk_util_status xk_util_query_file_exists(const char *path, int *exists_out) {
    using namespace xk;
    if (path == nullptr || exists_out == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    struct stat st;
    if (stat(path, &st) == 0) {
        *exists_out = 1;
        return XK_OK;
    }
    if (errno != ENOENT) return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    *exists_out = 0;
    return XK_OK;
}

}  // extern "C"
