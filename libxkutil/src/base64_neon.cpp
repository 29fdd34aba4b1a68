// SPDX-License-Identifier: MIT
// The AArch64 vector road of the base64 converters (NEON is always present there).
#if defined(__aarch64__)

#include <arm_neon.h>
#include <stdint.h>

#include "internal/base64_roads.h"

namespace {
[[maybe_unused]] constexpr const char *kSource = "src/base64_neon";

constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

struct ValueTable {
    uint8_t value[128];  // the six-bit value of every ASCII byte, 0xff for no digit
};

constexpr ValueTable make_value_table() {
    ValueTable t{};
    for (int c = 0; c < 128; ++c) t.value[c] = 0xff;
    for (int v = 0; v < 64; ++v) t.value[static_cast<unsigned char>(kDigits[v])] = static_cast<uint8_t>(v);
    return t;
}

constexpr ValueTable kValueTable = make_value_table();

inline uint8x16x4_t load_table(const uint8_t *p) {
    return uint8x16x4_t{{vld1q_u8(p), vld1q_u8(p + 16), vld1q_u8(p + 32), vld1q_u8(p + 48)}};
}

size_t encode_neon(const uint8_t *data, size_t length, char *out) {
    const uint8x16x4_t digits = load_table(reinterpret_cast<const uint8_t *>(kDigits));
    const uint8x16_t six_bits = vdupq_n_u8(63);
    size_t i = 0;
    char *o = out;
    for (; length - i >= 48; i += 48, o += 64) {
        uint8x16x3_t in = vld3q_u8(data + i);  // b0, b1 and b2 of 16 groups
        uint8x16x4_t values;
        values.val[0] = vshrq_n_u8(in.val[0], 2);
        values.val[1] = vandq_u8(vorrq_u8(vshlq_n_u8(in.val[0], 4), vshrq_n_u8(in.val[1], 4)), six_bits);
        values.val[2] = vandq_u8(vorrq_u8(vshlq_n_u8(in.val[1], 2), vshrq_n_u8(in.val[2], 6)), six_bits);
        values.val[3] = vandq_u8(in.val[2], six_bits);
        for (int k = 0; k < 4; ++k) values.val[k] = vqtbl4q_u8(digits, values.val[k]);
        vst4q_u8(reinterpret_cast<uint8_t *>(o), values);
    }
    return i;
}

size_t decode_blocks(const unsigned char *text, size_t length, uint8_t *out, size_t room) {
    const uint8x16x4_t low_half = load_table(kValueTable.value);
    const uint8x16x4_t high_half = load_table(kValueTable.value + 64);
    const uint8x16_t sixty_four = vdupq_n_u8(64);
    size_t pos = 0, o = 0;
    for (; length - pos >= 64 && room - o >= 48; pos += 64, o += 48) {
        uint8x16x4_t in = vld4q_u8(text + pos);  // the first to fourth digits of 16 groups
        uint8x16_t d[4];
        uint8x16_t bad = vdupq_n_u8(0);
        for (int k = 0; k < 4; ++k) {
            // Out-of-range indexes give 0, so each byte finds its value in exactly one half;
            // bytes >= 128 find none and show in their own top bit.
            d[k] = vorrq_u8(vqtbl4q_u8(low_half, in.val[k]),
                            vqtbl4q_u8(high_half, vsubq_u8(in.val[k], sixty_four)));
            bad = vorrq_u8(bad, vorrq_u8(d[k], in.val[k]));
        }
        if (vmaxvq_u8(bad) & 0x80) break;
        uint8x16x3_t bytes;
        bytes.val[0] = vorrq_u8(vshlq_n_u8(d[0], 2), vshrq_n_u8(d[1], 4));
        bytes.val[1] = vorrq_u8(vshlq_n_u8(d[1], 4), vshrq_n_u8(d[2], 2));
        bytes.val[2] = vorrq_u8(vshlq_n_u8(d[2], 6), d[3]);
        vst3q_u8(out + o, bytes);
    }
    return pos;
}

bool is_digit(unsigned char c) { return c < 128 && kValueTable.value[c] != 0xff; }

bool decode_last64(const unsigned char *in, uint8_t *out) { return decode_blocks(in, 64, out, 48) == 64; }

void decode_neon(xk::base64::Decoding &d) {
    take_pure_digits(
        d, decode_blocks(d.in + d.pos, d.length - d.pos, d.out, static_cast<size_t>(d.out_end - d.out)));
    xk::base64::decode_lines<64, 48>(d, decode_blocks, decode_last64, is_digit);
}

}  // namespace

namespace xk::base64 {

const Road kNeonRoad = {"neon", encode_neon, nullptr, decode_neon, nullptr};

}  // namespace xk::base64

#endif
