#include <sys/time.h>

#include "support/capture.h"

using CalendarTest = xk::test::ReportingTest;

TEST_F(CalendarTest, BrokenDownAndTextForms) {
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
    EXPECT_EQ(
        std::tuple(xk_util_localtime_r(&huge, &local), xk_util_localtime_r(&zero, &local), local.tm_hour),
        std::tuple(nullptr, &local, 2));
    unsetenv("TZ"), tzset();
    expect_report(xk_util_gmtime(&zero, &utc), XK_OK);
    expect_report(xk_util_gmtime(&huge, &now), XK_ERR_SYSTEM);
    strcpy(buf, "untouched");
    expect_report(xk_util_asctime(&utc, buf, 25), XK_ERR_BUFFER_TOO_SMALL);
    EXPECT_STREQ(buf, "untouched");
    expect_report(xk_util_asctime(&utc, buf, 26), XK_OK);
    EXPECT_STREQ(buf, "Thu Jan  1 00:00:00 1970\n");
    utc.tm_year = 10000 - 1900;  // five digits do not fit the layout
    expect_report(xk_util_asctime(&utc, buf, sizeof buf), XK_ERR_SYSTEM);
    expect_all({xk_util_asctime(nullptr, buf, sizeof buf), xk_util_asctime(&utc, nullptr, sizeof buf),
                xk_util_now_str(buf, nullptr, nullptr), xk_util_future_time(1, nullptr)});
}

TEST_F(CalendarTest, FutureTimeAddsWholeSecondsToNow) {
    struct timeval before, tv = {42, 7}, after;
    expect_report(xk_util_future_time(-1, &tv), XK_ERR_INVALID);
    EXPECT_EQ(std::tuple(tv.tv_sec, tv.tv_usec), std::tuple(42, 7));
    gettimeofday(&before, nullptr);
    expect_report(xk_util_future_time(5, &tv), XK_OK);
    gettimeofday(&after, nullptr);
    EXPECT_GE(tv.tv_sec * 1000000 + tv.tv_usec, before.tv_sec * 1000000 + before.tv_usec + 5000000);
    EXPECT_LE(tv.tv_sec * 1000000 + tv.tv_usec, after.tv_sec * 1000000 + after.tv_usec + 5000000);
}
