/* SPDX-License-Identifier: MIT */
/** @file
 * Paths: the directory part of a path and its absolute canonical form.
 *
 * @code
 * char *dir = NULL, *abs = NULL;
 * if (xk_util_get_directory_component("/etc/app/app.conf", &dir) == XK_OK) free(dir);  // "/etc/app"
 * if (xk_util_abs_path(".", &abs) == XK_OK) free(abs);                               // the working directory
 * @endcode */
#ifndef XK_PATH_H
#define XK_PATH_H

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** The directory part of a path: "/a/b/c" gives "/a/b", a name without '/' comes back whole,
 * and a path whose only '/' is its first byte gives "/".
 * @param path the path; not NULL
 * @param dir_out receives a new copy of path up to its last '/' (the caller frees it); not NULL
 * @return XK_OK, XK_ERR_NOMEM (logged; *dir_out NULL) */
XK_API xk_util_status xk_util_get_directory_component(const char *path, char **dir_out);

/** The canonical absolute form of a path, realpath(path, NULL).
 * @param path the path; not NULL
 * @param abs_out receives the new absolute path (the caller frees it); not NULL
 * @return XK_OK, XK_ERR_SYSTEM (logged; *abs_out NULL) */
XK_API xk_util_status xk_util_abs_path(const char *path, char **abs_out);

#ifdef __cplusplus
}
#endif

#endif
