#include "internal/report.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "support/capture.h"

namespace {

using xk::test::ReportingTest;
using ReportTest = ReportingTest;
namespace report = xk::report;

constexpr const char *kSource = "src/test/report";

TEST_F(ReportTest, SysLogsTheErrnoPatternThenTraces) {
    int err = 0;
    xk_util_status st = report::sys("open_thing", kSource, 41, ENOENT, &err, "open failed on %s", "/x");
    EXPECT_EQ(st, XK_ERR_SYSTEM);
    EXPECT_EQ(err, ENOENT);
    ASSERT_EQ(lines().size(), 1u);
    const auto &line = lines()[0];
    EXPECT_EQ(line.level, 3);
    EXPECT_EQ(line.flags, 128);
    EXPECT_EQ(line.func, "open_thing");
    EXPECT_EQ(line.file, kSource);
    EXPECT_EQ(line.line, 41);
    EXPECT_EQ(line.text, std::string("open failed on /x  Reason: ") + strerror(ENOENT));
    expect_single_trace("open_thing", XK_ERR_SYSTEM);
}

TEST_F(ReportTest, UnknownErrorNumberKeepsTheErrorCodeText) {
    report::sys_status("f", kSource, 1, XK_ERR_INVALID, 123456, nullptr, "fixed");
    ASSERT_EQ(lines().size(), 1u);
    // glibc's XSI form fills in "Unknown error N"; either way the number is in the reason.
    EXPECT_NE(lines()[0].text.find("123456"), std::string::npos);
    EXPECT_EQ(lines()[0].text.rfind("fixed  Reason: ", 0), 0u);
    expect_single_trace("f", XK_ERR_INVALID);
}

TEST_F(ReportTest, LongMessagesAreCutTo2047Bytes) {
    std::string big(5000, 'm');
    report::sys("f", kSource, 1, EIO, nullptr, "%s", big.c_str());
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].text, std::string(2047, 'm') + "  Reason: " + strerror(EIO));
}

TEST_F(ReportTest, PlainErrorLinesHaveNoFileOrLine) {
    EXPECT_EQ(report::error("g", kSource, 7, XK_ERR_INVALID, "Bad value %d", 5), XK_ERR_INVALID);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].file, "");
    EXPECT_EQ(lines()[0].line, 0);
    EXPECT_EQ(lines()[0].text, "Bad value 5");
    report::note("g", "just a note");
    ASSERT_EQ(lines().size(), 2u);
    EXPECT_EQ(lines()[1].level, 7);
    EXPECT_EQ(traces().size(), 1u);
}

TEST_F(ReportTest, ChainsReadInnermostFirst) {
    report::trace("inner", kSource, 1, XK_ERR_NOMEM);
    report::pass("middle", kSource, 2, XK_ERR_NOMEM);
    report::pass("outer", kSource, 3, XK_ERR_NOMEM);
    auto records = traces();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].func, "inner");
    EXPECT_EQ(records[2].func, "outer");
    for (const auto &r : records) EXPECT_EQ(r.status, XK_ERR_NOMEM);
}

}  // namespace
