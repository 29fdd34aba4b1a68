#include <sys/time.h>

#include "support/capture.h"

uint64_t usec_now() {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    return tv.tv_sec * 1000000ull + tv.tv_usec;
}

TEST(Clocks, ReadingsAgreeWithTheSystemClock) {
    const uint64_t before = usec_now(), usec = xk_util_walltime_usec(), msec = xk_util_walltime_msec(),
                   point = xk_util_timer_point(), after = usec_now(), cycles = xk_util_read_cycles();
    EXPECT_TRUE(before <= usec && usec <= after && usec / 1000 <= msec && msec <= after / 1000);
    EXPECT_TRUE(point / 1000 + 1 >= before && point / 1000 <= after + 1);  // seconds pass through a double
    EXPECT_EQ(xk_util_timer_elapsed_seconds(42, 42), 0.0);
    EXPECT_EQ(xk_util_timer_elapsed_seconds(1000, 1500001000), 1.5);
    EXPECT_EQ(xk_util_timer_elapsed_seconds(1000000000, 0),
              (0 - 1000000000ull) / 1e9);  // wraps, never negative
    usleep(1000);
    EXPECT_GT(xk_util_read_cycles(), cycles);
}
