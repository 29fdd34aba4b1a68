#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "support/capture.h"
#include "xk/sum.h"

namespace {

using xk::test::ReportingTest;
using SumTest = ReportingTest;

TEST_F(SumTest, WindowSlidesAndTotalKeepsGrowing) {
    xk_util_sum sum;
    ASSERT_EQ(xk_util_sum_init(&sum, 3), XK_OK);
    EXPECT_EQ(sum.n, 3u);
    xk_util_sum_inc(&sum, 1);
    EXPECT_EQ(xk_util_sum_next(&sum), 1.0);
    xk_util_sum_inc(&sum, 2);
    EXPECT_EQ(xk_util_sum_next(&sum), 3.0);
    xk_util_sum_inc(&sum, 4);
    EXPECT_EQ(xk_util_sum_next(&sum), 7.0);
    EXPECT_EQ(xk_util_sum_get(&sum), 6.0);  // the bucket holding 1 was dropped
    EXPECT_EQ(xk_util_sum_get_total(&sum), 7.0);
    EXPECT_EQ(xk_util_sum_partial(&sum), 0.0);
    EXPECT_EQ(sum.pos, 0u);

    xk_util_sum_set(&sum, 10);
    EXPECT_EQ(xk_util_sum_get(&sum), 16.0);
    EXPECT_EQ(xk_util_sum_get_total(&sum), 17.0);
    xk_util_sum_set(&sum, 5);
    EXPECT_EQ(xk_util_sum_get(&sum), 11.0);
    EXPECT_EQ(xk_util_sum_get_total(&sum), 12.0);
    EXPECT_EQ(xk_util_sum_partial(&sum), 5.0);
    xk_util_sum_free(&sum);
    EXPECT_EQ(sum.buckets, nullptr);
    xk_util_sum_free(&sum);  // twice is harmless
    xk_util_sum_free(nullptr);
    EXPECT_TRUE(traces().empty());
}

TEST_F(SumTest, SingleBucketEmptiesOnEveryAdvance) {
    xk_util_sum sum;
    ASSERT_EQ(xk_util_sum_init(&sum, 1), XK_OK);
    xk_util_sum_inc(&sum, 5);
    EXPECT_EQ(xk_util_sum_next(&sum), 5.0);
    EXPECT_EQ(xk_util_sum_get(&sum), 0.0);
    EXPECT_EQ(xk_util_sum_get_total(&sum), 5.0);
    xk_util_sum_free(&sum);
}

TEST_F(SumTest, SetTakesTheOldValueOutBeforeAddingTheNew) {
    // At 1e16 doubles are 2 apart, so the order of the steps shows in the last bit: removing the
    // old 1 first and then adding 3 gives 1e16 + 4, adding the difference 2 would give 1e16 + 2.
    xk_util_sum sum;
    ASSERT_EQ(xk_util_sum_init(&sum, 2), XK_OK);
    xk_util_sum_inc(&sum, 1e16);
    xk_util_sum_next(&sum);
    xk_util_sum_next(&sum);
    xk_util_sum_inc(&sum, 1e16);  // back in the first bucket; window 1e16, total 2e16
    xk_util_sum_next(&sum);
    xk_util_sum_inc(&sum, 1);
    EXPECT_EQ(xk_util_sum_get(&sum), 1e16);
    xk_util_sum_set(&sum, 3);
    EXPECT_EQ(xk_util_sum_get(&sum), 10000000000000004.0);
    EXPECT_EQ(xk_util_sum_get_total(&sum), 20000000000000004.0);  // likewise for the total
    EXPECT_EQ(xk_util_sum_partial(&sum), 3.0);
    xk_util_sum_free(&sum);
}

TEST_F(SumTest, InitFailuresAreLoggedAndLeaveTheRecord) {
    xk_util_sum sum;
    memset(&sum, 0x5a, sizeof sum);
    xk_util_sum before = sum;
    EXPECT_EQ(xk_util_sum_init(&sum, 0), XK_ERR_INVALID);
    expect_single_trace("xk_util_sum_init", XK_ERR_INVALID);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].level, 3);
    EXPECT_EQ(lines()[0].func, "xk_util_sum_init");
    EXPECT_EQ(lines()[0].text, "N is zero");
    EXPECT_EQ(memcmp(&sum, &before, sizeof sum), 0);
    capture.clear();

    size_t huge = SIZE_MAX / 4;  // calloc refuses a block this large
    EXPECT_EQ(xk_util_sum_init(&sum, huge), XK_ERR_NOMEM);
    expect_single_trace("xk_util_sum_init", XK_ERR_NOMEM);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].text, "calloc() failed, N=" + std::to_string(huge));
    EXPECT_EQ(sum.buckets, nullptr);
    EXPECT_EQ(sum.n, before.n);
    EXPECT_EQ(sum.pos, before.pos);
}

}  // namespace
