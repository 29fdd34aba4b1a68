#include <math.h>

#include "support/capture.h"

using TimevalTest = xk::test::ReportingTest;

TEST_F(TimevalTest, OrderDifferenceAndReadableDurations) {
    const std::tuple<timeval, timeval, int, double> cases[] = {{{5, 10}, {5, 10}, 0, 0},
                                                               {{5, 11}, {5, 10}, 1, 1e-6},
                                                               {{4, 999999}, {5, 0}, -1, -1e-6},
                                                               {{10, 500000}, {8, 0}, 1, 2.5}};
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
}

TEST_F(TimevalTest, SafeAddAndMillisecondConversions) {
    const std::tuple<int64_t, int64_t, xk_util_status> adds[] = {{INT64_MAX - 2, 2, XK_OK},
                                                                 {INT64_MAX - 2, 3, XK_ERR_OVERFLOW},
                                                                 {0, -1, XK_ERR_OVERFLOW}};  // it only adds
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
