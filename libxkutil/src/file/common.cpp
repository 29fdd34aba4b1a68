// SPDX-License-Identifier: MIT
#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include "internal/checked.h"
#include "internal/guards.h"
#include "internal/report.h"
#include "xk/file.h"
#include "xk/format.h"
#include "xk/path.h"

namespace {
constexpr const char *kSource = "src/file/common";
}

extern "C" {

xk_util_status xk_util_fopen(FILE **stream_out, int *errno_out, const char *mode, const char *format, ...) {
    using namespace xk;
    if (stream_out == nullptr || mode == nullptr || format == nullptr)
        return report::null_arg(__func__, kSource, __LINE__);
    MallocGuard<char> path;
    va_list ap;
    va_start(ap, format);
    xk_util_status st = xk_util_vasprintf(path.out(), format, ap, errno_out);
    va_end(ap);
    if (st != XK_OK) return report::pass(__func__, kSource, __LINE__, st);
    FILE *stream = fopen(path.get(), mode);
    if (stream == nullptr) {
        if (errno_out != nullptr) *errno_out = errno;
        return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    }
    *stream_out = stream;
    return XK_OK;
}

// errno_out is accepted and not written: the size query, the first step that can fail, has
// no errno to hand back, and a parameter filled on some failures only would mislead.
xk_util_status xk_util_read_named_file(const char *path, char **buf_out, size_t *size_out, int *errno_out) {
    using namespace xk;
    (void)errno_out;
    if (path == nullptr || buf_out == nullptr || size_out == nullptr)
        return report::null_arg(__func__, kSource, __LINE__);
    int64_t size = 0;
    xk_util_status st = xk_util_get_file_size(path, &size);
    if (st != XK_OK) return report::pass(__func__, kSource, __LINE__, st);
    *size_out = static_cast<size_t>(size);
    FileGuard stream(fopen(path, "rb"));
    if (!stream) return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    *buf_out = nullptr;
    size_t block = 0;
    if (!checked::add(*size_out, size_t{1}, &block))
        return report::trace(__func__, kSource, __LINE__, XK_ERR_NOMEM);
    MallocGuard<char> buf(static_cast<char *>(malloc(block)));
    if (!buf) return report::trace(__func__, kSource, __LINE__, XK_ERR_NOMEM);
    clearerr(stream.get());
    size_t got = 0;
    while (got < *size_out) {
        size_t n = fread(buf.get() + got, 1, *size_out - got, stream.get());
        if (ferror(stream.get())) return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
        // End of file before the queried size: the file shrank after it was sized. Hand back
        // what it holds now, with the size corrected to match (the block may be larger).
        if (n == 0) *size_out = got;
        got += n;
    }
    buf.get()[*size_out] = '\0';
    *buf_out = buf.release();
    return XK_OK;
}

// errno_out is accepted and not written, as for xk_util_read_named_file.
xk_util_status xk_util_write_named_file(const char *path, int overwrite, const void *data, size_t len,
                                        int *errno_out) {
    using namespace xk;
    (void)errno_out;
    if (path == nullptr || data == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    MallocGuard<char> dir;
    xk_util_status st = xk_util_get_directory_component(path, dir.out());
    if (st != XK_OK) return report::pass(__func__, kSource, __LINE__, st);
    FileGuard stream(fopen(path, overwrite != 0 ? "wb" : "ab"));
    if (!stream) return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
    clearerr(stream.get());
    const char *bytes = static_cast<const char *>(data);
    size_t written = 0;
    while (written < len) {
        size_t n = fwrite(bytes + written, 1, len - written, stream.get());
        // A write that moves nothing without setting the error flag would never finish.
        if (ferror(stream.get()) || n == 0) return report::trace(__func__, kSource, __LINE__, XK_ERR_SYSTEM);
        written += n;
    }
    st = xk_util_sync(stream.get(), dir.get());
    dir.reset();
    stream.reset();  // the result of fclose is not examined: the data is already on storage
    if (st != XK_OK) return report::pass(__func__, kSource, __LINE__, st);
    return XK_OK;
}

xk_util_status xk_util_copy_file(const char *src_path, const char *dst_path) {
    using namespace xk;
    if (src_path == nullptr || dst_path == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    MallocGuard<char> buf;
    size_t size = 0;
    // Both statuses come back unchanged: the callee has traced them already.
    xk_util_status st = xk_util_read_named_file(src_path, buf.out(), &size, nullptr);
    if (st != XK_OK) return st;
    return xk_util_write_named_file(dst_path, 1, buf.get(), size, nullptr);
}

}  // extern "C"
