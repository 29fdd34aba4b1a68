#include <gtest/gtest.h>
#include <string.h>
#include <time.h>

#include "support/capture.h"
#include "time/scoped_tz.h"
#include "xk/time.h"

namespace {

using NowStrTest = xk::test::ReportingTest;

// The text ctime_r gives for t, without its newline.
std::string ctime_text(time_t t) {
    char buf[26];
    ctime_r(&t, buf);
    return std::string(buf, 24);
}

TEST_F(NowStrTest, WritesTheLocalTimeWithoutNewline) {
    xk::test::ScopedTz tz("XKT-2");  // two hours east of UTC, so a UTC reading would differ
    char buf[26];
    size_t len = sizeof buf;
    int err = 12345;
    const time_t before = time(nullptr);
    ASSERT_EQ(xk_util_now_str(buf, &len, &err), XK_OK);
    const time_t after = time(nullptr);
    EXPECT_EQ(len, 24u);
    EXPECT_EQ(strlen(buf), 24u);
    EXPECT_TRUE(buf == ctime_text(before) || buf == ctime_text(after)) << buf;
    EXPECT_EQ(err, 12345);  // only a failed clock read stores an errno

    char big[64];
    len = sizeof big;
    ASSERT_EQ(xk_util_now_str(big, &len, nullptr), XK_OK);
    EXPECT_EQ(len, 24u);
    EXPECT_TRUE(traces().empty());
}

TEST_F(NowStrTest, RefusesShortBuffersAndNull) {
    char buf[26];
    memset(buf, 'x', sizeof buf);
    size_t len = 25;
    EXPECT_EQ(xk_util_now_str(buf, &len, nullptr), XK_ERR_INVALID);
    EXPECT_EQ(len, 25u);
    EXPECT_EQ(buf[0], 'x');
    expect_single_trace("xk_util_now_str", XK_ERR_INVALID);
    capture.clear();
    EXPECT_EQ(xk_util_now_str(buf, nullptr, nullptr), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_now_str", XK_ERR_NULL_ARG);
    EXPECT_TRUE(lines().empty());
}

}  // namespace
