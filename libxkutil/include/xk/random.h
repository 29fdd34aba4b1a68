/** @file
 * A fast, seedable, non-cryptographic 64-bit pseudo-random generator with caller-held state. */
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

/** (Re)seeds the state; equal seed pairs give equal sequences. XK_OK, XK_ERR_NULL_ARG. */
XK_API xk_util_status xk_util_seed_prng(xk_util_prng_state *state, uint64_t seed, uint64_t second_seed);

/** Stores the next output in *output. XK_OK, XK_ERR_NULL_ARG (traced by xk_util_prng_unpacked). */
XK_API xk_util_status xk_util_prng(xk_util_prng_state *state, uint64_t *output);

/** One step on the state's three fields given separately. XK_OK, XK_ERR_NULL_ARG when any pointer is NULL. */
XK_API xk_util_status xk_util_prng_unpacked(uint32_t *index, uint64_t *weyl, uint64_t *words,
                                            uint64_t *output);

/** Stores the next count outputs in output[0..count-1], as count calls of xk_util_prng would; a count of 0
 * is a no-op returning XK_OK. XK_ERR_NULL_ARG for a NULL state or array. */
XK_API xk_util_status xk_util_prng_batch(xk_util_prng_state *state, uint64_t *output, size_t count);

/** One step with value folded into the new word; a value of 0 is an ordinary step.
 * XK_OK, XK_ERR_INVALID for a NULL state or output. */
XK_API xk_util_status xk_util_mix_into_prng(xk_util_prng_state *state, uint64_t value, uint64_t *output);

/** Fills length bytes of buffer (any alignment) with outputs in native byte order, using ceil(length / 8)
 * steps. A length of 0 touches nothing and returns XK_OK; otherwise XK_ERR_NULL_ARG for a NULL pointer. */
XK_API xk_util_status xk_util_prng_fill(xk_util_prng_state *state, void *buffer, size_t length);

#ifdef __cplusplus
}
#endif

#endif
