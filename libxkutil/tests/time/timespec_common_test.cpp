#include <gtest/gtest.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "internal/timeout.h"
#include "support/capture.h"
#include "xk/time.h"

namespace {

using DeadlineTest = xk::test::ReportingTest;
constexpr int64_t kMax = INT64_MAX;

struct timespec ts(int64_t sec, int64_t nsec) {
    return {static_cast<time_t>(sec), static_cast<long>(nsec)};
}

int64_t ns_of(const struct timespec &t) { return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; }

struct timespec realtime() {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

void expect_ts(const struct timespec &t, int64_t sec, int64_t nsec) {
    EXPECT_EQ(t.tv_sec, sec);
    EXPECT_EQ(t.tv_nsec, nsec);
}

TEST_F(DeadlineTest, OffsetAddsSecondsRemainderAndCarry) {
    struct Case {
        int64_t sec, nsec, val, scale, want_sec, want_nsec;
    } cases[] = {
        {10, 600000000, 1500, 1000, 12, 100000000},  // one whole second, then a carry
        {10, 500000000, 500, 1000, 11, 0},
        {10, 999999999, 1, 1000000000, 11, 0},
        {10, 123, 0, 7, 10, 123},    // nothing to add
        {0, 0, 1, 3, 0, 333333333},  // truncated factor for a third
        {0, 0, 4, 3, 1, 333333333},
        {0, 0, 1, 600000000, 0, 1},  // every scale above half a second has factor 1
        {0, 0, 999999998, 999999999, 0, 999999998},
        {0, 0, kMax, 1000000000, 9223372036, 854775807},
        {kMax - 2, 0, 2, 1, kMax, 0},  // exactly up to the limit
        {kMax, 0, 1, 1000, kMax, 1000000},
        {-5, 0, 3, 1, -2, 0},  // a negative field is far from the limit
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.sec << "," << c.nsec << " + " << c.val << "/" << c.scale);
        struct timespec t = ts(c.sec, c.nsec);
        EXPECT_EQ(xk_util_abs_time_offset(&t, c.val, c.scale), XK_OK);
        expect_ts(t, c.want_sec, c.want_nsec);
    }
    EXPECT_TRUE(traces().empty());
    EXPECT_TRUE(lines().empty());
}

TEST_F(DeadlineTest, OffsetRefusesBadValuesWithOneLine) {
    const int64_t bad[][2] = {{1, 0}, {1, -1}, {1, 1000000001}, {-1, 1000}};
    for (const auto &b : bad) {
        capture.clear();
        struct timespec t = ts(10, 5);
        EXPECT_EQ(xk_util_abs_time_offset(&t, b[0], b[1]), XK_ERR_INVALID);
        expect_ts(t, 10, 5);
        expect_single_trace("xk_util_abs_time_offset", XK_ERR_INVALID);
        ASSERT_EQ(lines().size(), 1u);
        char want[96];
        snprintf(want, sizeof want, "Bad value, val: %ld scale_to_sec: %ld\n", static_cast<long>(b[0]),
                 static_cast<long>(b[1]));
        EXPECT_EQ(lines()[0].text, want);
        EXPECT_EQ(lines()[0].level, 3);
        EXPECT_EQ(lines()[0].file, "");
        EXPECT_EQ(lines()[0].line, 0);
    }
    capture.clear();
    EXPECT_EQ(xk_util_abs_time_offset(nullptr, 1, 1), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_abs_time_offset", XK_ERR_NULL_ARG);
}

TEST_F(DeadlineTest, OffsetOverflowIsTracedNotLogged) {
    struct timespec t = ts(kMax - 1, 7);
    EXPECT_EQ(xk_util_abs_time_offset(&t, 2, 1), XK_ERR_OVERFLOW);
    expect_ts(t, kMax - 1, 7);  // refused before anything changed
    expect_single_trace("xk_util_abs_time_offset", XK_ERR_OVERFLOW);
    EXPECT_TRUE(lines().empty());

    capture.clear();
    t = ts(kMax, 600000000);  // the carry has nowhere to go; the nanoseconds are already cleared
    EXPECT_EQ(xk_util_abs_time_offset(&t, 500, 1000), XK_ERR_OVERFLOW);
    expect_ts(t, kMax, 0);
    expect_single_trace("xk_util_abs_time_offset", XK_ERR_OVERFLOW);
}

TEST_F(DeadlineTest, FutureTimeoutIsNowPlusTheAmount) {
    struct timespec deadline;
    const struct timespec before = realtime();
    ASSERT_EQ(xk_util_future_timeout(&deadline, 1500, 1000), XK_OK);
    const struct timespec after = realtime();
    EXPECT_GE(ns_of(deadline), ns_of(before) + 1500000000);
    EXPECT_LE(ns_of(deadline), ns_of(after) + 1500000000);
    EXPECT_TRUE(traces().empty());
}

TEST_F(DeadlineTest, FutureTimeoutBadValueLogsBothLinesAndLeavesNow) {
    struct timespec deadline;
    const struct timespec before = realtime();
    EXPECT_EQ(xk_util_future_timeout(&deadline, -5, 1000), XK_ERR_INVALID);
    const struct timespec after = realtime();
    EXPECT_GE(ns_of(deadline), ns_of(before));
    EXPECT_LE(ns_of(deadline), ns_of(after));
    ASSERT_EQ(lines().size(), 2u);
    EXPECT_EQ(lines()[0].func, "xk_util_abs_time_offset");
    EXPECT_EQ(lines()[0].text, "Bad value, val: -5 scale_to_sec: 1000\n");
    EXPECT_EQ(lines()[1].func, "xk_util_future_timeout");
    EXPECT_EQ(lines()[1].text, "Overflow detected when trying to set phase timeout tmp hack");
    EXPECT_EQ(lines()[1].level, 3);
    auto records = traces();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].func, "xk_util_abs_time_offset");
    EXPECT_EQ(records[1].func, "xk_util_future_timeout");
    EXPECT_EQ(records[1].status, XK_ERR_INVALID);

    capture.clear();
    EXPECT_EQ(xk_util_future_timeout(&deadline, kMax, 1), XK_ERR_OVERFLOW);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].text, "Overflow detected when trying to set phase timeout tmp hack");
    ASSERT_EQ(traces().size(), 2u);
    EXPECT_EQ(traces()[1].status, XK_ERR_OVERFLOW);
}

TEST_F(DeadlineTest, ExpiredComparesSecondsThenNanoseconds) {
    int expired = -1;
    struct timespec deadline;
    ASSERT_EQ(xk_util_future_timeout(&deadline, 0, 1), XK_OK);
    ASSERT_EQ(xk_util_query_timeout_expired(&deadline, &expired), XK_OK);
    EXPECT_EQ(expired, 1);
    ASSERT_EQ(xk_util_future_timeout(&deadline, 3600, 1), XK_OK);
    ASSERT_EQ(xk_util_query_timeout_expired(&deadline, &expired), XK_OK);
    EXPECT_EQ(expired, 0);

    // Same second, later nanosecond: not reached unless the second ends first, so start with at
    // least 300 ms of the second left.
    struct timespec now = realtime();
    if (now.tv_nsec > 700000000) {
        const struct timespec rest = {0, 1000000000 - now.tv_nsec + 1000000};
        nanosleep(&rest, nullptr);
        now = realtime();
    }
    deadline = ts(now.tv_sec, 999999999);
    ASSERT_EQ(xk_util_query_timeout_expired(&deadline, &expired), XK_OK);
    EXPECT_EQ(expired, 0);
    deadline = ts(now.tv_sec, 0);
    ASSERT_EQ(xk_util_query_timeout_expired(&deadline, &expired), XK_OK);
    EXPECT_EQ(expired, 1);
    EXPECT_TRUE(traces().empty());

    expired = -1;
    EXPECT_EQ(xk_util_query_timeout_expired(nullptr, &expired), XK_ERR_NULL_ARG);
    EXPECT_EQ(expired, -1);
    expect_single_trace("xk_util_query_timeout_expired", XK_ERR_NULL_ARG);
}

TEST_F(DeadlineTest, CmpOrdersAsStored) {
    struct timespec a = ts(5, 10), b = ts(5, 10), c = ts(5, 11), d = ts(6, 0), e = ts(5, 999999999);
    int result = 7;
    ASSERT_EQ(xk_util_cmp_timeout(&a, &b, &result), XK_OK);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(xk_util_cmp_timeout(&a, &c, &result), XK_OK);
    EXPECT_EQ(result, -1);
    ASSERT_EQ(xk_util_cmp_timeout(&d, &e, &result), XK_OK);
    EXPECT_EQ(result, 1);
    ASSERT_EQ(xk_util_cmp_timeout(&e, &d, &result), XK_OK);
    EXPECT_EQ(result, -1);

    result = 7;
    EXPECT_EQ(xk_util_cmp_timeout(&a, nullptr, &result), XK_ERR_NULL_ARG);
    EXPECT_EQ(result, 7);
    expect_single_trace("xk_util_cmp_timeout", XK_ERR_NULL_ARG);
    ASSERT_EQ(lines().size(), 1u);
    char want[128];
    snprintf(want, sizeof want, "NULL argument detected: %p %p %p", static_cast<void *>(&a), nullptr,
             static_cast<void *>(&result));
    EXPECT_EQ(lines()[0].text, want);
}

TEST_F(DeadlineTest, TimeLeftPrintsExponentSeconds) {
    char buf[64];
    struct timespec deadline;
    ASSERT_EQ(xk_util_future_timeout(&deadline, 100, 1), XK_OK);
    const struct timespec before = realtime();
    ASSERT_EQ(xk_util_query_timeout_left(&deadline, buf, sizeof buf), XK_OK);
    const struct timespec after = realtime();
    double left = 0;
    char rest[16] = "";
    ASSERT_EQ(sscanf(buf, "%le %15s", &left, rest), 2) << buf;
    EXPECT_STREQ(rest, "seconds");
    EXPECT_LE(left, (ns_of(deadline) - ns_of(before)) * 1e-9 + 1e-3) << buf;
    EXPECT_GE(left, (ns_of(deadline) - ns_of(after)) * 1e-9 - 1e-3) << buf;

    // Far enough from now that the printed digits do not depend on it.
    deadline = ts(4000000000000000000, 0);
    ASSERT_EQ(xk_util_query_timeout_left(&deadline, buf, sizeof buf), XK_OK);
    EXPECT_STREQ(buf, "4.000000e+18 seconds");
    deadline = ts(-4000000000000000000, 0);
    ASSERT_EQ(xk_util_query_timeout_left(&deadline, buf, sizeof buf), XK_OK);
    EXPECT_STREQ(buf, "-4.000000e+18 seconds");

    memset(buf, 'x', sizeof buf);
    deadline = ts(4000000000000000000, 0);
    ASSERT_EQ(xk_util_query_timeout_left(&deadline, buf, 10), XK_OK);
    EXPECT_STREQ(buf, "4.000000e");
    EXPECT_EQ(buf[10], 'x');
    ASSERT_EQ(xk_util_query_timeout_left(&deadline, buf + 20, 0), XK_OK);
    EXPECT_EQ(buf[20], 'x');
    EXPECT_TRUE(traces().empty());
}

}  // namespace
