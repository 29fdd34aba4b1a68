#include <locale.h>

#include <tuple>

#include "support/capture.h"
#include "xk/format.h"

namespace {

using FormatTest = xk::test::ReportingTest;

xk_util_status vsize(int *size, const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    xk_util_status st = xk_util_printf_vsize(format, ap, size);
    return va_end(ap), st;
}

TEST_F(FormatTest, SizesAllocatesAndBounds) {
    int sizes[2] = {};
    EXPECT_EQ(vsize(&sizes[0], "abc") + vsize(&sizes[1], ""), XK_OK);
    EXPECT_EQ(std::make_pair(sizes[0], sizes[1]), std::make_pair(4, 1));  // each counts its terminator
    char *out = nullptr;
    int err = -1;
    ASSERT_EQ(xk_util_asprintf(&out, &err, "%d|%s", 7, "ab"), XK_OK);
    EXPECT_EQ(std::string(out, 5), std::string("7|ab\0", 5));
    EXPECT_EQ(err, 0);
    free(out);
    ASSERT_EQ(xk_util_asprintf(&out, nullptr, "%s/%d", "dir", 42), XK_OK);  // without errno_out
    EXPECT_STREQ(out, "dir/42");
    free(out);
    const std::tuple<size_t, int, const char *> cases[] = {
        {3, 2, "ab"},
        {2, -1, "a"},
        {0, -1, "xxx"},
        {size_t{INT32_MAX} + 1, -1, "xxx"}};  // size, result, left
    for (const auto &[size, count, left] : cases) {
        char buf[4] = "xxx";
        EXPECT_EQ(xk_util_snprintf(buf, size, "%02x", 0xAB), count) << size;
        EXPECT_STREQ(buf, left) << size;
    }
    EXPECT_TRUE(traces().empty());
}

TEST_F(FormatTest, FailuresTouchNothingAndTraceInnermostFirst) {
    int size = 5, err = 99;
    char *out = reinterpret_cast<char *>(0x1);
    const char *no_format = nullptr;
    const wchar_t bad[] = {static_cast<wchar_t>(0xD800), 0};  // the C locale cannot convert it
    ASSERT_NE(setlocale(LC_ALL, "C"), nullptr);
    const std::vector<xk_util_status> refused = {
        vsize(nullptr, "abc"), vsize(&size, nullptr),
        xk_util_asprintf(nullptr, &err, "%d", 1),  // no record of its own
        xk_util_asprintf(&out, &err, no_format), xk_util_asprintf(&out, &err, "%ls", bad)};
    EXPECT_EQ(refused, (std::vector<xk_util_status>{3, 3, 3, 3, XK_ERR_SYSTEM}));
    EXPECT_TRUE(size == 5 && err == 99 && out == nullptr);
    std::string chain;
    for (const auto &r : traces()) chain += r.func + " " + r.file + " " + std::to_string(r.status) + "; ";
    EXPECT_EQ(
        chain,
        "xk_util_printf_vsize src/string/vasprintf_posix 3; xk_util_printf_vsize src/string/vasprintf_posix "
        "3; "
        "xk_util_vasprintf src/string/vasprintf 3; xk_util_vasprintf src/string/vasprintf 3; "
        "xk_util_printf_vsize src/string/vasprintf_posix 6; xk_util_vasprintf src/string/vasprintf 6; ");
    EXPECT_TRUE(lines().empty());
}

}  // namespace
