#include <gtest/gtest.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "support/capture.h"
#include "xk/format.h"

namespace {

using xk::test::ReportingTest;
using FormatTest = ReportingTest;

xk_util_status vsize(int *size, const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    xk_util_status st = xk_util_printf_vsize(format, ap, size);
    va_end(ap);
    return st;
}

xk_util_status vasprintf_of(char **out, int *errno_out, const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    xk_util_status st = xk_util_vasprintf(out, format, ap, errno_out);
    va_end(ap);
    return st;
}

TEST_F(FormatTest, VsizeCountsTheTerminator) {
    int size = 0;
    EXPECT_EQ(vsize(&size, "abc"), XK_OK);
    EXPECT_EQ(size, 4);
    EXPECT_EQ(vsize(&size, ""), XK_OK);
    EXPECT_EQ(size, 1);
    EXPECT_EQ(vsize(&size, "%d-%s", 123, "xy"), XK_OK);
    EXPECT_EQ(size, 7);
    EXPECT_TRUE(traces().empty());
}

TEST_F(FormatTest, VsizeNullArgumentsTraceOnce) {
    EXPECT_EQ(vsize(nullptr, "abc"), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_printf_vsize", XK_ERR_NULL_ARG);
    capture.clear();
    int size = 0;
    EXPECT_EQ(vsize(&size, nullptr), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_printf_vsize", XK_ERR_NULL_ARG);
    EXPECT_TRUE(lines().empty());
}

TEST_F(FormatTest, VasprintfFormatsIntoAnExactBlock) {
    char *out = nullptr;
    int err = -1;
    ASSERT_EQ(vasprintf_of(&out, &err, "%d", 7), XK_OK);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(memcmp(out, "7", 2), 0);
    EXPECT_EQ(err, 0);
    free(out);
    EXPECT_TRUE(traces().empty());
    EXPECT_TRUE(lines().empty());
}

TEST_F(FormatTest, VasprintfNullArgumentsTouchNothing) {
    int err = 99;
    EXPECT_EQ(vasprintf_of(nullptr, &err, "%d", 1), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_vasprintf", XK_ERR_NULL_ARG);
    EXPECT_EQ(err, 99);
    capture.clear();
    char *out = reinterpret_cast<char *>(0x1);
    EXPECT_EQ(vasprintf_of(&out, &err, nullptr), XK_ERR_NULL_ARG);
    EXPECT_EQ(out, reinterpret_cast<char *>(0x1));
    expect_single_trace("xk_util_vasprintf", XK_ERR_NULL_ARG);
    EXPECT_TRUE(lines().empty());
}

// A wide string that cannot be converted makes the formatter fail while sizing.
TEST_F(FormatTest, SizingFailureLeavesTwoRecordsInnermostFirst) {
    ASSERT_NE(setlocale(LC_ALL, "C"), nullptr);
    const wchar_t bad[] = {static_cast<wchar_t>(0xD800), 0};
    char *out = reinterpret_cast<char *>(0x1);
    int err = 99;
    EXPECT_EQ(vasprintf_of(&out, &err, "%ls", bad), XK_ERR_SYSTEM);
    EXPECT_EQ(out, nullptr);
    auto records = traces();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].func, "xk_util_printf_vsize");
    EXPECT_EQ(records[0].file, "src/string/vasprintf_posix");
    EXPECT_EQ(records[1].func, "xk_util_vasprintf");
    EXPECT_EQ(records[1].file, "src/string/vasprintf");
    EXPECT_EQ(records[0].status, XK_ERR_SYSTEM);
    EXPECT_EQ(records[1].status, XK_ERR_SYSTEM);
    EXPECT_TRUE(lines().empty());
}

TEST_F(FormatTest, AsprintfWorksWithoutErrnoOut) {
    char *out = nullptr;
    ASSERT_EQ(xk_util_asprintf(&out, nullptr, "%s/%d", "dir", 42), XK_OK);
    EXPECT_STREQ(out, "dir/42");
    free(out);
}

TEST_F(FormatTest, AsprintfPassesTheStatusWithoutATraceOfItsOwn) {
    EXPECT_EQ(xk_util_asprintf(nullptr, nullptr, "x"), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_vasprintf", XK_ERR_NULL_ARG);
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-truncation"
TEST_F(FormatTest, SnprintfReportsTruncationAsMinusOne) {
    char buf[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(xk_util_snprintf(buf, 3, "%02x", 0xAB), 2);
    EXPECT_STREQ(buf, "ab");
    EXPECT_EQ(xk_util_snprintf(buf, 2, "%02x", 0xAB), -1);
    EXPECT_STREQ(buf, "a");
    memset(buf, 'x', sizeof buf);
    EXPECT_EQ(xk_util_snprintf(buf, 0, "%02x", 0xAB), -1);
    EXPECT_EQ(buf[0], 'x');
    EXPECT_EQ(xk_util_snprintf(buf, static_cast<size_t>(INT32_MAX) + 1, "%d", 1), -1);
    EXPECT_EQ(buf[0], 'x');
    EXPECT_TRUE(traces().empty());
}
#pragma GCC diagnostic pop

}  // namespace
