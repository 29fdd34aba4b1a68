#include <gtest/gtest.h>
#include <math.h>
#include <stdint.h>
#include <string.h>
#include <sys/time.h>

#include "support/capture.h"
#include "xk/time.h"

namespace {

using TimevalTest = xk::test::ReportingTest;

struct timeval tv(int64_t sec, int64_t usec) {
    return {static_cast<time_t>(sec), static_cast<suseconds_t>(usec)};
}

TEST(Timeval, OrderingComparesSecondsThenMicroseconds) {
    struct Case {
        struct timeval a, b;
        int cmp;
    } cases[] = {
        {tv(5, 10), tv(5, 10), 0},     {tv(5, 11), tv(5, 10), 1},
        {tv(4, 999999), tv(5, 0), -1}, {tv(5, 2000000), tv(6, 0), -1},  // not normalised
        {tv(-1, 0), tv(0, 0), -1},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(xk_util_timeval_cmp(&c.a, &c.b), c.cmp);
        EXPECT_EQ(xk_util_timeval_cmp(&c.b, &c.a), -c.cmp);
        EXPECT_EQ(xk_util_time_greater_than(&c.a, &c.b), c.cmp == 1 ? 1 : 0);
    }
}

TEST_F(TimevalTest, SafeAddSecondsOnlyAdds) {
    struct timeval t = tv(INT64_MAX - 2, 9);
    EXPECT_EQ(xk_util_safe_add_seconds(&t, 0), XK_OK);
    EXPECT_EQ(xk_util_safe_add_seconds(&t, 1), XK_OK);
    EXPECT_EQ(t.tv_sec, INT64_MAX - 1);
    t = tv(INT64_MAX - 2, 9);
    EXPECT_EQ(xk_util_safe_add_seconds(&t, 3), XK_ERR_OVERFLOW);
    EXPECT_EQ(t.tv_sec, INT64_MAX - 2);
    EXPECT_EQ(t.tv_usec, 9);
    expect_single_trace("xk_util_safe_add_seconds", XK_ERR_OVERFLOW);
    EXPECT_EQ(xk_util_safe_add_seconds(&t, 2), XK_OK);
    EXPECT_EQ(t.tv_sec, INT64_MAX);

    // A negative amount is refused whenever tv_sec is not negative, and for ordinary negatives too.
    for (int64_t sec : {int64_t{0}, int64_t{100}, int64_t{-10}}) {
        capture.clear();
        t = tv(sec, 0);
        EXPECT_EQ(xk_util_safe_add_seconds(&t, -1), XK_ERR_OVERFLOW);
        EXPECT_EQ(t.tv_sec, sec);
        expect_single_trace("xk_util_safe_add_seconds", XK_ERR_OVERFLOW);
    }
}

TEST(Timeval, DiffSeconds) {
    struct timeval a = tv(10, 500000), b = tv(8, 0);
    EXPECT_DOUBLE_EQ(xk_util_time_diff_seconds(&a, &b), 2.5);
    EXPECT_DOUBLE_EQ(xk_util_time_diff_seconds(&b, &a), -2.5);
}

TEST(Timeval, HumanTimeTable) {
    struct Case {
        double seconds;
        const char *text;
    } cases[] = {
        {45, "45 seconds"},    {60, "1 minute"},   {90, "2 minutes"},      {3600, "1 hour"},
        {7200, "2 hours"},     {86400, "1 day"},   {200000, "2 days"},     {59.6, "60 seconds"},
        {59.99, "60 seconds"}, {0.7, "1 seconds"}, {-300, "-300 seconds"}, {NAN, "nan days"},
        {1, "1 second"},
    };
    for (const Case &c : cases) {
        char buf[32];
        EXPECT_EQ(xk_util_snprintf_human_time(buf, sizeof buf, c.seconds), XK_OK);
        EXPECT_STREQ(buf, c.text) << c.seconds;
    }
    char small[4];
    EXPECT_EQ(xk_util_snprintf_human_time(small, sizeof small, 45), XK_OK);
    EXPECT_STREQ(small, "45 ");
}

TEST_F(TimevalTest, MillisecondConversions) {
    struct timeval t = tv(-1, -1);
    ASSERT_EQ(xk_util_ms_to_timeval(1234, &t), XK_OK);
    EXPECT_EQ(t.tv_sec, 1);
    EXPECT_EQ(t.tv_usec, 234000);
    ASSERT_EQ(xk_util_ms_to_timeval(0, &t), XK_OK);
    EXPECT_EQ(t.tv_sec, 0);
    EXPECT_EQ(t.tv_usec, 0);
    ASSERT_EQ(xk_util_ms_to_timeval(UINT64_MAX, &t), XK_OK);
    EXPECT_EQ(t.tv_sec, 18446744073709551);
    EXPECT_EQ(t.tv_usec, 615000);
    EXPECT_EQ(xk_util_ms_to_timeval(1, nullptr), XK_ERR_NULL_ARG);
    EXPECT_TRUE(traces().empty());  // the NULL is not traced

    int64_t ms = 0;
    const struct timeval cases[] = {tv(1, 999999), tv(0, -1500), tv(2, -1500)};
    const int64_t want[] = {1999, -1, 1999};
    for (size_t i = 0; i < 3; ++i) {
        ASSERT_EQ(xk_util_timeval_to_ms(&cases[i], &ms), XK_OK);
        EXPECT_EQ(ms, want[i]);
    }
    EXPECT_EQ(xk_util_timeval_to_ms(&cases[0], nullptr), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_timeval_to_ms", XK_ERR_NULL_ARG);
}

}  // namespace
