/* SPDX-License-Identifier: MIT */
/** @file
 * Multibyte-to-wide conversion in the caller's current locale.
 *
 * @code
 * setlocale(LC_CTYPE, "C.UTF-8");
 * wchar_t *wide = NULL;
 * size_t n = 0;
 * if (xk_util_char_to_wchar("text", 0, &wide, &n) == XK_OK) printf("%zu wide characters", n);  // 4
 * free(wide);
 * @endcode */
#ifndef XK_WIDE_H
#define XK_WIDE_H

#include <stddef.h>
#include <wchar.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Converts a NUL-terminated multibyte string into a new wide string.
 * @param src the text, NUL-terminated
 * @param src_len not consulted
 * @param wide_out receives the new wide string, zero-terminated; the caller frees it, also after
 *                 the failures that leave a block there
 * @param wide_len receives its length in characters
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_INVALID, XK_ERR_NOMEM, XK_ERR_BUFFER_TOO_SMALL */
XK_API xk_util_status xk_util_char_to_wchar(const char *src, size_t src_len, wchar_t **wide_out,
                                            size_t *wide_len);

#ifdef __cplusplus
}
#endif

#endif
