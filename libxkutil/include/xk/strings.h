/* SPDX-License-Identifier: MIT */
/** @file
 * Splitting, joining, in-place character replacement and counted appends of heap strings.
 *
 * @code
 * char **fields = NULL;
 * size_t count = 0;
 * if (xk_util_split("a, b, , c", ", ", &fields, &count) != XK_OK) return;   // "a" "b" "c"
 * char *joined = NULL;
 * size_t size = 0;
 * if (xk_util_join((const char **)fields, count, "/", &joined, &size) == XK_OK) free(joined);  // "a/b/c"
 * for (size_t i = 0; i < count; i++) free(fields[i]);
 * free(fields);
 * @endcode */
#ifndef XK_STRINGS_H
#define XK_STRINGS_H

#include <stddef.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Replaces every from byte by to in the first max_len bytes of s (stopping at its end); a NULL
 * s does nothing.
 * @param s the string, changed in place
 * @param max_len the most bytes examined
 * @param from the byte replaced
 * @param to its replacement
 * @return always XK_OK */
XK_API xk_util_status xk_util_str_replace(char *s, size_t max_len, char from, char to);

/** Splits text at the whole string delim; empty fields are dropped.
 * @param text the text
 * @param delim the delimiter, matched as a whole string
 * @param fields_out receives a new array of new fields (no NULL entry; NULL when there are none);
 *                   the caller frees each field, then the array
 * @param count_out receives the number of fields
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_NOMEM */
XK_API xk_util_status xk_util_split(const char *text, const char *delim, char ***fields_out,
                                    size_t *count_out);

/** Joins strings with a separator into a new string.
 * @param strings the strings
 * @param count their number, at least 1
 * @param sep the separator put between them
 * @param out receives the new string (the caller frees it)
 * @param size_out receives its size, the terminator included
 * @return XK_OK, XK_ERR_NULL_ARG (also for count 0), XK_ERR_OVERFLOW, XK_ERR_NOMEM (*out NULL) */
XK_API xk_util_status xk_util_join(const char **strings, size_t count, const char *sep, char **out,
                                   size_t *size_out);

/** Appends bytes to a heap string, replacing the block; *str and *len are unchanged on failure.
 * @param str the heap string, NULL to start; the caller frees it
 * @param len its recorded length, updated
 * @param add the bytes to append
 * @param add_len their count, at least 1
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_INVALID (add_len 0, or a non-NULL *str with *len 0),
 *         XK_ERR_OVERFLOW, XK_ERR_NOMEM */
XK_API xk_util_status xk_util_append_string(char **str, size_t *len, const char *add, size_t add_len);

#ifdef __cplusplus
}
#endif

#endif
