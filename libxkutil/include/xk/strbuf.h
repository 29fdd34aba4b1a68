/** @file
 * Growable, always NUL-terminated text buffer with printf-style appends, hexdump and substitution. */
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

/** A new empty buffer of initial_capacity bytes (0 means 128) with hex_limit 256; NULL when
 * allocation fails or the capacity is negative. Release it with xk_util_strbuf_free. */
XK_API xk_util_strbuf *xk_util_strbuf_new(int initial_capacity);

/** Releases the storage and the record; NULL does nothing. */
XK_API void xk_util_strbuf_free(xk_util_strbuf *sb);

/** Empties the text, keeping the storage; sb must come from xk_util_strbuf_new. */
XK_API void xk_util_strbuf_clear(xk_util_strbuf *sb);

/** Appends formatted text, growing the storage as needed; returns the characters appended or -1
 * (failures are logged, not traced). ap is copied, never consumed. */
XK_API int xk_util_strbuf_append_fv(xk_util_strbuf *sb, const char *format, va_list ap);

/** xk_util_strbuf_append_fv with variable arguments. */
XK_API int xk_util_strbuf_append_f(xk_util_strbuf *sb, const char *format, ...)
    __attribute__((format(printf, 2, 3)));

/** Sets the largest number of bytes a hexdump writes (0 for no limit, negative for none);
 * NULL does nothing. */
XK_API void xk_util_strbuf_set_hex_limit(xk_util_strbuf *sb, int limit);

/** The buffer's own text, not a copy (do not free it; NULL for a NULL buffer), valid until the
 * next append, substitution or free. */
XK_API char *xk_util_strbuf_getstr(xk_util_strbuf *sb);

/** Appends a 16-bytes-per-line hex and text dump of len bytes of data (at most hex_limit bytes),
 * each line starting with prefix ("    " when NULL). A NULL sb or data, or len 0, does nothing. */
XK_API void xk_util_strbuf_hexdump(xk_util_strbuf *sb, const char *prefix, const void *data, size_t len);

/** Replaces up to max_count (0: every) occurrences of needle with the formatted text, left to
 * right without rescanning; returns the sum of the replacement appends' results less the needle's
 * length for each, the net change of the text length when the replacement holds no zero byte
 * (held at INT_MAX or INT_MIN past them; 0, text untouched, when sb, needle or format is NULL or
 * memory runs out). */
XK_API int xk_util_strbuf_substitute_v(xk_util_strbuf *sb, const char *needle, int max_count,
                                       const char *format, va_list ap);

/** xk_util_strbuf_substitute_v with variable arguments. */
XK_API int xk_util_strbuf_substitute(xk_util_strbuf *sb, const char *needle, int max_count,
                                     const char *format, ...) __attribute__((format(printf, 4, 5)));

#ifdef __cplusplus
}
#endif

#endif
