// SPDX-License-Identifier: MIT
#include "xk/base64.h"

#include <stdlib.h>
#include <string.h>

#include "internal/base64_roads.h"
#include "internal/bytes.h"
#include "internal/checked.h"

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

using xk::load_big_endian64;
using xk::base64::Decoding;
using xk::base64::Road;
using xk::base64::RoadId;

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

// The scalar road takes nothing in vector blocks: the scalar code below does all the work.
size_t encode_no_blocks(const uint8_t *, size_t, char *) { return 0; }
void decode_no_blocks(Decoding &) {}

const Road kScalarRoad = {"scalar", encode_no_blocks, nullptr, decode_no_blocks, nullptr};

#if defined(__x86_64__)
bool has_avx512_vbmi() {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi");
}
#endif

const Road *road_if_runs(RoadId id) {
#if defined(__x86_64__)
    __builtin_cpu_init();
    switch (id) {
        case xk::base64::kSsse3: return __builtin_cpu_supports("ssse3") ? &xk::base64::kSsse3Road : nullptr;
        case xk::base64::kAvx2: return __builtin_cpu_supports("avx2") ? &xk::base64::kAvx2Road : nullptr;
        case xk::base64::kAvx512: return has_avx512_vbmi() ? &xk::base64::kAvx512Road : nullptr;
        case xk::base64::kAvx512Vbmi2:
            return has_avx512_vbmi() && __builtin_cpu_supports("avx512vbmi2") &&
                           __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("bmi2")
                       ? &xk::base64::kAvx512Vbmi2Road
                       : nullptr;
        default: break;
    }
#endif
#if defined(__aarch64__)
    if (id == xk::base64::kNeon) return &xk::base64::kNeonRoad;
#endif
    return id == xk::base64::kScalar ? &kScalarRoad : nullptr;
}

// Called once per process, and out of line: the short calls stay small.
[[gnu::cold, gnu::noinline]] const Road *fastest_road() {
    for (int id = xk::base64::kRoadCount - 1; id > xk::base64::kScalar; --id)
        if (const Road *road = road_if_runs(static_cast<RoadId>(id))) return road;
    return &kScalarRoad;
}

// The road is a property of the processor, chosen once on first use; racing first calls all
// store the same pointer, so a plain atomic pointer suffices.
const Road *g_road = nullptr;

inline const Road *road() {
    const Road *road = __atomic_load_n(&g_road, __ATOMIC_ACQUIRE);
    if (road != nullptr) return road;
    road = fastest_road();
    __atomic_store_n(&g_road, road, __ATOMIC_RELEASE);
    return road;
}

// Decodes scalar groups up to and including the first one that meets a non-digit or the end of
// the text, so that the vector blocks can resume right after the bytes that stopped them.
void decode_groups(Decoding &d) {
    const unsigned char *in = d.in;
    while (d.pos < d.length) {
        if (d.length - d.pos >= 4) {
            uint32_t d0 = kValues.value[in[d.pos]], d1 = kValues.value[in[d.pos + 1]];
            uint32_t d2 = kValues.value[in[d.pos + 2]], d3 = kValues.value[in[d.pos + 3]];
            if (((d0 | d1 | d2 | d3) & 0x80) == 0) {
                put_three(d.out, d0 << 18 | d1 << 12 | d2 << 6 | d3);
                d.out += 3;
                d.pos += 4;
                d.last_group = 4;
                continue;
            }
        }
        // A group interrupted by non-digits, or the end of the text: collect digit by digit.
        uint32_t slots = 0;
        int k = 0;
        while (k < 4 && d.pos < d.length) {
            uint8_t v = kValues.value[in[d.pos++]];
            if (v == kNotDigit) continue;
            slots |= uint32_t{v} << (18 - 6 * k);
            ++k;
        }
        if (k == 0) return;  // only non-digits remained: the text is used up
        put_three(d.out, slots);
        d.out += 3;
        d.last_group = k;
        return;
    }
}

// Decodes with the road's blocks and the scalar code in turn.
xk_util_status decode_in_parts(const char *text, size_t length, uint8_t **out, size_t *out_len) {
    uint8_t *bytes = xk::base64::new_bytes(length, out, out_len);
    if (bytes == nullptr) return XK_ERR_NOMEM;
    Decoding d = {reinterpret_cast<const unsigned char *>(text), length, 0, bytes, bytes + *out_len, 4};
    return xk::base64::decode_rest(d, bytes, out_len);
}

// Encodes with the road's blocks, then the scalar code from where they stopped.
xk_util_status encode_in_parts(const uint8_t *data, size_t length, char **out, size_t *out_len) {
    char *text = xk::base64::new_text(length, out, out_len);
    if (text == nullptr) return XK_ERR_NOMEM;
    size_t i = road()->encode(data, length, text);
    if (i == length) return XK_OK;
    char *o = text + i / 3 * 4;
    size_t whole = length - length % 3;
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
    if (i < length) {  // one or two bytes left, unless the road wrote the last group itself
        bool two = length - i == 2;
        uint32_t v = uint32_t{data[i]} << 16 | (two ? uint32_t{data[i + 1]} << 8 : 0);
        put_pair(o, v >> 12);
        o[2] = two ? kDigits[(v >> 6) & 63] : '=';
        o[3] = '=';
    }
    return XK_OK;
}

}  // namespace

namespace xk::base64 {

const Road *available_road(RoadId id) { return road_if_runs(id); }

bool force_road(RoadId id) {
    const Road *road = road_if_runs(id);
    if (road == nullptr) return false;
    __atomic_store_n(&g_road, road, __ATOMIC_RELEASE);
    return true;
}

void use_best_road() { __atomic_store_n(&g_road, fastest_road(), __ATOMIC_RELEASE); }

const Road *current_road() { return road(); }

xk_util_status decode_rest(Decoding &d, const uint8_t *bytes, size_t *out_len) {
    const Road *vector = road();
    while (d.pos < d.length) {
        vector->decode(d);
        decode_groups(d);
    }
    d.out -= kUnusedTail[d.last_group];
    *out_len = static_cast<size_t>(d.out - bytes);
    return XK_OK;
}

}  // namespace xk::base64

extern "C" {

size_t xk_util_to_base64_size(size_t n) {
    size_t size = SIZE_MAX;
    return xk::base64::text_size(n, &size) ? size : SIZE_MAX;
}

xk_util_status xk_util_base64_encode(const uint8_t *data, size_t length, char **out, size_t *out_len) {
    const Road *vector = road();
    return (vector->encode_whole != nullptr ? vector->encode_whole : encode_in_parts)(data, length, out,
                                                                                      out_len);
}

xk_util_status xk_util_base64_decode(const char *text, size_t length, uint8_t **out, size_t *out_len) {
    const Road *vector = road();
    return (vector->decode_whole != nullptr ? vector->decode_whole : decode_in_parts)(text, length, out,
                                                                                      out_len);
}

}  // extern "C"
