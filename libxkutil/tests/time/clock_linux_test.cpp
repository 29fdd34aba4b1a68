#include <gtest/gtest.h>
#include <sched.h>
#include <sys/time.h>
#include <time.h>

#include "xk/time.h"

namespace {

uint64_t gettimeofday_usec() {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    return static_cast<uint64_t>(tv.tv_sec) * 1000000u + static_cast<uint64_t>(tv.tv_usec);
}

uint64_t realtime_ns() {
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

TEST(Clocks, WallTimesAgreeWithGettimeofday) {
    const uint64_t before = gettimeofday_usec();
    const uint64_t usec = xk_util_walltime_usec();
    const uint64_t msec = xk_util_walltime_msec();
    const uint64_t after = gettimeofday_usec();
    EXPECT_GE(usec, before);
    EXPECT_LE(usec, after);
    EXPECT_GE(msec, usec / 1000);
    EXPECT_LE(msec, after / 1000);
}

TEST(Clocks, TimerPointIsRealtimeNanoseconds) {
    const uint64_t before = realtime_ns();
    const uint64_t point = xk_util_timer_point();
    const uint64_t after = realtime_ns();
    // The seconds pass through a double: within half a step of 256 ns for present-day times.
    EXPECT_GE(point + 256, before);
    EXPECT_LE(point, after + 256);
}

TEST(Clocks, ElapsedSeconds) {
    EXPECT_EQ(xk_util_timer_elapsed_seconds(42, 42), 0.0);
    EXPECT_DOUBLE_EQ(xk_util_timer_elapsed_seconds(1000, 1000 + 1500000000u), 1.5);
    // A clock set back wraps rather than going negative.
    EXPECT_DOUBLE_EQ(xk_util_timer_elapsed_seconds(1000000000u, 0),
                     static_cast<double>(0 - 1000000000ull) / 1e9);
}

TEST(Clocks, CycleCounterNeverStepsBackAndAdvances) {
    // Stay on one processor so the test does not depend on counters agreeing across cores.
    cpu_set_t old_set, one;
    ASSERT_EQ(sched_getaffinity(0, sizeof old_set, &old_set), 0);
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu(), &one);
    const bool pinned = sched_setaffinity(0, sizeof one, &one) == 0;

    uint64_t previous = xk_util_read_cycles();
    const uint64_t first = previous;
    for (int i = 0; i < 10000; ++i) {
        const uint64_t now = xk_util_read_cycles();
        ASSERT_GE(now, previous);
        previous = now;
    }
    const struct timespec pause = {0, 1000000};
    nanosleep(&pause, nullptr);
    EXPECT_GT(xk_util_read_cycles(), first);
    if (pinned) sched_setaffinity(0, sizeof old_set, &old_set);
}

}  // namespace
