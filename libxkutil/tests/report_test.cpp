#include "internal/report.h"

#include "support/capture.h"

using ReportTest = xk::test::ReportingTest;
using xk::test::with_reason;

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
    EXPECT_EQ(lines().at(1).level, 7);
    expect_report(XK_ERR_INVALID, XK_ERR_INVALID, {"Bad value 5", "just a note"});
}
