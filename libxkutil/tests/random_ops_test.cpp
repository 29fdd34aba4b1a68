// SPDX-License-Identifier: MIT
#include "support/capture.h"

namespace {
using RandomTest = xk::test::ReportingTest;
using Words = std::vector<uint64_t>;

xk_util_prng_state seeded(uint64_t seed, uint64_t second = 0) {
    xk_util_prng_state state;
    EXPECT_EQ(xk_util_seed_prng(&state, seed, second), XK_OK);
    return state;
}
// n outputs, each mixing in `mix` times the step number if mix is not 0; with `fold`, their xor.
Words draw(xk_util_prng_state &state, size_t n, uint64_t mix = 0, bool fold = false) {
    Words out(n);
    for (size_t k = 0; k < n; ++k)
        EXPECT_EQ(mix ? xk_util_mix_into_prng(&state, mix * k, &out[k]) : xk_util_prng(&state, &out[k]), 0u);
    for (size_t k = 1; fold && k < n; ++k) out[0] ^= out[k];
    return fold ? Words{out[0]} : out;
}

// The folded values (a changed seed word or mixed value reaches only some array positions within a
// few turns) come from an independent model of the generator. Every producer takes the same whole
// steps; null pointers leave one record each and change nothing.
TEST_F(RandomTest, KnownOutputsSameStepsEverywhereAndRefusals) {
    xk_util_prng_state one = seeded(1), zero = seeded(0), other = seeded(7, 5), mixed = seeded(9), keep = one;
    EXPECT_EQ(draw(one, 3), (Words{0xb85497a9ba510638, 0x68e100a50b479104, 0xd00b063876877e9d}));
    EXPECT_EQ(draw(zero, 2), (Words{0x6b9b02117a0be24c, 0x9a98ce2956464c05}));
    EXPECT_EQ(draw(other, 200, 0, true)[0], 0xf6abcb6ac9adf834u);
    EXPECT_EQ(draw(mixed, 100, 0x9e3779b97f4a7c15, true)[0], 0x98dee8b2103b7fc7u);
    xk_util_prng_state a = seeded(0, 3), b = seeded(~uint64_t{0}, 3), state = keep;  // 0 and all ones alike
    Words batch(151, 0);
    uint64_t x = 5, untouched = 77;  // a batch of 0 writes and steps nothing
    EXPECT_EQ(xk_util_prng_batch(&a, batch.data(), 150) + xk_util_prng_batch(&a, &untouched, 0) +
                  xk_util_prng_unpacked(&a.index, &a.weyl, a.words, &batch[150]) +
                  xk_util_prng_fill(&a, nullptr, 0),
              0u);
    EXPECT_TRUE(batch == draw(b, 151) && untouched == 77);
    std::vector<unsigned char> buffer(32, 0xee);  // an unaligned fill of whole words and a tail
    ASSERT_EQ(xk_util_prng_fill(&a, &buffer[1], 21), XK_OK);
    const Words words = draw(b, 3);  // and nothing written around it
    EXPECT_TRUE(!memcmp(&buffer[1], words.data(), 21) && buffer[0] == 0xee && buffer[22] == 0xee);
    EXPECT_TRUE(draw(a, 64) == draw(b, 64) && traces().empty());
    EXPECT_EQ(chain({xk_util_seed_prng(nullptr, 1, 0), xk_util_prng(&state, nullptr),
                     xk_util_prng(nullptr, &x), xk_util_prng_unpacked(&state.index, nullptr, state.words, &x),
                     xk_util_prng_batch(&state, nullptr, 2), xk_util_mix_into_prng(&state, 1, nullptr),
                     xk_util_mix_into_prng(nullptr, 1, &x), xk_util_prng_fill(&state, nullptr, 3),
                     xk_util_prng_fill(nullptr, &x, 8)}),
              "333337733; seed_prng 3; prng_unpacked 3; prng_unpacked 3; prng_unpacked 3; prng_batch 3; "
              "mix_into_prng 7; mix_into_prng 7; prng_fill 3; prng_fill 3");
    EXPECT_TRUE(x == 5 && draw(state, 64) == draw(keep, 64));
}

}  // namespace
