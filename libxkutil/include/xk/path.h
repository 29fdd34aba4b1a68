/** @file
 * Paths: the directory part of a path and its absolute canonical form. */
#ifndef XK_PATH_H
#define XK_PATH_H

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** *dir_out = a new copy of path up to its last '/' (the caller frees it): "/a/b/c" gives
 * "/a/b", a name without '/' comes back whole, and a path whose only '/' is its first byte
 * gives "/". Neither pointer may be NULL. XK_ERR_NOMEM (logged; *dir_out NULL). */
XK_API xk_util_status xk_util_get_directory_component(const char *path, char **dir_out);

/** *abs_out = realpath(path, NULL), which the caller frees. Neither pointer may be NULL.
 * XK_ERR_SYSTEM (logged; *abs_out NULL). */
XK_API xk_util_status xk_util_abs_path(const char *path, char **abs_out);

#ifdef __cplusplus
}
#endif

#endif
