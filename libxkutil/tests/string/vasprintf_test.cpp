// SPDX-License-Identifier: MIT
#include "support/capture.h"

using FormatTest = xk::test::ReportingTest;

// The bounded form gives -1, leaving what fits, when the text does not fit or the size passes
// INT32_MAX. Refusals touch nothing.
TEST_F(FormatTest, BoundsAndRefusals) {
    int err = 99;
    char *out = reinterpret_cast<char *>(0x1);
    const char *no_format = nullptr;
    std::string got;
    for (size_t cap : {size_t{3}, size_t{2}, size_t{0}, size_t{INT32_MAX} + 1}) {
        char buf[4] = "xxx";
        got += std::to_string(xk_util_snprintf(buf, cap, "%02x", 0xAB)) + buf + " ";
    }
    EXPECT_EQ(
        got + chain({xk_util_asprintf(nullptr, &err, "%d", 1), xk_util_asprintf(&out, &err, no_format)}),
        "2ab -1a -1xxx -1xxx 33; vasprintf 3; vasprintf 3");
    EXPECT_TRUE(err == 99 && out == reinterpret_cast<char *>(0x1));
}
