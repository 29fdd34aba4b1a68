/** @file
 * Base64 in the standard alphabet (A-Z a-z 0-9 + /, '=' padding). Neither converter traces or logs. */
#ifndef XK_BASE64_H
#define XK_BASE64_H

#include <stddef.h>
#include <stdint.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** The encoded length of n bytes, 4 * ceil(n / 3), without any terminator; saturates at SIZE_MAX
 * where that length cannot be represented. */
XK_API size_t xk_util_to_base64_size(size_t n);

/** Encodes length bytes into a new malloc'd buffer *out of *out_len characters, padded with '=',
 * with no line breaks and no terminating NUL; the caller frees it (even when *out_len is 0).
 * data may be NULL only when length is 0. XK_OK, or XK_ERR_NOMEM with *out NULL. */
XK_API xk_util_status xk_util_base64_encode(const uint8_t *data, size_t length, char **out, size_t *out_len);

/** Decodes length bytes of text into a new malloc'd buffer *out of *out_len bytes; the caller frees it.
 * Every byte that is not a base64 digit (padding, line breaks, '-', '_') is skipped; malformed text
 * is never refused. text may be NULL only when length is 0. XK_OK, or XK_ERR_NOMEM with *out NULL. */
XK_API xk_util_status xk_util_base64_decode(const char *text, size_t length, uint8_t **out, size_t *out_len);

#ifdef __cplusplus
}
#endif

#endif
