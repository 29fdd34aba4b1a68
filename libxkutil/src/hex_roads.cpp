// SPDX-License-Identifier: MIT
// SSSE3 and AVX2 (x86-64, chosen at run time) and NEON (AArch64) blocks for the hex text converters.
#include "internal/hex_roads.h"

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__aarch64__)
#include <arm_neon.h>
#endif

namespace {

bool g_allowed = true;  // only tests change it, before converting

#if defined(__x86_64__)

__attribute__((target("ssse3"))) size_t encode_ssse3(char *out, const uint8_t *data, size_t n) {
    const __m128i digits =
        _mm_setr_epi8('0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a', 'b', 'c', 'd', 'e', 'f');
    const __m128i low_nibble = _mm_set1_epi8(0x0F);
    size_t done = 0;
    for (; done + 16 <= n; done += 16) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + done));
        __m128i high = _mm_shuffle_epi8(digits, _mm_and_si128(_mm_srli_epi16(bytes, 4), low_nibble));
        __m128i low = _mm_shuffle_epi8(digits, _mm_and_si128(bytes, low_nibble));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 2 * done), _mm_unpacklo_epi8(high, low));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 2 * done + 16), _mm_unpackhi_epi8(high, low));
    }
    return done;
}

// The values of 16 characters, and in *valid a mask of those that are hex digits.
__attribute__((target("ssse3"))) __m128i nibbles_ssse3(__m128i chars, __m128i *valid) {
    __m128i digit = _mm_sub_epi8(chars, _mm_set1_epi8('0'));
    __m128i is_digit = _mm_cmpeq_epi8(_mm_min_epu8(digit, _mm_set1_epi8(9)), digit);
    __m128i letter = _mm_sub_epi8(_mm_or_si128(chars, _mm_set1_epi8(0x20)), _mm_set1_epi8('a'));
    __m128i is_letter = _mm_cmpeq_epi8(_mm_min_epu8(letter, _mm_set1_epi8(5)), letter);
    *valid = _mm_or_si128(is_digit, is_letter);
    return _mm_or_si128(_mm_and_si128(digit, is_digit),
                        _mm_and_si128(_mm_add_epi8(letter, _mm_set1_epi8(10)), is_letter));
}

__attribute__((target("ssse3"))) size_t decode_ssse3(uint8_t *out, const unsigned char *digits,
                                                     size_t pairs) {
    const __m128i weights = _mm_set1_epi16(0x0110);  // 16 for the first digit of a pair, 1 for the second
    size_t done = 0;
    for (; done + 16 <= pairs; done += 16) {
        __m128i valid_a, valid_b;
        __m128i a =
            nibbles_ssse3(_mm_loadu_si128(reinterpret_cast<const __m128i *>(digits + 2 * done)), &valid_a);
        __m128i b = nibbles_ssse3(_mm_loadu_si128(reinterpret_cast<const __m128i *>(digits + 2 * done + 16)),
                                  &valid_b);
        if (_mm_movemask_epi8(_mm_and_si128(valid_a, valid_b)) != 0xFFFF) break;
        __m128i bytes = _mm_packus_epi16(_mm_maddubs_epi16(a, weights), _mm_maddubs_epi16(b, weights));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + done), bytes);
    }
    return done;
}

__attribute__((target("avx2"))) __m256i nibbles_avx2(__m256i chars, __m256i *valid) {
    __m256i digit = _mm256_sub_epi8(chars, _mm256_set1_epi8('0'));
    __m256i is_digit = _mm256_cmpeq_epi8(_mm256_min_epu8(digit, _mm256_set1_epi8(9)), digit);
    __m256i letter = _mm256_sub_epi8(_mm256_or_si256(chars, _mm256_set1_epi8(0x20)), _mm256_set1_epi8('a'));
    __m256i is_letter = _mm256_cmpeq_epi8(_mm256_min_epu8(letter, _mm256_set1_epi8(5)), letter);
    *valid = _mm256_or_si256(is_digit, is_letter);
    return _mm256_or_si256(_mm256_and_si256(digit, is_digit),
                           _mm256_and_si256(_mm256_add_epi8(letter, _mm256_set1_epi8(10)), is_letter));
}

// 32 pairs per step; the 16-pair step of SSSE3 finishes what is left.
__attribute__((target("avx2"))) size_t decode_avx2(uint8_t *out, const unsigned char *digits, size_t pairs) {
    const __m256i weights = _mm256_set1_epi16(0x0110);
    size_t done = 0;
    for (; done + 32 <= pairs; done += 32) {
        __m256i valid_a, valid_b;
        __m256i a =
            nibbles_avx2(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(digits + 2 * done)), &valid_a);
        __m256i b = nibbles_avx2(
            _mm256_loadu_si256(reinterpret_cast<const __m256i *>(digits + 2 * done + 32)), &valid_b);
        if (_mm256_movemask_epi8(_mm256_and_si256(valid_a, valid_b)) != -1) break;
        __m256i packed =
            _mm256_packus_epi16(_mm256_maddubs_epi16(a, weights), _mm256_maddubs_epi16(b, weights));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + done), _mm256_permute4x64_epi64(packed, 0xD8));
    }
    return done + decode_ssse3(out + done, digits + 2 * done, pairs - done);
}

bool has_vector_road() { return __builtin_cpu_supports("ssse3"); }
size_t encode_vector(char *out, const uint8_t *data, size_t n) { return encode_ssse3(out, data, n); }
size_t decode_vector(uint8_t *out, const unsigned char *digits, size_t pairs) {
    return __builtin_cpu_supports("avx2") ? decode_avx2(out, digits, pairs)
                                          : decode_ssse3(out, digits, pairs);
}

#elif defined(__aarch64__)

bool has_vector_road() { return true; }

size_t encode_vector(char *out, const uint8_t *data, size_t n) {
    static const uint8_t kDigits[16] = {'0', '1', '2', '3', '4', '5', '6', '7',
                                        '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    const uint8x16_t digits = vld1q_u8(kDigits);
    size_t done = 0;
    for (; done + 16 <= n; done += 16) {
        uint8x16_t bytes = vld1q_u8(data + done);
        uint8x16x2_t text = {{vqtbl1q_u8(digits, vshrq_n_u8(bytes, 4)),
                              vqtbl1q_u8(digits, vandq_u8(bytes, vdupq_n_u8(0x0F)))}};
        vst2q_u8(reinterpret_cast<uint8_t *>(out + 2 * done), text);
    }
    return done;
}

size_t decode_vector(uint8_t *out, const unsigned char *digits, size_t pairs) {
    size_t done = 0;
    for (; done + 16 <= pairs; done += 16) {
        uint8x16x2_t chars = vld2q_u8(digits + 2 * done);  // first digits, second digits
        uint8x16_t value[2];
        uint8x16_t valid = vdupq_n_u8(0xFF);
        for (int k = 0; k < 2; ++k) {
            uint8x16_t digit = vsubq_u8(chars.val[k], vdupq_n_u8('0'));
            uint8x16_t is_digit = vcleq_u8(digit, vdupq_n_u8(9));
            uint8x16_t letter = vsubq_u8(vorrq_u8(chars.val[k], vdupq_n_u8(0x20)), vdupq_n_u8('a'));
            uint8x16_t is_letter = vcleq_u8(letter, vdupq_n_u8(5));
            value[k] = vbslq_u8(is_digit, digit, vaddq_u8(letter, vdupq_n_u8(10)));
            valid = vandq_u8(valid, vorrq_u8(is_digit, is_letter));
        }
        if (vminvq_u8(valid) != 0xFF) break;
        vst1q_u8(out + done, vorrq_u8(vshlq_n_u8(value[0], 4), value[1]));
    }
    return done;
}

#else

bool has_vector_road() { return false; }
size_t encode_vector(char *, const uint8_t *, size_t) { return 0; }
size_t decode_vector(uint8_t *, const unsigned char *, size_t) { return 0; }

#endif

}  // namespace

namespace xk::hex {

size_t encode_blocks(char *out, const uint8_t *data, size_t n) {
    return g_allowed && has_vector_road() ? encode_vector(out, data, n) : 0;
}

size_t decode_blocks(uint8_t *out, const unsigned char *digits, size_t pairs) {
    return g_allowed && has_vector_road() ? decode_vector(out, digits, pairs) : 0;
}

void allow_vector_roads(bool allowed) { g_allowed = allowed; }
bool vector_road_available() { return has_vector_road(); }

}  // namespace xk::hex
