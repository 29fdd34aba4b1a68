// SPDX-License-Identifier: MIT
#include <thread>

#include "internal/report.h"
#include "support/capture.h"

using ReportTest = xk::test::ReportingTest;
using xk::test::with_reason;

TEST(ErrorTraceCompanion, KeepsTheNewestRecordsPerThreadAndWritesThemAsText) {
    xk_trace_clear();
    for (int i = 0; i < XK_TRACE_CAPACITY + 6; ++i) xk_trace_save("f", "src/x", i, 1);
    xk_trace_record r;
    EXPECT_EQ(
        (std::tuple{xk_trace_get(XK_TRACE_CAPACITY, &r), xk_trace_count(), xk_trace_get(0, &r), r.line}),
        std::tuple(-1, size_t{XK_TRACE_CAPACITY}, 0, 6));  // the six oldest were dropped
    std::thread([] { EXPECT_EQ(xk_trace_count(), 0u); }).join();
    xk_trace_clear(), xk_trace_save("inner", "src/a", 10, 3), xk_trace_save("outer", "src/b", 20, 3);
    char buf[256] = {0};
    FILE *stream = fmemopen(buf, sizeof buf, "w");
    xk_trace_write(stream), fclose(stream), xk_trace_clear();
    EXPECT_STREQ(buf, "inner (src/a:10) status 3\nouter (src/b:20) status 3\n");
}

TEST(LogCompanion, ThresholdHidesDebugByDefaultAndPerrorAddsTheReason) {
    EXPECT_EQ(xk_log_get_threshold(), 6);
    xk_util_log_internal(3, 128, "f", "", 0, "a plain line printed to stderr, not captured");
    xk::test::Capture capture;
    xk_log_set_threshold(6), xk_util_log_internal(7, 128, "f", "", 0, "hidden");
    xk_util_log_internal(3, 128, "f", "", 0, "shown %d", 1);
    xk_util_log_internal_perror(ENOENT, 3, 128, "g", "src/env/linux", 9, "setenv failed");
    EXPECT_EQ(std::tuple(capture.lines().size(), capture.lines().at(0).text, capture.lines().at(1).text,
                         capture.lines()[1].line),
              std::tuple(2u, "shown 1", std::string("setenv failed: ") + strerror(ENOENT), 9));
}

// A system line follows the errno pattern, is cut to 2047 bytes and shows an unknown number too; a
// plain line carries no place.
TEST_F(ReportTest, SystemLinesFollowTheErrnoPatternAndPlainLinesCarryNoPlace) {
    int err = 0;
    xk::report::sys("open_thing", "src/t", 41, ENOENT, &err, "open failed on %s", "/x");
    xk::report::sys("f", "src/t", 1, EIO, nullptr, "%s", std::string(5000, 'm').c_str());
    xk::report::sys_status("f", "src/t", 1, XK_ERR_SYSTEM, 123456, nullptr, "fixed");
    const xk::test::LogLine line = lines().at(0);
    EXPECT_EQ(std::tuple(err, line.level, line.flags, line.func, line.file, line.line),
              std::tuple(ENOENT, 3, 128, "open_thing", "src/t", 41));
    expect_report(XK_ERR_SYSTEM, XK_ERR_SYSTEM,
                  {with_reason("open failed on /x", ENOENT), with_reason(std::string(2047, 'm'), EIO),
                   with_reason("fixed", 123456)},
                  3);
    EXPECT_EQ(xk::report::error("g", "src/t", 7, XK_ERR_INVALID, "Bad value %d", 5), XK_ERR_INVALID);
    xk::report::note("g", "just a note");
    expect_report(XK_ERR_INVALID, XK_ERR_INVALID, {"Bad value 5", "just a note"});
}
