// SPDX-License-Identifier: MIT
#include <math.h>
#include <sys/time.h>

#include "internal/timeout.h"
#include "support/capture.h"

using TimeTest = xk::test::ReportingTest;

TEST(Clocks, CyclesAdvanceAndElapsedTimeNeverGoesNegative) {
    const uint64_t cycles = xk_util_read_cycles();
    EXPECT_EQ(
        std::tuple(xk_util_timer_elapsed_seconds(42, 42), xk_util_timer_elapsed_seconds(1000, 1500001000),
                   xk_util_timer_elapsed_seconds(1000000000, 0)),
        std::tuple(0.0, 1.5, (0 - 1000000000ull) / 1e9));
    usleep(1000);
    EXPECT_GT(xk_util_read_cycles(), cycles);
}

constexpr int64_t kMax = INT64_MAX;

// Whole seconds first, then the remainder with a carry. The factor for a third is truncated and is
// 1 for every scale above half a second. A refusal changes nothing, even with no second left to
// carry into.
TEST_F(TimeTest, DeadlineOffsetsFutureTimeoutsExpiryComparisonAndTimeLeft) {
    // clang-format off
    const int64_t cases[][7] = {  // time, value, scale, the time wanted, status
        {10, 600000000, 1500, 1000, 12, 100000000, XK_OK}, {10, 500000000, 500, 1000, 11, 0, XK_OK},
        {10, 999999999, 1, 1000000000, 11, 0, XK_OK}, {0, 0, 4, 3, 1, 333333333, XK_OK}, {0, 0, 1, 600000000, 0, 1, XK_OK},
        {0, 0, kMax, 1000000000, 9223372036, 854775807, XK_OK}, {kMax - 2, 0, 2, 1, kMax, 0, XK_OK},
        {kMax, 0, 1, 1000, kMax, 1000000, XK_OK}, {kMax - 1, 7, 2, 1, kMax - 1, 7, XK_ERR_OVERFLOW},
        {kMax, 600000000, 500, 1000, kMax, 0, XK_ERR_OVERFLOW}, {10, 5, 1, 0, 10, 5, XK_ERR_INVALID},
        {10, 5, 1, 1000000001, 10, 5, XK_ERR_INVALID}, {10, 5, -1, 1000, 10, 5, XK_ERR_INVALID}};
    // clang-format on
    for (auto [sec, nsec, val, scale, want_sec, want_nsec, st] : cases) {
        timespec t = {sec, nsec};
        std::string bad =
            "Bad value, val: " + std::to_string(val) + " scale_to_sec: " + std::to_string(scale) + "\n";
        expect_report(xk_util_abs_time_offset(&t, val, scale), st, std::vector(st == XK_ERR_INVALID, bad));
        EXPECT_EQ(std::tuple(t.tv_sec, t.tv_nsec), std::tuple(want_sec, want_nsec)) << val;
    }
    timespec deadline, far = {4000000000000000000, 0}, past = {-4000000000000000000, 0}, first = {5, 10};
    const char *overflow = "Overflow detected when trying to set phase timeout tmp hack";
    expect_report(xk_util_future_timeout(&deadline, -5, 1000), XK_ERR_INVALID,
                  {"Bad value, val: -5 scale_to_sec: 1000\n", overflow}, 2);
    expect_report(xk_util_future_timeout(&deadline, kMax, 1), XK_ERR_OVERFLOW, {overflow}, 2);
    // A deadline is reached at now exactly; within the current second the nanoseconds decide.
    timespec at;
    clock_gettime(CLOCK_REALTIME, &at);
    int64_t now = at.tv_sec, soon = at.tv_nsec < 700000000 ? 999999999 : 0;
    // Each row: a deadline and whether it expired; a time to hold {5, 10} against and the order.
    // clang-format off
    const std::tuple<timespec, int, timespec, int> rows[] = {{{now - 1, 999999999}, 1, {5, 10}, 0},
        {{now, 0}, 1, {5, 11}, -1}, {{now, soon}, soon == 0, {4, 999999999}, 1}, {{now + 9, 0}, 0, {6, 0}, -1}};
    // clang-format on
    for (const auto &[when, expired, other, order] : rows) {
        int got = -1, result = 7;
        expect_all({xk_util_query_timeout_expired(&when, &got), xk_util_cmp_timeout(&first, &other, &result)},
                   XK_OK);
        EXPECT_EQ(std::tuple(got, result), std::tuple(expired, order))
            << when.tv_sec - now << "," << when.tv_nsec;
    }
    char text[96] = "untouched";
    int result = 7;
    snprintf(text + 10, sizeof text - 10, "NULL argument detected: %p %p %p", &far, nullptr, &result);
    expect_report(xk_util_cmp_timeout(&far, nullptr, &result), XK_ERR_NULL_ARG, {text + 10});
    expect_all({xk_util_abs_time_offset(nullptr, 1, 1), xk_util_query_timeout_expired(nullptr, nullptr)});
    // Digits far from now do not depend on it.
    expect_all({xk_util_query_timeout_left(&far, text, 0)}, XK_OK);
    std::string left = text + std::string("|");
    expect_all({xk_util_query_timeout_left(&far, text, 10), xk_util_query_timeout_left(&past, text + 20, 70)},
               XK_OK);
    EXPECT_EQ(std::tuple(left + std::string(text, 11) + (text + 20), result),
              std::tuple(std::string("untouched|4.000000e\0N-4.000000e+18 seconds", 42), 7));
}

TEST_F(TimeTest, TimevalOrderDifferenceDurationsSafeAddAndMilliseconds) {
    // clang-format off
    const std::tuple<timeval, timeval, int, double> cases[] = {{{5, 10}, {5, 10}, 0, 0}, {{5, 11}, {5, 10}, 1, 1e-6},
        {{4, 999999}, {5, 0}, -1, -1e-6}, {{10, 500000}, {8, 0}, 1, 2.5}};
    // clang-format on
    for (const auto &[a, b, cmp, diff] : cases) {
        EXPECT_EQ(std::tuple(xk_util_timeval_cmp(&a, &b), xk_util_timeval_cmp(&b, &a),
                             xk_util_time_greater_than(&a, &b)),
                  std::tuple(cmp, -cmp, cmp == 1));
        EXPECT_NEAR(xk_util_time_diff_seconds(&a, &b), diff, 1e-9);
    }
    const double examples[] = {45, 60, 90, 7200, 86400, 59.6, 0.7, -300, NAN, 4000, 3599.6, 86399};
    char buf[64];
    std::string got;
    for (double s : examples) xk_util_snprintf_human_time(buf, sizeof buf, s), got += buf + std::string("|");
    EXPECT_EQ(
        got,
        "45 seconds|1 minute|2 minutes|2 hours|1 day|60 seconds|1 seconds|-300 seconds|nan days|1 hours|"
        "60 minutes|24 hours|");
    EXPECT_EQ(std::tuple(xk_util_snprintf_human_time(buf, 4, 45), std::string("45 ")),
              std::tuple(XK_OK, buf));
    // It only adds: a negative amount is refused too.
    // clang-format off
    const std::tuple<int64_t, int64_t, xk_util_status> adds[] = {{INT64_MAX - 2, 2, XK_OK}, {INT64_MAX - 2, 3, XK_ERR_OVERFLOW},
        {0, -1, XK_ERR_OVERFLOW}};
    // clang-format on
    for (const auto &[sec, add, st] : adds) {
        timeval t = {sec, 9};
        expect_report(xk_util_safe_add_seconds(&t, add), st);
        EXPECT_EQ(std::tuple(t.tv_sec, t.tv_usec), std::tuple(st ? sec : sec + add, 9));
    }
    timeval t = {-1, -1}, tv = {2, -1500};
    int64_t ms = 0;
    expect_all({xk_util_ms_to_timeval(UINT64_MAX, &t), xk_util_timeval_to_ms(&tv, &ms)}, XK_OK);
    EXPECT_EQ(std::tuple(t.tv_sec, t.tv_usec, ms), std::tuple(18446744073709551, 615000, 1999));  // truncated
    expect_report(xk_util_ms_to_timeval(1, nullptr), XK_ERR_NULL_ARG, {}, 0);  // not traced
    expect_all({xk_util_timeval_to_ms(nullptr, nullptr)});
}

TEST_F(TimeTest, CalendarBrokenDownTextAndFutureForms) {
    setenv("TZ", "XKT-2", 1), tzset();        // two hours east of UTC, so a UTC reading would differ
    const time_t zero = 0, huge = INT64_MAX;  // huge: its year does not fit an int
    struct tm utc, local, now;
    char buf[32] = "untouched";
    size_t len = 25;
    int err = 12345;
    expect_report(xk_util_now_str(buf, &len, &err), XK_ERR_INVALID);
    EXPECT_EQ(std::tuple(std::string(buf), len), std::tuple("untouched", 25u));
    EXPECT_EQ(xk_util_localtime_r(&huge, &local), nullptr);
    EXPECT_EQ(xk_util_localtime_r(&zero, &local)->tm_hour, 2);
    unsetenv("TZ"), tzset();
    expect_report(xk_util_gmtime(&zero, &utc), XK_OK);
    expect_report(xk_util_gmtime(&huge, &now), XK_ERR_SYSTEM);
    std::string texts;
    expect_report(xk_util_asctime(&utc, buf, 25), XK_ERR_BUFFER_TOO_SMALL);
    texts += buf, expect_report(xk_util_asctime(&utc, buf, 26), XK_OK);
    EXPECT_EQ(texts + buf, "untouchedThu Jan  1 00:00:00 1970\n");
    utc.tm_year = 10000 - 1900;  // five digits do not fit the layout
    expect_report(xk_util_asctime(&utc, buf, sizeof buf), XK_ERR_SYSTEM);
    expect_all({xk_util_asctime(nullptr, buf, sizeof buf), xk_util_asctime(&utc, nullptr, sizeof buf),
                xk_util_now_str(buf, nullptr, nullptr), xk_util_future_time(1, nullptr)});
    struct timeval tv = {42, 7};
    expect_report(xk_util_future_time(-1, &tv), XK_ERR_INVALID);
    EXPECT_EQ(std::tuple(tv.tv_sec, tv.tv_usec), std::tuple(42, 7));
}
