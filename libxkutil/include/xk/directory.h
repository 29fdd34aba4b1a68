/* SPDX-License-Identifier: MIT */
/** @file
 * Directories: creation, existence and sorted scans.
 *
 * @code
 * xk_util_dirscan_cursor *scan = xk_util_dirscan_begin("/etc");
 * if (scan == NULL) return;
 * while (xk_util_dirscan(scan) == XK_OK) {      // XK_ERR_NO_MORE after the last entry
 *     char *name = xk_dirscan_file_name(scan);
 *     if (name != NULL) puts(name);
 *     free(name);
 * }
 * xk_util_dirscan_end(scan);
 * @endcode */
#ifndef XK_DIRECTORY_H
#define XK_DIRECTORY_H

#include <stdint.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

struct dirent;

/** A directory scan, made by xk_util_dirscan_begin and ended by xk_util_dirscan_end. */
typedef struct xk_util_dirscan_cursor {
    struct dirent **entries; /**< scandir's sorted array, owned by the cursor; NULL until filled */
    int32_t count;           /**< entries in the array, "." and ".." included */
    int32_t index;           /**< the current entry; -1 before the first step */
} xk_util_dirscan_cursor;

/** mkdir(path, 0700); parents are not made and an existing path fails.
 * @param path the new directory
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_SYSTEM */
XK_API xk_util_status xk_util_mkdir(const char *path);

/** mkdir(path, 0500), a directory its owner can read but not add to.
 * @param path the new directory
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_SYSTEM (logged) */
XK_API xk_util_status xk_util_mkdir_read_only(const char *path);

/** Whether path opens as a directory; a failure other than ENOENT is logged.
 * @param path the path
 * @param exists_out receives 1 when it does, else 0; must not be NULL
 * @return XK_OK, or XK_ERR_NULL_ARG (untraced) for a NULL path */
XK_API xk_util_status xk_util_query_dir_exists(const char *path, int *exists_out);

/** Reads the whole directory, sorted by strcasecmp of the names. End the cursor with
 * xk_util_dirscan_end.
 * @param path the directory
 * @return a cursor before the first entry; NULL (logged) when it cannot be read or for a NULL path */
XK_API xk_util_dirscan_cursor *xk_util_dirscan_begin(const char *path);

/** Steps to the next entry other than "." and "..".
 * @param cursor the scan
 * @return XK_OK, XK_ERR_NO_MORE at the end and on every step after it, XK_ERR_NULL_ARG */
XK_API xk_util_status xk_util_dirscan(xk_util_dirscan_cursor *cursor);

/** The current entry's name.
 * @param cursor the scan
 * @return a new copy of the name, which the caller frees; NULL for a NULL cursor, before the
 *         first step, after the end, or when memory runs out (logged) */
XK_API char *xk_dirscan_file_name(const xk_util_dirscan_cursor *cursor);

/** Frees the cursor and every entry it holds; NULL is accepted.
 * @param cursor the scan */
XK_API void xk_util_dirscan_end(xk_util_dirscan_cursor *cursor);

#ifdef __cplusplus
}
#endif

#endif
