/* SPDX-License-Identifier: MIT */
// Hex digit tables shared by the hex text writers of src/string_ops and src/file/common.
#ifndef XK_STRING_OPS_INTERNAL_H
#define XK_STRING_OPS_INTERNAL_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "internal/hex_roads.h"

namespace xk::hex {

struct PairTable {
    char digits[256][2];
};

// The two lower-case digits of every byte value, as "%02x" writes them.
constexpr PairTable make_pair_table() {
    constexpr char kDigits[] = "0123456789abcdef";
    PairTable table{};
    for (int b = 0; b < 256; ++b) {
        table.digits[b][0] = kDigits[b >> 4];
        table.digits[b][1] = kDigits[b & 0xF];
    }
    return table;
}

inline constexpr PairTable kPairs = make_pair_table();

// Writes the 2 * n digits of n bytes to out, without a terminator.
inline void write_pairs(char *out, const uint8_t *data, size_t n) {
    for (size_t i = encode_blocks(out, data, n); i < n; ++i) memcpy(out + 2 * i, kPairs.digits[data[i]], 2);
}

}  // namespace xk::hex

#endif
