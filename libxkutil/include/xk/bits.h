/* SPDX-License-Identifier: MIT */
/** @file
 * Bit strings: byte arrays read most significant bit first (bit 0 is the top bit of byte 0).
 *
 * @code
 * uint8_t bits[2] = {0x81, 0x40};
 * size_t length = sizeof bits;
 * xk_util_shift_bitstring_left(bits, &length, 1);   // {0x02, 0x80}, length 2
 * uint8_t *each = NULL;
 * size_t count = 0;
 * if (xk_util_map_bitstring_to_bytes(bits, length, &each, &count) == XK_OK) free(each);  // 16 bytes of 0 or
 * 1
 * @endcode */
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
 * *length 0).
 * @param buffer the bit string
 * @param length its length in bytes, updated
 * @param shift the number of bit positions
 * @return XK_OK, or XK_ERR_NULL_ARG (logged) */
XK_API xk_util_status xk_util_shift_bitstring_left(uint8_t *buffer, size_t *length, size_t shift);

/** Spreads a bit string into one byte per bit, most significant bit first.
 * @param bits the bit string
 * @param length its length in bytes
 * @param out receives a new block of 8 * length bytes of 0 or 1; the caller frees it
 * @param out_len receives 8 * length, stored before allocating
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_NOMEM (both logged) */
XK_API xk_util_status xk_util_map_bitstring_to_bytes(const uint8_t *bits, size_t length, uint8_t **out,
                                                     size_t *out_len);

/** Repeats every byte factor times in a row; a negative factor with a nonzero count cannot be
 * allocated.
 * @param source the bytes
 * @param count their number
 * @param factor how many times each byte appears
 * @param out receives a new block of factor * count bytes; the caller frees it
 * @param out_len receives factor * count, stored before allocating
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_NOMEM (both logged) */
XK_API xk_util_status xk_util_expand_byte_array(const uint8_t *source, size_t count, int factor,
                                                uint8_t **out, size_t *out_len);

#ifdef __cplusplus
}
#endif

#endif
