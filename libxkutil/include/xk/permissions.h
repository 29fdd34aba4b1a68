/* SPDX-License-Identifier: MIT */
/** @file
 * The effective group of the process.
 *
 * @code
 * if (ensure_egid("adm") != XK_OK) return 1;   // every thread now runs with effective group adm
 * @endcode */
#ifndef XK_PERMISSIONS_H
#define XK_PERMISSIONS_H

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Makes the named group the process's effective group, for every thread.
 * @param group_name the group's name, at most 32 bytes
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_INVALID (name too long), XK_ERR_NOMEM, XK_ERR_SYSTEM
 *         (logged: unknown group, failed lookup, or setegid refused) */
XK_API xk_util_status ensure_egid(const char *group_name);

#ifdef __cplusplus
}
#endif

#endif
