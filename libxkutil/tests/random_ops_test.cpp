#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "support/capture.h"
#include "xk/random.h"

namespace {

using RandomTest = xk::test::ReportingTest;
using Words = std::vector<uint64_t>;

xk_util_prng_state seeded(uint64_t seed, uint64_t second = 0) {
    xk_util_prng_state state;
    EXPECT_EQ(xk_util_seed_prng(&state, seed, second), XK_OK);
    return state;
}

Words draw(xk_util_prng_state &state, size_t n) {
    Words out(n);
    for (uint64_t &x : out) EXPECT_EQ(xk_util_prng(&state, &x), XK_OK);
    return out;
}

void expect_same_state(const xk_util_prng_state &a, const xk_util_prng_state &b) {
    EXPECT_EQ(a.index, b.index);
    EXPECT_EQ(a.weyl, b.weyl);
    EXPECT_EQ(memcmp(a.words, b.words, sizeof a.words), 0);
}

TEST_F(RandomTest, KnownOutputsAndSeedingRules) {
    xk_util_prng_state one = seeded(1), zero = seeded(0);
    EXPECT_EQ(one.index, 63u);
    EXPECT_EQ(draw(one, 3), (Words{0xb85497a9ba510638, 0x68e100a50b479104, 0xd00b063876877e9d}));
    EXPECT_EQ(draw(zero, 2), (Words{0x6b9b02117a0be24c, 0x9a98ce2956464c05}));
    xk_util_prng_state all_ones = seeded(~UINT64_C(0)), seed_zero = seeded(0);
    expect_same_state(all_ones, seed_zero);
    xk_util_prng_state plain = seeded(7, 0), second = seeded(7, 1);
    EXPECT_NE(draw(plain, 4), draw(second, 4));
    EXPECT_TRUE(traces().empty());
}

TEST_F(RandomTest, BatchEqualsRepeatedStepsAndZeroIsANoOp) {
    xk_util_prng_state a = seeded(99), b = seeded(99);
    Words batch(150, 0);
    ASSERT_EQ(xk_util_prng_batch(&a, batch.data(), 5), XK_OK);
    EXPECT_EQ(Words(batch.begin(), batch.begin() + 5), draw(b, 5));
    expect_same_state(a, b);
    ASSERT_EQ(xk_util_prng_batch(&a, batch.data(), 150), XK_OK);  // across the wrap of the array
    EXPECT_EQ(batch, draw(b, 150));
    uint64_t untouched = 77;
    EXPECT_EQ(xk_util_prng_batch(&a, &untouched, 0), XK_OK);
    EXPECT_EQ(untouched, 77u);
    expect_same_state(a, b);
    uint64_t x = 0, y = 0;  // the unpacked form steps the same three fields
    ASSERT_EQ(xk_util_prng_unpacked(&a.index, &a.weyl, a.words, &x), XK_OK);
    ASSERT_EQ(xk_util_prng(&b, &y), XK_OK);
    EXPECT_EQ(x, y);
    expect_same_state(a, b);
}

TEST_F(RandomTest, FillLaysDownWholeStepsInNativeOrder) {
    xk_util_prng_state a = seeded(11), b = seeded(11);
    unsigned char buffer[32];
    memset(buffer, 0xee, sizeof buffer);
    ASSERT_EQ(xk_util_prng_fill(&a, buffer + 1, 16), XK_OK);  // unaligned on purpose
    Words words = draw(b, 2);
    EXPECT_EQ(memcmp(buffer + 1, words.data(), 16), 0);
    EXPECT_EQ(buffer[0], 0xee);
    EXPECT_EQ(buffer[17], 0xee);
    memset(buffer, 0xee, sizeof buffer);
    ASSERT_EQ(xk_util_prng_fill(&a, buffer, 3), XK_OK);  // one whole step for three bytes
    words = draw(b, 1);
    EXPECT_EQ(memcmp(buffer, words.data(), 3), 0);
    EXPECT_EQ(buffer[3], 0xee);
    ASSERT_EQ(xk_util_prng_fill(&a, buffer, 21), XK_OK);
    words = draw(b, 3);
    EXPECT_EQ(memcmp(buffer, words.data(), 21), 0);
    EXPECT_EQ(buffer[21], 0xee);
    expect_same_state(a, b);
}

TEST_F(RandomTest, MixingChangesOnlyTheNewWord) {
    xk_util_prng_state a = seeded(21), b = seeded(21);
    uint64_t mixed = 0, plain = 0;
    ASSERT_EQ(xk_util_mix_into_prng(&a, 0, &mixed), XK_OK);
    ASSERT_EQ(xk_util_prng(&b, &plain), XK_OK);
    EXPECT_EQ(mixed, plain);
    expect_same_state(a, b);
    ASSERT_EQ(xk_util_mix_into_prng(&a, 12345, &mixed), XK_OK);
    ASSERT_EQ(xk_util_prng(&b, &plain), XK_OK);
    EXPECT_NE(mixed, plain);
    EXPECT_NE(a.words[a.index], b.words[b.index]);
    b.words[b.index] = a.words[a.index];
    expect_same_state(a, b);  // the lagged word itself is unchanged
}

TEST_F(RandomTest, NullPointersTraceOnceAndChangeNothing) {
    xk_util_prng_state state = seeded(1), before = state;
    uint64_t x = 5;
    auto expect_refused = [&](xk_util_status st, xk_util_status want, const char *func) {
        EXPECT_EQ(st, want) << func;
        expect_single_trace(func, want);
        capture.clear();
    };
    expect_refused(xk_util_seed_prng(nullptr, 1, 0), XK_ERR_NULL_ARG, "xk_util_seed_prng");
    expect_refused(xk_util_prng(&state, nullptr), XK_ERR_NULL_ARG, "xk_util_prng_unpacked");
    expect_refused(xk_util_prng(nullptr, &x), XK_ERR_NULL_ARG, "xk_util_prng_unpacked");
    expect_refused(xk_util_prng_unpacked(&state.index, nullptr, state.words, &x), XK_ERR_NULL_ARG,
                   "xk_util_prng_unpacked");
    expect_refused(xk_util_prng_batch(&state, nullptr, 2), XK_ERR_NULL_ARG, "xk_util_prng_batch");
    expect_refused(xk_util_mix_into_prng(&state, 1, nullptr), XK_ERR_INVALID, "xk_util_mix_into_prng");
    expect_refused(xk_util_mix_into_prng(nullptr, 1, &x), XK_ERR_INVALID, "xk_util_mix_into_prng");
    expect_refused(xk_util_prng_fill(&state, nullptr, 3), XK_ERR_NULL_ARG, "xk_util_prng_fill");
    expect_refused(xk_util_prng_fill(nullptr, &x, 8), XK_ERR_NULL_ARG, "xk_util_prng_fill");
    EXPECT_EQ(xk_util_prng_fill(nullptr, nullptr, 0), XK_OK);
    EXPECT_TRUE(traces().empty());
    EXPECT_EQ(x, 5u);
    expect_same_state(state, before);
    EXPECT_TRUE(lines().empty());
}

}  // namespace
