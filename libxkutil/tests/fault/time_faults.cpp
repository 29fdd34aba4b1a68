#include <errno.h>
#include <string.h>
#include <sys/time.h>
#include <time.h>

#include <cstring>
#include <string>

#include "fault/driver.h"
#include "fault/expect.h"
#include "internal/timeout.h"
#include "support/capture.h"
#include "xk/time.h"

namespace {

using namespace xk::fault;

using TimeFaults = xk::test::ReportingTest;

// Fails the next call of `call` with `err` while `body` runs.
template <typename Body>
void failing(Call call, int err, Body body) {
    xk::fault::arm(call, 0, err);
    body();
    EXPECT_TRUE(xk::fault::fired(call));
    xk::fault::disarm_all();
}

TEST_F(TimeFaults, DeadlineFunctionsReportAFailedClock) {
    const struct timespec sentinel = {123, 456};
    struct timespec deadline = sentinel;
    failing(Call::clock_gettime, EINVAL,
            [&] { EXPECT_EQ(xk_util_future_timeout(&deadline, 5, 1), kSystem); });
    EXPECT_EQ(chain(traces()), (Chain{{"xk_util_future_timeout", kSystem}}));
    EXPECT_EQ(texts(lines()), (Texts{"Failed to get current time."}));
    EXPECT_EQ(lines()[0].file, "");

    capture.clear();
    int expired = 7;
    failing(Call::clock_gettime, EINVAL,
            [&] { EXPECT_EQ(xk_util_query_timeout_expired(&sentinel, &expired), kSystem); });
    EXPECT_EQ(expired, 7);
    EXPECT_EQ(chain(traces()), (Chain{{"xk_util_query_timeout_expired", kSystem}}));
    EXPECT_TRUE(lines().empty());

    capture.clear();
    char buf[64];
    memset(buf, 'x', sizeof buf);
    failing(Call::clock_gettime, EINVAL,
            [&] { EXPECT_EQ(xk_util_query_timeout_left(&sentinel, buf, sizeof buf), kSystem); });
    EXPECT_EQ(buf[0], 'x');
    EXPECT_EQ(chain(traces()), (Chain{{"xk_util_query_timeout_left", kSystem}}));
    EXPECT_EQ(texts(lines()), (Texts{"Failed to get current time."}));
}

TEST_F(TimeFaults, FutureTimeReportsAFailedGettimeofdayWithoutLogging) {
    struct timeval tv = {1, 2};
    failing(Call::gettimeofday, EFAULT, [&] { EXPECT_EQ(xk_util_future_time(10, &tv), kSystem); });
    EXPECT_EQ(chain(traces()), (Chain{{"xk_util_future_time", kSystem}}));
    EXPECT_TRUE(lines().empty());
}

TEST_F(TimeFaults, CalendarFunctionsReportAFailedClockOrConversion) {
    char buf[32] = "untouched";
    size_t len = sizeof buf;
    int err = 0;
    failing(Call::time, EOVERFLOW, [&] { EXPECT_EQ(xk_util_now_str(buf, &len, &err), kSystem); });
    EXPECT_EQ(err, EOVERFLOW);
    EXPECT_EQ(len, sizeof buf);
    EXPECT_STREQ(buf, "untouched");
    EXPECT_EQ(chain(traces()), (Chain{{"xk_util_now_str", kSystem}}));
    EXPECT_TRUE(lines().empty());

    struct Case {
        Call call;
        const char *text;
    };
    for (Case c :
         {Case{Call::time, "Failed to read time"}, Case{Call::localtime_r, "Failed to unpick time"}}) {
        SCOPED_TRACE(c.text);
        capture.clear();
        struct tm out;
        failing(c.call, EOVERFLOW, [&] { EXPECT_EQ(xk_util_get_broken_down_time(&out), kSystem); });
        EXPECT_EQ(chain(traces()), (Chain{{"xk_util_get_broken_down_time", kSystem}}));
        EXPECT_EQ(texts(lines()), (Texts{c.text}));
    }

    capture.clear();
    time_t t = 0;
    struct tm out;
    failing(Call::localtime_r, EOVERFLOW, [&] { EXPECT_EQ(xk_util_localtime_r(&t, &out), nullptr); });
    EXPECT_TRUE(traces().empty());
}

TEST_F(TimeFaults, ClockReadersFallBackToZero) {
    failing(Call::clock_gettime, EINVAL, [&] { EXPECT_EQ(xk_util_timer_point(), 0u); });
    failing(Call::gettimeofday, EFAULT, [&] { EXPECT_EQ(xk_util_walltime_msec(), 0u); });
    failing(Call::gettimeofday, EFAULT, [&] { EXPECT_EQ(xk_util_walltime_usec(), 0u); });
    EXPECT_GT(xk_util_timer_point(), 0u);
    EXPECT_TRUE(traces().empty());
    EXPECT_TRUE(lines().empty());
}

}  // namespace
