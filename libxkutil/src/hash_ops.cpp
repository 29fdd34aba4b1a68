// SPDX-License-Identifier: MIT
#include <stdint.h>
#include <string.h>

#include "internal/checked.h"
#include "internal/report.h"
#include "xk/hash.h"

namespace {
constexpr const char *kSource = "src/hash_ops";

// One round of the 64-bit xorshift (10, 15, 4, 13) that also seeds the generator.
inline uint64_t xorshift(uint64_t x) {
    x ^= x << 10;
    x ^= x >> 15;
    x ^= x << 4;
    x ^= x >> 13;
    return x;
}

}  // namespace

extern "C" {

// The hash adds each block modulo 2^64 by definition.
XK_WRAPS_ON_PURPOSE xk_util_status xk_util_hash64(const void *data, size_t length, uint64_t *result) {
    using namespace xk;
    if (data == nullptr || result == nullptr)
        return report::trace(__func__, kSource, __LINE__, XK_ERR_INVALID);
    if (length == 0) return report::trace(__func__, kSource, __LINE__, XK_ERR_INVALID);
    const auto *bytes = static_cast<const uint8_t *>(data);
    size_t tail = length % 8;
    const uint8_t *tail_start = bytes + (length - tail);
    uint64_t h = 1;
    // Whole blocks in native byte order, the tail big-endian: both orders define the hash.
    for (const uint8_t *p = bytes; p != tail_start; p += 8) {
        uint64_t block;
        memcpy(&block, p, sizeof block);
        h = xorshift(h + block);
    }
    if (tail != 0) {
        uint64_t value = 0;
        for (size_t i = 0; i < tail; ++i) value = value << 8 | tail_start[i];
        h = xorshift(h + value);
    }
    for (int round = 0; round < 16; ++round) h = xorshift(h);
    *result = h;
    return XK_OK;
}

}  // extern "C"
