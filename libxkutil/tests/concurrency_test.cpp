// SPDX-License-Identifier: MIT
// The companions take calls from every thread and keep each thread's trace apart. The tsan
// preset runs this too.
#include <thread>

#include "support/capture.h"

TEST(Concurrency, EveryThreadKeepsItsOwnTraceAndAllLinesReachTheLog) {
    xk::test::Capture capture;
    std::vector<size_t> traced(4), want;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&traced, t] {
            for (int i = 0; i < 50 + t; ++i) xk_util_reset_signal(0);
            traced[t] = xk_trace_count(), xk_trace_clear();
        });
    for (std::thread &thread : threads) thread.join();
    for (int t = 0; t < 4; ++t) want.push_back(std::min<size_t>(50 + t, XK_TRACE_CAPACITY));
    EXPECT_EQ(std::tuple(traced, capture.lines().size(), capture.lines().at(0).text),
              std::tuple(want, 206u, "Invalid or unsupported signal value 0"));
}
