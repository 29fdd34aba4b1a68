/* SPDX-License-Identifier: MIT */
// The vector roads of the hex text converters (not exported). A road converts only whole
// blocks; the scalar code does the rest, so the results are those of the scalar code.
#ifndef XK_INTERNAL_HEX_ROADS_H
#define XK_INTERNAL_HEX_ROADS_H

#include <stddef.h>
#include <stdint.h>

namespace xk::hex {

// Writes the digits of the whole 16-byte blocks at the start of data (n bytes); returns the
// bytes done, 0 when the processor has no vector road.
size_t encode_blocks(char *out, const uint8_t *data, size_t n);

// Decodes whole blocks of 16 pairs of plain hex digits (either case) from the start of digits
// (pairs pairs), stopping before the first block holding any other character; returns the
// pairs done.
size_t decode_blocks(uint8_t *out, const unsigned char *digits, size_t pairs);

// Lets tests turn the vector roads off (and on again) to compare them with the scalar code.
void allow_vector_roads(bool allowed);
bool vector_road_available();

}  // namespace xk::hex

#endif
