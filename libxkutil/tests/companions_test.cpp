#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <thread>

#include "support/capture.h"

namespace {

TEST(ErrorTraceCompanion, KeepsTheNewestRecordsPerThread) {
    xk_trace_clear();
    for (int i = 0; i < XK_TRACE_CAPACITY + 6; ++i) xk_trace_save("f", "src/x", i, 1);
    ASSERT_EQ(xk_trace_count(), static_cast<size_t>(XK_TRACE_CAPACITY));
    xk_trace_record r;
    ASSERT_EQ(xk_trace_get(0, &r), 0);
    EXPECT_EQ(r.line, 6);  // the six oldest were dropped
    EXPECT_EQ(xk_trace_get(XK_TRACE_CAPACITY, &r), -1);
    std::thread other([] { EXPECT_EQ(xk_trace_count(), 0u); });
    other.join();
    xk_trace_clear();
    EXPECT_EQ(xk_trace_count(), 0u);
}

TEST(ErrorTraceCompanion, WritesTheChainAsText) {
    xk_trace_clear();
    xk_trace_save("inner", "src/a", 10, 3);
    xk_trace_save("outer", "src/b", 20, 3);
    char buf[256] = {0};
    FILE *stream = fmemopen(buf, sizeof buf, "w");
    ASSERT_NE(stream, nullptr);
    xk_trace_write(stream);
    fclose(stream);
    EXPECT_STREQ(buf, "inner (src/a:10) status 3\nouter (src/b:20) status 3\n");
    xk_trace_clear();
}

TEST(LogCompanion, ThresholdHidesDebugByDefaultAndPerrorAddsTheReason) {
    EXPECT_EQ(xk_log_get_threshold(), 6);
    xk::test::Capture capture;
    xk_log_set_threshold(6);
    xk_util_log_internal(7, 128, "f", "", 0, "hidden");
    xk_util_log_internal(3, 128, "f", "", 0, "shown %d", 1);
    xk_util_log_internal_perror(ENOENT, 3, 128, "g", "src/env/linux", 9, "setenv failed");
    ASSERT_EQ(capture.lines().size(), 2u);
    EXPECT_EQ(capture.lines()[0].text, "shown 1");
    EXPECT_EQ(capture.lines()[1].text, std::string("setenv failed: ") + strerror(ENOENT));
    EXPECT_EQ(capture.lines()[1].line, 9);
}

}  // namespace
