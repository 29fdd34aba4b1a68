/** @file
 * Environment variables and the host name. */
#ifndef XK_ENV_H
#define XK_ENV_H

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** A malloc'd copy of the variable's value (the caller frees it); NULL when name is NULL, the
 * variable is not set, its value has 300 bytes or more, or memory runs out. */
XK_API char *xk_util_getenv(const char *name);

/** Sets (or replaces) a variable of the process-wide environment (not safe while other threads
 * read or change it). XK_ERR_NULL_ARG for a NULL name or value, XK_ERR_SYSTEM when
 * setenv refuses (an empty name or one holding '='). */
XK_API xk_util_status xk_util_setenv(const char *name, const char *value);

/** Removes a variable, process-wide; one that is not set is not an error. XK_ERR_NULL_ARG, XK_ERR_SYSTEM. */
XK_API xk_util_status xk_util_unsetenv(const char *name);

/** A malloc'd copy of the host name (the caller frees it), or NULL. */
XK_API char *xk_util_get_hostname(void);

#ifdef __cplusplus
}
#endif

#endif
