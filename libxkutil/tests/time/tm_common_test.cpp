#include "support/capture.h"

using CalendarTest = xk::test::ReportingTest;

TEST_F(CalendarTest, BrokenDownAndTextForms) {
    setenv("TZ", "XKT-2", 1);  // two hours east of UTC, so a UTC reading would differ
    tzset();
    const time_t zero = 0, huge = INT64_MAX, before = time(nullptr);  // huge: its year does not fit an int
    struct tm utc, local, now;
    expect_report(xk_util_get_broken_down_time(&now), XK_OK);
    EXPECT_LE(before, timegm(&now) - 7200);
    EXPECT_EQ(xk_util_localtime_r(&huge, &local), nullptr);
    EXPECT_EQ(xk_util_localtime_r(&zero, &local), &local);
    EXPECT_EQ(local.tm_hour, 2);
    unsetenv("TZ");
    tzset();
    expect_report(xk_util_gmtime(&zero, &utc), XK_OK);
    expect_report(xk_util_gmtime(&huge, &now), XK_ERR_SYSTEM);
    char buf[32] = "untouched";
    expect_report(xk_util_asctime(&utc, buf, 25), XK_ERR_BUFFER_TOO_SMALL);
    EXPECT_STREQ(buf, "untouched");
    expect_report(xk_util_asctime(&utc, buf, 26), XK_OK);
    EXPECT_STREQ(buf, "Thu Jan  1 00:00:00 1970\n");
    utc.tm_year = 10000 - 1900;  // five digits do not fit the layout
    expect_report(xk_util_asctime(&utc, buf, sizeof buf), XK_ERR_SYSTEM);
    expect_report(xk_util_asctime(nullptr, buf, sizeof buf), XK_ERR_NULL_ARG);
    expect_report(xk_util_asctime(&utc, nullptr, sizeof buf), XK_ERR_NULL_ARG);
}
