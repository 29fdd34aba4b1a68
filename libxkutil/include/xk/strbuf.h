/* SPDX-License-Identifier: MIT */
/** @file
 * Growable, always NUL-terminated text buffer with printf-style appends, hexdump and substitution.
 *
 * @code
 * xk_util_strbuf *sb = xk_util_strbuf_new(0);
 * if (sb == NULL) return XK_ERR_NOMEM;
 * xk_util_strbuf_append_f(sb, "user=%s id=%d", "ann", 7);
 * xk_util_strbuf_substitute(sb, "ann", 0, "%s", "bob");   // every "ann" becomes "bob"
 * xk_util_strbuf_hexdump(sb, "  ", key, sizeof key);
 * fputs(xk_util_strbuf_getstr(sb), stdout);
 * xk_util_strbuf_free(sb);
 * @endcode */
#ifndef XK_STRBUF_H
#define XK_STRBUF_H

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Callers may read the fields; the text is everything in str before the first zero byte.
 * A buffer has no lock: use one from one thread at a time. */
typedef struct xk_util_strbuf {
    char *str;         /**< owned text storage, always NUL-terminated */
    int32_t capacity;  /**< bytes allocated for str */
    int32_t hex_limit; /**< most data bytes a hexdump writes; 0 for no limit */
} xk_util_strbuf;

/** Makes a new empty buffer with hex_limit 256. Release it with xk_util_strbuf_free.
 * @param initial_capacity the bytes allocated at first; 0 means 128
 * @return the buffer, or NULL when allocation fails or the capacity is negative */
XK_API xk_util_strbuf *xk_util_strbuf_new(int initial_capacity);

/** Releases the storage and the record; NULL does nothing.
 * @param sb the buffer */
XK_API void xk_util_strbuf_free(xk_util_strbuf *sb);

/** Empties the text, keeping the storage.
 * @param sb a buffer from xk_util_strbuf_new */
XK_API void xk_util_strbuf_clear(xk_util_strbuf *sb);

/** Appends formatted text, growing the storage as needed. Failures are logged, not traced.
 * @param sb the buffer
 * @param format the printf format
 * @param ap the format's arguments; copied, never consumed
 * @return the characters appended, or -1 */
XK_API int xk_util_strbuf_append_fv(xk_util_strbuf *sb, const char *format, va_list ap);

/** xk_util_strbuf_append_fv with variable arguments.
 * @param sb the buffer
 * @param format the printf format, followed by its arguments
 * @return the characters appended, or -1 */
XK_API int xk_util_strbuf_append_f(xk_util_strbuf *sb, const char *format, ...)
    __attribute__((format(printf, 2, 3)));

/** Sets the largest number of bytes a hexdump writes; NULL does nothing.
 * @param sb the buffer
 * @param limit the most data bytes per hexdump: 0 for no limit, negative for none at all */
XK_API void xk_util_strbuf_set_hex_limit(xk_util_strbuf *sb, int limit);

/** The buffer's own text, not a copy: do not free it.
 * @param sb the buffer
 * @return the text, valid until the next append, substitution or free; NULL for a NULL buffer */
XK_API char *xk_util_strbuf_getstr(xk_util_strbuf *sb);

/** Appends a 16-bytes-per-line hex and text dump of len bytes of data (at most hex_limit bytes).
 * A NULL sb or data, or len 0, does nothing.
 * @param sb the buffer
 * @param prefix the start of every line; "    " when NULL
 * @param data the bytes to dump
 * @param len their count */
XK_API void xk_util_strbuf_hexdump(xk_util_strbuf *sb, const char *prefix, const void *data, size_t len);

/** Replaces occurrences of needle with the formatted text, left to right without rescanning.
 * @param sb the buffer
 * @param needle the text to replace
 * @param max_count the most occurrences replaced; 0 for every one
 * @param format the printf format of the replacement
 * @param ap the format's arguments
 * @return the sum of the replacement appends' results less the needle's length for each: the net
 *         change of the text length when the replacement holds no zero byte (held at INT_MAX or
 *         INT_MIN past them); 0, text untouched, when sb, needle or format is NULL or memory
 *         runs out */
XK_API int xk_util_strbuf_substitute_v(xk_util_strbuf *sb, const char *needle, int max_count,
                                       const char *format, va_list ap);

/** xk_util_strbuf_substitute_v with variable arguments.
 * @param sb the buffer
 * @param needle the text to replace
 * @param max_count the most occurrences replaced; 0 for every one
 * @param format the printf format of the replacement, followed by its arguments
 * @return the net change of the text length (0 when nothing could be done) */
XK_API int xk_util_strbuf_substitute(xk_util_strbuf *sb, const char *needle, int max_count,
                                     const char *format, ...) __attribute__((format(printf, 4, 5)));

#ifdef __cplusplus
}
#endif

#endif
