#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>
#include <time.h>

#include "support/capture.h"
#include "time/scoped_tz.h"
#include "xk/time.h"

namespace {

using CalendarTest = xk::test::ReportingTest;

TEST_F(CalendarTest, GmtimeOfTheEpoch) {
    const time_t zero = 0;
    struct tm tm;
    ASSERT_EQ(xk_util_gmtime(&zero, &tm), XK_OK);
    EXPECT_EQ(tm.tm_year, 70);
    EXPECT_EQ(tm.tm_mon, 0);
    EXPECT_EQ(tm.tm_mday, 1);
    EXPECT_EQ(tm.tm_hour + tm.tm_min + tm.tm_sec, 0);
    EXPECT_TRUE(traces().empty());

    const time_t huge = INT64_MAX;  // its year does not fit an int
    EXPECT_EQ(xk_util_gmtime(&huge, &tm), XK_ERR_SYSTEM);
    expect_single_trace("xk_util_gmtime", XK_ERR_SYSTEM);
}

TEST_F(CalendarTest, LocalTimesFollowTheZone) {
    xk::test::ScopedTz tz("XKT-2");
    const time_t zero = 0;
    struct tm tm;
    ASSERT_EQ(xk_util_localtime_r(&zero, &tm), &tm);
    EXPECT_EQ(tm.tm_hour, 2);
    const time_t huge = INT64_MAX;
    EXPECT_EQ(xk_util_localtime_r(&huge, &tm), nullptr);

    const time_t before = time(nullptr);
    ASSERT_EQ(xk_util_get_broken_down_time(&tm), XK_OK);
    const time_t after = time(nullptr);
    tm.tm_isdst = 0;
    const time_t got = timegm(&tm) - 2 * 3600;  // back from the zone's wall time to UTC
    EXPECT_GE(got, before);
    EXPECT_LE(got, after);
    EXPECT_TRUE(traces().empty());
}

TEST_F(CalendarTest, AsctimeNeedsTwentySixBytes) {
    const time_t zero = 0;
    struct tm tm;
    ASSERT_EQ(xk_util_gmtime(&zero, &tm), XK_OK);
    char buf[32];
    memset(buf, 'x', sizeof buf);
    EXPECT_EQ(xk_util_asctime(&tm, buf, 25), XK_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(buf[0], 'x');
    expect_single_trace("xk_util_asctime", XK_ERR_BUFFER_TOO_SMALL);
    capture.clear();
    ASSERT_EQ(xk_util_asctime(&tm, buf, 26), XK_OK);
    EXPECT_STREQ(buf, "Thu Jan  1 00:00:00 1970\n");

    tm.tm_year = 10000 - 1900;  // five digits do not fit the layout
    EXPECT_EQ(xk_util_asctime(&tm, buf, sizeof buf), XK_ERR_SYSTEM);
    expect_single_trace("xk_util_asctime", XK_ERR_SYSTEM);
    capture.clear();
    EXPECT_EQ(xk_util_asctime(nullptr, buf, sizeof buf), XK_ERR_NULL_ARG);
    EXPECT_EQ(xk_util_asctime(&tm, nullptr, sizeof buf), XK_ERR_NULL_ARG);
    ASSERT_EQ(traces().size(), 2u);
    EXPECT_EQ(traces()[1].status, XK_ERR_NULL_ARG);
    EXPECT_TRUE(lines().empty());
}

}  // namespace
