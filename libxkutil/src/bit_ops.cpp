// SPDX-License-Identifier: MIT
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "internal/bytes.h"
#include "internal/checked.h"
#include "internal/report.h"
#include "xk/bits.h"

namespace {
constexpr const char *kSource = "src/bit_ops";

using xk::load_big_endian64;
using xk::store_big_endian64;

// dst[i] = src[i] << r | src[i + 1] >> (8 - r) for the n bytes from src, the last one taking zeros
// from the right. dst may start before src (the move goes toward the front); 0 < r < 8, n >= 1.
void shift_bytes_to_front(uint8_t *dst, const uint8_t *src, size_t n, unsigned r) {
    size_t i = 0;
    // Eight bytes per step while a ninth byte follows to feed the low bits; every byte read
    // lies at or after every byte written so far.
    for (; i + 8 < n; i += 8)
        store_big_endian64(dst + i, load_big_endian64(src + i) << r | src[i + 8] >> (8 - r));
    for (; i + 1 < n; ++i) dst[i] = static_cast<uint8_t>(src[i] << r | src[i + 1] >> (8 - r));
    dst[n - 1] = static_cast<uint8_t>(src[n - 1] << r);
}

// Each byte value as the eight bytes 0/1 of its bits, most significant first.
struct BitBytes {
    uint8_t of[256][8];
};

constexpr BitBytes make_bit_bytes() {
    BitBytes t{};
    for (int v = 0; v < 256; ++v)
        for (int j = 0; j < 8; ++j) t.of[v][j] = static_cast<uint8_t>((v >> (7 - j)) & 1);
    return t;
}

constexpr BitBytes kBitBytes = make_bit_bytes();

// Writes each of the count source bytes factor times; out holds count * factor bytes, factor >= 2.
void repeat_bytes(uint8_t *out, const uint8_t *source, size_t count, size_t factor) {
    uint8_t *o = out;
    size_t k = 0;
    if (factor < 8) {
        // One 8-byte store per source byte; its overrun is overwritten by the copies that
        // follow, so it is used only while eight bytes of room remain.
        for (; k < count && (count - k) * factor >= 8; ++k, o += factor) {
            uint64_t w = source[k] * UINT64_C(0x0101010101010101);
            memcpy(o, &w, sizeof w);
        }
    }
    for (; k < count; ++k, o += factor) memset(o, source[k], factor);
}

}  // namespace

extern "C" {

xk_util_status xk_util_shift_bitstring_left(uint8_t *buffer, size_t *length, size_t shift) {
    using namespace xk;
    if (buffer == nullptr || length == nullptr)
        return report::error(__func__, kSource, __LINE__, XK_ERR_NULL_ARG, "NULL argument detected: %p %p",
                             static_cast<void *>(buffer), static_cast<void *>(length));
    size_t old_length = *length;
    size_t whole_bytes = shift / 8;
    unsigned bits = static_cast<unsigned>(shift % 8);
    if (whole_bytes > old_length || (whole_bytes == old_length && bits != 0)) {
        // More bits shifted out than the string holds: nothing of it survives, so it is cleared
        // to length 0 (no byte of the old content is left behind) rather than refused.
        *length = 0;
        memset(buffer, 0, old_length);
        return XK_OK;
    }
    size_t new_length = old_length - whole_bytes;
    *length = new_length;
    if (bits == 0) {
        if (whole_bytes != 0) memmove(buffer, buffer + whole_bytes, new_length);
        return XK_OK;
    }
    shift_bytes_to_front(buffer, buffer + whole_bytes, new_length, bits);
    memset(buffer + new_length, 0, whole_bytes);
    return XK_OK;
}

xk_util_status xk_util_map_bitstring_to_bytes(const uint8_t *bits, size_t length, uint8_t **out,
                                              size_t *out_len) {
    using namespace xk;
    if (bits == nullptr || out == nullptr || out_len == nullptr)
        return report::error(__func__, kSource, __LINE__, XK_ERR_NULL_ARG,
                             "NULL parameter detected: %p %p %p", static_cast<const void *>(bits),
                             static_cast<void *>(out), static_cast<void *>(out_len));
    size_t size = SIZE_MAX;
    // A length beyond SIZE_MAX / 8 has no representable result; it is stored as SIZE_MAX and fails
    // as an allocation that cannot succeed.
    bool fits = checked::mul(length, size_t{8}, &size);
    *out_len = size;
    uint8_t *bytes = fits ? static_cast<uint8_t *>(malloc(size)) : nullptr;
    *out = bytes;
    if (bytes == nullptr)
        return report::error(__func__, kSource, __LINE__, XK_ERR_NOMEM, "Memory allocation failed");
    for (size_t k = 0; k < length; ++k) memcpy(bytes + 8 * k, kBitBytes.of[bits[k]], 8);
    return XK_OK;
}

xk_util_status xk_util_expand_byte_array(const uint8_t *source, size_t count, int factor, uint8_t **out,
                                         size_t *out_len) {
    using namespace xk;
    if (source == nullptr || out == nullptr || out_len == nullptr)
        return report::error(__func__, kSource, __LINE__, XK_ERR_NULL_ARG,
                             "NULL parameter detected: %p %p %p", static_cast<const void *>(source),
                             static_cast<void *>(out), static_cast<void *>(out_len));
    size_t size = 0;
    // The signed factor times the count, wrapped to size_t as stored. A negative factor with a
    // nonzero count, or a product beyond size_t, names no size malloc could give, so it fails as
    // an allocation failure without asking malloc for the wrapped size.
    bool fits = checked::product(static_cast<int64_t>(factor), count, &size);
    *out_len = size;
    uint8_t *bytes = fits ? static_cast<uint8_t *>(malloc(size)) : nullptr;
    *out = bytes;
    if (bytes == nullptr)
        return report::error(__func__, kSource, __LINE__, XK_ERR_NOMEM, "Memory allocation failed");
    if (size == 0) return XK_OK;
    if (factor == 1)
        memcpy(bytes, source, count);
    else
        repeat_bytes(bytes, source, count, static_cast<size_t>(factor));
    return XK_OK;
}

}  // extern "C"
