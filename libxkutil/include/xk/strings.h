/** @file
 * Splitting, joining, in-place character replacement and counted appends of heap strings. */
#ifndef XK_STRINGS_H
#define XK_STRINGS_H

#include <stddef.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Replaces every from byte by to in the first max_len bytes of s (stopping at its end); a NULL
 * s does nothing. Always XK_OK. */
XK_API xk_util_status xk_util_str_replace(char *s, size_t max_len, char from, char to);

/** Splits text at the whole string delim into *count_out new fields in the new array *fields_out
 * (no NULL entry; NULL when there are none; the caller frees each field, then the array). Empty
 * fields are dropped. XK_ERR_NULL_ARG, XK_ERR_NOMEM. */
XK_API xk_util_status xk_util_split(const char *text, const char *delim, char ***fields_out,
                                    size_t *count_out);

/** Joins count strings with sep into the new string *out (the caller frees it); *size_out counts
 * its terminator. XK_ERR_NULL_ARG (also for count 0), XK_ERR_OVERFLOW, XK_ERR_NOMEM (*out NULL). */
XK_API xk_util_status xk_util_join(const char **strings, size_t count, const char *sep, char **out,
                                   size_t *size_out);

/** Appends add_len bytes of add to the heap string *str (NULL to start; the caller frees it) of
 * recorded length *len, replacing the block. Both are unchanged on failure. XK_ERR_NULL_ARG,
 * XK_ERR_INVALID (add_len 0, or a non-NULL *str with *len 0), XK_ERR_OVERFLOW, XK_ERR_NOMEM. */
XK_API xk_util_status xk_util_append_string(char **str, size_t *len, const char *add, size_t add_len);

#ifdef __cplusplus
}
#endif

#endif
