#include <sys/time.h>

#include "support/capture.h"

using CalendarTest = xk::test::ReportingTest;

TEST_F(CalendarTest, BrokenDownTextAndFutureForms) {
    setenv("TZ", "XKT-2", 1), tzset();  // two hours east of UTC, so a UTC reading would differ
    const time_t zero = 0, huge = INT64_MAX, before = time(nullptr);  // huge: its year does not fit an int
    struct tm utc, local, now;
    char buf[32] = "untouched", then[26], later[26];
    size_t len = 25;
    int err = 12345;
    expect_report(xk_util_now_str(buf, &len, &err), XK_ERR_INVALID);
    EXPECT_EQ(std::tuple(std::string(buf), len), std::tuple("untouched", 25u));
    expect_report(xk_util_now_str(buf, &++len, &err), XK_OK);
    const time_t after = time(nullptr);
    ctime_r(&before, then), ctime_r(&after, later), then[24] = later[24] = '\0';
    EXPECT_EQ(std::tuple(len, err, !strcmp(buf, then) || !strcmp(buf, later)), std::tuple(24u, 12345, true));
    expect_report(xk_util_get_broken_down_time(&now), XK_OK);
    EXPECT_LE(before, timegm(&now) - 7200);
    EXPECT_EQ(xk_util_localtime_r(&huge, &local), nullptr);
    EXPECT_EQ(xk_util_localtime_r(&zero, &local)->tm_hour, 2);
    unsetenv("TZ"), tzset();
    expect_report(xk_util_gmtime(&zero, &utc), XK_OK);
    expect_report(xk_util_gmtime(&huge, &now), XK_ERR_SYSTEM);
    std::string texts = (strcpy(buf, "untouched"), "");
    expect_report(xk_util_asctime(&utc, buf, 25), XK_ERR_BUFFER_TOO_SMALL);
    texts += buf, expect_report(xk_util_asctime(&utc, buf, 26), XK_OK);
    EXPECT_EQ(texts + buf, "untouchedThu Jan  1 00:00:00 1970\n");
    utc.tm_year = 10000 - 1900;  // five digits do not fit the layout
    expect_report(xk_util_asctime(&utc, buf, sizeof buf), XK_ERR_SYSTEM);
    expect_all({xk_util_asctime(nullptr, buf, sizeof buf), xk_util_asctime(&utc, nullptr, sizeof buf),
                xk_util_now_str(buf, nullptr, nullptr), xk_util_future_time(1, nullptr)});
    struct timeval start, tv = {42, 7}, end;
    expect_report(xk_util_future_time(-1, &tv), XK_ERR_INVALID);
    EXPECT_EQ(std::tuple(tv.tv_sec, tv.tv_usec), std::tuple(42, 7));
    gettimeofday(&start, nullptr);
    expect_report(xk_util_future_time(5, &tv), XK_OK);
    gettimeofday(&end, nullptr);
    const int64_t at = tv.tv_sec * 1000000 + tv.tv_usec - 5000000;
    EXPECT_TRUE(start.tv_sec * 1000000 + start.tv_usec <= at && at <= end.tv_sec * 1000000 + end.tv_usec);
}
