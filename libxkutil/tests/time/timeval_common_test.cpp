#include <math.h>

#include "support/capture.h"

using TimevalTest = xk::test::ReportingTest;

// A readable duration as the unit thresholds define it, to hold the function against.
std::string human(double v) {
    const char *units[] = {"second", "minute", "hour", "day"};
    const double next[] = {60, 60, 24};
    int u = 0;
    while (u < 3 && !(v < next[u])) v /= next[u++];
    return std::to_string(int64_t(nearbyint(v))) + " " + units[u] + (v == 1.0 ? "" : "s");
}

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
    const std::pair<double, const char *> examples[] = {
        {45, "45 seconds"}, {60, "1 minute"},     {90, "2 minutes"},  {7200, "2 hours"},
        {86400, "1 day"},   {59.6, "60 seconds"}, {0.7, "1 seconds"}, {-300, "-300 seconds"},
        {NAN, "nan days"},  {4000, "1 hours"}};
    char buf[64];
    std::string got, want;
    for (const auto &[seconds, text] : examples)
        xk_util_snprintf_human_time(buf, sizeof buf, seconds), got += buf + std::string("|"),
            want += text + std::string("|");
    for (double s = 0.25; s < 1e8; s = s * 1.37 + 0.5)  // every unit, its edges and the rounding
        xk_util_snprintf_human_time(buf, sizeof buf, s), got += buf + std::string("|"),
            want += human(s) + "|";
    EXPECT_EQ(xk_util_snprintf_human_time(buf, 4, 45), XK_OK);
    EXPECT_EQ(got + buf, want + "45 ");
}

TEST_F(TimevalTest, SafeAddAndMillisecondConversions) {
    const std::tuple<int64_t, int64_t, xk_util_status> adds[] = {{INT64_MAX - 2, 0, XK_OK},
                                                                 {INT64_MAX - 2, 2, XK_OK},
                                                                 {INT64_MAX - 2, 3, XK_ERR_OVERFLOW},
                                                                 {0, -1, XK_ERR_OVERFLOW},
                                                                 {-10, -1, XK_ERR_OVERFLOW}};  // it only adds
    for (const auto &[sec, add, st] : adds) {
        timeval t = {sec, 9};
        expect_report(xk_util_safe_add_seconds(&t, add), st);
        EXPECT_EQ(std::tuple(t.tv_sec, t.tv_usec), std::tuple(st ? sec : sec + add, 9));
    }
    const std::pair<uint64_t, timeval> to_tv[] = {
        {1234, {1, 234000}}, {0, {0, 0}}, {UINT64_MAX, {18446744073709551, 615000}}};
    for (const auto &[ms, want] : to_tv) {
        timeval t = {-1, -1};
        expect_report(xk_util_ms_to_timeval(ms, &t), XK_OK);
        EXPECT_EQ(std::tuple(t.tv_sec, t.tv_usec), std::tuple(want.tv_sec, want.tv_usec));
    }
    const std::pair<timeval, int64_t> to_ms[] = {
        {{1, 999999}, 1999}, {{0, -1500}, -1}, {{2, -1500}, 1999}};  // truncated
    for (const auto &[tv, want] : to_ms) {
        int64_t ms = 0;
        expect_report(xk_util_timeval_to_ms(&tv, &ms), XK_OK);
        EXPECT_EQ(ms, want);
    }
    expect_report(xk_util_ms_to_timeval(1, nullptr), XK_ERR_NULL_ARG, {}, 0);  // not traced
    expect_all({xk_util_timeval_to_ms(nullptr, nullptr)});
}
