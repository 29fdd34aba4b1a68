// SPDX-License-Identifier: MIT
// The x86-64 vector roads of the base64 converters: SSSE3, AVX2, AVX-512 with VBMI, and AVX-512
// with VBMI2, whose byte compaction lets it decode text with line breaks at block speed.
// Each is compiled for its own instruction set; src/base64 runs one only where the processor has it.
#if defined(__x86_64__)

// GCC 12 warns inside its own AVX-512 headers (their "undefined" source operand) at -O2, where
// they are inlined into this file's functions; clang knows no such warning.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>
#include <stddef.h>
#include <stdint.h>

#include "internal/base64_roads.h"

namespace {
[[maybe_unused]] constexpr const char *kSource = "src/base64_x86";

constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// ---- 16-byte blocks (SSSE3), also the tail of the wider roads ----

// The 12 bytes at the front of in as 16 six-bit values, one per byte, in output order.
// Each 32-bit lane first gets bytes b1 b0 b2 b1, so that the 16-bit halves hold b0b1 and b1b2;
// the multiplies then move each six-bit field to the bottom of its own byte.
__attribute__((target("ssse3"), always_inline)) inline __m128i split_sixes(__m128i in) {
    in = _mm_shuffle_epi8(in, _mm_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10));
    __m128i first_third =
        _mm_mulhi_epu16(_mm_and_si128(in, _mm_set1_epi32(0x0fc0fc00)), _mm_set1_epi32(0x04000040));
    __m128i second_fourth =
        _mm_mullo_epi16(_mm_and_si128(in, _mm_set1_epi32(0x003f03f0)), _mm_set1_epi32(0x01000010));
    return _mm_or_si128(first_third, second_fourth);
}

// Six-bit values to digits: each value range (A-Z, a-z, 0-9, +, /) gets its own offset.
__attribute__((target("ssse3"), always_inline)) inline __m128i to_digits(__m128i values) {
    const __m128i offsets =
        _mm_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                      '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0);
    // 0-25 -> 13, 26-51 -> 0, 52-61 -> 1..10, 62 -> 11, 63 -> 12
    __m128i range = _mm_subs_epu8(values, _mm_set1_epi8(51));
    __m128i upper = _mm_cmpgt_epi8(_mm_set1_epi8(26), values);
    range = _mm_or_si128(range, _mm_and_si128(upper, _mm_set1_epi8(13)));
    return _mm_add_epi8(_mm_shuffle_epi8(offsets, range), values);
}

// Per nibble of a byte, bit sets whose intersection is empty exactly for the 64 digits: the high
// nibble picks a class (2: + and /, 3: 0-9, 4 and 6: A-O a-o, 5 and 7: P-Z p-z, others: none)
// and the low nibble marks the classes it is not a digit in.
__attribute__((target("ssse3"), always_inline)) inline __m128i low_nibble_classes() {
    return _mm_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1a, 0x1b, 0x1b,
                         0x1b, 0x1a);
}
__attribute__((target("ssse3"), always_inline)) inline __m128i high_nibble_classes() {
    return _mm_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10,
                         0x10, 0x10);
}
// What to add to a digit for its value, by high nibble ('/' moves down one slot from '+').
__attribute__((target("ssse3"), always_inline)) inline __m128i value_offsets() {
    return _mm_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
}

// Groups of four six-bit values (one per byte) as three bytes each, at the front of every 16-byte lane.
__attribute__((target("ssse3"), always_inline)) inline __m128i join_sixes(__m128i values) {
    __m128i pairs = _mm_maddubs_epi16(values, _mm_set1_epi32(0x01400140));
    __m128i words = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00011000));
    return _mm_shuffle_epi8(words, _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
}

// Decodes 16 digits into 12 bytes (writing 16); false, with nothing written, when any byte is no digit.
__attribute__((target("ssse3"), always_inline)) inline bool decode16(const unsigned char *in, uint8_t *out) {
    __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in));
    __m128i high = _mm_and_si128(_mm_srli_epi32(text, 4), _mm_set1_epi8(0x0f));
    __m128i low = _mm_and_si128(text, _mm_set1_epi8(0x0f));
    __m128i clash = _mm_and_si128(_mm_shuffle_epi8(low_nibble_classes(), low),
                                  _mm_shuffle_epi8(high_nibble_classes(), high));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(clash, _mm_setzero_si128())) != 0xffff) return false;
    __m128i slot = _mm_add_epi8(high, _mm_cmpeq_epi8(text, _mm_set1_epi8('/')));
    __m128i values = _mm_add_epi8(text, _mm_shuffle_epi8(value_offsets(), slot));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out), join_sixes(values));
    return true;
}

__attribute__((target("ssse3"), always_inline)) inline size_t encode_blocks16(const uint8_t *data,
                                                                              size_t length, char *out) {
    size_t i = 0;
    for (char *o = out; length - i >= 16; i += 12, o += 16) {
        __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(o), to_digits(split_sixes(in)));
    }
    return i;
}

__attribute__((target("ssse3"), always_inline)) inline size_t decode_blocks16(const unsigned char *text,
                                                                              size_t length, uint8_t *out,
                                                                              size_t room) {
    size_t pos = 0;
    for (size_t o = 0; length - pos >= 16 && room - o >= 16 && decode16(text + pos, out + o);
         pos += 16, o += 12) {
    }
    return pos;
}

__attribute__((target("ssse3"))) size_t encode_ssse3(const uint8_t *data, size_t length, char *out) {
    return encode_blocks16(data, length, out);
}

// How many output bytes a road may still write.
inline size_t room_left(const xk::base64::Decoding &d) { return static_cast<size_t>(d.out_end - d.out); }

__attribute__((target("ssse3"))) void decode_ssse3(xk::base64::Decoding &d) {
    take_pure_digits(d, decode_blocks16(d.in + d.pos, d.length - d.pos, d.out, room_left(d)));
}

// ---- 32-byte blocks (AVX2): the same steps in both 16-byte lanes ----

__attribute__((target("avx2"), always_inline)) inline __m256i twice(__m128i lane) {
    return _mm256_broadcastsi128_si256(lane);
}

__attribute__((target("avx2"))) size_t encode_avx2(const uint8_t *data, size_t length, char *out) {
    if (length < 32) return encode_blocks16(data, length, out);        // spares the constants below
    const __m256i spread = _mm256_setr_epi32(0, 1, 2, 3, 3, 4, 5, 6);  // bytes 0-11 and 12-23 to the lanes
    const __m256i gather = twice(_mm_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10));
    const __m256i offsets =
        twice(_mm_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                            '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0));
    size_t i = 0;
    char *o = out;
    for (; length - i >= 32; i += 24, o += 32) {
        __m256i in = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(data + i));
        in = _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(in, spread), gather);
        __m256i first_third = _mm256_mulhi_epu16(_mm256_and_si256(in, _mm256_set1_epi32(0x0fc0fc00)),
                                                 _mm256_set1_epi32(0x04000040));
        __m256i second_fourth = _mm256_mullo_epi16(_mm256_and_si256(in, _mm256_set1_epi32(0x003f03f0)),
                                                   _mm256_set1_epi32(0x01000010));
        __m256i values = _mm256_or_si256(first_third, second_fourth);
        __m256i range = _mm256_subs_epu8(values, _mm256_set1_epi8(51));
        __m256i upper = _mm256_cmpgt_epi8(_mm256_set1_epi8(26), values);
        range = _mm256_or_si256(range, _mm256_and_si256(upper, _mm256_set1_epi8(13)));
        __m256i digits = _mm256_add_epi8(_mm256_shuffle_epi8(offsets, range), values);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(o), digits);
    }
    return i + encode_blocks16(data + i, length - i, o);
}

__attribute__((target("avx2"))) size_t decode_blocks32(const unsigned char *text, size_t length, uint8_t *out,
                                                       size_t room) {
    if (length < 32) return decode_blocks16(text, length, out, room);  // spares the constants below
    const __m256i low_classes = twice(low_nibble_classes());
    const __m256i high_classes = twice(high_nibble_classes());
    const __m256i offsets = twice(value_offsets());
    const __m256i join = twice(_mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
    const __m256i close_up = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);  // 24 bytes to the front
    size_t pos = 0, o = 0;
    for (; length - pos >= 32 && room - o >= 32; pos += 32, o += 24) {
        __m256i in = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(text + pos));
        __m256i high = _mm256_and_si256(_mm256_srli_epi32(in, 4), _mm256_set1_epi8(0x0f));
        __m256i low = _mm256_and_si256(in, _mm256_set1_epi8(0x0f));
        if (!_mm256_testz_si256(_mm256_shuffle_epi8(low_classes, low),
                                _mm256_shuffle_epi8(high_classes, high)))
            break;
        __m256i slot = _mm256_add_epi8(high, _mm256_cmpeq_epi8(in, _mm256_set1_epi8('/')));
        __m256i values = _mm256_add_epi8(in, _mm256_shuffle_epi8(offsets, slot));
        __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140));
        __m256i words = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
        __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(words, join), close_up);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + o), bytes);
    }
    // A block that failed may still have a pure first half; short text ends in 16-byte blocks.
    return pos + decode_blocks16(text + pos, length - pos, out + o, room - o);
}

// ---- 64-byte blocks (AVX-512 with VBMI byte permutes) ----

#define XK_AVX512 "avx512f,avx512bw,avx512vbmi"

struct ValueTable {
    uint8_t value[128];  // the six-bit value of every ASCII byte, 0x80 for no digit
};

constexpr ValueTable make_value_table() {
    ValueTable t{};
    for (int c = 0; c < 128; ++c) t.value[c] = 0x80;
    for (int v = 0; v < 64; ++v) t.value[static_cast<unsigned char>(kDigits[v])] = static_cast<uint8_t>(v);
    return t;
}

alignas(64) constexpr ValueTable kValueTable = make_value_table();

// ---- text in lines of one width, for the roads without byte compaction ----

bool is_digit(unsigned char c) { return c < 128 && kValueTable.value[c] != 0x80; }

__attribute__((target("avx2"))) bool decode_last16(const unsigned char *in, uint8_t *out) {
    return decode16(in, out);
}

__attribute__((target("avx2"))) void decode_lines(xk::base64::Decoding &d) {
    xk::base64::decode_lines<16, 16>(d, decode_blocks32, decode_last16, is_digit);
}

__attribute__((target("avx2"))) void decode_avx2(xk::base64::Decoding &d) {
    take_pure_digits(d, decode_blocks32(d.in + d.pos, d.length - d.pos, d.out, room_left(d)));
    decode_lines(d);
}

// Source byte of every output byte when four bytes are taken for each three (b1 b0 b2 b1).
struct GatherTable {
    uint8_t index[64];
};

constexpr GatherTable make_gather_table() {
    GatherTable t{};
    const int pattern[4] = {1, 0, 2, 1};
    for (int j = 0; j < 16; ++j)
        for (int k = 0; k < 4; ++k) t.index[4 * j + k] = static_cast<uint8_t>(3 * j + pattern[k]);
    return t;
}

// The three bytes of each joined 32-bit group, most significant first, closed up to 48 bytes.
constexpr GatherTable make_close_up_table() {
    GatherTable t{};
    for (int j = 0; j < 16; ++j)
        for (int k = 0; k < 3; ++k) t.index[3 * j + k] = static_cast<uint8_t>(4 * j + 2 - k);
    return t;
}

alignas(64) constexpr GatherTable kGather = make_gather_table();
alignas(64) constexpr GatherTable kCloseUp = make_close_up_table();

__attribute__((target(XK_AVX512))) size_t encode_avx512(const uint8_t *data, size_t length, char *out) {
    if (length < 64) return encode_avx2(data, length, out);
    const __m512i gather = _mm512_load_si512(kGather.index);
    const __m512i digits = _mm512_loadu_si512(kDigits);
    // Bit offsets of the four six-bit fields in each b1 b0 b2 b1 group: 10, 4, 22, 16 (+32 for the next).
    const __m512i fields = _mm512_set1_epi64(0x3036242a1016040a);
    size_t i = 0;
    char *o = out;
    for (; length - i >= 64; i += 48, o += 64) {
        __m512i in = _mm512_permutexvar_epi8(gather, _mm512_loadu_si512(data + i));
        __m512i values = _mm512_multishift_epi64_epi8(fields, in);  // low six bits pick the digit
        _mm512_storeu_si512(o, _mm512_permutexvar_epi8(values, digits));
    }
    return i + encode_avx2(data + i, length - i, o);
}

__attribute__((target(XK_AVX512))) size_t decode_blocks64(const unsigned char *text, size_t length,
                                                          uint8_t *out, size_t room) {
    if (length < 64) return decode_blocks32(text, length, out, room);
    const __m512i low_half = _mm512_load_si512(kValueTable.value);
    const __m512i high_half = _mm512_load_si512(kValueTable.value + 64);
    const __m512i close_up = _mm512_load_si512(kCloseUp.index);
    size_t pos = 0, o = 0;
    for (; length - pos >= 64 && room - o >= 48; pos += 64, o += 48) {
        __m512i in = _mm512_loadu_si512(text + pos);
        __m512i values = _mm512_permutex2var_epi8(low_half, in, high_half);  // by the low seven bits
        if (_mm512_movepi8_mask(_mm512_or_si512(in, values)) != 0) break;    // a byte >= 128 or no digit
        __m512i pairs = _mm512_maddubs_epi16(values, _mm512_set1_epi32(0x01400140));
        __m512i words = _mm512_madd_epi16(pairs, _mm512_set1_epi32(0x00011000));
        _mm512_mask_storeu_epi8(out + o, (uint64_t{1} << 48) - 1, _mm512_permutexvar_epi8(close_up, words));
    }
    return pos + decode_blocks32(text + pos, length - pos, out + o, room - o);
}

__attribute__((target(XK_AVX512))) void decode_avx512(xk::base64::Decoding &d) {
    take_pure_digits(d, decode_blocks64(d.in + d.pos, d.length - d.pos, d.out, room_left(d)));
    decode_lines(d);
}

// ---- 64-byte blocks with VBMI2 byte compaction: every length, and text with non-digits ----

#define XK_AVX512_VBMI2 "avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,bmi2,popcnt"

// The low n bits, for n from 0 to 64 (BZHI keeps the whole word for 64).
__attribute__((target("bmi2"), always_inline)) inline uint64_t low_bits(size_t n) {
    return _bzhi_u64(~uint64_t{0}, static_cast<unsigned>(n));
}

constexpr GatherTable make_iota_table() {
    GatherTable t{};
    for (int j = 0; j < 64; ++j) t.index[j] = static_cast<uint8_t>(j);
    return t;
}

alignas(64) constexpr GatherTable kIota = make_iota_table();

__attribute__((target(XK_AVX512_VBMI2), always_inline)) inline __m512i moved_up(__m512i index, size_t by) {
    return _mm512_add_epi8(index, _mm512_set1_epi8(static_cast<char>(by)));
}

// Lane j takes byte index[j] of the n < 64 bytes at p, or 0 where `keep` has no bit: read without
// touching a byte past p + n unless the whole input is shorter than 16 bytes (`before` bytes
// before p are readable too). A read past the input can land on the caller's newest stores (in
// the block allocated right after it, say) and wait for them: a short call took 1.7 times as long.
__attribute__((target(XK_AVX512_VBMI2), always_inline)) inline __m512i gather_exact(const uint8_t *p,
                                                                                    size_t n, size_t before,
                                                                                    __m512i index,
                                                                                    uint64_t keep) {
    __m512i loaded, moved = index;  // the loaded bytes, and the lanes the index names among them
    if (before + n >= 64) {
        loaded = _mm512_loadu_si512(p + n - 64), moved = moved_up(index, 64 - n);
    } else if (n < 16 && before + n < 16) {
        loaded = _mm512_zextsi128_si512(_mm_maskz_loadu_epi8(static_cast<__mmask16>(low_bits(n)), p));
    } else if (n <= 16 && before + n >= 16) {
        loaded = _mm512_zextsi128_si512(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p + n - 16)));
        moved = moved_up(index, 16 - n);
    } else if (n <= 32 && before + n >= 32) {
        loaded = _mm512_zextsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + n - 32)));
        moved = moved_up(index, 32 - n);
    } else {  // two loads of a width that meet, the second put above the first
        const size_t width = n <= 32 ? 16 : 32;
        loaded = n <= 32
                     ? _mm512_inserti32x4(
                           _mm512_zextsi128_si512(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p))),
                           _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + n - 16)), 1)
                     : _mm512_inserti64x4(
                           _mm512_zextsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(p))),
                           _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + n - 32)), 1);
        __mmask64 upper = _mm512_cmpge_epu8_mask(index, _mm512_set1_epi8(static_cast<char>(width)));
        moved = _mm512_mask_blend_epi8(upper, index, moved_up(index, 2 * width - n));
    }
    return _mm512_maskz_permutexvar_epi8(keep, moved, loaded);
}

// For each count n of 0 to 48 input bytes, the characters they make (whole groups of four) and,
// among these, the digits (the others are '=' padding), as byte masks.
struct LastBlockMasks {
    uint64_t digits[49];
    uint64_t chars[49];
    uint64_t gathered[49];  // the lanes of the gather that take one of the n bytes
};

constexpr uint64_t low_bits_constexpr(int n) { return n >= 64 ? ~uint64_t{0} : (uint64_t{1} << n) - 1; }

constexpr LastBlockMasks make_last_block_masks() {
    LastBlockMasks t{};
    for (int n = 0; n <= 48; ++n) {
        t.digits[n] = low_bits_constexpr((4 * n + 2) / 3);
        t.chars[n] = low_bits_constexpr((n + 2) / 3 * 4);
        for (int j = 0; j < 64; ++j)
            if (kGather.index[j] < n) t.gathered[n] |= uint64_t{1} << j;
    }
    return t;
}

constexpr LastBlockMasks kLastBlock = make_last_block_masks();

// Up to 48 bytes as their characters, a short last group padded with '='.
__attribute__((target(XK_AVX512_VBMI2), always_inline)) inline void encode_last(
    const uint8_t *data, size_t n, size_t before, char *out, __m512i gather, __m512i fields, __m512i digits) {
    __m512i in = gather_exact(data, n, before, gather, kLastBlock.gathered[n]);
    __m512i values = _mm512_multishift_epi64_epi8(fields, in);
    __m512i chars = _mm512_mask_permutexvar_epi8(_mm512_set1_epi8('='), kLastBlock.digits[n], values, digits);
    _mm512_mask_storeu_epi8(out, kLastBlock.chars[n], chars);
}

// Takes all of the data: whole 64-byte loads while they fit, then at most two masked blocks.
__attribute__((target(XK_AVX512_VBMI2), always_inline)) inline size_t encode_all_vbmi2(const uint8_t *data,
                                                                                       size_t length,
                                                                                       char *out) {
    const __m512i gather = _mm512_load_si512(kGather.index);
    const __m512i digits = _mm512_loadu_si512(kDigits);
    const __m512i fields = _mm512_set1_epi64(0x3036242a1016040a);  // as in encode_avx512
    size_t i = 0;
    for (; length - i >= 64; i += 48, out += 64) {
        __m512i in = _mm512_permutexvar_epi8(gather, _mm512_loadu_si512(data + i));
        _mm512_storeu_si512(out, _mm512_permutexvar_epi8(_mm512_multishift_epi64_epi8(fields, in), digits));
    }
    if (length - i > 48) {
        encode_last(data + i, 48, i, out, gather, fields, digits);
        i += 48;
        out += 64;
    }
    encode_last(data + i, length - i, i, out, gather, fields, digits);
    return length;
}

__attribute__((target(XK_AVX512_VBMI2))) size_t encode_vbmi2(const uint8_t *data, size_t length, char *out) {
    return encode_all_vbmi2(data, length, out);
}

// The vector work of a whole call, apart from the allocation so that it needs no stack: the
// call before it then saves no vector state and realigns no frame.
__attribute__((target(XK_AVX512_VBMI2), noinline)) xk_util_status encode_into_vbmi2(const uint8_t *data,
                                                                                    size_t length, char *text) {
    encode_all_vbmi2(data, length, text);
    return XK_OK;
}

xk_util_status encode_whole_vbmi2(const uint8_t *data, size_t length, char **out, size_t *out_len) {
    char *text = xk::base64::new_text(length, out, out_len);
    if (text == nullptr) return XK_ERR_NOMEM;
    return encode_into_vbmi2(data, length, text);
}

// Where the digits of a decoding wait until 64 of them make a block.
struct HeldDigits {
    __m512i values;  // the six-bit values, zero past fill
    size_t fill;
};

// Groups of four six-bit values as three bytes each; writes the first n (48 at most) at out, or
// no more: a full 64-byte store would overlap the next one, which costs more than the mask.
__attribute__((target(XK_AVX512_VBMI2), always_inline)) inline void put_groups(__m512i values, size_t n,
                                                                               uint8_t *out) {
    __m512i pairs = _mm512_maddubs_epi16(values, _mm512_set1_epi32(0x01400140));
    __m512i words = _mm512_madd_epi16(pairs, _mm512_set1_epi32(0x00011000));
    __m512i bytes = _mm512_permutexvar_epi8(_mm512_load_si512(kCloseUp.index), words);
    _mm512_mask_storeu_epi8(out, low_bits(n), bytes);
}

// A whole 64-byte store costs less than a masked one. It fits the output block while this many
// bytes of text are left (each 4 make 3 bytes), and the next block overwrites its last 16 bytes.
constexpr size_t kWholeStoreFits = 88;

// The 48 bytes of a block of 64 six-bit values, written whole when the block has room for 64.
__attribute__((target(XK_AVX512_VBMI2), always_inline)) inline void put_block(__m512i values, uint8_t *out,
                                                                              bool room_for_64) {
    if (!room_for_64) return put_groups(values, 48, out);
    __m512i pairs = _mm512_maddubs_epi16(values, _mm512_set1_epi32(0x01400140));
    __m512i words = _mm512_madd_epi16(pairs, _mm512_set1_epi32(0x00011000));
    _mm512_storeu_si512(out, _mm512_permutexvar_epi8(_mm512_load_si512(kCloseUp.index), words));
}

// Up to 64 bytes of text (bytes past the end read as 0, no digit): their six-bit values, and the
// lanes that hold no digit (a byte >= 128 or no digit shows in the top bit).
struct Block {
    __m512i values;
    uint64_t odd;
};

__attribute__((target(XK_AVX512_VBMI2), always_inline)) inline Block classify(const unsigned char *in,
                                                                              size_t left, __m512i low_half,
                                                                              __m512i high_half) {
    __m512i text = left >= 64 ? _mm512_loadu_si512(in) : _mm512_maskz_loadu_epi8(low_bits(left), in);
    __m512i values = _mm512_permutex2var_epi8(low_half, text, high_half);
    return {values, _mm512_movepi8_mask(_mm512_or_si512(text, values))};
}

// Trailing zero bits of a 128-bit mask, 128 when it is 0.
inline size_t trailing_zeros(unsigned __int128 v) {
    uint64_t low = static_cast<uint64_t>(v), high = static_cast<uint64_t>(v >> 64);
    if (low != 0) return static_cast<size_t>(__builtin_ctzll(low));
    return high != 0 ? 64 + static_cast<size_t>(__builtin_ctzll(high)) : 128;
}

// The low n bits of a 128-bit mask, for n from 0 to 127.
inline unsigned __int128 low_bits128(size_t n) { return (static_cast<unsigned __int128>(1) << n) - 1; }

// Decodes runs of digits that make whole groups, each followed by a run of other bytes, as text
// broken into lines comes (76 digits and LF for MIME, 64 digits and CR LF for PEM): every run decodes
// on its own, with no packing. Once a run has shown the shape of a line (its digits and the other
// bytes after them), the next lines are loaded where that shape puts them and only checked, so that
// no load waits for the classes of the block before.
// Stops before the first run whose digits do not make whole groups.
__attribute__((target(XK_AVX512_VBMI2), always_inline)) inline void decode_runs(const unsigned char *&in,
                                                                                size_t &left, uint8_t *&out,
                                                                                __m512i low_half,
                                                                                __m512i high_half) {
    size_t width = 0, stride = 0;  // the last run: its digits, and its digits and other bytes together
    while (left > 0) {
        if (width > 0 && stride < 128 && left >= 128) {  // a line's digits, then its other bytes
            const unsigned __int128 care = low_bits128(stride),
                                    expect = low_bits128(stride) ^ low_bits128(width);
            for (; left >= 128; in += stride, left -= stride, out += 3 * width / 4) {
                Block first = classify(in, 64, low_half, high_half),
                      second = classify(in + 64, 64, low_half, high_half);
                if (((static_cast<unsigned __int128>(second.odd) << 64 | first.odd) & care) != expect) break;
                put_groups(first.values, 3 * (width < 64 ? width : 64) / 4, out);
                if (width > 64) put_groups(second.values, 3 * (width - 64) / 4, out + 48);
            }
            if (left == 0) return;
        }
        Block first = classify(in, left, low_half, high_half);
        Block second = left > 64 ? classify(in + 64, left - 64, low_half, high_half)
                                 : Block{_mm512_setzero_si512(), ~uint64_t{0}};
        unsigned __int128 odd = static_cast<unsigned __int128>(second.odd) << 64 | first.odd;
        size_t run = trailing_zeros(odd);
        if (run % 4 != 0) return;
        size_t gap = run == 128 ? 0 : trailing_zeros(~(odd >> run));
        if (run > 0) put_groups(first.values, 3 * (run < 64 ? run : 64) / 4, out);
        if (run > 64) put_groups(second.values, 3 * (run - 64) / 4, out + 48);
        out += 3 * run / 4;
        width = run;
        stride = run + gap < left ? run + gap : left;
        in += stride;
        left -= stride;
    }
}

constexpr size_t kRunsWorthIt = 1024;

// Where packing left its output: the end of it, and the digits in the last group it wrote (0 when
// it wrote nothing).
struct Packed {
    uint8_t *out;
    int last_group;
};

// Decodes the whole rest of the text: each 64-byte block's digits are packed together (every
// other byte is skipped) and appended to the held digits; each 64 held digits become 48 bytes.
__attribute__((target(XK_AVX512_VBMI2), always_inline)) inline Packed pack_rest(const unsigned char *in,
                                                                                size_t left, uint8_t *out,
                                                                                __m512i low_half,
                                                                                __m512i high_half) {
    const __m512i iota = _mm512_load_si512(kIota.index);
    uint8_t *const start = out;
    HeldDigits held = {_mm512_setzero_si512(), 0};
    while (left > 0) {
        size_t step = left < 64 ? left : 64;
        __m512i text = step == 64 ? _mm512_loadu_si512(in) : _mm512_maskz_loadu_epi8(low_bits(step), in);
        in += step;
        left -= step;
        // Lanes past the text read as 0, no digit; a byte >= 128 or no digit shows in the top bit.
        __m512i values = _mm512_permutex2var_epi8(low_half, text, high_half);
        uint64_t digits = ~_mm512_movepi8_mask(_mm512_or_si512(text, values));
        size_t count = static_cast<size_t>(__builtin_popcountll(digits));
        if (held.fill == 0 && digits == low_bits(count)) {  // the digits lead the block: nothing to pack
            if (count < 64) {
                held = {_mm512_maskz_mov_epi8(digits, values), count};
                continue;
            }
            put_groups(values, 48, out);
            out += 48;
            continue;
        }
        // The packed digits, turned so that the first lands at lane fill: those up to lane 63 complete
        // the held block, the others (turned round to lane 0) start the next.
        __m512i packed = _mm512_maskz_compress_epi8(digits, values);
        __m512i turned = _mm512_permutexvar_epi8(
            _mm512_sub_epi8(iota, _mm512_set1_epi8(static_cast<char>(held.fill))), packed);
        __m512i joined = _mm512_mask_mov_epi8(held.values, ~uint64_t{0} << held.fill, turned);
        size_t fill = held.fill + count;
        if (fill < 64) {
            held = {joined, fill};
            continue;
        }
        put_groups(joined, 48, out);
        out += 48;
        held = {_mm512_maskz_mov_epi8(low_bits(fill - 64), turned), fill - 64};
    }
    if (held.fill == 0) return {out, out != start ? 4 : 0};
    size_t groups = (held.fill + 3) / 4;
    put_groups(held.values, 3 * groups, out);
    return {out + 3 * groups, held.fill % 4 == 0 ? 4 : static_cast<int>(held.fill % 4)};
}

__attribute__((target(XK_AVX512_VBMI2))) void decode_vbmi2(xk::base64::Decoding &d) {
    const __m512i low_half = _mm512_load_si512(kValueTable.value);
    const __m512i high_half = _mm512_load_si512(kValueTable.value + 64);
    const unsigned char *in = d.in + d.pos;
    size_t left = d.length - d.pos;
    uint8_t *out = d.out;
    // Reached where the clean pass met a block with other bytes among its digits. Short text is done
    // sooner by packing: finding runs waits on each block's classes.
    if (left >= kRunsWorthIt) decode_runs(in, left, out, low_half, high_half);
    Packed rest = pack_rest(in, left, out, low_half, high_half);
    if (rest.last_group != 0)
        d.last_group = rest.last_group;
    else if (out != d.out)
        d.last_group = 4;
    d.out = rest.out;
    d.pos = d.length;
}

// What a clean pass did: the input it took (all of the text when done, else a multiple of 4
// after which the general decoding takes over) and the bytes it wrote.
struct CleanPart {
    size_t taken;
    size_t made;
};

// Decodes clean text (padded or not) block by block, and short text with other bytes too, in one
// call: whole blocks of digits, then a last block whose digits lead; text shorter than the runs
// need has the rest packed. Longer text stops before its first block with a non-digit among digits.
__attribute__((target(XK_AVX512_VBMI2), always_inline)) inline CleanPart decode_clean(
    const unsigned char *text, size_t length, uint8_t *out) {
    const __m512i low_half = _mm512_load_si512(kValueTable.value);
    const __m512i high_half = _mm512_load_si512(kValueTable.value + 64);
    const unsigned char *in = text;
    uint8_t *o = out;
    size_t left = length;
    // Two blocks at a time while both have room for whole stores, with one test for both.
    for (; left >= 64 + kWholeStoreFits; in += 128, left -= 128, o += 96) {
        __m512i first = _mm512_loadu_si512(in), second = _mm512_loadu_si512(in + 64);
        __m512i first_values = _mm512_permutex2var_epi8(low_half, first, high_half);
        __m512i second_values = _mm512_permutex2var_epi8(low_half, second, high_half);
        __m512i seen =
            _mm512_ternarylogic_epi32(_mm512_or_si512(first, first_values), second, second_values, 0xFE);
        if (_mm512_movepi8_mask(seen) != 0) {  // as a line break in the second block: keep the first
            if (_mm512_movepi8_mask(_mm512_or_si512(first, first_values)) == 0) {
                put_block(first_values, o, true);
                in += 64, left -= 64, o += 48;
            }
            break;
        }
        put_block(first_values, o, true);
        put_block(second_values, o + 48, true);
    }
    for (; left > 0; in += 64, left -= 64, o += 48) {
        Block block = classify(in, left, low_half, high_half);
        if (block.odd == 0 && left >= 64) {
            put_block(block.values, o, left >= kWholeStoreFits);
            continue;
        }
        uint64_t digits = ~block.odd;  // lanes past the text are no digits
        size_t count = static_cast<size_t>(__builtin_popcountll(digits));
        if (left > 64 || digits != low_bits(count)) {
            if (length >= kRunsWorthIt) break;
            Packed rest = pack_rest(in, left, o, low_half, high_half);
            // a last group of k digits gives k - 1 bytes
            return {length, static_cast<size_t>(rest.out - out) - (4 - rest.last_group) % 4};
        }
        put_groups(_mm512_maskz_mov_epi8(digits, block.values), 3 * ((count + 3) / 4), o);
        // a last group of k digits gives k - 1 bytes
        return {length, static_cast<size_t>(o - out) + 3 * count / 4};
    }
    return {static_cast<size_t>(in - text), static_cast<size_t>(o - out)};
}

__attribute__((target(XK_AVX512_VBMI2))) xk_util_status decode_whole_vbmi2(const char *text, size_t length,
                                                                           uint8_t **out, size_t *out_len) {
    uint8_t *bytes = xk::base64::new_bytes(length, out, out_len);
    if (bytes == nullptr) return XK_ERR_NOMEM;
    const unsigned char *in = reinterpret_cast<const unsigned char *>(text);
    CleanPart clean = decode_clean(in, length, bytes);
    if (clean.taken == length) {
        *out_len = clean.made;
        return XK_OK;
    }
    xk::base64::Decoding d = {in, length, clean.taken, bytes + clean.made, bytes + *out_len, 4};
    return xk::base64::decode_rest(d, bytes, out_len);
}

}  // namespace

namespace xk::base64 {

const Road kSsse3Road = {"ssse3", encode_ssse3, nullptr, decode_ssse3, nullptr};
const Road kAvx2Road = {"avx2", encode_avx2, nullptr, decode_avx2, nullptr};
const Road kAvx512Road = {"avx512", encode_avx512, nullptr, decode_avx512, nullptr};
const Road kAvx512Vbmi2Road = {"avx512_vbmi2", encode_vbmi2, encode_whole_vbmi2, decode_vbmi2,
                               decode_whole_vbmi2};

}  // namespace xk::base64

#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#endif
