/** @file
 * The effective group of the process. */
#ifndef XK_PERMISSIONS_H
#define XK_PERMISSIONS_H

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Makes the named group (at most 32 bytes) the process's effective group, for every thread.
 * XK_ERR_NULL_ARG, XK_ERR_INVALID (name too long), XK_ERR_NOMEM, XK_ERR_SYSTEM (logged:
 * unknown group, failed lookup, or setegid refused). */
XK_API xk_util_status ensure_egid(const char *group_name);

#ifdef __cplusplus
}
#endif

#endif
