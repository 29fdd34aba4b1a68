/** @file
 * Bit strings: byte arrays read most significant bit first (bit 0 is the top bit of byte 0). */
#ifndef XK_BITS_H
#define XK_BITS_H

#include <stddef.h>
#include <stdint.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Shifts the bit string of *length bytes left by shift bits in place; *length shrinks by shift / 8 and
 * the last shift % 8 bit positions become 0. A shift beyond 8 * *length clears the string (all bytes 0,
 * *length 0). XK_OK, or XK_ERR_NULL_ARG (logged). */
XK_API xk_util_status xk_util_shift_bitstring_left(uint8_t *buffer, size_t *length, size_t shift);

/** *out gets 8 * length bytes of 0 or 1, one per bit, most significant bit first; the caller frees it.
 * *out_len is stored before allocating. XK_OK, XK_ERR_NULL_ARG, XK_ERR_NOMEM (both logged). */
XK_API xk_util_status xk_util_map_bitstring_to_bytes(const uint8_t *bits, size_t length, uint8_t **out,
                                                     size_t *out_len);

/** *out gets every source byte factor times in a row (factor * count bytes); the caller frees it.
 * *out_len is stored before allocating; a negative factor with a nonzero count cannot be allocated.
 * XK_OK, XK_ERR_NULL_ARG, XK_ERR_NOMEM (both logged). */
XK_API xk_util_status xk_util_expand_byte_array(const uint8_t *source, size_t count, int factor,
                                                uint8_t **out, size_t *out_len);

#ifdef __cplusplus
}
#endif

#endif
