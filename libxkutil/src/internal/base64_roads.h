/* SPDX-License-Identifier: MIT */
// The vector roads of the base64 converters and the hidden choice of road (not exported).
// A road converts what it can in vector blocks; the scalar code in src/base64 does the rest,
// so every road gives the same output as the scalar one.
#ifndef XK_INTERNAL_BASE64_ROADS_H
#define XK_INTERNAL_BASE64_ROADS_H

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include "internal/checked.h"
#include "xk/base64.h"

namespace xk::base64 {

// Where a decoding stands. Between steps it is always at a group boundary: the digits taken so
// far form whole groups of four, except that the last group written may be short when the text
// is used up.
struct Decoding {
    const unsigned char *in;
    size_t length;
    size_t pos;        // the next input byte
    uint8_t *out;      // the next output byte
    uint8_t *out_end;  // one past the output block
    int last_group;    // digits in the last group written; a full group gives nothing back
};

struct Road {
    const char *name;
    // Encodes from the start of data, reading no byte at or past data + length, and returns the
    // bytes taken: either a multiple of 3 (4 characters written per 3 bytes), or all of length
    // with the last group and its padding written too.
    size_t (*encode)(const uint8_t *data, size_t length, char *out);
    // The whole of xk_util_base64_encode in one call, for a road whose encode takes any length
    // (short calls then make no second call); NULL on the others.
    xk_util_status (*encode_whole)(const uint8_t *data, size_t length, char **out, size_t *out_len);
    // Decodes from d.pos as far as it can and leaves d at a group boundary; it may stop anywhere,
    // even before the first byte.
    void (*decode)(Decoding &d);
    // The whole of xk_util_base64_decode in one call, for a road that decodes the common text in
    // one pass; NULL on the others.
    xk_util_status (*decode_whole)(const char *text, size_t length, uint8_t **out, size_t *out_len);
};

// made x ceil(length / from): the size of length bytes converted from groups of `from` bytes to
// groups of `made`; false when it does not fit a size_t.
inline bool group_size(size_t length, size_t from, size_t made, size_t *size) {
    return xk::checked::mul(length / from + (length % from != 0 ? 1 : 0), made, size);
}

// The size of the text of length bytes, 4 * ceil(length / 3); false when it does not fit a size_t.
inline bool text_size(size_t length, size_t *size) { return group_size(length, 3, 4, size); }

// The block for the text of length bytes: sets *out_len to its size (SIZE_MAX when that does not
// fit a size_t) and *out to the block, NULL when there is none.
inline char *new_text(size_t length, char **out, size_t *out_len) {
    size_t size = SIZE_MAX;
    bool fits = text_size(length, &size);
    *out_len = size;
    *out = fits ? static_cast<char *>(malloc(size)) : nullptr;  // no text of SIZE_MAX + 1 bytes or more
    return *out;
}

// The block for the bytes of text of length bytes: room for three bytes per started block of four
// input bytes, so that text whose length is not a multiple of four (unpadded, or with skipped bytes)
// still fits: every group but the last spans at least four input bytes, so no more groups start than
// there are started blocks. Sets *out_len to that size and *out to the block, NULL when there is none.
// The length itself is the caller's promise of that many readable bytes.
inline uint8_t *new_bytes(size_t length, uint8_t **out, size_t *out_len) {
    size_t capacity = SIZE_MAX;
    bool fits = group_size(length, 4, 3, &capacity);
    *out_len = capacity;
    *out = fits ? static_cast<uint8_t *>(malloc(capacity)) : nullptr;
    return *out;
}

// Decodes the rest of the text from where d stands, in the output block that starts at bytes,
// with the current road's blocks and the scalar code, and sets *out_len to the bytes decoded.
xk_util_status decode_rest(Decoding &d, const uint8_t *bytes, size_t *out_len);

// Text broken into lines of one width (MIME: 76 digits and LF; PEM: 64 digits and CR LF), once a
// road's blocks have stopped at a line's end: the rest of the line, then each next line that has the
// same digits followed by the same one or two other bytes, decode as whole runs, the breaks skipped
// where the first one was. Stops, at a group boundary, before the first line that differs. The road
// gives `blocks` (whole blocks of pure digits: text, length, out, room -> the input taken), `last`
// (the kLast digits at its input, writing kLastWrites bytes; false when one is no digit) and its
// digit test. A run's digits after its whole blocks are decoded as the kLast digits that end the run,
// which writes the bytes of the digits before them again.
template <size_t kLast, size_t kLastWrites, typename Blocks, typename Last, typename IsDigit>
void decode_lines(Decoding &d, Blocks blocks, Last last, IsDigit is_digit) {
    const unsigned char *in = d.in;
    auto digits_from = [&](size_t pos) {
        size_t at = pos;
        while (at < d.length && is_digit(in[at])) ++at;
        return at - pos;
    };
    // The digits in [from, to), a multiple of 4, to d.out; false (what was written past d.out then
    // being scratch) when a byte is no digit or the room runs out.
    auto run = [&](size_t from, size_t to) {
        const size_t n = to - from, room = static_cast<size_t>(d.out_end - d.out);
        const size_t taken = blocks(in + from, n, d.out, room);
        if (taken == n) return true;
        const ptrdiff_t at = (static_cast<ptrdiff_t>(n) - static_cast<ptrdiff_t>(kLast)) / 4 * 3;
        if (n - taken >= kLast || to < kLast ||
            at + static_cast<ptrdiff_t>(kLastWrites) > static_cast<ptrdiff_t>(room))
            return false;
        return last(in + to - kLast, d.out + at);
    };
    const size_t rest = digits_from(d.pos), line_end = d.pos + rest;
    size_t gap = 0;
    while (gap < 3 && line_end + gap < d.length && !is_digit(in[line_end + gap])) ++gap;
    const size_t width = gap > 0 && gap < 3 ? digits_from(line_end + gap) : 0;
    if (rest % 4 != 0 || width % 4 != 0 || width < kLast) return;
    const unsigned char *first_break = in + line_end;
    for (size_t digits = rest, end = line_end;;) {
        if (!run(d.pos, end)) return;
        d.out += digits / 4 * 3;
        d.pos = end + gap;
        d.last_group = 4;
        digits = width, end = d.pos + width;
        if (d.length - d.pos < width + gap || in[end] != first_break[0] ||
            (gap == 2 && in[end + 1] != first_break[1]))
            return;
    }
}

// A road that decodes only whole blocks of pure digits: moves d past the bytes it took.
inline void take_pure_digits(Decoding &d, size_t taken) {
    if (taken == 0) return;
    d.pos += taken;
    d.out += taken / 4 * 3;
    d.last_group = 4;
}

enum RoadId { kScalar, kSsse3, kAvx2, kAvx512, kAvx512Vbmi2, kNeon, kRoadCount };

// The road with that id when this build has it and this processor runs it, else nullptr.
const Road *available_road(RoadId id);

// Makes every later conversion take that road; false (nothing changed) when it is unavailable.
bool force_road(RoadId id);

// Back to the fastest road available; conversions choose it by themselves on first use.
void use_best_road();

// The road conversions take now.
const Road *current_road();

#if defined(__x86_64__)
extern const Road kSsse3Road, kAvx2Road, kAvx512Road, kAvx512Vbmi2Road;
#endif
#if defined(__aarch64__)
extern const Road kNeonRoad;
#endif

}  // namespace xk::base64

#endif
