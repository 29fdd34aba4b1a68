/* SPDX-License-Identifier: MIT */
/** @file
 * Base64 in the standard alphabet (A-Z a-z 0-9 + /, '=' padding). Neither converter traces or logs.
 *
 * @code
 * char *text = NULL;
 * size_t text_len = 0;
 * if (xk_util_base64_encode((const uint8_t *)"hi!", 3, &text, &text_len) != XK_OK) return;  // "aGkh", 4
 * uint8_t *bytes = NULL;
 * size_t n = 0;
 * if (xk_util_base64_decode(text, text_len, &bytes, &n) == XK_OK) free(bytes);              // "hi!", 3
 * free(text);
 * @endcode */
#ifndef XK_BASE64_H
#define XK_BASE64_H

#include <stddef.h>
#include <stdint.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** The encoded length of n bytes, without any terminator.
 * @param n the number of bytes
 * @return 4 * ceil(n / 3); SIZE_MAX where that length cannot be represented, so that a caller
 *         that allocates what it is told fails cleanly */
XK_API size_t xk_util_to_base64_size(size_t n);

/** Encodes bytes as base64 text padded with '=', with no line breaks and no terminating NUL.
 * @param data the bytes; NULL only when length is 0
 * @param length their count
 * @param out receives a new malloc'd buffer; the caller frees it (even when *out_len is 0)
 * @param out_len receives its length in characters
 * @return XK_OK, or XK_ERR_NOMEM with *out NULL (*out_len is SIZE_MAX when the encoded length
 *         cannot be represented) */
XK_API xk_util_status xk_util_base64_encode(const uint8_t *data, size_t length, char **out, size_t *out_len);

/** Decodes base64 text. Every byte that is not a base64 digit (padding, line breaks, '-', '_')
 * is skipped; malformed text is never refused.
 * @param text the text; NULL only when length is 0
 * @param length its length
 * @param out receives a new malloc'd buffer; the caller frees it
 * @param out_len receives its length in bytes
 * @return XK_OK, or XK_ERR_NOMEM with *out NULL */
XK_API xk_util_status xk_util_base64_decode(const char *text, size_t length, uint8_t **out, size_t *out_len);

#ifdef __cplusplus
}
#endif

#endif
