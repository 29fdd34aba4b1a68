#include "xk/base64.h"

#include <stdlib.h>
#include <string.h>

namespace {
[[maybe_unused]] constexpr const char *kSource = "src/base64";

constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Every 12-bit value as its two digits, so three input bytes take two lookups.
struct DigitPairs {
    char pair[4096][2];
};

constexpr DigitPairs make_digit_pairs() {
    DigitPairs t{};
    for (int v = 0; v < 4096; ++v) {
        t.pair[v][0] = kDigits[v >> 6];
        t.pair[v][1] = kDigits[v & 63];
    }
    return t;
}

constexpr DigitPairs kPairs = make_digit_pairs();

// The 6-bit value of every byte, or kNotDigit. Covering all 256 values spares the range test.
constexpr uint8_t kNotDigit = 0xff;

struct DigitValues {
    uint8_t value[256];
};

constexpr DigitValues make_digit_values() {
    DigitValues t{};
    for (int c = 0; c < 256; ++c) t.value[c] = kNotDigit;
    for (int v = 0; v < 64; ++v) t.value[static_cast<unsigned char>(kDigits[v])] = static_cast<uint8_t>(v);
    return t;
}

constexpr DigitValues kValues = make_digit_values();

inline uint64_t load_big_endian64(const uint8_t *p) {
    uint64_t w;
    memcpy(&w, p, sizeof w);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    w = __builtin_bswap64(w);
#endif
    return w;
}

inline void put_pair(char *out, uint32_t twelve_bits) { memcpy(out, kPairs.pair[twelve_bits], 2); }

// Writes the 24 bits of v as three bytes, most significant first.
inline void put_three(uint8_t *out, uint32_t v) {
    out[0] = static_cast<uint8_t>(v >> 16);
    out[1] = static_cast<uint8_t>(v >> 8);
    out[2] = static_cast<uint8_t>(v);
}

// Bytes to take back after the last group: a group of k digits carries only 6k bits.
// A single digit cannot make up even one byte, so that group yields nothing at all rather
// than a byte whose low two bits were never given.
constexpr size_t kUnusedTail[5] = {0, 3, 2, 1, 0};  // by digits in the last group

}  // namespace

extern "C" {

size_t xk_util_to_base64_size(size_t n) { return 4 * (n / 3 + (n % 3 != 0 ? 1 : 0)); }

xk_util_status xk_util_base64_encode(const uint8_t *data, size_t length, char **out, size_t *out_len) {
    size_t rest = length % 3;
    size_t whole = length - rest;
    size_t size = whole + whole / 3 + (rest != 0 ? 4 : 0);
    *out_len = size;
    char *text = static_cast<char *>(malloc(size));
    *out = text;
    if (text == nullptr) return XK_ERR_NOMEM;

    char *o = text;
    size_t i = 0;
    // Six bytes give eight digits; one unaligned 8-byte read serves them while 8 bytes remain.
    for (; i + 8 <= length; i += 6, o += 8) {
        uint64_t w = load_big_endian64(data + i);
        put_pair(o, static_cast<uint32_t>(w >> 52) & 0xfff);
        put_pair(o + 2, static_cast<uint32_t>(w >> 40) & 0xfff);
        put_pair(o + 4, static_cast<uint32_t>(w >> 28) & 0xfff);
        put_pair(o + 6, static_cast<uint32_t>(w >> 16) & 0xfff);
    }
    for (; i < whole; i += 3, o += 4) {
        uint32_t v = uint32_t{data[i]} << 16 | uint32_t{data[i + 1]} << 8 | data[i + 2];
        put_pair(o, v >> 12);
        put_pair(o + 2, v & 0xfff);
    }
    if (rest != 0) {
        uint32_t v = uint32_t{data[i]} << 16 | (rest == 2 ? uint32_t{data[i + 1]} << 8 : 0);
        put_pair(o, v >> 12);
        o[2] = rest == 2 ? kDigits[(v >> 6) & 63] : '=';
        o[3] = '=';
    }
    return XK_OK;
}

xk_util_status xk_util_base64_decode(const char *text, size_t length, uint8_t **out, size_t *out_len) {
    // Room for three bytes per started block of four input bytes, so that text whose length is not
    // a multiple of four (unpadded, or with skipped bytes) still fits: every group but the last
    // spans at least four input bytes, so no more groups start than there are started blocks.
    size_t capacity = 3 * (length / 4 + (length % 4 != 0 ? 1 : 0));
    *out_len = capacity;
    uint8_t *bytes = static_cast<uint8_t *>(malloc(capacity));
    *out = bytes;
    if (bytes == nullptr) return XK_ERR_NOMEM;

    const auto *in = reinterpret_cast<const unsigned char *>(text);
    uint8_t *o = bytes;
    size_t pos = 0;
    int last_group = 4;  // digits in the last group written; a full group gives nothing back
    while (pos < length) {
        if (length - pos >= 4) {
            uint32_t d0 = kValues.value[in[pos]], d1 = kValues.value[in[pos + 1]];
            uint32_t d2 = kValues.value[in[pos + 2]], d3 = kValues.value[in[pos + 3]];
            if (((d0 | d1 | d2 | d3) & 0x80) == 0) {
                put_three(o, d0 << 18 | d1 << 12 | d2 << 6 | d3);
                o += 3;
                pos += 4;
                continue;
            }
        }
        // A group interrupted by non-digits, or the end of the text: collect digit by digit.
        uint32_t slots = 0;
        int k = 0;
        while (k < 4 && pos < length) {
            uint8_t d = kValues.value[in[pos++]];
            if (d == kNotDigit) continue;
            slots |= uint32_t{d} << (18 - 6 * k);
            ++k;
        }
        if (k == 0) break;
        put_three(o, slots);
        o += 3;
        last_group = k;
    }
    o -= kUnusedTail[last_group];
    *out_len = static_cast<size_t>(o - bytes);
    return XK_OK;
}

}  // extern "C"
