// SPDX-License-Identifier: MIT
#include "support/capture.h"

using WideTest = xk::test::ReportingTest;

// Refusals leave the outputs; invalid text (a high byte, in the C locale the tests run in) allocates
// nothing and gives the length SIZE_MAX.
TEST_F(WideTest, RefusalsAndInvalidText) {
    wchar_t *const untouched = reinterpret_cast<wchar_t *>(0x1), *wide = untouched;
    size_t len = 42, invalid_len = 0;
    EXPECT_EQ(
        chain({xk_util_char_to_wchar(nullptr, 0, &wide, &len), xk_util_char_to_wchar("a", 1, &wide, nullptr),
               xk_util_char_to_wchar("a", 1, nullptr, &len),
               xk_util_char_to_wchar("a\x80", 2, &wide, &invalid_len)}),
        "3337; char_to_wchar 3; char_to_wchar 3; char_to_wchar 3; char_to_wchar 7");
    EXPECT_TRUE(wide == untouched && len == 42 && invalid_len == SIZE_MAX);  // nothing allocated
}
