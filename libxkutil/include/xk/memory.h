/* SPDX-License-Identifier: MIT */
/** @file
 * Memory and bounded-string primitives. None of them traces or logs.
 *
 * @code
 * char *copy = xk_util_strndup(name, 32);   // at most 32 characters, always terminated
 * if (copy != NULL && xk_util_strcasecmp(copy, "ROOT") == 0) puts("root");
 * xk_util_free((void **)&copy);              // frees and sets copy to NULL
 * @endcode */
#ifndef XK_MEMORY_H
#define XK_MEMORY_H

#include <stddef.h>
#include <stdio.h>
#include <sys/types.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Frees *p and sets it to NULL; a NULL p or *p is harmless.
 * @param p the address of the pointer to free */
XK_API void xk_util_free(void **p);

/** getline(lineptr, n, stream) with the stream first. The caller frees *lineptr.
 * @param stream the stream to read one line from
 * @param lineptr the line buffer, NULL or malloc'd; it may be moved to a larger block
 * @param n the size of *lineptr, updated when it grows
 * @return the characters read, newline included; -1 at end of file or on error */
XK_API ssize_t xk_util_getline(FILE *stream, char **lineptr, size_t *n);

/** strnlen: the length of s, at most maxlen.
 * @param s the string
 * @param maxlen the most bytes examined
 * @return the length of s, or maxlen when no terminator comes first */
XK_API size_t xk_util_strnlen(const char *s, size_t maxlen);

/** strndup: a malloc'd copy of at most n characters of s. The caller frees it.
 * @param s the string to copy
 * @param n the most characters copied; the copy is always terminated
 * @return the copy, or NULL when memory runs out */
XK_API char *xk_util_strndup(const char *s, size_t n);

/** strncpy: dst is left unterminated when src has n or more characters.
 * @param dst the destination of n bytes; the rest after src's end is filled with zeros
 * @param src the string to copy
 * @param n the bytes written to dst
 * @return dst */
XK_API char *xk_util_strncpy(char *dst, const char *src, size_t n);

/** memmem: the first occurrence of the needle in the haystack.
 * @param haystack the bytes searched
 * @param haystack_len their count
 * @param needle the bytes looked for
 * @param needle_len their count
 * @return the needle's first place in the haystack, or NULL when it does not occur */
XK_API void *xk_util_memmem(const void *haystack, size_t haystack_len, const void *needle, size_t needle_len);

/** A calloc'd copy of size bytes of src; the caller frees it.
 * @param src the bytes to copy
 * @param size their count
 * @return the copy, or NULL for a NULL src or when memory runs out */
XK_API void *xk_util_memdup(const void *src, size_t size);

/** As xk_util_memdup, with one zero byte after the copy (size + 1 bytes).
 * @param src the bytes to copy
 * @param size their count
 * @return the terminated copy, or NULL for a NULL src or when memory runs out */
XK_API void *xk_util_memdup0(const void *src, size_t size);

/** strcasecmp: compares two strings ignoring letter case.
 * @param a the first string
 * @param b the second string
 * @return negative, zero or positive as a sorts before, equal to or after b */
XK_API int xk_util_strcasecmp(const char *a, const char *b);

#ifdef __cplusplus
}
#endif

#endif
