// SPDX-License-Identifier: MIT
#include "support/capture.h"

using SumTest = xk::test::ReportingTest;

// At 1e16 doubles are 2 apart, so the order of a set's steps shows in the last bit: taking the old 1
// out first and then adding 3 gives 1e16 + 4; adding the difference 2 would give 1e16 + 2. The
// window holds 1e16 + 1 and the total 2e16 + 1, both rounded down, before the set.
TEST_F(SumTest, WindowSlidesTotalGrowsAndSetReplaces) {
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
