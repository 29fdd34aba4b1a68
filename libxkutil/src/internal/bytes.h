/* SPDX-License-Identifier: MIT */
// Unaligned big-endian word access shared by the encoders and the bit-string functions.
#ifndef XK_INTERNAL_BYTES_H
#define XK_INTERNAL_BYTES_H

#include <stdint.h>
#include <string.h>

namespace xk {

inline uint64_t load_big_endian64(const uint8_t *p) {
    uint64_t w;
    memcpy(&w, p, sizeof w);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    w = __builtin_bswap64(w);
#endif
    return w;
}

inline void store_big_endian64(uint8_t *p, uint64_t w) {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    w = __builtin_bswap64(w);
#endif
    memcpy(p, &w, sizeof w);
}

}  // namespace xk

#endif
