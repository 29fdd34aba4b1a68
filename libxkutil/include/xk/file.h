/** @file
 * Files: descriptor I/O, durable sync and whole named files. */
#ifndef XK_FILE_H
#define XK_FILE_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <sys/types.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** --- Descriptors ---------------------------------------------------------------------- */

/** Opens the path formatted from format with open(path, flags, mode); *fd_out receives the
 * result even when it is -1, and the caller closes it. *errno_out (optional) is 0 on success
 * and errno after a failed open. XK_ERR_NULL_ARG, XK_ERR_SYSTEM, or the formatter's status. */
XK_API xk_util_status xk_util_open(int *fd_out, int *errno_out, int flags, mode_t mode, const char *format,
                                   ...) __attribute__((format(printf, 5, 6)));

/** Writes exactly len bytes of buf to fd; EINTR is not retried. XK_OK, XK_ERR_NULL_ARG,
 * XK_ERR_OVERFLOW (negative len), XK_ERR_SYSTEM (errno to *errno_out), or the negated EAGAIN
 * (untraced) after five zero-byte writes in a row. */
XK_API xk_util_status xk_util_whole_write(int fd, const void *buf, int64_t len, int *errno_out);

/** Reads exactly len bytes from fd into buf; returns len (as a 32-bit count), -22 for a NULL
 * buf or negative len, -1 when read fails (errno kept), -11 after five zero-byte reads in a
 * row (so end of file before len bytes gives -11). Never traces. */
XK_API int32_t xk_util_whole_read(int fd, void *buf, int64_t len);

/** Reads st_size bytes from fd's current position into a new NUL-terminated buffer that the
 * caller frees. XK_ERR_NULL_ARG, XK_ERR_SYSTEM (fstat fails, or fewer bytes than st_size:
 * *buf_out is then NULL), XK_ERR_NOMEM. */
XK_API xk_util_status xk_util_read_file(int fd, char **buf_out, int64_t *size_out, int *errno_out);

/** Counts the newline bytes among the first st_size bytes of fd; its offset is restored.
 * XK_ERR_NULL_ARG, XK_ERR_INVALID (negative fd), XK_ERR_SYSTEM (errno to *errno_out). */
XK_API xk_util_status xk_util_count_lines(int fd, uint64_t *count_out, int *errno_out);

/** --- Paths ---------------------------------------------------------------------------- */

/** *size_out = the size of the file, which must be openable for reading.
 * XK_ERR_NULL_ARG, XK_ERR_SYSTEM. */
XK_API xk_util_status xk_util_get_file_size(const char *path, int64_t *size_out);

/** truncate(path, length). XK_ERR_NULL_ARG, XK_ERR_SYSTEM (errno to *errno_out). */
XK_API xk_util_status xk_util_truncate_file(const char *path, off_t length, int *errno_out);

/** unlink(path). XK_ERR_NULL_ARG, XK_ERR_SYSTEM (errno to *errno_out). */
XK_API xk_util_status xk_util_delete_file(const char *path, int *errno_out);

/** *exists_out = 1 when stat(path) succeeds, 0 when it fails with ENOENT (links are followed).
 * XK_ERR_NULL_ARG, XK_ERR_SYSTEM for any other failure (*exists_out untouched). */
XK_API xk_util_status xk_util_query_file_exists(const char *path, int *exists_out);

/** --- Durable sync --------------------------------------------------------------------- */

/** Flushes stream and fsyncs its file, then, when dir_path is given, fsyncs that directory.
 * The stream stays open. XK_ERR_NULL_ARG, XK_ERR_SYSTEM. */
XK_API xk_util_status xk_util_sync(FILE *stream, const char *dir_path);

/** fsyncs the file at path (opened read-write) and then its directory. Paths of 1000 bytes or
 * more are refused. XK_ERR_NULL_ARG, XK_ERR_INVALID, XK_ERR_NOMEM, XK_ERR_SYSTEM (logged). */
XK_API xk_util_status xk_util_sync_file(const char *path);

/** --- Named files ---------------------------------------------------------------------- */

/** fopen of the path formatted from format; the caller fcloses *stream_out (untouched on
 * failure). *errno_out (optional): 0 on success, errno after a failed fopen.
 * XK_ERR_NULL_ARG, XK_ERR_SYSTEM, or the formatter's status. */
XK_API xk_util_status xk_util_fopen(FILE **stream_out, int *errno_out, const char *mode, const char *format,
                                    ...) __attribute__((format(printf, 4, 5)));

/** Reads the whole file into a new buffer of *size_out bytes plus a NUL, which the caller frees.
 * On failure nothing is left allocated. errno_out is accepted and not written.
 * XK_ERR_NULL_ARG, XK_ERR_SYSTEM, XK_ERR_NOMEM. */
XK_API xk_util_status xk_util_read_named_file(const char *path, char **buf_out, size_t *size_out,
                                              int *errno_out);

/** Replaces (overwrite non-zero) or appends to the file with len bytes of data, then fsyncs the
 * file and its directory. errno_out is accepted and not written.
 * XK_ERR_NULL_ARG, XK_ERR_NOMEM, XK_ERR_SYSTEM. */
XK_API xk_util_status xk_util_write_named_file(const char *path, int overwrite, const void *data, size_t len,
                                               int *errno_out);

/** Replaces dst_path with the bytes of src_path and makes it durable. XK_ERR_NULL_ARG, or the
 * status of the read or the write. */
XK_API xk_util_status xk_util_copy_file(const char *src_path, const char *dst_path);

#ifdef __cplusplus
}
#endif

#endif
