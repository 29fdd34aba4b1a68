#include "internal/timeout.h"
#include "support/capture.h"

using DeadlineTest = xk::test::ReportingTest;
constexpr int64_t kMax = INT64_MAX;

int64_t now_ns() {
    timespec now;
    return clock_gettime(CLOCK_REALTIME, &now), now.tv_sec * 1000000000 + now.tv_nsec;
}

// Whole seconds first, then the remainder with a carry. The factor for a third is truncated and is
// 1 for every scale above half a second. A refusal changes nothing, even with no second left to
// carry into.
TEST_F(DeadlineTest, OffsetAddsSecondsThenTheRemainderWithACarry) {
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
}

TEST_F(DeadlineTest, FutureTimeoutExpiryComparisonAndTimeLeft) {
    timespec deadline, far = {4000000000000000000, 0}, past = {-4000000000000000000, 0}, first = {5, 10};
    int64_t before = now_ns();
    expect_report(xk_util_future_timeout(&deadline, 1500, 1000), XK_OK);
    int64_t later = deadline.tv_sec * 1000000000 + deadline.tv_nsec - 1500000000;
    EXPECT_TRUE(before <= later && later <= now_ns());
    const char *overflow = "Overflow detected when trying to set phase timeout tmp hack";
    expect_report(xk_util_future_timeout(&deadline, -5, 1000), XK_ERR_INVALID,
                  {"Bad value, val: -5 scale_to_sec: 1000\n", overflow}, 2);
    expect_report(xk_util_future_timeout(&deadline, kMax, 1), XK_ERR_OVERFLOW, {overflow}, 2);
    // A deadline is reached at now exactly; within the current second the nanoseconds decide.
    int64_t ns = now_ns(), now = ns / 1000000000, soon = ns % 1000000000 < 700000000 ? 999999999 : 0;
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
    EXPECT_EQ(std::tuple(std::string(text), result), std::tuple("untouched", 7));
    expect_all({xk_util_query_timeout_left(&far, text, 10)}, XK_OK);
    EXPECT_EQ(std::string(text, 11), std::string("4.000000e\0N", 11));
    expect_all({xk_util_query_timeout_left(&past, text, sizeof text)}, XK_OK);
    EXPECT_STREQ(text, "-4.000000e+18 seconds");
}
