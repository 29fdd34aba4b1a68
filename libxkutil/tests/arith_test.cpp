#include "xk/arith.h"

#include <gtest/gtest.h>
#include <stdint.h>

#include <random>
#include <vector>

namespace {

constexpr int64_t kMin64 = INT64_MIN;
constexpr int64_t kP62 = INT64_C(1) << 62;

TEST(ArithTest, SignedOverflowExamples) {
    EXPECT_TRUE(xk_util_check_multiply_overflow_i64(kP62, 2));
    EXPECT_FALSE(xk_util_check_multiply_overflow_i64(kP62 - 1, 2));
    EXPECT_FALSE(xk_util_check_multiply_overflow_i64(-kP62, 2));  // exactly MIN
    EXPECT_TRUE(xk_util_check_multiply_overflow_i64(-kP62, -2));
    EXPECT_TRUE(xk_util_check_multiply_overflow_i64(-1, kMin64));
    EXPECT_TRUE(xk_util_check_multiply_overflow_i64(kMin64, -1));
    EXPECT_FALSE(xk_util_check_multiply_overflow_i64(1, kMin64));
    EXPECT_FALSE(xk_util_check_multiply_overflow_i64(0, kMin64));
    EXPECT_TRUE(xk_util_check_multiply_overflow_i32(46341, 46341));
    EXPECT_FALSE(xk_util_check_multiply_overflow_i32(46340, 46340));
    EXPECT_FALSE(xk_util_check_multiply_overflow_i32(-65536, 32768));  // exactly MIN
    EXPECT_TRUE(xk_util_check_multiply_overflow_i32(-65536, -32768));
    EXPECT_TRUE(xk_util_check_multiply_overflow_i32(INT32_MIN, -1));
    EXPECT_TRUE(xk_util_check_multiply_overflow_u64(UINT64_C(1) << 32, UINT64_C(1) << 32));
    EXPECT_FALSE(xk_util_check_multiply_overflow_u64(UINT64_C(1) << 32, (UINT64_C(1) << 32) - 1));
    EXPECT_FALSE(xk_util_check_multiply_overflow_u64(UINT64_MAX, 1));
    EXPECT_FALSE(xk_util_check_multiply_overflow_u64(0, UINT64_MAX));
}

// Operands drawn to sit near the edges as often as in the middle: random widths, signs and the limits.
template <typename T>
std::vector<T> operands(std::mt19937_64 &rng, int count) {
    std::vector<T> out = {
        0, 1, static_cast<T>(-1), 2, std::numeric_limits<T>::max(), std::numeric_limits<T>::min()};
    for (int i = 0; i < count; ++i) {
        int bits = static_cast<int>(rng() % (8 * sizeof(T)));
        T v = static_cast<T>(rng() >> (64 - 8 * sizeof(T)) >> (8 * sizeof(T) - 1 - bits));
        out.push_back(v);
        out.push_back(static_cast<T>(0 - v));
    }
    return out;
}

TEST(ArithTest, OverflowTestsAgreeWith128BitProducts) {
    std::mt19937_64 rng(128);
    for (int64_t a : operands<int64_t>(rng, 150))
        for (int64_t b : operands<int64_t>(rng, 20)) {
            __int128 p = static_cast<__int128>(a) * b;
            ASSERT_EQ(xk_util_check_multiply_overflow_i64(a, b), p > INT64_MAX || p < INT64_MIN)
                << a << " * " << b;
        }
    for (int32_t a : operands<int32_t>(rng, 150))
        for (int32_t b : operands<int32_t>(rng, 20)) {
            int64_t p = static_cast<int64_t>(a) * b;
            ASSERT_EQ(xk_util_check_multiply_overflow_i32(a, b), p > INT32_MAX || p < INT32_MIN)
                << a << " * " << b;
        }
    for (uint64_t a : operands<uint64_t>(rng, 150))
        for (uint64_t b : operands<uint64_t>(rng, 20)) {
            unsigned __int128 p = static_cast<unsigned __int128>(a) * b;
            ASSERT_EQ(xk_util_check_multiply_overflow_u64(a, b), p > UINT64_MAX) << a << " * " << b;
        }
}

TEST(ArithTest, RoundingToPowersOfTwo) {
    const uint64_t p63 = UINT64_C(1) << 63;
    EXPECT_EQ(round_up_power_2(0), 0u);
    EXPECT_EQ(round_up_power_2(1), 1u);
    EXPECT_EQ(round_up_power_2(3), 4u);
    EXPECT_EQ(round_up_power_2(1000), 1024u);
    EXPECT_EQ(round_up_power_2(p63), p63);
    EXPECT_EQ(round_up_power_2(p63 + 1), 0u);  // 2^64 does not fit
    EXPECT_EQ(round_up_power_2(UINT64_MAX), 0u);
    EXPECT_EQ(round_down_power_2(0), 0u);
    EXPECT_EQ(round_down_power_2(1), 1u);
    EXPECT_EQ(round_down_power_2(3), 2u);
    EXPECT_EQ(round_down_power_2(1000), 512u);
    EXPECT_EQ(round_down_power_2(p63 + 1), p63);
    EXPECT_EQ(round_down_power_2(UINT64_MAX), p63);
    for (int k = 2; k < 64; ++k) {
        uint64_t p = UINT64_C(1) << k;
        EXPECT_EQ(round_up_power_2(p - 1), p) << k;
        EXPECT_EQ(round_down_power_2(p - 1), p / 2) << k;
        EXPECT_EQ(round_up_power_2(p + 1), k == 63 ? 0 : 2 * p) << k;
        EXPECT_EQ(round_down_power_2(p + 1), p) << k;
    }
}

}  // namespace
