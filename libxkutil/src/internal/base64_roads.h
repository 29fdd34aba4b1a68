/* SPDX-License-Identifier: MIT */
// The vector roads of the base64 converters and the hidden choice of road (not exported).
// A road converts what it can in vector blocks; the scalar code in src/base64 does the rest,
// so every road gives the same output as the scalar one.
#ifndef XK_INTERNAL_BASE64_ROADS_H
#define XK_INTERNAL_BASE64_ROADS_H

#include <stddef.h>
#include <stdint.h>

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

// What a road's one pass over clean text did: the input it took (all of the text when done, else
// a multiple of 4 after which decode takes over) and the bytes it wrote.
struct CleanPart {
    size_t taken;
    size_t made;
};

struct Road {
    const char *name;
    // Encodes from the start of data, reading no byte at or past data + length, and returns the
    // bytes taken: either a multiple of 3 (4 characters written per 3 bytes), or all of length
    // with the last group and its padding written too.
    size_t (*encode)(const uint8_t *data, size_t length, char *out);
    // Decodes from d.pos as far as it can and leaves d at a group boundary; it may stop anywhere,
    // even before the first byte.
    void (*decode)(Decoding &d);
    // Decodes from the start of text as long as its digits all come first. NULL on roads without it.
    CleanPart (*decode_clean)(const unsigned char *text, size_t length, uint8_t *out);
};

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
