// SPDX-License-Identifier: MIT
#include "support/capture.h"

using HexStreamTest = xk::test::ReportingTest;

// Two lower-case digits per byte, no separators, no newline; nulls are refused.
TEST_F(HexStreamTest, PrintsPairsAndRefusesNulls) {
    const uint8_t data[] = {0x00, 0xAB, 0x7F};
    testing::internal::CaptureStdout();
    EXPECT_EQ(xk_util_printf_bytes(data, 0) + xk_util_printf_bytes(data, 3), XK_OK);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "00ab7f");
    std::vector<uint32_t> refused = {xk_util_fprintf_bytes(nullptr, data, 1),
                                     xk_util_fprintf_bytes(stdout, nullptr, 1),
                                     xk_util_printf_bytes(nullptr, 1)};
    EXPECT_EQ(traces().at(2).file, "src/file/common");
    EXPECT_EQ(chain(refused), "333; fprintf_bytes 3; fprintf_bytes 3; printf_bytes 3");
}
