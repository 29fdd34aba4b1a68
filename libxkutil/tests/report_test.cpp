#include "internal/report.h"

#include "support/capture.h"

using ReportTest = xk::test::ReportingTest;
namespace report = xk::report;

TEST_F(ReportTest, SystemFailuresLogTheErrnoPatternThenTrace) {
    int err = 0;
    EXPECT_EQ(report::sys("open_thing", "src/t", 41, ENOENT, &err, "open failed on %s", "/x"), XK_ERR_SYSTEM);
    const xk::test::LogLine &line = lines().at(0);
    EXPECT_EQ(std::tuple(err, line.level, line.flags, line.func, line.file, line.line),
              std::tuple(ENOENT, 3, 128, "open_thing", "src/t", 41));
    expect_report(XK_ERR_SYSTEM, XK_ERR_SYSTEM, {xk::test::with_reason("open failed on /x", ENOENT)});
    // An unknown error number still shows in the reason; long messages are cut to 2047 bytes.
    report::sys_status("f", "src/t", 1, XK_ERR_INVALID, 123456, nullptr, "fixed");
    const std::string &text = lines().at(0).text;
    EXPECT_EQ((std::tuple{text.rfind("fixed  Reason: ", 0), text.find("123456") != std::string::npos}),
              std::tuple(0u, true));
    expect_single_trace("f", XK_ERR_INVALID);
    capture.clear();
    report::sys("f", "src/t", 1, EIO, nullptr, "%s", std::string(5000, 'm').c_str());
    expect_report(XK_ERR_SYSTEM, XK_ERR_SYSTEM, {xk::test::with_reason(std::string(2047, 'm'), EIO)});
}

TEST_F(ReportTest, PlainLinesHaveNoFileOrLineAndNotesAreLevelSeven) {
    EXPECT_EQ(report::error("g", "src/t", 7, XK_ERR_INVALID, "Bad value %d", 5), XK_ERR_INVALID);
    report::note("g", "just a note");
    EXPECT_EQ(std::tuple(lines().at(0).file, lines()[0].line, lines().at(1).level), std::tuple("", 0, 7));
    expect_report(XK_ERR_INVALID, XK_ERR_INVALID, {"Bad value 5", "just a note"});
}
