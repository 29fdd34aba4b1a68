// SPDX-License-Identifier: MIT
#include <array>

#include "support/capture.h"

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
