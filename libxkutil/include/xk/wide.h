/** @file
 * Multibyte-to-wide conversion in the caller's current locale. */
#ifndef XK_WIDE_H
#define XK_WIDE_H

#include <stddef.h>
#include <wchar.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Converts the NUL-terminated src (src_len is not consulted) into a new wide string *wide_out of
 * *wide_len characters plus a zero (the caller frees it, also after the failures that leave a block
 * there). XK_ERR_NULL_ARG, XK_ERR_INVALID, XK_ERR_NOMEM, XK_ERR_BUFFER_TOO_SMALL. */
XK_API xk_util_status xk_util_char_to_wchar(const char *src, size_t src_len, wchar_t **wide_out,
                                            size_t *wide_len);

#ifdef __cplusplus
}
#endif

#endif
