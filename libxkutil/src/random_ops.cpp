// SPDX-License-Identifier: MIT
#include <stdint.h>
#include <string.h>

#include "internal/checked.h"
#include "internal/report.h"
#include "xk/random.h"

namespace {
constexpr const char *kSource = "src/random_ops";

constexpr uint64_t kWeylIncrement = UINT64_C(0x61c8864680b583eb);  // odd, near 2^64 * (3 - sqrt 5) / 2
constexpr uint32_t kLag = 11;                                      // 64 - 53
constexpr int kDiscardedSteps = 256;                               // four times the array

// The 64-bit xorshift (10, 15, 4, 13) that spreads the seed.
inline uint64_t scramble(uint64_t v) {
    v ^= v << 10;
    v ^= v >> 15;
    v ^= v << 4;
    v ^= v >> 13;
    return v;
}

// The xorshift recurrence: advances index and replaces the word there, which it returns.
// lag_addend is added to the lagged word before its shifts (0 for an ordinary step).
// The sums are taken modulo 2^64: the recurrence is defined that way.
XK_WRAPS_ON_PURPOSE inline uint64_t recur(uint32_t &index, uint64_t *words, uint64_t lag_addend) {
    uint32_t i = (index + 1) & 63;
    index = i;
    uint64_t t = words[i];
    t ^= t << 33;
    t ^= t >> 26;
    uint64_t v = words[(i + kLag) & 63] + lag_addend;
    v ^= v << 27;
    v ^= v >> 29;
    uint64_t n = t ^ v;
    words[i] = n;
    return n;
}

// The Weyl sequence counts modulo 2^64 by design.
XK_WRAPS_ON_PURPOSE inline uint64_t step(uint32_t &index, uint64_t &weyl, uint64_t *words,
                                         uint64_t lag_addend = 0) {
    uint64_t n = recur(index, words, lag_addend);
    weyl += kWeylIncrement;
    return n + (weyl ^ (weyl >> 27));
}

// count steps stored as native words at out (any alignment); index and weyl written back once.
void run_steps(xk_util_prng_state *state, unsigned char *out, size_t count) {
    uint32_t index = state->index;
    uint64_t weyl = state->weyl;
    for (size_t k = 0; k < count; ++k, out += 8) {
        uint64_t x = step(index, weyl, state->words);
        memcpy(out, &x, sizeof x);
    }
    state->index = index;
    state->weyl = weyl;
}

}  // namespace

extern "C" {

// Seeding sums words modulo 2^64 as the steps do.
XK_WRAPS_ON_PURPOSE xk_util_status xk_util_seed_prng(xk_util_prng_state *state, uint64_t seed,
                                                     uint64_t second_seed) {
    using namespace xk;
    if (state == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    uint64_t v = seed != 0 ? seed : ~seed;
    for (int k = 0; k < 64; ++k) v = scramble(v);
    uint64_t weyl = v;
    for (int k = 0; k < 64; ++k) {
        v = scramble(v);
        weyl += kWeylIncrement;
        state->words[k] = weyl + v;
    }
    state->words[0] += second_seed;
    uint32_t index = 63;
    // The discarded steps run the recurrence only: the Weyl sequence stays where seeding left it.
    for (int k = 0; k < kDiscardedSteps; ++k) recur(index, state->words, 0);
    state->index = index;
    state->weyl = weyl;
    return XK_OK;
}

xk_util_status xk_util_prng_unpacked(uint32_t *index, uint64_t *weyl, uint64_t *words, uint64_t *output) {
    using namespace xk;
    if (index == nullptr || weyl == nullptr || words == nullptr || output == nullptr)
        return report::null_arg(__func__, kSource, __LINE__);
    *output = step(*index, *weyl, words);
    return XK_OK;
}

xk_util_status xk_util_prng(xk_util_prng_state *state, uint64_t *output) {
    // Null pointers go to the unpacked form, which checks and traces them; the step itself is inline.
    if (state == nullptr) return xk_util_prng_unpacked(nullptr, nullptr, nullptr, output);
    if (output == nullptr) return xk_util_prng_unpacked(&state->index, &state->weyl, state->words, output);
    *output = step(state->index, state->weyl, state->words);
    return XK_OK;
}

xk_util_status xk_util_prng_batch(xk_util_prng_state *state, uint64_t *output, size_t count) {
    using namespace xk;
    if (state == nullptr || output == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    // A count of 0 asks for nothing: no step, nothing written, and XK_OK, so callers that draw
    // a computed number of words need no special case. Any count is the caller's promise that
    // the output holds that many words; no size is derived from it.
    run_steps(state, reinterpret_cast<unsigned char *>(output), count);
    return XK_OK;
}

xk_util_status xk_util_mix_into_prng(xk_util_prng_state *state, uint64_t value, uint64_t *output) {
    using namespace xk;
    if (state == nullptr || output == nullptr)
        return report::trace(__func__, kSource, __LINE__, XK_ERR_INVALID);
    *output = step(state->index, state->weyl, state->words, value);
    return XK_OK;
}

xk_util_status xk_util_prng_fill(xk_util_prng_state *state, void *buffer, size_t length) {
    using namespace xk;
    if (length == 0) return XK_OK;
    // Checked here, before any step: a short fill draws into a local word, where a NULL buffer
    // would otherwise go unnoticed until the copy.
    if (state == nullptr || buffer == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    auto *bytes = static_cast<unsigned char *>(buffer);
    // length is the caller's promise of a buffer that long: words and rest only divide it.
    size_t whole_words = length / 8;
    size_t rest = length % 8;
    run_steps(state, bytes, whole_words);
    if (rest != 0) {
        unsigned char word[8];
        run_steps(state, word, 1);
        memcpy(bytes + 8 * whole_words, word, rest);
    }
    return XK_OK;
}

}  // extern "C"
