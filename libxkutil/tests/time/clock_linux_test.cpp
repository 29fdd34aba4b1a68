#include <sys/time.h>

#include "support/capture.h"

TEST(Clocks, ReadingsAgreeWithTheSystemClockAndElapsedTimeWraps) {
    timeval tv;
    gettimeofday(&tv, nullptr);
    const uint64_t before = tv.tv_sec * 1000000ull + tv.tv_usec, usec = xk_util_walltime_usec(),
                   msec = xk_util_walltime_msec(), point = xk_util_timer_point(),
                   cycles = xk_util_read_cycles();
    EXPECT_TRUE(before <= usec && usec / 1000 <= msec && msec <= usec / 1000 + 1000);
    EXPECT_TRUE(point / 1000 + 1 >= before &&
                point / 1000 <= usec + 1000000);  // seconds pass through a double
    EXPECT_EQ(
        std::tuple(xk_util_timer_elapsed_seconds(42, 42), xk_util_timer_elapsed_seconds(1000, 1500001000),
                   xk_util_timer_elapsed_seconds(1000000000, 0)),
        std::tuple(0.0, 1.5, (0 - 1000000000ull) / 1e9));  // never negative
    usleep(1000);
    EXPECT_GT(xk_util_read_cycles(), cycles);
}
