#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "support/capture.h"
#include "xk/random.h"

namespace {

using xk::test::ReportingTest;
using RandomTest = ReportingTest;

xk_util_prng_state seeded(uint64_t seed, uint64_t second = 0) {
    xk_util_prng_state state;
    memset(&state, 0, sizeof state);
    EXPECT_EQ(xk_util_seed_prng(&state, seed, second), XK_OK);
    return state;
}

std::vector<uint64_t> draw(xk_util_prng_state &state, size_t n) {
    std::vector<uint64_t> out(n);
    for (uint64_t &x : out) EXPECT_EQ(xk_util_prng(&state, &x), XK_OK);
    return out;
}

void expect_same_state(const xk_util_prng_state &a, const xk_util_prng_state &b) {
    EXPECT_EQ(a.index, b.index);
    EXPECT_EQ(a.weyl, b.weyl);
    EXPECT_EQ(memcmp(a.words, b.words, sizeof a.words), 0);
}

TEST_F(RandomTest, KnownOutputsForSeedsOneAndZero) {
    xk_util_prng_state one = seeded(1);
    EXPECT_EQ(draw(one, 3), (std::vector<uint64_t>{UINT64_C(0xb85497a9ba510638), UINT64_C(0x68e100a50b479104),
                                                   UINT64_C(0xd00b063876877e9d)}));
    xk_util_prng_state zero = seeded(0);
    EXPECT_EQ(draw(zero, 2),
              (std::vector<uint64_t>{UINT64_C(0x6b9b02117a0be24c), UINT64_C(0x9a98ce2956464c05)}));
    EXPECT_TRUE(traces().empty());
}

TEST_F(RandomTest, SeedingRules) {
    xk_util_prng_state zero = seeded(0), ones = seeded(~UINT64_C(0));
    expect_same_state(zero, ones);
    EXPECT_EQ(zero.index, 63u);
    xk_util_prng_state plain = seeded(7, 0), second = seeded(7, 1);
    EXPECT_NE(draw(plain, 4), draw(second, 4));
    xk_util_prng_state again = seeded(7, 1);
    draw(again, 1000);
    EXPECT_EQ(xk_util_seed_prng(&again, 7, 1), XK_OK);  // re-seeding starts over
    expect_same_state(again, seeded(7, 1));
}

TEST_F(RandomTest, BatchEqualsRepeatedSteps) {
    xk_util_prng_state a = seeded(99), b = seeded(99);
    uint64_t batch[5] = {};
    ASSERT_EQ(xk_util_prng_batch(&a, batch, 5), XK_OK);
    EXPECT_EQ(std::vector<uint64_t>(batch, batch + 5), draw(b, 5));
    expect_same_state(a, b);
    // Across the wrap of the 64-word array.
    std::vector<uint64_t> many(150);
    ASSERT_EQ(xk_util_prng_batch(&a, many.data(), many.size()), XK_OK);
    EXPECT_EQ(many, draw(b, 150));
    expect_same_state(a, b);
}

TEST_F(RandomTest, BatchOfZeroIsANoOp) {
    xk_util_prng_state a = seeded(5), before = a;
    uint64_t out = 77;
    EXPECT_EQ(xk_util_prng_batch(&a, &out, 0), XK_OK);
    EXPECT_EQ(out, 77u);
    expect_same_state(a, before);
    EXPECT_TRUE(traces().empty());
}

TEST_F(RandomTest, UnpackedStepsTheFieldsAsTheRecordDoes) {
    xk_util_prng_state a = seeded(3), b = seeded(3);
    uint64_t x = 0, y = 0;
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
    std::vector<uint64_t> words = draw(b, 2);
    EXPECT_EQ(memcmp(buffer + 1, words.data(), 16), 0);
    EXPECT_EQ(buffer[0], 0xee);
    EXPECT_EQ(buffer[17], 0xee);

    memset(buffer, 0xee, sizeof buffer);
    ASSERT_EQ(xk_util_prng_fill(&a, buffer, 3), XK_OK);  // one whole step for three bytes
    uint64_t next = draw(b, 1)[0];
    EXPECT_EQ(memcmp(buffer, &next, 3), 0);
    EXPECT_EQ(buffer[3], 0xee);
    expect_same_state(a, b);

    ASSERT_EQ(xk_util_prng_fill(&a, buffer, 21), XK_OK);
    words = draw(b, 3);
    EXPECT_EQ(memcmp(buffer, words.data(), 21), 0);
    EXPECT_EQ(buffer[21], 0xee);
    expect_same_state(a, b);
}

TEST_F(RandomTest, MixingFoldsTheValueIntoTheNewWordOnly) {
    xk_util_prng_state a = seeded(21), b = seeded(21);
    uint64_t mixed = 0, plain = 0;
    ASSERT_EQ(xk_util_mix_into_prng(&a, 0, &mixed), XK_OK);
    ASSERT_EQ(xk_util_prng(&b, &plain), XK_OK);
    EXPECT_EQ(mixed, plain);
    expect_same_state(a, b);

    ASSERT_EQ(xk_util_mix_into_prng(&a, 12345, &mixed), XK_OK);
    ASSERT_EQ(xk_util_prng(&b, &plain), XK_OK);
    EXPECT_NE(mixed, plain);
    EXPECT_EQ(a.index, b.index);
    EXPECT_EQ(a.weyl, b.weyl);
    for (uint32_t i = 0; i < 64; ++i) {
        if (i == a.index) continue;
        EXPECT_EQ(a.words[i], b.words[i]) << i;  // the lagged word is not changed
    }
    EXPECT_NE(a.words[a.index], b.words[a.index]);
}

TEST_F(RandomTest, NullPointers) {
    xk_util_prng_state state = seeded(1), before = state;
    uint64_t x = 5;
    EXPECT_EQ(xk_util_seed_prng(nullptr, 1, 0), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_seed_prng", XK_ERR_NULL_ARG);
    capture.clear();
    EXPECT_EQ(xk_util_prng(&state, nullptr), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_prng_unpacked", XK_ERR_NULL_ARG);
    capture.clear();
    EXPECT_EQ(xk_util_prng(nullptr, &x), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_prng_unpacked", XK_ERR_NULL_ARG);
    capture.clear();
    EXPECT_EQ(xk_util_prng_unpacked(&state.index, nullptr, state.words, &x), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_prng_unpacked", XK_ERR_NULL_ARG);
    capture.clear();
    EXPECT_EQ(xk_util_prng_batch(&state, nullptr, 2), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_prng_batch", XK_ERR_NULL_ARG);
    capture.clear();
    EXPECT_EQ(xk_util_mix_into_prng(&state, 1, nullptr), XK_ERR_INVALID);
    expect_single_trace("xk_util_mix_into_prng", XK_ERR_INVALID);
    capture.clear();
    EXPECT_EQ(xk_util_mix_into_prng(nullptr, 1, &x), XK_ERR_INVALID);
    expect_single_trace("xk_util_mix_into_prng", XK_ERR_INVALID);
    capture.clear();
    EXPECT_EQ(xk_util_prng_fill(&state, nullptr, 3), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_prng_fill", XK_ERR_NULL_ARG);
    capture.clear();
    EXPECT_EQ(xk_util_prng_fill(nullptr, &x, 8), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_prng_fill", XK_ERR_NULL_ARG);
    capture.clear();
    EXPECT_EQ(xk_util_prng_fill(nullptr, nullptr, 0), XK_OK);
    EXPECT_TRUE(traces().empty());
    EXPECT_EQ(x, 5u);
    expect_same_state(state, before);  // no failure stepped the generator
    EXPECT_TRUE(lines().empty());
}

}  // namespace
