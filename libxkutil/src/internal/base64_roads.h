// The vector roads of the base64 converters and the hidden choice of road (not exported).
// A road converts only what it can do in whole vector blocks; the scalar code in src/base64
// does the rest, so every road gives the same output as the scalar one.
#ifndef XK_INTERNAL_BASE64_ROADS_H
#define XK_INTERNAL_BASE64_ROADS_H

#include <stddef.h>
#include <stdint.h>

namespace xk::base64 {

struct Road {
    const char *name;
    // Encodes whole three-byte groups from the start of data, reading no byte at or past
    // data + length; returns the bytes taken (a multiple of 3) and writes 4 characters per 3.
    size_t (*encode)(const uint8_t *data, size_t length, char *out);
    // Decodes whole blocks of pure digits from the start of text, stopping before the first
    // block holding any other byte, or when less than a block of input or of room (bytes
    // writable at out) remains; returns the bytes taken (a multiple of 4), 3 output bytes per 4.
    size_t (*decode)(const unsigned char *text, size_t length, uint8_t *out, size_t room);
};

enum RoadId { kScalar, kSsse3, kAvx2, kAvx512, kNeon, kRoadCount };

// The road with that id when this build has it and this processor runs it, else nullptr.
const Road *available_road(RoadId id);

// Makes every later conversion take that road; false (nothing changed) when it is unavailable.
bool force_road(RoadId id);

// Back to the fastest road available; conversions choose it by themselves on first use.
void use_best_road();

// The road conversions take now.
const Road *current_road();

#if defined(__x86_64__)
extern const Road kSsse3Road, kAvx2Road, kAvx512Road;
#endif
#if defined(__aarch64__)
extern const Road kNeonRoad;
#endif

}  // namespace xk::base64

#endif
