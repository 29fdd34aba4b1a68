/* SPDX-License-Identifier: MIT */
/** @file
 * Files: descriptor I/O, durable sync and whole named files.
 *
 * @code
 * const char report[] = "done";
 * if (xk_util_write_named_file("/var/lib/app/state", 1, report, sizeof report - 1, NULL) != XK_OK)
 *     return 1;                      // the file and its directory are synced when XK_OK comes back
 * char *text = NULL;
 * size_t size = 0;
 * if (xk_util_read_named_file("/var/lib/app/state", &text, &size, NULL) == XK_OK) free(text);
 * @endcode */
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

/** Opens the path formatted from format with open(path, flags, mode).
 * @param fd_out receives open's result even when it is -1; the caller closes it
 * @param errno_out optional: 0 on success, errno after a failed open
 * @param flags open's flags
 * @param mode the mode of a created file
 * @param format the printf format of the path, followed by its arguments
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_SYSTEM, or the formatter's status */
XK_API xk_util_status xk_util_open(int *fd_out, int *errno_out, int flags, mode_t mode, const char *format,
                                   ...) __attribute__((format(printf, 5, 6)));

/** Writes exactly len bytes of buf to fd; EINTR is not retried.
 * @param fd the descriptor
 * @param buf the bytes
 * @param len their count
 * @param errno_out optional: errno of a failed write
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_OVERFLOW (negative len), XK_ERR_SYSTEM, or the negated
 *         EAGAIN (untraced) after five zero-byte writes in a row */
XK_API xk_util_status xk_util_whole_write(int fd, const void *buf, int64_t len, int *errno_out);

/** Reads exactly len bytes from fd into buf. Never traces.
 * @param fd the descriptor
 * @param buf the destination of len bytes
 * @param len the bytes to read
 * @return len (as a 32-bit count), -22 for a NULL buf or negative len, -1 when read fails
 *         (errno kept), -11 after five zero-byte reads in a row (so end of file before len
 *         bytes gives -11) */
XK_API int32_t xk_util_whole_read(int fd, void *buf, int64_t len);

/** Reads st_size bytes from fd's current position into a new NUL-terminated buffer.
 * @param fd the descriptor
 * @param buf_out receives the buffer, which the caller frees
 * @param size_out receives st_size, also when the read then fails
 * @param errno_out optional: errno of a failed fstat or allocation
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_SYSTEM (fstat fails, or fewer bytes than st_size:
 *         *buf_out is then NULL), XK_ERR_NOMEM */
XK_API xk_util_status xk_util_read_file(int fd, char **buf_out, int64_t *size_out, int *errno_out);

/** Counts the newline bytes among the first st_size bytes of fd; its offset is restored.
 * @param fd the descriptor
 * @param count_out receives the count
 * @param errno_out optional: errno of a failed system call
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_INVALID (negative fd), XK_ERR_SYSTEM */
XK_API xk_util_status xk_util_count_lines(int fd, uint64_t *count_out, int *errno_out);

/** --- Paths ---------------------------------------------------------------------------- */

/** The size of a file, which must be openable for reading.
 * @param path the file
 * @param size_out receives its size in bytes
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_SYSTEM */
XK_API xk_util_status xk_util_get_file_size(const char *path, int64_t *size_out);

/** truncate(path, length).
 * @param path the file
 * @param length its new size
 * @param errno_out optional: errno of a failed truncate
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_SYSTEM */
XK_API xk_util_status xk_util_truncate_file(const char *path, off_t length, int *errno_out);

/** unlink(path).
 * @param path the file
 * @param errno_out optional: errno of a failed unlink
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_SYSTEM */
XK_API xk_util_status xk_util_delete_file(const char *path, int *errno_out);

/** Whether a path exists (links are followed).
 * @param path the path
 * @param exists_out receives 1 when stat(path) succeeds, 0 when it fails with ENOENT
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_SYSTEM for any other failure (*exists_out untouched) */
XK_API xk_util_status xk_util_query_file_exists(const char *path, int *exists_out);

/** --- Durable sync --------------------------------------------------------------------- */

/** Flushes stream and fsyncs its file, then, when dir_path is given, fsyncs that directory.
 * The stream stays open.
 * @param stream the stream
 * @param dir_path the directory to sync as well, or NULL
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_SYSTEM */
XK_API xk_util_status xk_util_sync(FILE *stream, const char *dir_path);

/** fsyncs the file at path (opened read-write) and then its directory.
 * @param path the file, shorter than 1000 bytes
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_INVALID, XK_ERR_NOMEM, XK_ERR_SYSTEM (logged) */
XK_API xk_util_status xk_util_sync_file(const char *path);

/** --- Named files ---------------------------------------------------------------------- */

/** fopen of the path formatted from format.
 * @param stream_out receives the stream (untouched on failure); the caller fcloses it
 * @param errno_out optional: 0 on success, errno after a failed fopen
 * @param mode fopen's mode
 * @param format the printf format of the path, followed by its arguments
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_SYSTEM, or the formatter's status */
XK_API xk_util_status xk_util_fopen(FILE **stream_out, int *errno_out, const char *mode, const char *format,
                                    ...) __attribute__((format(printf, 4, 5)));

/** Reads the whole file into a new NUL-terminated buffer. On failure nothing is left allocated.
 * @param path the file
 * @param buf_out receives the buffer, which the caller frees
 * @param size_out receives the file's size in bytes
 * @param errno_out accepted and not written
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_SYSTEM, XK_ERR_NOMEM */
XK_API xk_util_status xk_util_read_named_file(const char *path, char **buf_out, size_t *size_out,
                                              int *errno_out);

/** Replaces or appends to the file, then fsyncs the file and its directory.
 * @param path the file
 * @param overwrite non-zero to replace the file, 0 to append
 * @param data the bytes
 * @param len their count
 * @param errno_out accepted and not written
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_NOMEM, XK_ERR_SYSTEM */
XK_API xk_util_status xk_util_write_named_file(const char *path, int overwrite, const void *data, size_t len,
                                               int *errno_out);

/** Replaces dst_path with the bytes of src_path and makes it durable.
 * @param src_path the file read
 * @param dst_path the file written
 * @return XK_OK, XK_ERR_NULL_ARG, or the status of the read or the write */
XK_API xk_util_status xk_util_copy_file(const char *src_path, const char *dst_path);

#ifdef __cplusplus
}
#endif

#endif
