// SPDX-License-Identifier: MIT
#include <array>

#include "support/capture.h"

using NumericTest = xk::test::ReportingTest;

// Each overflow answer as a digit, pairs tried both ways round; rounding up above 2^63 gives 0, as
// 2^64 does not fit.
TEST(ArithTest, OverflowTestsAndRoundings) {
    const int64_t p62 = INT64_C(1) << 62, min = INT64_MIN;
    const uint64_t p32 = UINT64_C(1) << 32;
    const std::pair<int64_t, int64_t> i64[] = {{p62, 2},  {p62 - 1, 2}, {-p62, 2}, {-p62, -2},
                                               {-1, min}, {1, min},     {0, min},  {-1, INT64_MAX}};
    const std::pair<int32_t, int32_t> i32[] = {{46341, 46341},   {46340, 46340},  {-65536, 32768},
                                               {-65536, -32768}, {-1, INT32_MIN}, {-2, INT32_MAX}};
    const std::pair<uint64_t, uint64_t> u64[] = {
        {p32, p32}, {p32, p32 - 1}, {0, UINT64_MAX}, {2, UINT64_MAX / 2 + 1}};
    std::string got;
    auto both = [&got](auto overflows, auto a, auto b) {
        got += std::to_string(overflows(a, b)) + std::to_string(overflows(b, a));
    };
    for (auto [a, b] : i64) both(xk_util_check_multiply_overflow_i64, a, b);
    for (auto [a, b] : i32) both(xk_util_check_multiply_overflow_i32, a, b);
    for (auto [a, b] : u64) both(xk_util_check_multiply_overflow_u64, a, b);
    EXPECT_EQ(got, "110000111100000011000011111111000011");  // the 64-bit, 32-bit and unsigned rows
    // x, up, down
    std::vector<std::array<uint64_t, 3>> cases = {{0, 0, 0}, {1, 1, 1}, {3, 4, 2}, {1000, 1024, 512}};
    for (uint64_t k = 2, p = 4; k < 64; ++k, p <<= 1)
        cases.insert(cases.end(), {{p - 1, p, p / 2}, {p, p, p}, {p + 1, k == 63 ? 0 : 2 * p, p}});
    cases.push_back({UINT64_MAX, 0, UINT64_C(1) << 63});
    for (const auto &[x, up, down] : cases)
        EXPECT_TRUE(round_up_power_2(x) == up && round_down_power_2(x) == down) << x;
}

// At 1e16 doubles are 2 apart, so the order of a set's steps shows in the last bit: taking the old 1
// out first and then adding 3 gives 1e16 + 4; adding the difference 2 would give 1e16 + 2. The
// window holds 1e16 + 1 and the total 2e16 + 1, both rounded down, before the set.
TEST_F(NumericTest, WindowSlidesTotalGrowsAndSetReplaces) {
    xk_util_sum sum{7, 1, nullptr, 2.5, 7.5};
    auto reading = [&sum] {  // the window, the total and the current bucket
        return std::vector<double>{xk_util_sum_get(&sum), xk_util_sum_get_total(&sum),
                                   xk_util_sum_partial(&sum)};
    };
    expect_report(xk_util_sum_init(&sum, 0), XK_ERR_INVALID, {"N is zero"});  // the record is left as it was
    EXPECT_TRUE(sum.n == 7 && sum.pos == 1 && sum.window == 2.5 && sum.total == 7.5);
    std::vector<double> advanced;
    ASSERT_EQ(xk_util_sum_init(&sum, 3), XK_OK);
    for (double v : {1.0, 2.0, 4.0}) advanced.push_back((xk_util_sum_inc(&sum, v), xk_util_sum_next(&sum)));
    EXPECT_EQ(advanced, (std::vector<double>{1, 3, 7}));
    EXPECT_EQ(reading(), (std::vector<double>{6, 7, 0}));  // the bucket holding 1 was dropped
    xk_util_sum_set(&sum, 10), xk_util_sum_set(&sum, 5);   // the 5 replaces the 10
    EXPECT_EQ(reading(), (std::vector<double>{11, 12, 5}));
    xk_util_sum_free(&sum), xk_util_sum_free(&sum), xk_util_sum_free(nullptr);  // twice is harmless
    EXPECT_EQ(sum.buckets, nullptr);
    ASSERT_EQ(xk_util_sum_init(&sum, 2), XK_OK);
    for (double v : {1e16, 0.0, 1e16}) xk_util_sum_inc(&sum, v), xk_util_sum_next(&sum);
    xk_util_sum_inc(&sum, 1), xk_util_sum_set(&sum, 3);
    EXPECT_EQ(reading(), (std::vector<double>{10000000000000004.0, 20000000000000004.0, 3}));
    xk_util_sum_free(&sum);
}

TEST_F(NumericTest, KnownValuesAtEveryAlignmentAndRefusals) {
    const std::pair<const char *, uint64_t> cases[] = {
        {"abc", 0x5f39fb8f324f2e25},
        {"a", 0x86b8d0a29d36348b},
        {"abcdefgh", 0xb3d82310ac69efb1},
        {"abcdefghi", 0x14c34d22ea476743},  // one block, then a tail
        // six blocks and a seven-byte tail; the value comes from an independent model of the hash
        {"The quick brown fox jumps over the lazy dog, 0123456789", 0xe3db6694d87c7b3e}};
    char block[64];
    uint64_t h = 0;
    for (const auto &[text, hash] : cases)
        for (size_t offset = 0; offset < 8; ++offset)
            EXPECT_TRUE(xk_util_hash64(strcpy(block + offset, text), strlen(text), &h) == XK_OK && h == hash)
                << offset;
    EXPECT_EQ(chain({xk_util_hash64("abc", 0, &h), xk_util_hash64(nullptr, 3, &h),
                     xk_util_hash64("abc", 3, nullptr)}),
              "777; hash64 7; hash64 7; hash64 7");
    EXPECT_EQ(h, 0xe3db6694d87c7b3e);  // the result is left
}

namespace {
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
TEST_F(NumericTest, KnownOutputsSameStepsEverywhereAndRefusals) {
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

// Elements are malloc'd ints; every release is recorded in order.
std::vector<int> g_freed;
void *make_int() { return calloc(1, sizeof(int)); }
void *copy_int(const void *src) { return memcpy(malloc(sizeof(int)), src, sizeof(int)); }
void *copy_fails(const void *) { return nullptr; }
void free_int(void *element) { g_freed.push_back(*static_cast<int *>(element)), free(element); }

// Appends copies of 0, 1, ... up to each count in turn; the capacity at each.
std::vector<int32_t> capacities(xk_collection *c, std::vector<int> counts) {
    std::vector<int32_t> seen;
    for (int target : counts) {
        for (int value = c->count; value < target; ++value) EXPECT_TRUE(xk_collection_element_add(c, &value));
        seen.push_back(c->capacity);
    }
    return seen;
}

// Steps of 10, or half as many again plus one when the step is not positive, from the next
// enlargement on; the new slots are empty. Refusals are told by the results alone and change
// nothing; attached, created and copied elements are all owned and freed in index order.
TEST_F(NumericTest, GrowthRefusalsAndOwnership) {
    xk_collection *c = xk_collection_new("things", make_int, copy_int, free_int), *plain;
    EXPECT_EQ(capacities(c, {1, 10, 11, 21}), std::vector<int32_t>({10, 10, 20, 30}));
    xk_collection_set_growth(c, 0);  // from the next enlargement on
    EXPECT_EQ(capacities(c, {30, 31}), std::vector<int32_t>({30, 30 + 30 * 3 / 2 + 1}));
    xk_collection_free(c);
    xk_collection_set_growth(plain = xk_collection_new(nullptr, nullptr, copy_int, free_int), -4);
    EXPECT_EQ(capacities(plain, {1, 2, 4, 9, 22}), std::vector<int32_t>({1, 3, 8, 21, 53}));
    int loose = 1, *own = static_cast<int *>(make_int()), source = 3;
    c = xk_collection_new("x", make_int, nullptr, free_int), plain->copy_fn = copy_fails;
    EXPECT_FALSE(xk_collection_element_attach(c, nullptr) || xk_collection_element_attach(nullptr, &loose) ||
                 xk_collection_element_add(c, nullptr) || xk_collection_element_add(nullptr, &loose) ||
                 xk_collection_element_add(c, &loose) || xk_collection_element_add(plain, &loose) ||
                 xk_collection_element_new(nullptr) || xk_collection_element_new(plain) ||
                 xk_collection_element(nullptr, 0) || xk_collection_new("x", make_int, copy_int, nullptr) ||
                 xk_collection_len(nullptr) || c->elements || plain->name);
    xk_collection_set_growth(nullptr, 5), xk_collection_free(nullptr), xk_collection_free(plain);
    c->copy_fn = copy_int, *own = 1, g_freed.clear();
    ASSERT_TRUE(xk_collection_element_attach(c, own));
    *static_cast<int *>(xk_collection_element_new(c)) = 2;  // filled in place
    ASSERT_TRUE(xk_collection_element_add(c, &source) && g_freed.empty());
    EXPECT_TRUE(xk_collection_len(c) == 3 && xk_collection_element(c, 0) == own &&
                xk_collection_element(c, 2) != &source && xk_collection_element(c, -1) == nullptr &&
                xk_collection_element(c, 3) == nullptr);
    xk_collection_free(c);
    EXPECT_TRUE(g_freed == std::vector<int>({1, 2, 3}) && traces().empty() && lines().empty());
}

}  // namespace
