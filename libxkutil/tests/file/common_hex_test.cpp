// SPDX-License-Identifier: MIT
#include "support/capture.h"

using HexStreamTest = xk::test::ReportingTest;

// Two lower-case digits per byte, no separators, no newline; nulls are refused.
TEST_F(HexStreamTest, PrintsPairsAndRefusesNulls) {
    const uint8_t data[] = {0x00, 0xAB, 0x7F};
    testing::internal::CaptureStdout();
    EXPECT_EQ(xk_util_printf_bytes(data, 0) + xk_util_printf_bytes(data, 3), XK_OK);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "00ab7f");
    std::string chain;
    for (xk_util_status st : {xk_util_fprintf_bytes(nullptr, data, 1),
                              xk_util_fprintf_bytes(stdout, nullptr, 1), xk_util_printf_bytes(nullptr, 1)})
        chain += std::to_string(st);
    for (const auto &r : traces()) chain += "; " + r.func.substr(8) + " " + r.file;
    EXPECT_EQ(chain + "; " + std::to_string(lines().size()) + " lines",
              "333; fprintf_bytes src/file/common; fprintf_bytes src/file/common; printf_bytes "
              "src/file/common; 0 lines");
}
