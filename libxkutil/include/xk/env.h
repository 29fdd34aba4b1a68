/* SPDX-License-Identifier: MIT */
/** @file
 * Environment variables and the host name.
 *
 * @code
 * char *home = xk_util_getenv("HOME");     // a copy, or NULL
 * if (home != NULL) puts(home);
 * free(home);
 * xk_util_setenv("LC_ALL", "C");           // process-wide
 * @endcode */
#ifndef XK_ENV_H
#define XK_ENV_H

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Reads an environment variable.
 * @param name the variable
 * @return a malloc'd copy of its value (the caller frees it); NULL when name is NULL, the
 *         variable is not set, its value has 300 bytes or more, or memory runs out */
XK_API char *xk_util_getenv(const char *name);

/** Sets (or replaces) a variable of the process-wide environment (not safe while other threads
 * read or change it).
 * @param name the variable
 * @param value its new value
 * @return XK_OK, XK_ERR_NULL_ARG for a NULL name or value, XK_ERR_SYSTEM when setenv refuses
 *         (an empty name or one holding '=') */
XK_API xk_util_status xk_util_setenv(const char *name, const char *value);

/** Removes a variable, process-wide; one that is not set is not an error.
 * @param name the variable
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_SYSTEM */
XK_API xk_util_status xk_util_unsetenv(const char *name);

/** The host name.
 * @return a malloc'd copy (the caller frees it), or NULL */
XK_API char *xk_util_get_hostname(void);

#ifdef __cplusplus
}
#endif

#endif
