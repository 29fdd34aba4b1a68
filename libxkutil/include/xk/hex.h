/* SPDX-License-Identifier: MIT */
/** @file
 * Plain hexadecimal text of byte arrays: two lower-case digits per byte, no separators.
 *
 * @code
 * const uint8_t key[3] = {0xde, 0xad, 0x01};
 * char *text = NULL;
 * if (xk_util_sprintf_bytes(key, sizeof key, &text) == XK_OK) {   // "dead01"
 *     uint8_t *back = NULL;
 *     if (xk_util_sscanf_bytes(text, strlen(text), &back) == XK_OK) free(back);
 *     free(text);
 * }
 * @endcode */
#ifndef XK_HEX_H
#define XK_HEX_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Writes the hex text of bytes to a new string.
 * @param data the bytes
 * @param len their count
 * @param out receives a new string of 2 * len digits (the caller frees it); must not be NULL
 * @return XK_OK, or XK_ERR_NOMEM with *out NULL */
XK_API xk_util_status xk_util_sprintf_bytes(const uint8_t *data, size_t len, char **out);

/** Reads hex digit pairs of either case back into bytes; an odd last character is ignored.
 * @param hex the text
 * @param hex_len its length
 * @param out receives a new block of hex_len / 2 bytes (the caller frees it; fewer than two
 *            characters may give NULL)
 * @return XK_OK, XK_ERR_NOMEM */
XK_API xk_util_status xk_util_sscanf_bytes(const char *hex, size_t hex_len, uint8_t **out);

/** Writes the hex digits of bytes to a stream, no newline; write errors are not reported.
 * @param stream the stream
 * @param data the bytes
 * @param len their count
 * @return XK_OK, XK_ERR_NULL_ARG */
XK_API xk_util_status xk_util_fprintf_bytes(FILE *stream, const uint8_t *data, size_t len);

/** xk_util_fprintf_bytes on standard output.
 * @param data the bytes
 * @param len their count
 * @return XK_OK, XK_ERR_NULL_ARG */
XK_API xk_util_status xk_util_printf_bytes(const uint8_t *data, size_t len);

#ifdef __cplusplus
}
#endif

#endif
