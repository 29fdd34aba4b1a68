#include <gtest/gtest.h>
#include <sys/time.h>

#include "support/capture.h"
#include "xk/time.h"

namespace {

using FutureTimeTest = xk::test::ReportingTest;

int64_t us_of(const struct timeval &tv) { return static_cast<int64_t>(tv.tv_sec) * 1000000 + tv.tv_usec; }

TEST_F(FutureTimeTest, AddsWholeSecondsToNow) {
    for (int seconds : {0, 5}) {
        struct timeval before, after, tv;
        gettimeofday(&before, nullptr);
        ASSERT_EQ(xk_util_future_time(seconds, &tv), XK_OK);
        gettimeofday(&after, nullptr);
        EXPECT_GE(us_of(tv), us_of(before) + seconds * 1000000LL);
        EXPECT_LE(us_of(tv), us_of(after) + seconds * 1000000LL);
    }
    EXPECT_TRUE(traces().empty());
}

TEST_F(FutureTimeTest, RefusesNegativeSecondsAndNull) {
    struct timeval tv = {42, 7};
    EXPECT_EQ(xk_util_future_time(-1, &tv), XK_ERR_INVALID);
    EXPECT_EQ(tv.tv_sec, 42);
    EXPECT_EQ(tv.tv_usec, 7);
    expect_single_trace("xk_util_future_time", XK_ERR_INVALID);
    capture.clear();
    EXPECT_EQ(xk_util_future_time(1, nullptr), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_future_time", XK_ERR_NULL_ARG);
    EXPECT_TRUE(lines().empty());
}

}  // namespace
