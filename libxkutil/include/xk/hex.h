/** @file
 * Plain hexadecimal text of byte arrays: two lower-case digits per byte, no separators. */
#ifndef XK_HEX_H
#define XK_HEX_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** *out = new string of the 2 * len hex digits of data (the caller frees it); out must not be
 * NULL. XK_ERR_NOMEM (*out NULL). */
XK_API xk_util_status xk_util_sprintf_bytes(const uint8_t *data, size_t len, char **out);

/** *out = new block of hex_len / 2 bytes read from hex digit pairs of either case; an odd last
 * character is ignored (the caller frees it; fewer than two characters may give NULL).
 * XK_ERR_NOMEM. */
XK_API xk_util_status xk_util_sscanf_bytes(const char *hex, size_t hex_len, uint8_t **out);

/** Writes the hex digits of len bytes of data to stream, no newline; write errors are not
 * reported. XK_ERR_NULL_ARG. */
XK_API xk_util_status xk_util_fprintf_bytes(FILE *stream, const uint8_t *data, size_t len);

/** xk_util_fprintf_bytes on standard output. XK_ERR_NULL_ARG. */
XK_API xk_util_status xk_util_printf_bytes(const uint8_t *data, size_t len);

#ifdef __cplusplus
}
#endif

#endif
