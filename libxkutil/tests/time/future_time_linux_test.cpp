#include <sys/time.h>

#include "support/capture.h"

using FutureTimeTest = xk::test::ReportingTest;

TEST_F(FutureTimeTest, AddsWholeSecondsToNow) {
    struct timeval before, tv = {42, 7}, after;
    expect_report(xk_util_future_time(-1, &tv), XK_ERR_INVALID);
    EXPECT_EQ(std::tuple(tv.tv_sec, tv.tv_usec), std::tuple(42, 7));
    expect_report(xk_util_future_time(1, nullptr), XK_ERR_NULL_ARG);
    gettimeofday(&before, nullptr);
    expect_report(xk_util_future_time(5, &tv), XK_OK);
    gettimeofday(&after, nullptr);
    EXPECT_GE(tv.tv_sec * 1000000 + tv.tv_usec, before.tv_sec * 1000000 + before.tv_usec + 5000000);
    EXPECT_LE(tv.tv_sec * 1000000 + tv.tv_usec, after.tv_sec * 1000000 + after.tv_usec + 5000000);
}
