#include "xk/arith.h"

#include <array>
#include <limits>
#include <random>

#include "support/capture.h"

namespace {

// The test agrees with the product taken in a wider type over the limits, the given operands and
// random values of every width and both signs, in every pairing.
template <typename T, typename Wide>
void agrees_with_wide_products(bool (*overflows)(T, T), std::vector<T> ops) {
    std::mt19937_64 rng(128);
    ops.insert(ops.end(),
               {0, 1, static_cast<T>(-1), 2, std::numeric_limits<T>::max(), std::numeric_limits<T>::min()});
    for (int i = 0; i < 150; ++i) {
        T v = static_cast<T>(rng() >> (64 - 8 * sizeof(T)) >> rng() % (8 * sizeof(T)));
        ops.insert(ops.end(), {v, static_cast<T>(0 - v)});
    }
    for (T a : ops)
        for (T b : ops)
            ASSERT_EQ(overflows(a, b), static_cast<T>(Wide(a) * b) != Wide(a) * b) << a << " * " << b;
}

}  // namespace

// Roundings: 2^64 does not fit, so rounding up above 2^63 gives 0.
TEST(ArithTest, OverflowTestsAndRoundings) {
    const int64_t p62 = INT64_C(1) << 62;
    agrees_with_wide_products<int64_t, __int128>(xk_util_check_multiply_overflow_i64,
                                                 {p62, p62 - 1, -p62, -2});
    agrees_with_wide_products<int32_t, int64_t>(xk_util_check_multiply_overflow_i32,
                                                {46341, 46340, -65536, 32768});
    agrees_with_wide_products<uint64_t, unsigned __int128>(xk_util_check_multiply_overflow_u64,
                                                           {UINT64_C(1) << 32, (UINT64_C(1) << 32) - 1});
    std::vector<std::array<uint64_t, 3>> cases = {
        {0, 0, 0}, {1, 1, 1}, {3, 4, 2}, {1000, 1024, 512}};  // x, up, down
    for (uint64_t k = 2, p = 4; k < 64; ++k, p <<= 1)
        cases.insert(cases.end(), {{p - 1, p, p / 2}, {p, p, p}, {p + 1, k == 63 ? 0 : 2 * p, p}});
    cases.push_back({UINT64_MAX, 0, UINT64_C(1) << 63});
    for (const auto &[x, up, down] : cases)
        EXPECT_TRUE(round_up_power_2(x) == up && round_down_power_2(x) == down) << x;
}
