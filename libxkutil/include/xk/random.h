/* SPDX-License-Identifier: MIT */
/** @file
 * A fast, seedable, non-cryptographic 64-bit pseudo-random generator with caller-held state.
 *
 * @code
 * xk_util_prng_state state;
 * uint64_t draw = 0, nonce[4];
 * xk_util_seed_prng(&state, 42, 0);          // the same seeds give the same sequence
 * xk_util_prng(&state, &draw);
 * xk_util_prng_fill(&state, nonce, sizeof nonce);
 * @endcode */
#ifndef XK_RANDOM_H
#define XK_RANDOM_H

#include <stddef.h>
#include <stdint.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Generator state, owned by the caller; meaningful only after xk_util_seed_prng. */
typedef struct xk_util_prng_state {
    uint32_t index;     /**< position of the most recently produced word in words, 0..63 */
    uint64_t weyl;      /**< Weyl-sequence accumulator */
    uint64_t words[64]; /**< circular array of the xorshift recurrence */
} xk_util_prng_state;

/** (Re)seeds the state; equal seed pairs give equal sequences.
 * @param state the generator
 * @param seed the first seed
 * @param second_seed the second seed
 * @return XK_OK, XK_ERR_NULL_ARG */
XK_API xk_util_status xk_util_seed_prng(xk_util_prng_state *state, uint64_t seed, uint64_t second_seed);

/** Draws the next output.
 * @param state a seeded generator
 * @param output receives the output
 * @return XK_OK, XK_ERR_NULL_ARG (traced by xk_util_prng_unpacked) */
XK_API xk_util_status xk_util_prng(xk_util_prng_state *state, uint64_t *output);

/** One step on the state's three fields given separately.
 * @param index the state's index, updated
 * @param weyl the state's Weyl accumulator, updated
 * @param words the state's 64 words, updated
 * @param output receives the output
 * @return XK_OK, XK_ERR_NULL_ARG when any pointer is NULL */
XK_API xk_util_status xk_util_prng_unpacked(uint32_t *index, uint64_t *weyl, uint64_t *words,
                                            uint64_t *output);

/** Draws count outputs, as count calls of xk_util_prng would.
 * @param state a seeded generator
 * @param output receives output[0..count-1]
 * @param count the number of outputs; 0 is a no-op returning XK_OK
 * @return XK_OK, XK_ERR_NULL_ARG for a NULL state or array */
XK_API xk_util_status xk_util_prng_batch(xk_util_prng_state *state, uint64_t *output, size_t count);

/** One step with value folded into the new word.
 * @param state a seeded generator
 * @param value the value to mix in; 0 makes an ordinary step
 * @param output receives the output
 * @return XK_OK, XK_ERR_INVALID for a NULL state or output */
XK_API xk_util_status xk_util_mix_into_prng(xk_util_prng_state *state, uint64_t value, uint64_t *output);

/** Fills a buffer with outputs in native byte order, using ceil(length / 8) steps.
 * @param state a seeded generator
 * @param buffer the bytes to fill (any alignment)
 * @param length their count; 0 touches nothing
 * @return XK_OK; XK_ERR_NULL_ARG for a NULL pointer when length is not 0 */
XK_API xk_util_status xk_util_prng_fill(xk_util_prng_state *state, void *buffer, size_t length);

#ifdef __cplusplus
}
#endif

#endif
