#include "support/capture.h"

TEST(Clocks, ReadingsAgreeAndElapsedTimeNeverGoesNegative) {
    const uint64_t usec = xk_util_walltime_usec(), msec = xk_util_walltime_msec(),
                   point = xk_util_timer_point(), cycles = xk_util_read_cycles();
    EXPECT_TRUE(usec / 1000 <= msec && msec <= usec / 1000 + 1000 && point / 1000 + 1 >= usec &&
                point / 1000 <= usec + 1000000);  // seconds pass through a double
    EXPECT_EQ(
        std::tuple(xk_util_timer_elapsed_seconds(42, 42), xk_util_timer_elapsed_seconds(1000, 1500001000),
                   xk_util_timer_elapsed_seconds(1000000000, 0)),
        std::tuple(0.0, 1.5, (0 - 1000000000ull) / 1e9));
    usleep(1000);
    EXPECT_GT(xk_util_read_cycles(), cycles);
}
