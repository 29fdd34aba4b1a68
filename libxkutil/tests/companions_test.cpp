#include <thread>

#include "support/capture.h"

TEST(ErrorTraceCompanion, KeepsTheNewestRecordsPerThreadAndWritesThemAsText) {
    xk_trace_clear();
    for (int i = 0; i < XK_TRACE_CAPACITY + 6; ++i) xk_trace_save("f", "src/x", i, 1);
    xk_trace_record r;
    EXPECT_EQ(
        (std::tuple{xk_trace_get(XK_TRACE_CAPACITY, &r), xk_trace_count(), xk_trace_get(0, &r), r.line}),
        std::tuple(-1, size_t{XK_TRACE_CAPACITY}, 0, 6));  // the six oldest were dropped
    std::thread([] { EXPECT_EQ(xk_trace_count(), 0u); }).join();
    xk_trace_clear();
    xk_trace_save("inner", "src/a", 10, 3), xk_trace_save("outer", "src/b", 20, 3);
    char buf[256] = {0};
    FILE *stream = fmemopen(buf, sizeof buf, "w");
    xk_trace_write(stream), fclose(stream), xk_trace_clear();
    EXPECT_STREQ(buf, "inner (src/a:10) status 3\nouter (src/b:20) status 3\n");
}

TEST(LogCompanion, ThresholdHidesDebugByDefaultAndPerrorAddsTheReason) {
    EXPECT_EQ(xk_log_get_threshold(), 6);
    xk_util_log_internal(3, 128, "f", "", 0, "a plain line printed to stderr, not captured");
    xk::test::Capture capture;
    xk_log_set_threshold(6);
    xk_util_log_internal(7, 128, "f", "", 0, "hidden");
    xk_util_log_internal(3, 128, "f", "", 0, "shown %d", 1);
    xk_util_log_internal_perror(ENOENT, 3, 128, "g", "src/env/linux", 9, "setenv failed");
    EXPECT_EQ(std::tuple(capture.lines().size(), capture.lines().at(0).text, capture.lines().at(1).text,
                         capture.lines()[1].line),
              std::tuple(2u, "shown 1", std::string("setenv failed: ") + strerror(ENOENT), 9));
}
