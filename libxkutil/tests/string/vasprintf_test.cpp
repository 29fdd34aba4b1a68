#include <locale.h>

#include "support/capture.h"
#include "xk/format.h"

using FormatTest = xk::test::ReportingTest;

namespace {
xk_util_status vsize(int *size, const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    xk_util_status st = xk_util_printf_vsize(format, ap, size);
    return va_end(ap), st;
}
}  // namespace

// Sizes count the terminator; the bounded form gives -1, leaving what fits, when the text does not
// fit or the size passes INT32_MAX. Failures touch nothing and are traced innermost first.
TEST_F(FormatTest, SizesAllocatesBoundsAndRefusals) {
    int size = 0, err = -1;
    char *out = nullptr;
    ASSERT_EQ(vsize(&size, "abc") + xk_util_asprintf(&out, &err, "%d|%s", 7, "ab"), XK_OK);
    EXPECT_EQ(std::to_string(size) + std::string(out, 5) + std::to_string(err), std::string("47|ab\0"
                                                                                            "0",
                                                                                            7));
    free(out);
    std::string got;
    for (size_t cap : {size_t{3}, size_t{2}, size_t{0}, size_t{INT32_MAX} + 1}) {
        char buf[4] = "xxx";
        got += std::to_string(xk_util_snprintf(buf, cap, "%02x", 0xAB)) + buf + " ";
    }
    size = 5, err = 99, out = reinterpret_cast<char *>(0x1);
    const char *no_format = nullptr;
    const wchar_t bad[] = {static_cast<wchar_t>(0xD800), 0};  // the C locale cannot convert it
    ASSERT_NE(setlocale(LC_ALL, "C"), nullptr);
    for (xk_util_status st :
         {vsize(nullptr, "abc"), vsize(&size, nullptr),
          xk_util_asprintf(nullptr, &err, "%d", 1),  // no record of its own
          xk_util_asprintf(&out, &err, no_format), xk_util_asprintf(&out, &err, "%ls", bad)})
        got += std::to_string(st);
    for (const auto &r : traces())
        got += "; " + r.func.substr(8) + " " + r.file.substr(11) + " " + std::to_string(r.status);
    EXPECT_EQ(got,
              "2ab -1a -1xxx -1xxx 33336; printf_vsize vasprintf_posix 3; printf_vsize vasprintf_posix 3; "
              "vasprintf "
              "vasprintf 3; vasprintf vasprintf 3; printf_vsize vasprintf_posix 6; vasprintf vasprintf 6");
    EXPECT_TRUE(size == 5 && err == 99 && out == nullptr && lines().empty());
}
