/** @file
 * Memory and bounded-string primitives. None of them traces or logs. */
#ifndef XK_MEMORY_H
#define XK_MEMORY_H

#include <stddef.h>
#include <stdio.h>
#include <sys/types.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Frees *p and sets it to NULL; a NULL p or *p is harmless. */
XK_API void xk_util_free(void **p);

/** getline(lineptr, n, stream) with the stream first; -1 at end of file or on error.
 * The caller frees *lineptr. */
XK_API ssize_t xk_util_getline(FILE *stream, char **lineptr, size_t *n);

/** strnlen: the length of s, at most maxlen. */
XK_API size_t xk_util_strnlen(const char *s, size_t maxlen);

/** strndup: a malloc'd copy of at most n characters of s, or NULL. The caller frees it. */
XK_API char *xk_util_strndup(const char *s, size_t n);

/** strncpy: dst is left unterminated when src has n or more characters. Returns dst. */
XK_API char *xk_util_strncpy(char *dst, const char *src, size_t n);

/** memmem: the first occurrence of the needle in the haystack, or NULL. */
XK_API void *xk_util_memmem(const void *haystack, size_t haystack_len, const void *needle, size_t needle_len);

/** A calloc'd copy of size bytes of src; NULL for a NULL src or when memory runs out. */
XK_API void *xk_util_memdup(const void *src, size_t size);

/** As xk_util_memdup, with one zero byte after the copy (size + 1 bytes). */
XK_API void *xk_util_memdup0(const void *src, size_t size);

/** strcasecmp: negative, zero or positive, ignoring letter case. */
XK_API int xk_util_strcasecmp(const char *a, const char *b);

#ifdef __cplusplus
}
#endif

#endif
