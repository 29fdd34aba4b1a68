#include "support/capture.h"

using NowStrTest = xk::test::ReportingTest;

TEST_F(NowStrTest, WritesTheLocalTimeWithoutItsNewline) {
    char buf[26] = "untouched", then[26], later[26];
    size_t len = 25;
    int err = 12345;
    expect_report(xk_util_now_str(buf, &len, &err), XK_ERR_INVALID);
    EXPECT_EQ(std::tuple(std::string(buf), len), std::tuple("untouched", 25u));
    expect_report(xk_util_now_str(buf, nullptr, nullptr), XK_ERR_NULL_ARG);
    setenv("TZ", "XKT-2", 1), tzset();  // a reading in UTC would differ
    time_t before = time(nullptr);
    expect_report(xk_util_now_str(buf, &++len, &err), XK_OK);
    time_t after = time(nullptr);
    ctime_r(&before, then), ctime_r(&after, later), unsetenv("TZ"), tzset();
    then[24] = later[24] = '\0';
    EXPECT_EQ(std::tuple(len, err, !strcmp(buf, then) || !strcmp(buf, later)), std::tuple(24u, 12345, true));
}
